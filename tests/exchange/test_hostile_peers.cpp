// Hostile peers against the real window on real loopback sockets: floods of
// connections, silent and trickling ones, a sender that never stops, and
// noise on both ports. Through all of it the window keeps answering, its
// memory stays bounded, and a well-behaved station sending at the same time
// gets every picture through and saved.
//
// The hostile side runs in a thread of its own with blocking sockets, so
// the window's thread (this one) does only the window's work and the stall
// measured on it is the window's.
#include "loopbackpeers.h"

#include "app/setupdlg.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QDir>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <memory>

#include <sys/resource.h>

using namespace exchange;
using namespace peers;

namespace {

constexpr int kGoodPictures = 6;
constexpr qint64 kMiB = 1024 * 1024;

// What the hostile thread and the window's thread share.
struct Shared {
    std::atomic<bool> Ready{false}; // the hostile connections are up
    std::atomic<bool> Stop{false};  // the test is done with them
    std::atomic<int> Connected{0};
    std::atomic<qint64> BytesSent{0};
    std::atomic<int> Settled{0}; // hostile connections the window has ended or refused
    std::atomic<bool> TrickleCutOff{false};
};

QTcpSocket *ConnectFrom(const QString &from, PictureKind kind)
{
    auto *s = new QTcpSocket;
    s->bind(QHostAddress(from));
    s->connectToHost(QHostAddress(TestListenAddress()), PortOf(kind));
    return s;
}

// Waits, from the hostile thread, until cond holds or ms have passed.
template <class Cond>
bool WaitHere(int ms, Cond cond)
{
    QElapsedTimer t;
    t.start();
    while (!cond()) {
        if (t.elapsed() > ms)
            return false;
        QThread::msleep(5);
    }
    return true;
}

void ManyAtOnce(Shared &sh, int count, bool hold)
{
    const QString from = NeighbourAddress(1);
    std::vector<std::unique_ptr<QTcpSocket>> sockets;
    for (int i = 0; i < count; ++i)
        sockets.emplace_back(ConnectFrom(from, i % 2 ? PictureKind::Small : PictureKind::Large));
    QElapsedTimer t;
    t.start();
    for (auto &s : sockets)
        if (s->waitForConnected(int(std::max<qint64>(1, 10000 - t.elapsed()))))
            ++sh.Connected;
    sh.Ready = true;
    if (hold)
        WaitHere(20000, [&] { return sh.Stop.load(); });
    for (auto &s : sockets)
        hold ? s->abort() : s->disconnectFromHost();
}

void Flood(Shared &sh)
{
    std::unique_ptr<QTcpSocket> s(ConnectFrom(NeighbourAddress(1), PictureKind::Large));
    if (s->waitForConnected(5000))
        ++sh.Connected;
    sh.Ready = true;
    const QByteArray chunk(256 * 1024, '\x5A');
    QElapsedTimer t;
    t.start();
    while (sh.BytesSent < 100 * kMiB && s->state() == QAbstractSocket::ConnectedState && t.elapsed() < 20000) {
        if (s->bytesToWrite() < kMiB) {
            s->write(chunk);
            sh.BytesSent += chunk.size();
        }
        s->waitForBytesWritten(50);
    }
    s->abort();
}

void Trickle(Shared &sh)
{
    std::unique_ptr<QTcpSocket> s(ConnectFrom(NeighbourAddress(1), PictureKind::Small));
    if (s->waitForConnected(5000))
        ++sh.Connected;
    sh.Ready = true;
    for (int i = 0; i < 4 && s->state() == QAbstractSocket::ConnectedState; ++i) {
        s->write("\xFF", 1);
        s->waitForBytesWritten(1000);
        ++sh.BytesSent;
        QThread::msleep(1000);
    }
    // Silent from now on: the window's silence limit ends it.
    if (s->state() == QAbstractSocket::ConnectedState)
        s->waitForDisconnected(5000);
    sh.TrickleCutOff = s->state() != QAbstractSocket::ConnectedState;
}

// Noise: random lengths, some behind the start of a real header so the
// decoders go further in.
void Noise(Shared &sh, int count)
{
    QRandomGenerator rnd(20240611);
    const QByteArray prefixes[] = {QByteArray(), QByteArray::fromHex("FFD8"),
                                   QByteArray::fromHex("FFD8FFE000104A46494600"), QByteArray::fromHex("FF4FFF51"),
                                   QByteArray::fromHex("0000000C6A5020200D0A870A")};
    const int sizes[] = {1, 17, 600, 5000, 70000, 400000};
    sh.Ready = true;
    for (int i = 0; i < count; ++i) {
        QByteArray bytes = prefixes[i % 5];
        const int n = sizes[rnd.bounded(6)];
        bytes.reserve(bytes.size() + n);
        for (int k = 0; k < n; ++k)
            bytes.append(char(rnd.bounded(256)));
        std::unique_ptr<QTcpSocket> s(ConnectFrom(NeighbourAddress(1), i % 2 ? PictureKind::Small : PictureKind::Large));
        if (!s->waitForConnected(5000))
            continue;
        ++sh.Connected;
        s->write(bytes);
        sh.BytesSent += bytes.size();
        s->disconnectFromHost();
        if (s->state() != QAbstractSocket::UnconnectedState)
            s->waitForDisconnected(5000);
        // One at a time: the next goes once the window has ended this one.
        WaitHere(5000, [&] { return sh.Settled.load() > i; });
    }
}

} // namespace

