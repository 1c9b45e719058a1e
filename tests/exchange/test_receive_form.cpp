// Receiving through the real window from real loopback senders: where each
// picture lands, what is answered and saved, and what the operator sees.
#include "formfixture.h"
#include "loopbacksink.h"

#include "app/setupdlg.h"
#include "app/sstvform.h"
#include "exchange/transfercodec.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <memory>
#include <vector>

using namespace exchange;

namespace {

QImage Solid(const QColor &c, int w = kLargeWidth, int h = kLargeHeight)
{
    QImage img(w, h, QImage::Format_RGB888);
    img.fill(c);
    return img;
}

QColor Hue(int n)
{
    return QColor::fromHsv((n * 47) % 360, 230, 220);
}

QByteArray LargeOf(const QColor &c)
{
    return EncodeJ2K(Solid(c));
}

QByteArray SmallOf(const QColor &c)
{
    return EncodeJpeg(Solid(c, kSmallWidth, kSmallHeight));
}

// The mean colour of a picture is within a few steps of c.
bool Near(const QImage &img, const QColor &c)
{
    if (img.isNull())
        return false;
    const QImage rgb = img.convertToFormat(QImage::Format_RGB888);
    qint64 sum[3] = {};
    qint64 n = 0;
    for (int y = 0; y < rgb.height(); y += 7)
        for (int x = 0; x < rgb.width(); x += 7, ++n) {
            const QColor p = rgb.pixelColor(x, y);
            sum[0] += p.red();
            sum[1] += p.green();
            sum[2] += p.blue();
        }
    const int want[3] = {c.red(), c.green(), c.blue()};
    for (int i = 0; i < 3; ++i)
        if (std::abs(int(sum[i] / n) - want[i]) > 12)
            return false;
    return true;
}

QColor TextColour(const QLineEdit *e)
{
    return e->palette().color(QPalette::Text);
}

// Another source address on loopback, in this test's own block.
QString NeighbourAddress(int n)
{
    QStringList parts = TestListenAddress().split(u'.');
    parts[3] = QString::number(parts[3].toInt() ^ (2 * n));
    return parts.join(u'.');
}

// A peer: connects from its own address to the window's port for the kind.
class Peer {
public:
    Peer(PictureKind kind, const QString &from = TestListenAddress())
    {
        Socket.bind(QHostAddress(from));
        Socket.connectToHost(QHostAddress(TestListenAddress()), kind == PictureKind::Large ? kLargePort : kSmallPort);
        Up = Socket.waitForConnected(5000);
    }
    void Write(const QByteArray &bytes)
    {
        Socket.write(bytes);
        while (Socket.bytesToWrite() > 0 && Socket.state() == QAbstractSocket::ConnectedState)
            QTest::qWait(5);
    }
    void Close() { Socket.disconnectFromHost(); }
    QTcpSocket Socket;
    bool Up = false;
};

// One whole connection; true once the window has ended it. The sender works
// from its own events, so it goes on while the window waits inside a handler.
bool Deliver(TSSTVForm *f, PictureKind kind, const QByteArray &bytes, const QString &from = TestListenAddress())
{
    const int before = f->ReceptionsEnded;
    QTcpSocket s;
    s.bind(QHostAddress(from));
    QObject::connect(&s, &QTcpSocket::connected, &s, [&s, bytes] {
        s.write(bytes);
        s.disconnectFromHost();
    });
    s.connectToHost(QHostAddress(TestListenAddress()), kind == PictureKind::Large ? kLargePort : kSmallPort);
    return QTest::qWaitFor([&] { return f->ReceptionsEnded > before; }, 15000);
}

// A directory service that answers each connection with the next reply of
// its list (the last repeats), after a delay, and records the requests.
class FakeDirectory {
public:
    struct Answer {
        QByteArray Reply;
        int DelayMs = 0;
    };
    explicit FakeDirectory(QList<Answer> answers) : Answers(std::move(answers))
    {
        if (!Server.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0))
            qFatal("fake directory cannot listen");
        QObject::connect(&Server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket *s = Server.nextPendingConnection()) {
                const Answer a = Answers[std::min<qsizetype>(Connections++, Answers.size() - 1)];
                auto buffer = std::make_shared<QByteArray>();
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s, a, buffer] {
                    *buffer += s->readAll();
                    if (!buffer->contains("\n\n"))
                        return;
                    Requests << *buffer;
                    buffer->clear();
                    QTimer::singleShot(a.DelayMs, s, [s, a] {
                        s->write(a.Reply);
                        s->disconnectFromHost();
                    });
                });
            }
        });
    }
    quint16 Port() const { return Server.serverPort(); }
    QList<QByteArray> Requests;
    int Connections = 0;

