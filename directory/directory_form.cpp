// The directory service as the window sees it: the four server buttons, the
// repeat timer, the exchanges on MySocket and the choice of a station.
//
// One exchange is one connection: the request goes out when the connection
// is up, the reply is collected until the service closes the connection and
// is then read once. DirectoryBusy is set exactly while an exchange is open.
// Every exchange ends: by its reply, by a socket error, or by the time limit,
// which counts as an error. So every wait on DirectoryBusy ends too.
#include "app/ansitext.h"
#include "app/guard.h"
#include "app/setupdlg.h"
#include "app/sstvform.h"
#include "app/statuscolours.h"

#include "app/listenaddress.h"
#include "directory/directorycore.h"

#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTcpSocket>
#include <QTimer>
#include <QToolTip>

namespace {


// The hidden reply box holds the reply for inspection; a runaway reply is
// not worth laying out in full.
constexpr qsizetype kLogMemoChars = 64 * 1024;


} // namespace

void TSSTVForm::BindDirectory()
{
    CallListColour = Colours::Silver;
    DirectoryTimeout = new QTimer(this);
    DirectoryTimeout->setSingleShot(true);
    connect(DirectoryTimeout, &QTimer::timeout, this, Handler(this, &TSSTVForm::DirectoryFailed));

    connect(ConnectButton, &QPushButton::clicked, this, Handler(this, &TSSTVForm::ConnectButtonClick));
    connect(DisconnectButton, &QPushButton::clicked, this, Handler(this, &TSSTVForm::DisconnectButtonClick));
    connect(RefreshButton, &QPushButton::clicked, this, Handler(this, &TSSTVForm::RefreshButtonClick));
    connect(MonitorButton, &QPushButton::clicked, this, Handler(this, &TSSTVForm::MonitorButtonClick));
    connect(Timer1, &QTimer::timeout, this, Handler(this, &TSSTVForm::Timer1Timer));

    connect(MySocket, &QTcpSocket::connected, this, Handler(this, &TSSTVForm::MySocketConnect));
    connect(MySocket, &QTcpSocket::readyRead, this, Handler(this, &TSSTVForm::MySocketRead));
    connect(MySocket, &QTcpSocket::disconnected, this, Handler(this, &TSSTVForm::MySocketClosed));
    connect(MySocket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        // The service closing the connection is the normal end of a reply.
        if (error != QAbstractSocket::RemoteHostClosedError)
            Guarded([this] { SSTVServerError(); });
    });

    // The grid starts with its current cell on row 1. It chooses a station
    // whenever the current cell moves (click, keys, or rows taken away) and
    // when the current cell itself is clicked again.
    CallList1->setCurrentCell(0, 0);
    connect(CallList1, &QTableWidget::currentCellChanged, this, [this](int row, int col, int, int) {
        if (row >= 0)
            Guarded([&] { CallList1SelectCell(col, row + 1); });
    });
    connect(CallList1, &QTableWidget::cellClicked, this,
            [this](int row, int col) { Guarded([&] { CallList1SelectCell(col, row + 1); }); });
}

void TSSTVForm::SetCallListColour(const QColor &colour)
{
    CallListColour = colour;
    const QColor heading = QToolTip::palette().color(QPalette::ToolTipBase);
    CallList1->setStyleSheet(
        QStringLiteral("QTableWidget { background-color: %1; color: black; gridline-color: gray; }"
                       "QHeaderView::section { background-color: %2; color: black; border: 0px;"
                       " border-right: 1px solid gray; border-bottom: 1px solid gray; padding: 0px; }")
            .arg(colour.name(), heading.name()));
}

// Brings the grid in line with the list's texts. Rows that stay are written
// before the number of rows changes, so a current cell that the shrinking
// moves finds its new row's texts in place.
void TSSTVForm::ShowStationTexts()
{
    const int target = StationTexts.RowCount();
    const int shown = CallListRowCount();
    auto copyRow = [this](int row) {
        for (int col = 0; col < 3; ++col) {
            const QString text = StationTexts.Cell(col, row);
            if (CallListCell(col, row) != text)
                SetCallListCell(col, row, text);
        }
    };
    for (int row = 1; row < std::min(target, shown); ++row)
        copyRow(row);
    if (target != shown)
        SetCallListRowCount(target);
    for (int row = shown; row < target; ++row)
        copyRow(row);
}

