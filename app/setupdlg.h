#pragma once
// The station settings dialog. Its controls are the live settings: every part
// of the program reads the control it needs when it needs it.
#include <QDialog>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

class TSetupDlg : public QDialog {
    Q_OBJECT
public:
    // Reads Servers.txt and Config.txt from the current directory and fills
    // the controls; throws TError when a file cannot be read.
    explicit TSetupDlg(QWidget *parent = nullptr);
    // Shows the dialog modally at first start (no Config.txt).
    void FormCreate();
    void OKBtnClick();

    static QString ConfigFileName() { return QStringLiteral("Config.txt"); }
    static QString ServersFileName() { return QStringLiteral("Servers.txt"); }

    QStringList ConfigLines;
    QStringList ServerLines;

    QLineEdit *EditCall = nullptr;
    QLineEdit *InfoText = nullptr;
    QComboBox *EditServer = nullptr;
    QLineEdit *EditPort = nullptr;
    QLineEdit *EditPath = nullptr;
    QLineEdit *EditHeader = nullptr;
    QLineEdit *EditFooter = nullptr;
    QCheckBox *AutoTX = nullptr;
    QComboBox *AutoTXPage = nullptr;
    QPushButton *OKBtn = nullptr;
    QPushButton *CancelBtn = nullptr;

private:
    bool ConfigExisted = false;
};

extern TSetupDlg *SetupDlg;
