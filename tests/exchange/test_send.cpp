// Sending through the real window to real loopback listeners: what each
// command sends, where, and what the operator sees.
#include "codectestpictures.h"
#include "formfixture.h"
#include "loopbacksink.h"

#include "app/setupdlg.h"
#include "app/sstvform.h"
#include "exchange/transfercodec.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>
#include <vector>

using namespace exchange;

namespace {

// A port nobody listens on.
quint16 DeadPort()
{
    QTcpServer s;
    s.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0);
    return s.serverPort();
}

QColor TextColour(const QLineEdit *e)
{
    return e->palette().color(QPalette::Text);
}

enum class Command { Station, Typed, LastSender };

} // namespace

Q_DECLARE_METATYPE(Command)

class TestSend : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void sendsOnePictureToItsPort_data();
    void sendsOnePictureToItsPort();
    void badTypedAddressShowsTheBox_data();
    void badTypedAddressShowsTheBox();
    void failuresStayFailed_data();
    void failuresStayFailed();
    void overlappingSendsEachGetAConnection();
    void leadingZerosAreDecimal();
    void automaticResponseKeepsAutoRespond();

private:
    void Press(Command command, const QString &destination);
    std::unique_ptr<FormFixture> Fx;
    std::unique_ptr<Sink> Small, Large;
};

// One program for all cases (starting it takes a while); every case gets
// fresh listeners and sets what it depends on.
void TestSend::initTestCase()
{
    Fx = std::make_unique<FormFixture>();
    QVERIFY(Fx->Started());
}

void TestSend::cleanupTestCase()
{
    Fx.reset();
}

void TestSend::init()
{
    Small = std::make_unique<Sink>();
    Large = std::make_unique<Sink>();
    qputenv("TELVORIA_TEST_SEND_PORT_SMALL", QByteArray::number(Small->Port()));
    qputenv("TELVORIA_TEST_SEND_PORT_LARGE", QByteArray::number(Large->Port()));
    TSSTVForm *f = Fx->Form();
    f->Image1 = codectest::PhotoLike(512, 384, 77);
    f->RadioButton1->setChecked(true);
    f->TXStatus->setText(QStringLiteral("Ready"));
}

void TestSend::cleanup()
{
    // Lets the last connections close before their listeners go.
    QTest::qWait(50);
    Small.reset();
    Large.reset();
}

void TestSend::Press(Command command, const QString &destination)
{
    TSSTVForm *f = Fx->Form();
    switch (command) {
    case Command::Station:
        f->IP_Address->setText(destination);
        f->SendTo->setEnabled(true);
        QTest::mouseClick(f->SendTo, Qt::LeftButton);
        break;
    case Command::Typed:
        f->IPAddress->setText(destination);
        QTest::mouseClick(f->SendToIP, Qt::LeftButton);
        break;
    case Command::LastSender:
        f->LastRxAddress = destination;
        f->SendToRX->setEnabled(true);
        QTest::mouseClick(f->SendToRX, Qt::LeftButton);
        break;
    }
}

void TestSend::sendsOnePictureToItsPort_data()
{
    QTest::addColumn<Command>("command");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<bool>("large");
    QTest::newRow("typed, large") << Command::Typed << "127.0.0.1" << true;
    QTest::newRow("typed, small") << Command::Typed << "127.0.0.1" << false;
    QTest::newRow("typed, leading zeros") << Command::Typed << "127.000.000.001" << true;
    QTest::newRow("station by address") << Command::Station << "127.0.0.1" << false;
    QTest::newRow("station by name") << Command::Station << "localhost" << true;
    QTest::newRow("last sender") << Command::LastSender << "127.0.0.1" << false;
}

void TestSend::sendsOnePictureToItsPort()
{
    QFETCH(Command, command);
    QFETCH(QString, destination);
    QFETCH(bool, large);
    TSSTVForm *f = Fx->Form();
    (large ? f->RadioButton1 : f->RadioButton2)->setChecked(true);
    SetupDlg->AutoTX->setChecked(true);
    const QImage sent = f->Image1;

    Press(command, destination);
    Sink &to = large ? *Large : *Small;
    Sink &other = large ? *Small : *Large;
    QTRY_COMPARE_WITH_TIMEOUT(to.ClosedCount(), 1, 10000);
    QTRY_COMPARE(f->TXStatus->text(), QStringLiteral("Sent"));
    QCOMPARE(TextColour(f->TXStatus), QColor(Qt::blue));
    QTest::qWait(100);
    QCOMPARE(to.Count(), 1);
    QCOMPARE(other.Count(), 0);
    QVERIFY(!SetupDlg->AutoTX->isChecked());

    // Exactly the encoded picture, nothing before or after it.
    const QByteArray bytes = to.At(0).Bytes;
    QCOMPARE(bytes, f->TxStream);
    if (large) {
        QVERIFY(bytes.startsWith(QByteArray::fromHex("FF4FFF51")));
        QVERIFY(bytes.size() <= 29491);
    } else {
        QVERIFY(bytes.startsWith(QByteArray::fromHex("FFD8")));
    }
    QVERIFY(bytes.endsWith(QByteArray::fromHex("FFD9")));
    const Decoded d = DecodeForPort(large ? kLargePort : kSmallPort, bytes);
    QVERIFY2(d, qPrintable(d.Error));
    const QImage expected = large ? sent : StretchNearest(sent, 320, 256);
    QCOMPARE(d.Picture->size(), expected.size());
    QVERIFY(codectest::Psnr(expected, *d.Picture) > 30);
    if (!large)
        QCOMPARE(f->Image3, expected);
}