void TSSTVForm::StartConnecting(bool monitor)
{
    SetCallListColour(Colours::Silver);
    StationTexts.SetCell(0, 1, QString());
    StationTexts.SetCell(2, 1, monitor ? QStringLiteral("Connecting to Server ............")
                                       : QStringLiteral("Connecting to Server .............."));
    ShowStationTexts();
    LoggingOut = false;
    MonitorMode = monitor;
    // A Connect or Monitor pressed while the first connection is still being
    // made changes only the mode: that connection carries on.
    if (DirectoryExchangeOpen)
        return;
    DirectoryHost = SetupDlg->EditServer->currentText();
    DirectoryPort = DirectoryConnectPort(SetupDlg->EditPort->text());
    DirectoryFirstExchange = true;
    BeginDirectoryExchange();
}

void TSSTVForm::ConnectButtonClick()
{
    StartConnecting(false);
}

void TSSTVForm::MonitorButtonClick()
{
    StartConnecting(true);
}

void TSSTVForm::BeginDirectoryExchange()
{
    if (MySocket->state() != QAbstractSocket::UnconnectedState)
        MySocket->abort();
    DirectoryReply.Clear();
    DirectoryExchangeOpen = true;
    DirectoryBusy = true;
    DirectoryTimeout->start(DirectoryTimeoutMs);
    BindTestSource(*MySocket);
    // May report a failure at once; the exchange is open by then.
    MySocket->connectToHost(DirectoryHost, DirectoryPort);
}

void TSSTVForm::EndDirectoryExchange()
{
    DirectoryTimeout->stop();
    DirectoryExchangeOpen = false;
    DirectoryFirstExchange = false;
    if (MySocket->state() != QAbstractSocket::UnconnectedState)
        MySocket->abort();
}

void TSSTVForm::StartDirectoryRequest()
{
    if (DirectoryBusy)
        return;
    if (ConnectButton->isEnabled())
        return;
    BeginDirectoryExchange();
    StationCount = 1;
}

void TSSTVForm::RefreshButtonClick()
{
    StartDirectoryRequest();
}

void TSSTVForm::Timer1Timer()
{
    StartDirectoryRequest();
}

void TSSTVForm::MySocketConnect()
{
    if (!DirectoryExchangeOpen)
        return;
    const TDirectorySettings settings{SetupDlg->EditCall->text(), SetupDlg->InfoText->text(),
                                      SetupDlg->EditPort->text(), SetupDlg->EditServer->currentText()};
    // A port text that is no number stops here with its error box; the open
    // connection then runs into the time limit.
    const QByteArray request =
        BuildDirectoryRequest(ChooseDirectoryRequest(MonitorMode, LoggingOut), settings);
    MySocket->write(request);
    StationCount = 1;
    DirectoryConnectionUp();
}

void TSSTVForm::DirectoryConnectionUp()
{
    if (!MonitorMode) {
        if (!LoggingOut) {
            ShowStatus(Connected, QStringLiteral("Ready"), Colours::Green);
            Selected->setText(QStringLiteral("Select"));
            RXLabel->hide();
            STBYLabel->show();
            StationSelected = false;
            SendTo->setEnabled(false);
        }
        RefreshButton->setEnabled(true);
        ConnectButton->setEnabled(false);
        SetupDlg->EditServer->setEnabled(false);
        MonitorButton->setEnabled(false);
        DisconnectButton->setEnabled(true);
        StationCount = 1;
        ShowStatus(TXStatus, QStringLiteral("Ready"), Qt::blue);
        CallList1->resize(CallList1->width(), 390);
    } else {
        MonitorButton->setEnabled(false);
        RefreshButton->setEnabled(true);
        ConnectButton->setEnabled(false);
        SetupDlg->EditServer->setEnabled(false);
        DisconnectButton->setEnabled(true);
        StationCount = 1;
        ShowStatus(Connected, QStringLiteral("OFF LINE"), Colours::Green);
        ShowStatus(TXStatus, QStringLiteral("Off Line"), Qt::blue);
        LastRX->clear();
        SendTo->setEnabled(false);
        StationSelected = false;
    }
}

void TSSTVForm::MySocketRead()
{
    if (!DirectoryExchangeOpen)
        return;
    DirectoryReply.Append(MySocket->readAll());
    // A reply that reaches the limit is read as far as it came.
    if (DirectoryReply.Bytes().size() >= TReplyCollector::MaxBytes)
        ProcessDirectoryReply();
}

void TSSTVForm::MySocketClosed()
{
    if (!DirectoryExchangeOpen)
        return;
    DirectoryReply.Append(MySocket->readAll());
    // A service that closes without a word has not answered.
    if (DirectoryReply.Bytes().isEmpty())
        DirectoryFailed();
    else
        ProcessDirectoryReply();
}

