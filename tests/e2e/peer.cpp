// One station for the end-to-end tests: the whole program, started as the
// entry point starts it, plus a line-based control socket on loopback through
// which the test clicks its controls and reads its fields, as an operator
// would. The control port comes in TELVORIA_PEER_CONTROL.
#include "app/application.h"
#include "app/setupdlg.h"
#include "app/sstvform.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QBuffer>
#include <QComboBox>
#include <QCryptographicHash>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTableWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace {
// Start-up has finished: every window exists and the event loop runs.
bool StartedUp = false;

QObject *Find(const QString &name)
{
    for (QObject *root : {static_cast<QObject *>(SSTVForm), static_cast<QObject *>(SetupDlg)}) {
        if (!root)
            continue;
        if (root->objectName() == name)
            return root;
        if (QObject *o = root->findChild<QObject *>(name))
            return o;
    }
    return nullptr;
}

QString TextOf(QObject *o)
{
    if (auto *e = qobject_cast<QLineEdit *>(o))
        return e->text();
    if (auto *c = qobject_cast<QComboBox *>(o))
        return c->currentText();
    if (auto *b = qobject_cast<QAbstractButton *>(o))
        return QStringLiteral("%1|%2|%3").arg(b->text()).arg(b->isEnabled()).arg(b->isChecked());
    if (auto *a = qobject_cast<QAction *>(o))
        return QStringLiteral("%1|%2|%3").arg(a->text()).arg(a->isEnabled()).arg(a->isChecked());
    return o->property("text").toString();
}

QString PictureDigest(const QImage &img)
{
    const QImage rgb = img.convertToFormat(QImage::Format_RGB888);
    QCryptographicHash h(QCryptographicHash::Md5);
    for (int y = 0; y < rgb.height(); ++y)
        h.addData(QByteArrayView(reinterpret_cast<const char *>(rgb.constScanLine(y)), rgb.width() * 3));
    return QStringLiteral("%1x%2 %3").arg(rgb.width()).arg(rgb.height()).arg(QString::fromLatin1(h.result().toHex()));
}

const QImage *Page(const QString &kind, int n)
{
    if (!SSTVForm || n < 1 || n > 4)
        return nullptr;
    if (kind == QLatin1String("rx"))
        return &SSTVForm->RxPages[n - 1];
    if (kind == QLatin1String("tx"))
        return &SSTVForm->TxPages[n - 1];
    return nullptr;
}