private:
    QList<Answer> Answers;
    QTcpServer Server;
};

// A station-format reply: each call at its address.
QByteArray StationReply(const QList<std::pair<QString, QString>> &stations)
{
    QByteArray r = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n";
    for (const auto &[call, address] : stations)
        r += "#" + call.toLatin1() + ";" + address.toLatin1() + ";info;\n";
    return r;
}

StartOptions DirectoryAt(quint16 port)
{
    StartOptions o;
    o.ConfigLines = QStringList{"TEST1", "Testing", "127.0.0.1", QString::number(port), " Header", " Footer", "RXPics"};
    o.ServerLines = QStringList{"127.0.0.1"};
    return o;
}

// Logs in through the real Connect and waits for the list.
bool LogIn(TSSTVForm *f)
{
    f->ConnectButtonClick();
    return QTest::qWaitFor([f] { return !f->ConnectButton->isEnabled() && !f->DirectoryBusy; }, 10000);
}

int DownButton(TSSTVForm *f)
{
    int down = 0;
    for (int i = 0; i < 4; ++i)
        if (f->RxButtons[size_t(i)]->isChecked())
            down = down ? -1 : i + 1;
    return down;
}

} // namespace

class TestReceiveForm : public QObject {
    Q_OBJECT
private slots:
    void pagesRotate_data();
    void pagesRotate();
    void pictureWrittenTwiceIsOnePicture();
    void autoSaveOffLine();
    void autoSaveLoggedIn();
    void autoRespond_data();
    void autoRespond();
    void overlappingSendersBothArrive();
    void silentSenderIsDropped();
    void failedAutoSaveLeavesNothingBehind();
    void pictureEndingDuringDirectoryWait();
    void connectionBeginningWhileFilingWaits();
};

// Steps: "L" a good large picture, "S" a good small one, "J>L" a JPEG on the
// large port, "K>S" a code stream on the small port, "E" an empty
// connection, "C" a cut-off large picture. Expected: the page taken, 0 for a
// failure.
void TestReceiveForm::pagesRotate_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QList<int>>("pages");
    QTest::newRow("five in turn") << QStringList{"L", "L", "S", "L", "L"} << QList<int>{1, 2, 3, 4, 1};
    QTest::newRow("failure on page 2") << QStringList{"L", "J>L", "S"} << QList<int>{1, 0, 2};
    QTest::newRow("failure on page 1") << QStringList{"K>S", "L"} << QList<int>{0, 1};
    QTest::newRow("empty connection") << QStringList{"E", "S"} << QList<int>{0, 1};
    QTest::newRow("cut-off picture") << QStringList{"L", "C", "L"} << QList<int>{1, 0, 2};
}

void TestReceiveForm::pagesRotate()
{
    QFETCH(QStringList, steps);
    QFETCH(QList<int>, pages);
    FormFixture fx;
    QVERIFY(fx.Started());
    TSSTVForm *f = fx.Form();
    for (int i = 0; i < steps.size(); ++i) {
        const QString step = steps[i];
        const QColor colour = Hue(i);
        const QImage workingBefore = f->Image1.copy();
        const std::array<QImage, 4> pagesBefore = f->RxPages;
        const int beeps = f->ReceiveBeeps;
        PictureKind kind = PictureKind::Large;
        QByteArray bytes;
        if (step == "L") {
            bytes = LargeOf(colour);
        } else if (step == "S") {
            kind = PictureKind::Small;
            bytes = SmallOf(colour);
        } else if (step == "J>L") {
            bytes = SmallOf(colour);
        } else if (step == "K>S") {
            kind = PictureKind::Small;
            bytes = LargeOf(colour);
        } else if (step == "C") {
            bytes = LargeOf(colour);
            bytes.truncate(bytes.size() / 2);
        }
        QVERIFY2(Deliver(f, kind, bytes), qPrintable(step));
        const int page = pages[i];
        if (page == 0) {
            QCOMPARE(f->Connected->text(), QString("Failed"));
            QCOMPARE(TextColour(f->Connected), QColor(Qt::red));
            QCOMPARE(f->ReceiveBeeps, beeps + 1);
            QCOMPARE(DownButton(f), 0);
            QCOMPARE(f->Image1, workingBefore);
            for (size_t p = 0; p < 4; ++p)
                QCOMPARE(f->RxPages[p], pagesBefore[p]);
        } else {
            QCOMPARE(f->Connected->text(), QString("Received"));
            QCOMPARE(TextColour(f->Connected), QColor(0, 128, 0));
            QCOMPARE(f->ReceiveBeeps, beeps);
            QCOMPARE(DownButton(f), page);
            QCOMPARE(f->RxButtons[size_t(page - 1)]->text(), QString("Page %1").arg(page));
            const QImage &got = f->RxPages[size_t(page - 1)];
            QCOMPARE(got.size(), QSize(512, 384));
            QVERIFY2(Near(got, colour), qPrintable(step));
            QCOMPARE(f->Image1, got);
            QVERIFY(!f->TxPageShown);
            QVERIFY(f->PictureLoaded);
        }
        QVERIFY(!f->Receiving);
        QVERIFY(f->STBYLabel->isVisible());
        QVERIFY(!f->RXLabel->isVisible());
        QCOMPARE(f->LastRxAddress, TestListenAddress());
    }
}

