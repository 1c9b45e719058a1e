// Two stations, each a separate running copy of the program on its own
// loopback address, log in to the real directory service, see each other,
// send large and small pictures both ways, save them and answer them.
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <memory>

namespace {
quint16 FreePort()
{
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return s.serverPort();
}

bool WaitForPort(quint16 port, QProcess &process)
{
    for (int i = 0; i < 200 && process.state() != QProcess::NotRunning; ++i) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, port);
        if (probe.waitForConnected(100))
            return true;
        QTest::qWait(50);
    }
    return false;
}

double Psnr(const QImage &a, const QImage &b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB888), y = b.convertToFormat(QImage::Format_RGB888);
    if (x.size() != y.size())
        return 0;
    double se = 0;
    for (int r = 0; r < x.height(); ++r) {
        const uchar *p = x.constScanLine(r), *q = y.constScanLine(r);
        for (int i = 0; i < x.width() * 3; ++i)
            se += (p[i] - q[i]) * (p[i] - q[i]);
    }
    const double mse = se / (x.width() * x.height() * 3.0);
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

// A picture that tells its station and page apart from every other.
QImage Pattern(int seed)
{
    QImage img(512, 384, QImage::Format_RGB888);
    for (int y = 0; y < 384; ++y)
        for (int x = 0; x < 512; ++x)
            img.setPixelColor(x, y, QColor((x + seed * 40) % 256, (y * 2 + seed * 70) % 256, (x + y + seed * 100) % 256));
    QPainter p(&img);
    p.fillRect(QRect(40 + seed * 30, 60, 120, 90), QColor::fromHsv(seed * 50 % 360, 255, 255));
    return img;
}

class Station {
public:
    Station(const QString &call, const QString &address, quint16 directoryPort)
        : Call(call), Address(address), ControlPort(FreePort())
    {
        const QString folder = Dir.path();
        QFile servers(folder + "/Servers.txt");
        servers.open(QIODevice::WriteOnly);
        servers.write("127.0.0.1\r\n");
        servers.close();
        QFile config(folder + "/Config.txt");
        config.open(QIODevice::WriteOnly);
        config.write(QStringLiteral("%1\r\nStation %1\r\n127.0.0.1\r\n%2\r\n Head\r\n Foot\r\n%3\r\n")
                         .arg(call).arg(directoryPort).arg(SavePath()).toLatin1());
        config.close();
        QDir().mkpath(SavePath());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("TELVORIA_TEST_LISTEN_ADDRESS", address);
        env.insert("TELVORIA_PEER_CONTROL", QString::number(ControlPort));
        Process.setProcessEnvironment(env);
        Process.setWorkingDirectory(folder);
        Process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        Process.start(TELVORIA_PEER, {});
    }
    ~Station()
    {
        if (Process.state() != QProcess::NotRunning) {
            Process.kill();
            Process.waitForFinished(5000);
        }
    }

    bool Up()
    {
        if (!WaitForPort(ControlPort, Process))
            return false;
        Control.connectToHost(QHostAddress::LocalHost, ControlPort);
        return Control.waitForConnected(5000) && WaitFor("ready", "1", 60000);
    }

    QString Ask(const QString &line)
    {
        Control.write(line.toUtf8() + '\n');
        Control.flush();
        QElapsedTimer t;
        t.start();
        while (!Control.canReadLine() && t.elapsed() < 30000)
            Control.waitForReadyRead(100);
        return QString::fromUtf8(Control.readLine()).trimmed();
    }

