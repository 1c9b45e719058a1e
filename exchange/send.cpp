// Sending the working picture: the three send commands and the send itself.
//
// Every send has a connection of its own, so a send started while an
// earlier one is still under way never disturbs it. Each connection writes
// its picture once, whole, and closes in the orderly way: the receiver sees
// the end of the stream after the last byte. A failed look-up, connect or
// write leaves "Failed"; only a connection that closed cleanly says "Sent".
#include "app/setupdlg.h"
#include "app/sstvform.h"
#include "app/statuscolours.h"
#include "app/listenaddress.h"
#include "exchange/transfercodec.h"

#include <QApplication>
#include <QCheckBox>
#include <QHostAddress>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QRadioButton>
#include <QScreen>
#include <QTcpSocket>

namespace {



void ShowFailed(QLineEdit *field)
{
    ShowStatus(field, QStringLiteral("Failed"), Qt::red);
    QApplication::beep();
}

// The receiver's port for a picture kind. Tests that run beside other copies
// of the program point sends elsewhere with TELVORIA_TEST_SEND_PORT_SMALL and
// TELVORIA_TEST_SEND_PORT_LARGE; operators never set them.
quint16 DestinationPort(bool large)
{
    const QByteArray test = qgetenv(large ? "TELVORIA_TEST_SEND_PORT_LARGE" : "TELVORIA_TEST_SEND_PORT_SMALL");
    bool ok = false;
    const uint port = test.toUInt(&ok);
    if (ok && port > 0 && port <= 65535)
        return quint16(port);
    return large ? exchange::kLargePort : exchange::kSmallPort;
}

// The density written into the small picture's JFIF header: the screen's.
int ScreenDpi()
{
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const int dpi = qRound(screen->logicalDotsPerInchX());
        if (dpi > 0)
            return dpi;
    }
    return exchange::kDefaultDpi;
}

// One outgoing picture on a connection of its own. The connection owns
// itself: it goes away once it has closed or failed.
void StartConnection(TSSTVForm *form, const QString &destination, bool dottedAddress, quint16 port,
                     const QByteArray &picture)
{
    // The socket layer would read "010" as octal; operators mean ten.
    const std::optional<uint32_t> value = dottedAddress ? exchange::DottedAddressValue(destination) : std::nullopt;
    if (dottedAddress && !value) {
        // No address (a number above 255): nothing to connect to, as with a
        // name that cannot be looked up.
        ShowFailed(form->TXStatus);
        return;
    }
    // The field may go before the connection does, when the window closes.
    const QPointer<QLineEdit> status = form->TXStatus;
    auto *socket = new QTcpSocket(form);
    QObject::connect(socket, &QTcpSocket::connected, socket, [socket, picture] {
        socket->write(picture);
        // Closes once every byte has gone out.
        socket->disconnectFromHost();
    });
    QObject::connect(socket, &QTcpSocket::disconnected, socket, [status, socket] {
        if (status && !socket->property("telvoriaFailed").toBool())
            ShowStatus(status, QStringLiteral("Sent"), Qt::blue);
        socket->deleteLater();
    });
    QObject::connect(socket, &QTcpSocket::errorOccurred, socket, [status, socket](QAbstractSocket::SocketError) {
        if (socket->property("telvoriaFailed").toBool())
            return;
        socket->setProperty("telvoriaFailed", true);
        if (status)
            ShowFailed(status);
        socket->abort();
        socket->deleteLater();
    });
    BindTestSource(*socket);
    if (dottedAddress)
        socket->connectToHost(QHostAddress(*value), port);
    else
        socket->connectToHost(destination, port);
}

} // namespace

bool TSSTVForm::IsIPAddress(const QString &text) const
{
    return exchange::IsIPAddress(text);
}

void TSSTVForm::SetSendDestination(const QString &destination, bool dottedAddress)
{
    SendDestination = destination;
    SendDestinationIsAddress = dottedAddress;
}

void TSSTVForm::SendPicture()
{
    ShowStatus(TXStatus, QStringLiteral("Sending"), Colours::Green);
    // Lets the status be drawn before the encoding takes its time.
    QCoreApplication::processEvents();
    const bool large = RadioButton1->isChecked();
    if (large) {
        ImageEnView1->Assign(Image1);
        TxStream = exchange::EncodeJ2K(Image1);
    } else {
        Image3 = exchange::StretchNearest(Image1, exchange::kSmallWidth, exchange::kSmallHeight);
        ImageEnView2->Assign(Image3);
        TxStream = exchange::EncodeJpeg(Image3, exchange::kSmallQuality, ScreenDpi());
    }
    TxSize = int32_t(TxStream.size());
    StartConnection(this, SendDestination, SendDestinationIsAddress, DestinationPort(large), TxStream);
}

void TSSTVForm::SendToClick()
{
    // A station listed under a name rather than a dotted address is looked up.
    const QString destination = IP_Address->text();
    SetSendDestination(destination, IsIPAddress(destination));
    SetupDlg->AutoTX->setChecked(false);
    SendPicture();
}

void TSSTVForm::SendToRXClick()
{
    SetSendDestination(LastRxAddress, true);
    SetupDlg->AutoTX->setChecked(false);
    SendPicture();
}

void TSSTVForm::SendToIPClick()
{
    const QString destination = IPAddress->text();
    if (!IsIPAddress(destination)) {
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Invalid IP Address entered."),
                        QStringLiteral("Incorret IP format - should be: xxx.xxx.xxx.xxx (where xxx is 1 to 3 digits)"),
                        QMessageBox::Ok, this);
        box.exec();
        return;
    }
    SetSendDestination(destination, true);
    SetupDlg->AutoTX->setChecked(false);
    SendPicture();
}
