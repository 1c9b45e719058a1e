#include "app/setupdlg.h"

#include "app/guard.h"
#include "app/settingsfile.h"
#include "app/sstvform.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include <cstring>

TSetupDlg *SetupDlg = nullptr;

namespace {
QLabel *AddLabel(QWidget *parent, const QString &text, int x, int y)
{
    auto *l = new QLabel(text, parent);
    l->move(x, y);
    l->adjustSize();
    return l;
}

template <class W>
W *Place(W *w, int x, int y, int width, int height)
{
    w->setGeometry(x, y, width, height);
    return w;
}

void AddBevel(QWidget *parent, int x, int y, int w, int h)
{
    auto *f = new QFrame(parent);
    f->setFrameStyle(QFrame::Box | QFrame::Sunken);
    f->setGeometry(x, y, w, h);
    f->lower();
}
} // namespace

TSetupDlg::TSetupDlg(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Callsign"));
    setFixedSize(313, 336);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());

    AddBevel(this, 8, 8, 297, 105);
    AddBevel(this, 8, 120, 297, 41);
    AddBevel(this, 8, 168, 297, 73);
    AddBevel(this, 8, 248, 297, 41);

    // 1. The controls take their defaults.
    const StationConfig d = StationConfig::Defaults();
    AddLabel(this, QStringLiteral("Callsign"), 16, 16);
    EditCall = Place(new QLineEdit(d.Callsign, this), 72, 14, 81, 21);
    EditCall->setMaxLength(StationConfig::MaxCallsign);
    connect(EditCall, &QLineEdit::textEdited, this, [this](const QString &text) {
        // Letters typed become capitals.
        const QString upper = text.toUpper();
        if (upper != text) {
            const int pos = EditCall->cursorPosition();
            EditCall->setText(upper);
            EditCall->setCursorPosition(pos);
        }
    });
    AddLabel(this, QStringLiteral("Information"), 16, 52);
    InfoText = Place(new QLineEdit(d.Information, this), 72, 48, 225, 21);
    AddLabel(this, QStringLiteral("Server "), 16, 86);
    EditServer = Place(new QComboBox(this), 72, 84, 153, 21);
    EditServer->setEditable(true);
    EditServer->setInsertPolicy(QComboBox::NoInsert);
    EditServer->setEditText(d.Server);
    AddLabel(this, QStringLiteral("Port"), 232, 88);
    EditPort = Place(new QLineEdit(d.Port, this), 256, 84, 41, 21);
    AddLabel(this, QStringLiteral("Save Path"), 16, 132);
    EditPath = Place(new QLineEdit(d.SavePath, this), 72, 130, 225, 21);
    AddLabel(this, QStringLiteral("Header"), 16, 179);
    EditHeader = Place(new QLineEdit(d.Header, this), 72, 176, 225, 21);
    AddLabel(this, QStringLiteral("Footer"), 16, 208);
    EditFooter = Place(new QLineEdit(d.Footer, this), 72, 208, 225, 21);
    AutoTX = Place(new QCheckBox(QStringLiteral("Auto Respond"), this), 32, 260, 97, 17);
    AddLabel(this, QStringLiteral("Send ->"), 160, 260);
    AutoTXPage = Place(new QComboBox(this), 208, 258, 81, 21);
    AutoTXPage->setEditable(true);
    AutoTXPage->setInsertPolicy(QComboBox::NoInsert);
    AutoTXPage->addItems({QStringLiteral("Page 1"), QStringLiteral("Page 2"), QStringLiteral("Page 3"),
                          QStringLiteral("Page 4"), QStringLiteral("Sequential")});
    AutoTXPage->setCurrentIndex(-1);
    AutoTXPage->setEditText(QStringLiteral("Page 1"));
    OKBtn = Place(new QPushButton(QStringLiteral("OK"), this), 55, 300, 75, 25);
    OKBtn->setDefault(true);
    CancelBtn = Place(new QPushButton(QStringLiteral("Cancel"), this), 183, 300, 75, 25);
    connect(OKBtn, &QPushButton::clicked, this, [this] {
        Guarded([this] { OKBtnClick(); });
        accept(); // closes with OK also after an error
    });
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    const std::pair<QObject *, const char *> named[] = {
        {EditCall, "EditCall"}, {InfoText, "InfoText"}, {EditServer, "EditServer"}, {EditPort, "EditPort"},
        {EditPath, "EditPath"}, {EditHeader, "EditHeader"}, {EditFooter, "EditFooter"}, {AutoTX, "AutoTX"},
        {AutoTXPage, "AutoTXPage"}, {OKBtn, "OKBtn"}, {CancelBtn, "CancelBtn"}};
    for (const auto &[object, name] : named)
        object->setObjectName(QLatin1String(name));
    setObjectName(QStringLiteral("SetupDlg"));

    // 2. The server list.
    ServerLines = ReadTextLines(ServersFileName());

    // 3. and 5. The stored settings.
    ConfigExisted = QFile::exists(ConfigFileName());
    StationConfig c = d;
    if (ConfigExisted) {
        ConfigLines = ReadTextLines(ConfigFileName());
        c = StationConfig::FromLines(ConfigLines);
    }
    EditCall->setText(c.Callsign);
    InfoText->setText(c.Information);
    // 4. The drop-down list; the text stays what it is.
    EditServer->addItems(ServerLines);
    EditServer->setCurrentIndex(-1);
    EditServer->setEditText(c.Server);
    EditPort->setText(c.Port);
    EditHeader->setText(c.Header);
    EditFooter->setText(c.Footer);
    EditPath->setText(c.SavePath);

    // 6. The callsign for the test card.
    if (SSTVForm) {
        const QByteArray call = EditCall->text().toLatin1().left(StationConfig::MaxCallsign);
        std::memset(SSTVForm->CallsignBuf, 0, sizeof SSTVForm->CallsignBuf);
        std::memcpy(SSTVForm->CallsignBuf, call.constData(), size_t(call.size()));
        // 7. The test card on transmit page 1.
        SSTVForm->DrawStartCard();
    }
}

void TSetupDlg::FormCreate()
{
    if (!ConfigExisted)
        exec();
}

void TSetupDlg::OKBtnClick()
{
    StationConfig c;
    c.Callsign = EditCall->text();
    c.Information = InfoText->text();
    c.Server = EditServer->currentText();
    c.Port = EditPort->text();
    c.Header = EditHeader->text();
    c.Footer = EditFooter->text();
    c.SavePath = EditPath->text();
    ConfigLines = c.ToLines();
    WriteTextLines(ConfigFileName(), ConfigLines);
    ForceFolder(EditPath->text());
}

void TSSTVForm::Callsign1Click()
{
    SetupDlg->exec();
}