// Runs one command; the answer is one line.
QString Run(const QString &line)
{
    const QString cmd = line.section(' ', 0, 0);
    const QString name = line.section(' ', 1, 1);
    const QString rest = line.section(' ', 2);
    if (cmd == QLatin1String("ping"))
        return QStringLiteral("ok");
    if (cmd == QLatin1String("ready"))
        return StartedUp ? QStringLiteral("1") : QStringLiteral("0");
    if (cmd == QLatin1String("shown"))
        return SSTVForm && SSTVForm->isVisible() ? QStringLiteral("1") : QStringLiteral("0");
    if (!SSTVForm)
        return QStringLiteral("error no window");
    if (cmd == QLatin1String("ended"))
        return QString::number(SSTVForm->ReceptionsEnded);
    if (cmd == QLatin1String("mouse")) {
        // mouse down|move|up X Y: the left button on the large view, in view pixels.
        const int x = rest.section(' ', 0, 0).toInt(), y = rest.section(' ', 1, 1).toInt();
        try {
            if (name == QLatin1String("down"))
                SSTVForm->ImageEnView1MouseDown(Qt::LeftButton, Qt::NoModifier, x, y);
            else if (name == QLatin1String("move"))
                SSTVForm->ImageEnView1MouseMove(Qt::NoModifier, x, y);
            else
                SSTVForm->ImageEnView1MouseUp(Qt::LeftButton, Qt::NoModifier, x, y);
        } catch (const std::exception &e) {
            return QStringLiteral("error ") + QString::fromLocal8Bit(e.what());
        }
        return QStringLiteral("ok");
    }
    if (cmd == QLatin1String("menu")) {
        // menu NAME: opens a menu of the menu bar, as a click on its title would.
        auto *m = qobject_cast<QMenu *>(Find(name));
        if (!m)
            return QStringLiteral("error no menu ") + name;
        QTimer::singleShot(0, m, [m] { SSTVForm->menuBar()->setActiveAction(m->menuAction()); });
        return QStringLiteral("ok");
    }
    if (cmd == QLatin1String("cell"))
        return SSTVForm->CallListCell(name.toInt(), rest.toInt());
    if (cmd == QLatin1String("rows"))
        return QString::number(SSTVForm->CallListRowCount());
    if (cmd == QLatin1String("select")) {
        SSTVForm->CallList1->setCurrentCell(name.toInt() - 1, 0);
        return QStringLiteral("ok");
    }
    if (cmd == QLatin1String("digest")) {
        const QImage *p = name == QLatin1String("work") ? &SSTVForm->Image1 : Page(name, rest.toInt());
        return p ? PictureDigest(*p) : QStringLiteral("error no page");
    }
    if (cmd == QLatin1String("save")) {
        // save rx|tx N FILE
        const QImage *p = Page(name, rest.section(' ', 0, 0).toInt());
        return p && p->save(rest.section(' ', 1)) ? QStringLiteral("ok") : QStringLiteral("error cannot save");
    }
    if (cmd == QLatin1String("load")) {
        // load FILE: File > Load, with the file typed into the open dialog.
        const QString file = line.section(' ', 1);
        auto *watch = new QTimer(SSTVForm);
        watch->setInterval(20);
        QObject::connect(watch, &QTimer::timeout, watch, [watch, file] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            watch->deleteLater();
            if (auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
                edit->setText(file);
            QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        });
        watch->start();
        QTimer::singleShot(0, SSTVForm, [] { SSTVForm->LoadPict1->trigger(); });
        return QStringLiteral("ok");
    }
    if (cmd == QLatin1String("setpage")) {
        // setpage tx N FILE: put a picture file's pixels into a page; the
        // test then shows it with the page's button, as an operator would.
        QImage *p = const_cast<QImage *>(Page(name, rest.section(' ', 0, 0).toInt()));
        QImage img(rest.section(' ', 1));
        if (!p || img.isNull())
            return QStringLiteral("error bad page or file");
        *p = img.convertToFormat(QImage::Format_RGB888).scaled(512, 384);
        return QStringLiteral("ok");
    }
    QObject *o = Find(name);
    if (!o)
        return QStringLiteral("error no control ") + name;
    if (cmd == QLatin1String("text"))
        return TextOf(o);
    if (cmd == QLatin1String("click") || cmd == QLatin1String("check") || cmd == QLatin1String("settext") ||
        cmd == QLatin1String("setindex")) {
        // Run after the answer has gone, so a modal window it opens cannot
        // hold the answer back.
        QTimer::singleShot(0, o, [o, cmd, rest] {
            if (cmd == QLatin1String("click")) {
                if (auto *b = qobject_cast<QAbstractButton *>(o))
                    b->click();
                else if (auto *a = qobject_cast<QAction *>(o))
                    a->trigger();
            } else if (cmd == QLatin1String("check")) {
                if (auto *b = qobject_cast<QAbstractButton *>(o))
                    b->setChecked(rest == QLatin1String("1"));
            } else if (cmd == QLatin1String("settext")) {
                if (auto *e = qobject_cast<QLineEdit *>(o))
                    e->setText(rest);
                else if (auto *c = qobject_cast<QComboBox *>(o))
                    c->setEditText(rest);
            } else if (auto *c = qobject_cast<QComboBox *>(o)) {
                c->setCurrentIndex(rest.toInt());
            }
        });
        return QStringLiteral("ok");
    }
    return QStringLiteral("error unknown command");
}
} // namespace

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    QTcpServer control;
    if (!control.listen(QHostAddress::LocalHost, quint16(qEnvironmentVariableIntValue("TELVORIA_PEER_CONTROL"))))
        return 2;
    QObject::connect(&control, &QTcpServer::newConnection, [&control] {
        while (QTcpSocket *s = control.nextPendingConnection()) {
            QObject::connect(s, &QTcpSocket::readyRead, s, [s] {
                while (s->canReadLine()) {
                    const QString line = QString::fromUtf8(s->readLine()).trimmed();
                    QString answer = Run(line);
                    answer.replace('\n', ' ');
                    s->write(answer.toUtf8() + '\n');
                }
            });
        }
    });
    if (StartTelvoria() && !SSTVForm->Terminated()) {
        StartedUp = true;
        app.exec();
    }
    FinishTelvoria();
    return 0;
}
