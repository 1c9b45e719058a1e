// The receiving listeners over real loopback connections: every connection
// is its own picture, decoded by its listener's decoder, and no peer gets
// past the limits.
#include "codectestpictures.h"
#include "exchange/receiver.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

using namespace exchange;

namespace {

const QHostAddress kLoopback(QStringLiteral("127.0.0.1"));

// A sender that connects and writes its bytes in the given pieces.
std::unique_ptr<QTcpSocket> Connect(quint16 port)
{
    auto s = std::make_unique<QTcpSocket>();
    s->connectToHost(kLoopback, port);
    if (!s->waitForConnected(5000))
        qWarning() << "no connection" << s->errorString();
    return s;
}

void WriteAll(QTcpSocket &s, const QByteArray &bytes)
{
    s.write(bytes);
    while (s.bytesToWrite() > 0 && s.state() == QAbstractSocket::ConnectedState)
        QTest::qWait(5);
}

struct Pictures {
    QImage Photo = codectest::PhotoLike(512, 384, 21);
    QByteArray J2k = EncodeJ2K(Photo);
    QByteArray Jpeg = EncodeJpeg(StretchNearest(Photo, 320, 256));
};
const Pictures &P()
{
    static const Pictures p;
    return p;
}

} // namespace

class TestReceiver : public QObject {
    Q_OBJECT
private slots:
    void eachConnectionIsOnePicture_data();
    void eachConnectionIsOnePicture();
    void overlappingConnectionsStaySeparate();
    void oversizedConnectionIsDropped();
    void silentConnectionIsDropped();
    void connectionsBeyondTheLimitAreRefused();
};

void TestReceiver::eachConnectionIsOnePicture_data()
{
    QTest::addColumn<bool>("large");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("pieces");
    QTest::addColumn<bool>("decodes");
    QTest::newRow("code stream on its port") << true << P().J2k << 1 << true;
    QTest::newRow("JPEG on its port") << false << P().Jpeg << 1 << true;
    QTest::newRow("code stream in pieces") << true << P().J2k << 7 << true;
    QTest::newRow("picture written twice") << false << P().Jpeg + P().Jpeg << 1 << true;
    QTest::newRow("JPEG on the code stream port") << true << P().Jpeg << 1 << false;
    QTest::newRow("code stream on the JPEG port") << false << P().J2k << 1 << false;
    QTest::newRow("cut-off code stream") << true << P().J2k.left(P().J2k.size() / 2) << 1 << false;
    QTest::newRow("empty connection") << false << QByteArray() << 0 << false;
}

void TestReceiver::eachConnectionIsOnePicture()
{
    QFETCH(bool, large);
    QFETCH(QByteArray, bytes);
    QFETCH(int, pieces);
    QFETCH(bool, decodes);
    TPictureReceiver rx;
    QVERIFY(rx.Listen(kLoopback, 0, 0));
    QSignalSpy started(&rx, &TPictureReceiver::Started);
    QSignalSpy finished(&rx, &TPictureReceiver::Finished);
    const PictureKind kind = large ? PictureKind::Large : PictureKind::Small;

    auto s = Connect(rx.Port(kind));
    const qsizetype step = pieces > 0 ? (bytes.size() + pieces - 1) / pieces : 0;
    for (qsizetype at = 0; at < bytes.size(); at += step) {
        WriteAll(*s, bytes.mid(at, step));
        QTest::qWait(20);
    }
    s->disconnectFromHost();
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 10000);
    QCOMPARE(started.count(), 1);
    QCOMPARE(started.at(0).at(1).toString(), QStringLiteral("127.0.0.1"));
    QCOMPARE(started.at(0).at(2).value<PictureKind>(), kind);

    const auto r = finished.at(0).at(0).value<Reception>();
    QCOMPARE(r.Id, started.at(0).at(0).toInt());
    QCOMPARE(r.Peer, QStringLiteral("127.0.0.1"));
    QCOMPARE(r.Kind, kind);
    QCOMPARE(r.Size, bytes.size());
    QVERIFY(!r.Dropped);
    QCOMPARE(bool(r.Result), decodes);
    if (decodes)
        QCOMPARE(r.Result.Picture->size(), large ? QSize(512, 384) : QSize(320, 256));
    else
        QVERIFY(!r.Result.Error.isEmpty());
    QCOMPARE(rx.OpenConnections(), 0);
}