class TestHostilePeers : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void windowKeepsServing_data();
    void windowKeepsServing();
};

// A thousand client sockets at once need more descriptors than the usual
// soft limit leaves; the hard limit usually allows them.
void TestHostilePeers::initTestCase()
{
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < 4096) {
        files.rlim_cur = std::min<rlim_t>(4096, files.rlim_max);
        setrlimit(RLIMIT_NOFILE, &files);
    }
}

void TestHostilePeers::windowKeepsServing_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::newRow("1000 connections opened and closed at once") << "thousand";
    QTest::newRow("100 silent connections held open") << "silent";
    QTest::newRow("a sender of 100 MiB") << "flood";
    QTest::newRow("a byte every second") << "trickle";
    QTest::newRow("random bytes on both ports") << "noise";
}

void TestHostilePeers::windowKeepsServing()
{
    QFETCH(QString, scenario);
    rlimit files{};
    if (scenario == "thousand" && (getrlimit(RLIMIT_NOFILE, &files) != 0 || files.rlim_cur < 1200))
        QSKIP("too few file descriptors for a thousand connections");
    FormFixture fx;
    QVERIFY(fx.Started());
    TSSTVForm *f = fx.Form();
    const QString folder = SetupDlg->EditPath->text();
    QVERIFY(QDir().mkpath(folder));
    f->AutoSave->setChecked(true);
    ReceiverLimits limits;
    if (scenario == "trickle")
        limits.SilenceMs = 1500;
    f->SetReceiveLimits(limits);

    Shared sh;
    const QString hostile = NeighbourAddress(1);
    QList<Reception> hostileEnded;
    int hostileRefused = 0;
    QElapsedTimer clock;
    qint64 trickleEndedAt = -1;
    connect(f->PictureReceiver, &TPictureReceiver::Finished, this, [&](const Reception &r) {
        if (r.Peer != hostile)
            return;
        hostileEnded << r;
        if (scenario == "trickle")
            trickleEndedAt = clock.elapsed();
        ++sh.Settled;
    });
    connect(f->PictureReceiver, &TPictureReceiver::Refused, this, [&](const QString &peer) {
        if (peer != hostile)
            return;
        ++hostileRefused;
        ++sh.Settled;
    });

    QList<SequentialSender::Item> items;
    for (int id = 0; id < kGoodPictures; ++id) {
        const PictureKind kind = id % 2 ? PictureKind::Small : PictureKind::Large;
        items.append({kind, EncodedMarked(id, kind)});
    }
    SequentialSender good(f, TestListenAddress(), items);

    const qint64 rssBefore = RssKiB();
    // The peak counts, not just what is left at the end.
    qint64 rssPeak = rssBefore;
    QTimer sampler;
    connect(&sampler, &QTimer::timeout, this, [&] { rssPeak = std::max(rssPeak, RssKiB()); });
    sampler.start(20);
    auto meter = std::make_unique<StallMeter>();
    clock.start();
    std::unique_ptr<QThread> attacker(QThread::create([&sh, scenario] {
        if (scenario == "thousand")
            ManyAtOnce(sh, 1000, false);
        else if (scenario == "silent")
            ManyAtOnce(sh, 100, true);
        else if (scenario == "flood")
            Flood(sh);
        else if (scenario == "trickle")
            Trickle(sh);
        else
            Noise(sh, 40);
    }));
    attacker->start();
    QVERIFY(QTest::qWaitFor([&] { return sh.Ready.load(); }, 15000));
    good.Start();
    QVERIFY2(QTest::qWaitFor([&] { return good.Done(); }, 30000), "the good station's pictures did not all end");
    sh.Stop = true;
    QVERIFY(QTest::qWaitFor([&] { return attacker->isFinished(); }, 30000));
    attacker->wait();
    QVERIFY(QTest::qWaitFor([&] { return f->PictureReceiver->OpenConnections() == 0; }, 10000));
    // Every filing and its save is over.
    QVERIFY(QTest::qWaitFor([&] { return !f->FilingReception && f->PendingReceptions.isEmpty(); }, 10000));
    const qint64 stall = meter->LongestMs();
    meter.reset();
    sampler.stop();
    const qint64 growthKiB = RssKiB() - rssBefore;
    const qint64 peakGrowthKiB = std::max(rssPeak, RssKiB()) - rssBefore;
    qInfo("%s: longest stall %lld ms, memory growth %lld KiB (peak %lld KiB), hostile connections up %d, "
          "ended %lld, refused %d, bytes sent %lld",
          qPrintable(scenario), stall, growthKiB, peakGrowthKiB, sh.Connected.load(), qint64(hostileEnded.size()),
          hostileRefused, sh.BytesSent.load());

    // The good station: every picture received, none refused, all saved in
    // order, each one itself.
    QCOMPARE(good.Refusals, 0);
    QCOMPARE(good.Results.size(), kGoodPictures);
    for (const Reception &r : good.Results) {
        QVERIFY2(!r.Dropped, qPrintable(r.Result.Error));
        QVERIFY2(r.Result, qPrintable(r.Result.Error));
    }
    QCOMPARE(f->SaveCounter, kGoodPictures + 1);
    QStringList saved = QDir(folder).entryList(QDir::Files);
    QCOMPARE(saved.size(), kGoodPictures);
    for (int id = 0; id < kGoodPictures; ++id) {
        const QImage file(QDir(folder).filePath(QString("Image_%1.JPG").arg(id + 1)));
        QCOMPARE(file.size(), QSize(kLargeWidth, kLargeHeight));
        QCOMPARE(ReadMarker(file), id);
        QVERIFY(codectest::Psnr(file, MarkedPicture(id)) > 22);
    }
    // The last good picture is in its page.
    QCOMPARE(ReadMarker(f->RxPages[size_t((kGoodPictures - 1) % 4)]), kGoodPictures - 1);

    // The hostile side got nothing filed as a picture.
    for (const Reception &r : hostileEnded)
        QVERIFY(!r.Result);
    QVERIFY(hostileEnded.size() + hostileRefused <= qMax(sh.Connected.load(), 1));

    if (scenario == "thousand" || scenario == "silent") {
        QCOMPARE(sh.Connected.load(), scenario == "thousand" ? 1000 : 100);
        // One address holds a few places at most; the rest are refused.
        QVERIFY(hostileRefused > 0);
    } else if (scenario == "flood") {
        QCOMPARE(hostileEnded.size(), 1);
        QVERIFY(hostileEnded[0].Dropped);
        QVERIFY(hostileEnded[0].Size <= limits.MaxBytes);
        QVERIFY(sh.BytesSent < 100 * kMiB);
    } else if (scenario == "trickle") {
        QCOMPARE(hostileEnded.size(), 1);
        QVERIFY(hostileEnded[0].Dropped);
        QCOMPARE(hostileEnded[0].Size, 4);
        // A byte a second keeps a 1.5 s limit at bay; the silence after ends it.
        QVERIFY2(trickleEndedAt >= 4000, qPrintable(QString::number(trickleEndedAt)));
        QVERIFY(sh.TrickleCutOff.load());
    } else {
        QCOMPARE(sh.Connected.load(), 40);
        QCOMPARE(hostileEnded.size(), 40);
        QCOMPARE(hostileRefused, 0);
        for (const Reception &r : hostileEnded)
            QVERIFY(!r.Dropped);
    }
    QVERIFY2(peakGrowthKiB < 200 * 1024, qPrintable(QString("memory grew by %1 KiB").arg(peakGrowthKiB)));
    QVERIFY2(stall < StallLimitMs(), qPrintable(QString("longest stall %1 ms").arg(stall)));
}

QTEST_MAIN(TestHostilePeers)
#include "test_hostile_peers.moc"