void TestReceiveForm::pictureWrittenTwiceIsOnePicture()
{
    FormFixture fx;
    QVERIFY(fx.Started());
    TSSTVForm *f = fx.Form();
    for (PictureKind kind : {PictureKind::Large, PictureKind::Small}) {
        const QByteArray once = kind == PictureKind::Large ? LargeOf(Qt::red) : SmallOf(Qt::green);
        const int before = f->ReceptionsEnded;
        QVERIFY(Deliver(f, kind, once + once));
        QCOMPARE(f->ReceptionsEnded, before + 1);
        QCOMPARE(f->Connected->text(), QString("Received"));
    }
    // One page each: the next picture takes page 3.
    QVERIFY(Near(f->RxPages[0], Qt::red));
    QVERIFY(Near(f->RxPages[1], Qt::green));
    QVERIFY(Deliver(f, PictureKind::Large, LargeOf(Qt::blue)));
    QCOMPARE(DownButton(f), 3);
}

void TestReceiveForm::autoSaveOffLine()
{
    FormFixture fx;
    QVERIFY(fx.Started());
    TSSTVForm *f = fx.Form();
    const QString folder = SetupDlg->EditPath->text();
    QVERIFY(QDir().mkpath(folder));
    f->AutoSave->setChecked(true);
    QVERIFY(Deliver(f, PictureKind::Large, LargeOf(Qt::red)));
    QVERIFY(Deliver(f, PictureKind::Large, SmallOf(Qt::red))); // fails: nothing saved
    QVERIFY(Deliver(f, PictureKind::Small, SmallOf(Qt::blue)));
    QCOMPARE(f->Connected->text(), QString("Received"));
    QCOMPARE(f->SaveCounter, 3);
    QCOMPARE(QDir(folder).entryList(QDir::Files), (QStringList{"Image_1.JPG", "Image_2.JPG"}));
    QVERIFY(Near(QImage(QDir(folder).filePath("Image_1.JPG")), Qt::red));
    const QImage second(QDir(folder).filePath("Image_2.JPG"));
    QCOMPARE(second.size(), QSize(512, 384));
    QVERIFY(Near(second, Qt::blue));
}