    // Waits until a question gets the expected answer.
    bool WaitFor(const QString &line, const QString &expected, int ms = 60000)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            if (Ask(line) == expected)
                return true;
            QTest::qWait(100);
        }
        qWarning("%s: '%s' never answered '%s' (last '%s')", qPrintable(Call), qPrintable(line),
                 qPrintable(expected), qPrintable(Ask(line)));
        return false;
    }

    // The row of a callsign in this station's list, or -1.
    int RowOf(const QString &call)
    {
        const int rows = Ask("rows").toInt();
        for (int r = 1; r < rows; ++r)
            if (Ask(QStringLiteral("cell 0 %1").arg(r)) == call)
                return r;
        return -1;
    }

    bool WaitForRow(const QString &call)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 60000) {
            if (RowOf(call) > 0)
                return true;
            Ask("click RefreshButton");
            QTest::qWait(500);
        }
        return false;
    }

    QImage Page(const QString &kind, int n)
    {
        const QString file = Dir.filePath(QStringLiteral("page-%1-%2.png").arg(kind).arg(n));
        QFile::remove(file);
        if (Ask(QStringLiteral("save %1 %2 %3").arg(kind).arg(n).arg(file)) != "ok")
            return {};
        return QImage(file);
    }

    // Shows a transmit page with its button (which stores the edits of the
    // page left and enables the send buttons again) and loads a picture
    // file into it through File > Load.
    bool LoadTxPage(int n, const QImage &picture)
    {
        const QString file = Dir.filePath(QStringLiteral("in-%1.png").arg(n));
        picture.save(file);
        Ask(QStringLiteral("click SpeedButton%1").arg(n + 4));
        Ask("load " + file);
        return WaitFor(QStringLiteral("digest tx %1").arg(n), Digest(picture)) &&
               WaitFor("digest work", Digest(picture));
    }

    static QString Digest(const QImage &img)
    {
        QCryptographicHash h(QCryptographicHash::Md5);
        for (int y = 0; y < img.height(); ++y)
            h.addData(QByteArrayView(reinterpret_cast<const char *>(img.constScanLine(y)), img.width() * 3));
        return QStringLiteral("%1x%2 %3").arg(img.width()).arg(img.height()).arg(QString::fromLatin1(h.result().toHex()));
    }

    QString SavePath() const { return Dir.path() + "/RXPics"; }
    QStringList Saved() const { return QDir(SavePath()).entryList(QDir::Files, QDir::Name); }

    QString Call, Address;
    quint16 ControlPort;
    QTemporaryDir Dir;
    QProcess Process;
    QTcpSocket Control;
};
} // namespace

class TestTwoStations : public QObject {
    Q_OBJECT
private:
    QTemporaryDir ServiceDir;
    QProcess Service;
    quint16 ServicePort = 0;

    // The service's list as any client reads it.
    QByteArray DirectoryList()
    {
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, ServicePort);
        if (!s.waitForConnected(5000))
            return "no service";
        s.write("GET /cgi-bin/rodix.pl?list HTTP/1.0\nREFERER: 80\n\n");
        QByteArray reply;
        while (s.waitForReadyRead(5000))
            reply += s.readAll();
        return reply + s.readAll();
    }