void TestReceiver::overlappingConnectionsStaySeparate()
{
    // Two senders at once, on both ports, their bytes interleaved and
    // closed in the other order: each connection decodes its own picture.
    TPictureReceiver rx;
    QVERIFY(rx.Listen(kLoopback, 0, 0));
    QSignalSpy finished(&rx, &TPictureReceiver::Finished);
    auto a = Connect(rx.Port(PictureKind::Large));
    auto b = Connect(rx.Port(PictureKind::Small));
    auto c = Connect(rx.Port(PictureKind::Large));
    const QByteArray &j2k = P().J2k, &jpeg = P().Jpeg;
    const QByteArray other = EncodeJ2K(codectest::PhotoLike(512, 384, 22));
    for (int i = 0; i < 4; ++i) {
        WriteAll(*a, j2k.mid(i * j2k.size() / 4, (i + 1) * j2k.size() / 4 - i * j2k.size() / 4));
        WriteAll(*b, jpeg.mid(i * jpeg.size() / 4, (i + 1) * jpeg.size() / 4 - i * jpeg.size() / 4));
        WriteAll(*c, other.mid(i * other.size() / 4, (i + 1) * other.size() / 4 - i * other.size() / 4));
        QTest::qWait(20);
    }
    QTRY_COMPARE(rx.OpenConnections(), 3);
    c->disconnectFromHost();
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 10000);
    b->disconnectFromHost();
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 10000);
    a->disconnectFromHost();
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 3, 10000);
    const QByteArray expected[3] = {other, jpeg, j2k};
    for (int i = 0; i < 3; ++i) {
        const auto r = finished.at(i).at(0).value<Reception>();
        QVERIFY2(r.Result, qPrintable(r.Result.Error));
        QCOMPARE(r.Size, expected[i].size());
        const Decoded alone = i == 1 ? DecodeJpeg(expected[i]) : DecodeJ2K(expected[i]);
        QCOMPARE(*r.Result.Picture, *alone.Picture);
    }
}

void TestReceiver::oversizedConnectionIsDropped()
{
    ReceiverLimits limits;
    limits.MaxBytes = P().J2k.size() - 1;
    TPictureReceiver rx(limits);
    QVERIFY(rx.Listen(kLoopback, 0, 0));
    QSignalSpy finished(&rx, &TPictureReceiver::Finished);
    auto s = Connect(rx.Port(PictureKind::Large));
    s->write(P().J2k);
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 10000);
    const auto r = finished.at(0).at(0).value<Reception>();
    QVERIFY(r.Dropped);
    QVERIFY(!r.Result);
    QVERIFY(r.Size <= limits.MaxBytes);
    // The sender's connection is closed on it.
    QTRY_COMPARE_WITH_TIMEOUT(s->state(), QAbstractSocket::UnconnectedState, 5000);

    // Exactly at the limit is still a picture.
    limits.MaxBytes = P().J2k.size();
    TPictureReceiver exact(limits);
    QVERIFY(exact.Listen(kLoopback, 0, 0));
    QSignalSpy done(&exact, &TPictureReceiver::Finished);
    auto t = Connect(exact.Port(PictureKind::Large));
    WriteAll(*t, P().J2k);
    t->disconnectFromHost();
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, 10000);
    QVERIFY(done.at(0).at(0).value<Reception>().Result);
}

void TestReceiver::silentConnectionIsDropped()
{
    ReceiverLimits limits;
    limits.SilenceMs = 300;
    TPictureReceiver rx(limits);
    QVERIFY(rx.Listen(kLoopback, 0, 0));
    QSignalSpy finished(&rx, &TPictureReceiver::Finished);
    // A sender that keeps trickling is not silent...
    auto busy = Connect(rx.Port(PictureKind::Small));
    for (int i = 0; i < 6; ++i) {
        WriteAll(*busy, P().Jpeg.mid(i * 100, 100));
        QTest::qWait(150);
    }
    QCOMPARE(finished.count(), 0);
    // ...one that stops is dropped.
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 5000);
    const auto r = finished.at(0).at(0).value<Reception>();
    QVERIFY(r.Dropped);
    QCOMPARE(r.Size, 600);
    QTRY_COMPARE_WITH_TIMEOUT(busy->state(), QAbstractSocket::UnconnectedState, 5000);
}

void TestReceiver::connectionsBeyondTheLimitAreRefused()
{
    // Served on listeners that someone else opened, as the window does.
    QTcpServer small, large;
    QVERIFY(small.listen(kLoopback, 0));
    QVERIFY(large.listen(kLoopback, 0));
    ReceiverLimits limits;
    limits.MaxConnections = 2;
    TPictureReceiver rx(limits);
    rx.Attach(&small, &large);
    QCOMPARE(rx.Port(PictureKind::Large), large.serverPort());
    QSignalSpy refused(&rx, &TPictureReceiver::Refused);
    QSignalSpy finished(&rx, &TPictureReceiver::Finished);
    auto a = Connect(rx.Port(PictureKind::Large));
    auto b = Connect(rx.Port(PictureKind::Small));
    QTRY_COMPARE(rx.OpenConnections(), 2);
    auto c = Connect(rx.Port(PictureKind::Large));
    QTRY_COMPARE(refused.count(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(c->state(), QAbstractSocket::UnconnectedState, 5000);
    QCOMPARE(rx.OpenConnections(), 2);
    // Once one has ended, a new sender is served again.
    WriteAll(*a, P().J2k);
    a->disconnectFromHost();
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 10000);
    auto d = Connect(rx.Port(PictureKind::Small));
    WriteAll(*d, P().Jpeg);
    d->disconnectFromHost();
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 10000);
    QVERIFY(finished.at(1).at(0).value<Reception>().Result);
    QCOMPARE(refused.count(), 1);
}

QTEST_GUILESS_MAIN(TestReceiver)
#include "test_receiver.moc"