// Logged in: a listed sender is saved and captioned under its callsign; an
// unlisted one makes the list refresh first, and stays "Unknown" when the
// fresh list does not name it either.
void TestReceiveForm::autoSaveLoggedIn()
{
    const QString a = TestListenAddress(), b = NeighbourAddress(1), c = NeighbourAddress(2);
    FakeDirectory dir({{StationReply({{"QZB", a}})},
                       {StationReply({{"QZB", a}, {"QZC", b}})},
                       {StationReply({{"QZB", a}, {"QZC", b}})}});
    FormFixture fx(DirectoryAt(dir.Port()));
    QVERIFY(fx.Started());
    TSSTVForm *f = fx.Form();
    QVERIFY(LogIn(f));
    QCOMPARE(dir.Connections, 1);
    const QString folder = SetupDlg->EditPath->text();
    QVERIFY(QDir().mkpath(folder));
    f->AutoSave->setChecked(true);

    QVERIFY(Deliver(f, PictureKind::Large, LargeOf(Qt::red), a));
    QCOMPARE(dir.Connections, 1); // known: no refresh
    QCOMPARE(f->LastRX->text(), QString("QZB"));
    QCOMPARE(f->RxButtons[0]->text(), QString("QZB"));
    QVERIFY(f->LastRxKnown);

    QVERIFY(Deliver(f, PictureKind::Large, LargeOf(Qt::green), b));
    QCOMPARE(dir.Connections, 2); // refreshed, and found there
    QCOMPARE(f->LastRX->text(), QString("QZC"));
    QCOMPARE(f->RxButtons[1]->text(), QString("QZC"));

    QVERIFY(Deliver(f, PictureKind::Small, SmallOf(Qt::blue), c));
    QCOMPARE(dir.Connections, 3);
    QCOMPARE(f->LastRX->text(), QString("Unknown"));
    QCOMPARE(f->RxButtons[2]->text(), QString("Unknown"));
    QCOMPARE(f->Connected->text(), QString("Received"));
    QCOMPARE(f->LastRxAddress, c);

    QCOMPARE(QDir(folder).entryList(QDir::Files), (QStringList{"QZB_1.JPG", "QZC_2.JPG", "Unknown_3.JPG"}));
    QVERIFY(Near(QImage(QDir(folder).filePath("QZC_2.JPG")), Qt::green));
    QCOMPARE(f->SaveCounter, 4);
}

// Answers: "T1".."T4" a transmit page, "W" the working picture at start,
// "R1" the first picture received.
void TestReceiveForm::autoRespond_data()
{
    QTest::addColumn<int>("entry");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("answers");
    QTest::newRow("Sequential") << 4 << QStringList{"ok", "ok", "ok", "ok", "ok"}
                                << QStringList{"T4", "T1", "T2", "T3", "T4"};
    QTest::newRow("Sequential after a failure") << 4 << QStringList{"ok", "ok", "fail", "ok", "ok"}
                                                << QStringList{"T4", "T1", "T2", "T2", "T3"};
    QTest::newRow("Page 3") << 2 << QStringList{"ok", "fail", "ok"} << QStringList{"T3", "T3", "T3"};
    QTest::newRow("no entry") << -1 << QStringList{"ok", "fail", "ok"} << QStringList{"W", "R1", "R1"};
}

void TestReceiveForm::autoRespond()
{
    QFETCH(int, entry);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, answers);
    Sink sink(TestListenAddress()); // the answers go to the sender's address
    qputenv("TELVORIA_TEST_SEND_PORT_SMALL", QByteArray::number(sink.Port()));
    FormFixture fx;
    QVERIFY(fx.Started());
    TSSTVForm *f = fx.Form();
    QMap<QString, QColor> colours;
    for (int i = 0; i < 4; ++i) {
        colours[QString("T%1").arg(i + 1)] = Hue(i + 10);
        f->TxPages[size_t(i)] = Solid(Hue(i + 10));
    }
    // The working picture holds unsaved edits of transmit page 1 (shown at
    // start): they are stored into it before the first answer replaces them.
    f->Image1 = Solid(Hue(20));
    colours["W"] = colours["T1"] = Hue(20);
    colours["R1"] = Hue(0);
    f->RadioButton2->setChecked(true); // answers go out small
    SetupDlg->AutoTX->setChecked(true);
    SetupDlg->AutoTXPage->setCurrentIndex(entry);
    if (entry < 0)
        SetupDlg->AutoTXPage->setEditText("Page 1");

    for (int i = 0; i < steps.size(); ++i) {
        const bool ok = steps[i] == "ok";
        const QImage workingBefore = f->Image1.copy();
        QVERIFY(Deliver(f, PictureKind::Large, ok ? LargeOf(Hue(i)) : SmallOf(Hue(i))));
        QTRY_COMPARE_WITH_TIMEOUT(sink.ClosedCount(), i + 1, 10000);
        const Decoded answer = DecodeJpeg(sink.At(i).Bytes);
        QVERIFY(answer);
        QVERIFY2(Near(*answer.Picture, colours[answers[i]]), qPrintable(QString("answer %1").arg(i + 1)));
        QCOMPARE(f->Connected->text(), QString(ok ? "Received" : "Failed"));
        // A failed picture leaves the working picture as it was, answer or not.
        if (!ok)
            QCOMPARE(f->Image1, workingBefore);
    }
    QVERIFY(SetupDlg->AutoTX->isChecked());
    // Answering from the transmit pages leaves them as they were stored.
    for (int i = 0; i < 4; ++i)
        QVERIFY(Near(f->TxPages[size_t(i)], colours[QString("T%1").arg(i + 1)]));
    qunsetenv("TELVORIA_TEST_SEND_PORT_SMALL");
}