private slots:
    void initTestCase()
    {
        ServicePort = FreePort();
        Service.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        Service.start("sh", {RODIX_SERVICE_DIR "/run.sh", QString::number(ServicePort), ServiceDir.path(), "127.0.0.1"});
        if (!WaitForPort(ServicePort, Service))
            QSKIP("the directory service (lighttpd) cannot run here");
    }
    void cleanupTestCase()
    {
        Service.terminate();
        if (!Service.waitForFinished(5000))
            Service.kill();
    }

    void exchangeBothWays()
    {
        auto a = std::make_unique<Station>("ALPHA", "127.0.0.2", ServicePort);
        auto b = std::make_unique<Station>("BRAVO", "127.0.0.3", ServicePort);
        QVERIFY(a->Up());
        QVERIFY(b->Up());

        // Both log in and see each other with their own addresses.
        a->Ask("click ConnectButton");
        QVERIFY(a->WaitFor("text Connected", "Ready"));
        b->Ask("click ConnectButton");
        QVERIFY(b->WaitFor("text Connected", "Ready"));
        QVERIFY(b->WaitForRow("ALPHA"));
        QVERIFY(a->WaitForRow("BRAVO"));
        QCOMPARE(a->Ask(QStringLiteral("cell 1 %1").arg(a->RowOf("BRAVO"))), QString("127.0.0.3"));
        QVERIFY(DirectoryList().contains("ALPHA"));

        a->Ask("check AutoSave 1");
        b->Ask("check AutoSave 1");
        // BRAVO answers every picture with its transmit page 2.
        const QImage bravoAnswer = Pattern(2);
        QVERIFY(b->LoadTxPage(2, bravoAnswer));
        b->Ask("check AutoTX 1");
        b->Ask("setindex AutoTXPage 1");

        // ALPHA sends a large picture to BRAVO, chosen in the list.
        const QImage alphaLarge = Pattern(1);
        QVERIFY(a->LoadTxPage(1, alphaLarge));
        a->Ask(QStringLiteral("select %1").arg(a->RowOf("BRAVO")));
        QVERIFY(a->WaitFor("text Selected", "BRAVO"));
        a->Ask("click SendTo");
        QVERIFY(a->WaitFor("text TXStatus", "Sent"));
        QVERIFY(b->WaitFor("text Connected", "Received"));
        QVERIFY(Psnr(b->Page("rx", 1), alphaLarge) > 28);
        QVERIFY(b->WaitFor("text SpeedButton1", "ALPHA|1|1"));
        QVERIFY(b->WaitFor("text LastRX", "ALPHA"));
        QCOMPARE(b->Saved(), QStringList{"ALPHA_1.JPG"});
        QVERIFY(Psnr(QImage(b->SavePath() + "/ALPHA_1.JPG"), alphaLarge) > 25);

        // BRAVO's automatic answer reaches ALPHA.
        QVERIFY(a->WaitFor("text Connected", "Received"));
        QVERIFY(Psnr(a->Page("rx", 1), bravoAnswer) > 28);
        QCOMPARE(a->Saved(), QStringList{"BRAVO_1.JPG"});

        // BRAVO sends a small picture back to the last sender by hand; the
        // manual send unticks its automatic answer.
        const QImage bravoSmall = Pattern(3);
        QVERIFY(b->LoadTxPage(3, bravoSmall));
        b->Ask("click RadioButton2");
        b->Ask("click SendToRX");
        QVERIFY(b->WaitFor("text TXStatus", "Sent"));
        QVERIFY(b->WaitFor("text AutoTX", "Auto Respond|1|0"));
        QVERIFY(a->WaitFor("text SpeedButton2", "BRAVO|1|1"));
        const QImage small = a->Page("rx", 2);
        QCOMPARE(small.size(), QSize(512, 384));
        QVERIFY(Psnr(small, bravoSmall.scaled(320, 256).scaled(512, 384)) > 22);
        QVERIFY(a->WaitFor("text Connected", "Received"));

        // ALPHA answers with a small picture to BRAVO's typed address.
        a->Ask("click SpeedButton5");
        QVERIFY(a->WaitFor("digest work", Station::Digest(alphaLarge)));
        a->Ask("click RadioButton2");
        a->Ask("settext IPAddress 127.0.0.3");
        a->Ask("click SendToIP");
        QVERIFY(a->WaitFor("text TXStatus", "Sent"));
        QVERIFY(b->WaitFor("text SpeedButton2", "ALPHA|1|1"));
        QCOMPARE(a->Saved(), (QStringList{"BRAVO_1.JPG", "BRAVO_2.JPG"}));
        QTRY_COMPARE_WITH_TIMEOUT(b->Saved(), (QStringList{"ALPHA_1.JPG", "ALPHA_2.JPG"}), 10000);

        // Both end: each logs out once and the processes return 0.
        a->Ask("click Exit1");
        b->Ask("click Exit1");
        QVERIFY(a->Process.waitForFinished(30000));
        QVERIFY(b->Process.waitForFinished(30000));
        QCOMPARE(a->Process.exitCode(), 0);
        QCOMPARE(b->Process.exitCode(), 0);
        const QByteArray list = DirectoryList();
        QVERIFY2(!list.contains("ALPHA") && !list.contains("BRAVO"), list.constData());
    }
};

QTEST_GUILESS_MAIN(TestTwoStations)
#include "test_two_stations.moc"
