#include "formfixture.h"

#include "app/application.h"
#include "app/sstvform.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <unistd.h>

QString TestListenAddress()
{
    const auto pid = static_cast<unsigned>(getpid());
    // One address per pid (below 2^23, above Linux's pid limit); the last
    // octet stays odd, clear of the fixed addresses other tests use.
    return QStringLiteral("127.%1.%2.%3").arg((pid >> 15) & 0xFF).arg((pid >> 7) & 0xFF).arg(((pid & 0x7F) << 1) | 1);
}

int StallLimitMs()
{
    const int limit = qEnvironmentVariableIntValue("TELVORIA_TEST_STALL_LIMIT_MS");
    return limit > 0 ? limit : 200;
}

void WriteLines(const QString &path, const QStringList &lines)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    for (const QString &l : lines)
        f.write(l.toLatin1() + "\r\n");
}

FormFixture::FormFixture(const StartOptions &options)
{
    qputenv("TELVORIA_TEST_LISTEN_ADDRESS", TestListenAddress().toLatin1());
    PreviousDir = QDir::currentPath();
    if (options.ServerLines)
        WriteLines(Dir.filePath("Servers.txt"), *options.ServerLines);
    if (options.ConfigLines) {
        QStringList lines = *options.ConfigLines;
        // A relative save path is kept inside the station folder.
        if (lines.size() >= 7 && QDir::isRelativePath(lines[6]) && !lines[6].isEmpty())
            lines[6] = Dir.filePath(lines[6]);
        WriteLines(Dir.filePath("Config.txt"), lines);
    }
    QDir::setCurrent(Dir.path());
    StartedOk = StartTelvoria();
}

FormFixture::~FormFixture()
{
    FinishTelvoria();
    QDir::setCurrent(PreviousDir);
}

TSSTVForm *FormFixture::Form() const
{
    return SSTVForm;
}

struct ModalAnswerer::State {
    std::function<void(QWidget *)> Answer;
    QTimer Timer;
    QStringList Texts, Titles;
    QList<QPointer<QWidget>> Answered;
    int Count = 0;
};

ModalAnswerer::ModalAnswerer(std::function<void(QWidget *)> answer) : S(new State)
{
    S->Answer = std::move(answer);
    S->Timer.setInterval(20);
    QObject::connect(&S->Timer, &QTimer::timeout, [s = S] {
        // A window is answered once each time it is shown: the program's
        // dialogs live for the whole run and open again and again.
        s->Answered.removeIf([](const QPointer<QWidget> &a) { return !a || !a->isVisible(); });
        QWidget *w = QApplication::activeModalWidget();
        if (!w || !w->isVisible() || s->Answered.contains(w))
            return;
        s->Answered.append(w);
        ++s->Count;
        s->Titles << w->windowTitle();
        if (auto *box = qobject_cast<QMessageBox *>(w))
            s->Texts << box->text();
        // Answer from a fresh event, so an answer that opens a further modal
        // window (an error box from OK, say) leaves this watch free to run.
        QTimer::singleShot(0, w, [s, w] {
            if (s->Answer)
                s->Answer(w);
            else if (auto *dlg = qobject_cast<QDialog *>(w))
                dlg->reject();
            else
                w->close();
        });
    });
    S->Timer.start();
}

ModalAnswerer::~ModalAnswerer()
{
    delete S;
}

QStringList ModalAnswerer::Texts() const { return S->Texts; }
QStringList ModalAnswerer::Titles() const { return S->Titles; }
int ModalAnswerer::Count() const { return S->Count; }