void TestReceiveForm::overlappingSendersBothArrive()
{
    FormFixture fx;
    QVERIFY(fx.Started());
    TSSTVForm *f = fx.Form();
    const QString a = TestListenAddress(), b = NeighbourAddress(1);
    const QByteArray first = LargeOf(Qt::red), second = SmallOf(Qt::blue);

    Peer pa(PictureKind::Large, a);
    QVERIFY(pa.Up);
    pa.Write(first.left(first.size() / 2));
    QTRY_VERIFY(!f->STBYLabel->isVisible());
    {
        Peer pb(PictureKind::Small, b);
        QVERIFY(pb.Up);
        pb.Write(second);
        pb.Close();
        QTRY_COMPARE_WITH_TIMEOUT(f->ReceptionsEnded, 1, 10000);
    }
    QCOMPARE(f->Connected->text(), QString("Received"));
    QVERIFY(Near(f->RxPages[0], Qt::blue));
    // The first sender is still sending.
    QVERIFY(f->Receiving);
    QVERIFY(!f->STBYLabel->isVisible());

    pa.Write(first.mid(first.size() / 2));
    pa.Close();
    QTRY_COMPARE_WITH_TIMEOUT(f->ReceptionsEnded, 2, 10000);
    QCOMPARE(f->Connected->text(), QString("Received"));
    QVERIFY(Near(f->RxPages[1], Qt::red));
    QCOMPARE(DownButton(f), 2);
    QCOMPARE(f->LastRxAddress, a);
    QVERIFY(!f->Receiving);
    QVERIFY(f->STBYLabel->isVisible());
    QVERIFY(!f->RXLabel->isVisible());
}

void TestReceiveForm::silentSenderIsDropped()
{
    FormFixture fx;
    QVERIFY(fx.Started());
    TSSTVForm *f = fx.Form();
    ReceiverLimits limits;
    limits.SilenceMs = 300;
    f->SetReceiveLimits(limits);

    Peer silent(PictureKind::Large);
    QVERIFY(silent.Up);
    silent.Write(LargeOf(Qt::red).left(100));
    QTRY_COMPARE_WITH_TIMEOUT(f->ReceptionsEnded, 1, 5000);
    QCOMPARE(f->Connected->text(), QString("Failed"));
    QCOMPARE(TextColour(f->Connected), QColor(Qt::red));
    QCOMPARE(f->ReceiveBeeps, 1);
    QTRY_COMPARE(silent.Socket.state(), QAbstractSocket::UnconnectedState);
    QVERIFY(f->STBYLabel->isVisible());

    // Nothing of it is left: the next picture takes page 1, whole.
    QVERIFY(Deliver(f, PictureKind::Large, LargeOf(Qt::blue)));
    QCOMPARE(f->Connected->text(), QString("Received"));
    QCOMPARE(DownButton(f), 1);
    QVERIFY(Near(f->RxPages[0], Qt::blue));
}