void TestSend::badTypedAddressShowsTheBox_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("initial prompt") << "Type in IP Address";
    QTest::newRow("two dots") << "1.2.3";
    QTest::newRow("four digits") << "1234.1.1.1";
    QTest::newRow("host name") << "localhost";
    QTest::newRow("empty") << "";
}

void TestSend::badTypedAddressShowsTheBox()
{
    QFETCH(QString, text);
    TSSTVForm *f = Fx->Form();
    SetupDlg->AutoTX->setChecked(true);
    const QString before = f->TXStatus->text();
    ModalAnswerer answerer([](QWidget *w) {
        auto *box = qobject_cast<QMessageBox *>(w);
        QVERIFY(box);
        QCOMPARE(box->standardButtons(), QMessageBox::Ok);
        box->button(QMessageBox::Ok)->click();
    });
    Press(Command::Typed, text);
    QCOMPARE(answerer.Count(), 1);
    QCOMPARE(answerer.Titles(), QStringList{"Invalid IP Address entered."});
    QCOMPARE(answerer.Texts(),
             QStringList{"Incorret IP format - should be: xxx.xxx.xxx.xxx (where xxx is 1 to 3 digits)"});
    QTest::qWait(200);
    QCOMPARE(Small->Count() + Large->Count(), 0);
    QCOMPARE(f->TXStatus->text(), before);
    QVERIFY(SetupDlg->AutoTX->isChecked());
}

void TestSend::failuresStayFailed_data()
{
    QTest::addColumn<Command>("command");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<bool>("refused");
    QTest::newRow("nobody listens") << Command::Typed << "127.0.0.1" << true;
    QTest::newRow("name that cannot be looked up") << Command::Station << "no..such..station" << false;
    QTest::newRow("dotted but above 255") << Command::Typed << "999.999.999.999" << false;
}

void TestSend::failuresStayFailed()
{
    QFETCH(Command, command);
    QFETCH(QString, destination);
    QFETCH(bool, refused);
    TSSTVForm *f = Fx->Form();
    if (refused)
        qputenv("TELVORIA_TEST_SEND_PORT_LARGE", QByteArray::number(DeadPort()));
    Press(command, destination);
    QTRY_COMPARE_WITH_TIMEOUT(f->TXStatus->text(), QStringLiteral("Failed"), 10000);
    QCOMPARE(TextColour(f->TXStatus), QColor(Qt::red));
    // No later close of the failed connection writes "Sent" over it.
    QTest::qWait(300);
    QCOMPARE(f->TXStatus->text(), QStringLiteral("Failed"));

    // The next send goes to its own destination and succeeds.
    qputenv("TELVORIA_TEST_SEND_PORT_LARGE", QByteArray::number(Large->Port()));
    Press(Command::Typed, QStringLiteral("127.0.0.1"));
    QTRY_COMPARE_WITH_TIMEOUT(Large->ClosedCount(), 1, 10000);
    QTRY_COMPARE(f->TXStatus->text(), QStringLiteral("Sent"));
}

void TestSend::overlappingSendsEachGetAConnection()
{
    // Three sends started back to back, before any has connected: each
    // goes out whole on its own connection.
    TSSTVForm *f = Fx->Form();
    f->SetSendDestination(QStringLiteral("127.0.0.1"), true);
    f->RadioButton1->setChecked(true);
    f->SendPicture();
    const QByteArray first = f->TxStream;
    f->Image1 = codectest::PhotoLike(512, 384, 78);
    f->SendPicture();
    const QByteArray second = f->TxStream;
    f->RadioButton2->setChecked(true);
    f->SendPicture();
    QTRY_COMPARE_WITH_TIMEOUT(Large->ClosedCount(), 2, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(Small->ClosedCount(), 1, 10000);
    QTRY_COMPARE(f->TXStatus->text(), QStringLiteral("Sent"));
    QTest::qWait(100);
    QCOMPARE(Large->Count(), 2);
    QCOMPARE(Small->Count(), 1);
    const QSet<QByteArray> got{Large->At(0).Bytes, Large->At(1).Bytes};
    QCOMPARE(got, (QSet<QByteArray>{first, second}));
    QCOMPARE(Small->At(0).Bytes, f->TxStream);
}

void TestSend::leadingZerosAreDecimal()
{
    // Read as octal, 127.0.0.010 would be 127.0.0.8.
    Sink ten(QStringLiteral("127.0.0.10"));
    qputenv("TELVORIA_TEST_SEND_PORT_LARGE", QByteArray::number(ten.Port()));
    Press(Command::Typed, QStringLiteral("127.0.0.010"));
    QTRY_COMPARE_WITH_TIMEOUT(ten.ClosedCount(), 1, 10000);
    QTRY_COMPARE(Fx->Form()->TXStatus->text(), QStringLiteral("Sent"));
}

void TestSend::automaticResponseKeepsAutoRespond()
{
    TSSTVForm *f = Fx->Form();
    SetupDlg->AutoTX->setChecked(true);
    f->SetSendDestination(QStringLiteral("127.0.0.1"), true);
    f->SendPicture();
    QTRY_COMPARE_WITH_TIMEOUT(Large->ClosedCount(), 1, 10000);
    QVERIFY(SetupDlg->AutoTX->isChecked());
}

QTEST_MAIN(TestSend)
#include "test_send.moc"