void TSSTVForm::ProcessDirectoryReply()
{
    const QByteArray reply = DirectoryReply.Bytes();
    DirectoryReply.Clear();
    EndDirectoryExchange();

    DirectoryBusy = true;
    const TReplyOutcome out = ApplyDirectoryReply(StationTexts, reply, MonitorMode, StationCount);
    LogMemo->setPlainText(AnsiToString(out.Text.left(kLogMemoChars)) + QStringLiteral("\r\n"));
    ShowStationTexts();
    Label1->setText(out.Label);
    Label1->adjustSize();
    StationCount = out.StationCount;
    SetCallListColour(Qt::white);
    if (MonitorMode)
        SetCallListColour(Colours::SkyBlue);
    DirectoryBusy = false;
    // Enabling leaves a running timer's period where it was.
    if (!Timer1->isActive())
        Timer1->start();
}

void TSSTVForm::SSTVServerError()
{
    if (DirectoryExchangeOpen)
        DirectoryFailed();
}

void TSSTVForm::DirectoryFailed()
{
    if (!DirectoryExchangeOpen)
        return;
    // Shown while the first exchange of a Connect or Monitor is under way
    // (the list still says it is connecting) and while logging out; a failed
    // repeat while on line passes silently.
    const bool show = DirectoryFirstExchange || ConnectButton->isEnabled() || LoggingOut;
    EndDirectoryExchange();
    if (show) {
        SetCallListColour(Qt::red);
        StationTexts.SetCell(0, 1, QString());
        StationTexts.SetCell(2, 1, QStringLiteral("Server NOT Responding !!!"));
        ShowStationTexts();
        ++DirectoryBeeps;
        QApplication::beep();
        if (SSTVClient && SSTVClient->state() == QAbstractSocket::ConnectedState)
            SSTVClient->disconnectFromHost();
    }
    DirectoryBusy = false;
}

namespace {
// Handles events until done() holds or the time is up. A timer keeps the
// loop waking even when nothing else happens.
template <class Done>
void WaitFor(int ms, Done done)
{
    const QDeadlineTimer deadline(ms);
    QTimer tick;
    tick.start(20);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}
} // namespace

void TSSTVForm::WaitWhileDirectoryBusy()
{
    // The exchange's own time limit ends the wait; a flag left set with no
    // exchange behind it does not hold it up.
    WaitFor(DirectoryTimeoutMs + 1000, [this] { return !DirectoryBusy || !DirectoryExchangeOpen; });
    if (DirectoryBusy && !DirectoryExchangeOpen)
        DirectoryBusy = false;
}

void TSSTVForm::LogOut()
{
    if (!DisconnectButton->isEnabled())
        return;
    LoggingOut = true;
    Timer1->stop();
    StartDirectoryRequest();
    ShowStatus(Connected, QStringLiteral("OFF LINE"), Colours::Green);
    LastRX->clear();
    Selected->clear();
    // A picture being sent ends the wait early: the exchange is then cut off.
    WaitFor(DirectoryTimeoutMs + 1000, [this] {
        return !DirectoryBusy || !DirectoryExchangeOpen ||
               (SSTVClient && SSTVClient->state() == QAbstractSocket::ConnectedState);
    });
    EndDirectoryExchange();
    DirectoryBusy = false;
    ConnectButton->setEnabled(true);
    RefreshButton->setEnabled(false);
    DisconnectButton->setEnabled(false);
    for (int row = 1; row <= StationCount; ++row)
        for (int col = 0; col < 3; ++col)
            StationTexts.SetCell(col, row, QString());
    StationTexts.SetCell(0, 1, QString());
    StationTexts.SetCell(2, 1, QStringLiteral("NOT Connected !"));
    StationTexts.SetRowCount(2);
    ShowStationTexts();
    SetCallListColour(Colours::Silver);
    Label1->setText(QStringLiteral("SSTV Stations On Line"));
    Label1->adjustSize();
    ShowStatus(TXStatus, QStringLiteral("Off Line"), Qt::blue);
    LastRX->clear();
}

void TSSTVForm::DisconnectButtonClick()
{
    LogOut();
    MonitorButton->setEnabled(true);
    SetupDlg->EditServer->setEnabled(true);
}

void TSSTVForm::CallList1SelectCell(int ACol, int ARow)
{
    Q_UNUSED(ACol);
    if (MonitorMode || ARow < 1)
        return;
    SelectedAddress = CallListCell(1, ARow);
    Selected->setText(CallListCell(0, ARow));
    IP_Address->setText(SelectedAddress);
    if (TxPageShown)
        SendTo->setEnabled(true);
    StationSelected = true;
    ShowStatus(TXStatus, QStringLiteral("Ready"), Qt::blue);
}