void TestReceiveForm::failedAutoSaveLeavesNothingBehind()
{
    FormFixture fx;
    QVERIFY(fx.Started());
    TSSTVForm *f = fx.Form();
    // A folder that cannot be made: its parent is a file.
    QFile blocker(fx.FilePath("blocker"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    SetupDlg->EditPath->setText(fx.FilePath("blocker/RXPics"));
    f->AutoSave->setChecked(true);
    {
        ModalAnswerer boxes;
        QVERIFY(Deliver(f, PictureKind::Large, LargeOf(Qt::red)));
        QTRY_COMPARE(boxes.Count(), 1);
        QVERIFY2(boxes.Texts().value(0).startsWith("Cannot create file"), qPrintable(boxes.Texts().value(0)));
        QCOMPARE(boxes.Titles().value(0), QString("Telvoria"));
        QTRY_VERIFY(!QApplication::activeModalWidget());
    }
    QCOMPARE(f->Connected->text(), QString("Received"));
    QVERIFY(Near(f->RxPages[0], Qt::red));
    QCOMPARE(f->SaveCounter, 1);

    const QString folder = fx.FilePath("good");
    QVERIFY(QDir().mkpath(folder));
    SetupDlg->EditPath->setText(folder);
    QVERIFY(Deliver(f, PictureKind::Small, SmallOf(Qt::blue)));
    QCOMPARE(f->Connected->text(), QString("Received"));
    QCOMPARE(DownButton(f), 2);
    QVERIFY(Near(f->RxPages[1], Qt::blue));
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{"Image_1.JPG"});
    QVERIFY(Near(QImage(QDir(folder).filePath("Image_1.JPG")), Qt::blue));
    QCOMPARE(f->SaveCounter, 2);
}

// A picture that comes and goes while a directory exchange is under way is
// filed during the wait, and the indicator does not stay on afterwards.
void TestReceiveForm::pictureEndingDuringDirectoryWait()
{
    const QString a = TestListenAddress();
    FakeDirectory dir({{StationReply({{"QZB", a}})}, {StationReply({{"QZB", a}}), 800}});
    FormFixture fx(DirectoryAt(dir.Port()));
    QVERIFY(fx.Started());
    TSSTVForm *f = fx.Form();
    QVERIFY(LogIn(f));
    f->RefreshButtonClick();
    QVERIFY(f->DirectoryBusy);
    // The exchange is up (it writes "Ready") before the picture comes.
    QTRY_COMPARE(dir.Requests.size(), 2);
    QVERIFY(Deliver(f, PictureKind::Large, LargeOf(Qt::red), a));
    QCOMPARE(f->Connected->text(), QString("Received"));
    QCOMPARE(f->LastRX->text(), QString("QZB"));
    QTRY_VERIFY_WITH_TIMEOUT(!f->DirectoryBusy, 5000);
    QTest::qWait(50);
    QCOMPARE(f->Connected->text(), QString("Received"));
    QVERIFY(f->STBYLabel->isVisible());
    QVERIFY(!f->RXLabel->isVisible());
    QVERIFY(!f->Receiving);
    QCOMPARE(DownButton(f), 1);
    QCOMPARE(f->RxButtons[0]->text(), QString("QZB"));
}

// A connection that begins while a picture's filing waits for the list
// does not make that filing store its answer page into a transmit page.
void TestReceiveForm::connectionBeginningWhileFilingWaits()
{
    Sink sink(TestListenAddress()); // the answers go to the sender's address
    qputenv("TELVORIA_TEST_SEND_PORT_SMALL", QByteArray::number(sink.Port()));
    FakeDirectory dir({{StationReply({})}, {StationReply({}), 1500}});
    FormFixture fx(DirectoryAt(dir.Port()));
    QVERIFY(fx.Started());
    TSSTVForm *f = fx.Form();
    QVERIFY(LogIn(f));
    for (int i = 0; i < 4; ++i)
        f->TxPages[size_t(i)] = Solid(Hue(i + 10));
    f->Image1 = f->TxPages[0].copy();
    QVERIFY(f->TxPageShown);
    f->RadioButton2->setChecked(true);
    SetupDlg->AutoTX->setChecked(true);
    SetupDlg->AutoTXPage->setCurrentIndex(2);

    QTcpSocket late;
    late.bind(QHostAddress(NeighbourAddress(1)));
    QTimer::singleShot(500, &late, [&late] {
        late.connectToHost(QHostAddress(TestListenAddress()), kLargePort);
    });
    // Unknown sender: the filing refreshes the list and waits 1.5 s for it.
    QVERIFY(Deliver(f, PictureKind::Large, LargeOf(Hue(0))));
    QCOMPARE(dir.Requests.size(), 2);
    QCOMPARE(f->Connected->text(), QString("Received"));
    QVERIFY(late.state() == QAbstractSocket::ConnectedState);
    for (int i = 0; i < 4; ++i)
        QVERIFY2(Near(f->TxPages[size_t(i)], Hue(i + 10)), qPrintable(QString("page %1").arg(i + 1)));

    late.write(LargeOf(Hue(1)));
    late.disconnectFromHost();
    QTRY_COMPARE_WITH_TIMEOUT(f->ReceptionsEnded, 2, 10000);
    QVERIFY(Near(f->RxPages[0], Hue(0)));
    QVERIFY(Near(f->RxPages[1], Hue(1)));
    // The first sender got transmit page 3.
    QTRY_VERIFY(sink.ClosedCount() >= 1);
    const Decoded answer = DecodeJpeg(sink.At(0).Bytes);
    QVERIFY(answer);
    QVERIFY(Near(*answer.Picture, Hue(12)));
    qunsetenv("TELVORIA_TEST_SEND_PORT_SMALL");
}

QTEST_MAIN(TestReceiveForm)
#include "test_receive_form.moc"
