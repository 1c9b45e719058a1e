#include "app/application.h"

#include "app/guard.h"
#include "app/setupdlg.h"
#include "app/sstvform.h"
#include "app/thumbs.h"
#include "app/windows.h"
#include "editor/addtext.h"
#include "editor/setpen.h"

#include <QFont>
#include <QMessageBox>
#include <QThread>

void ShowErrorBox(const QString &message)
{
    QMessageBox box(QMessageBox::Critical, QCoreApplication::applicationName(), message, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

TApplication::TApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject *receiver, QEvent *event)
{
    bool handled = false;
    Guarded([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

void FinishTelvoria()
{
    delete SetupDlg;
    SetupDlg = nullptr;
    delete SetPen;
    SetPen = nullptr;
    delete AboutBox;
    AboutBox = nullptr;
    delete AddText;
    AddText = nullptr;
    delete Thumbs;
    Thumbs = nullptr;
    delete SSTVForm;
    SSTVForm = nullptr;
    delete Splash1;
    Splash1 = nullptr;
}

bool StartTelvoria()
{
    try {
        Splash1 = new TSplash1;
        Splash1->show();
        QCoreApplication::processEvents();
        QThread::msleep(1000);
        QCoreApplication::setApplicationName(QStringLiteral("Telvoria"));
        // The layout is in pixels for the classic dialog fonts; these are
        // their metric-compatible stand-ins.
        QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
        QFont::insertSubstitution(QStringLiteral("MS Serif"), QStringLiteral("Liberation Serif"));
        QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
        // Every window is laid out in pixels for this font, dialogs too.
        QApplication::setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
        SSTVForm = new TSSTVForm;
        SSTVForm->show();
        Thumbs = new TThumbs;
        AddText = new TAddText;
        AboutBox = new TAboutBox;
        SetPen = new TSetPen;
        SetupDlg = new TSetupDlg;
        SetupDlg->FormCreate();
        return true;
    } catch (const TError &e) {
        ShowErrorBox(e.message());
    } catch (const std::exception &e) {
        ShowErrorBox(QString::fromLocal8Bit(e.what()));
    }
    FinishTelvoria();
    return false;
}

int RunTelvoria(int argc, char **argv)
{
    TApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false); // the ending decides when the loop stops
    if (StartTelvoria() && !SSTVForm->Terminated())
        app.exec();
    FinishTelvoria();
    return 0;
}
