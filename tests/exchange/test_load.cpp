// Many stations at once against the real window: twenty senders, each from
// its own loopback address, ten pictures each on both ports, with Auto Save
// on. Every picture must be received and saved once, itself, and each
// sender's pictures in the order sent. A sender refused because the window
// is full (more senders than places) tries again, as an operator would.
#include "loopbackpeers.h"

#include "app/setupdlg.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QDir>
#include <QtTest>

#include <map>
#include <memory>
#include <vector>

using namespace exchange;
using namespace peers;

class TestLoad : public QObject {
    Q_OBJECT
private slots:
    void twentySendersAtOnce();
};

void TestLoad::twentySendersAtOnce()
{
    constexpr int kSenders = 20, kEach = 10;
    FormFixture fx;
    QVERIFY(fx.Started());
    TSSTVForm *f = fx.Form();
    const QString folder = SetupDlg->EditPath->text();
    QVERIFY(QDir().mkpath(folder));
    f->AutoSave->setChecked(true);

    // Encoded before the clock starts: the figure is the window's.
    std::vector<std::unique_ptr<SequentialSender>> senders;
    for (int s = 0; s < kSenders; ++s) {
        QList<SequentialSender::Item> items;
        for (int q = 0; q < kEach; ++q) {
            const PictureKind kind = (s + q) % 2 ? PictureKind::Small : PictureKind::Large;
            items.append({kind, EncodedMarked(s * kEach + q, kind)});
        }
        senders.push_back(std::make_unique<SequentialSender>(f, NeighbourAddress(s + 1), items, true));
    }

    StallMeter meter;
    QElapsedTimer clock;
    clock.start();
    for (auto &s : senders)
        s->Start();
    const auto allDone = [&] {
        for (const auto &s : senders)
            if (!s->Done())
                return false;
        return !f->FilingReception && f->PendingReceptions.isEmpty();
    };
    QVERIFY2(QTest::qWaitFor(allDone, 120000), "not every sender finished");
    const qint64 ms = clock.elapsed();
    int refusals = 0;
    for (const auto &s : senders)
        refusals += s->Refusals;
    qInfo("%d pictures in %lld ms: %.1f pictures per second; %d refusals retried, longest stall %lld ms",
          kSenders * kEach, ms, kSenders * kEach * 1000.0 / std::max<qint64>(ms, 1), refusals, meter.LongestMs());

    for (const auto &s : senders) {
        QCOMPARE(s->Lost, 0);
        QCOMPARE(s->Results.size(), kEach);
        for (const Reception &r : s->Results)
            QVERIFY2(!r.Dropped && r.Result, qPrintable(r.Result.Error));
    }
    QCOMPARE(f->ReceiveBeeps, 0);
    QCOMPARE(f->SaveCounter, kSenders * kEach + 1);
    QCOMPARE(QDir(folder).entryList(QDir::Files).size(), kSenders * kEach);

    // Each saved file is one sent picture, none twice, and every sender's
    // pictures were saved in the order it sent them.
    std::map<int, int> savedAt; // id -> save number
    for (int n = 1; n <= kSenders * kEach; ++n) {
        const QString name = QDir(folder).filePath(QString("Image_%1.JPG").arg(n));
        const QImage file(name);
        QVERIFY2(!file.isNull(), qPrintable(name));
        const int id = ReadMarker(file);
        QVERIFY2(id >= 0 && id < kSenders * kEach, qPrintable(name));
        QVERIFY2(!savedAt.count(id), qPrintable(QString("picture %1 saved twice").arg(id)));
        savedAt[id] = n;
        const double psnr = codectest::Psnr(file, MarkedPicture(id));
        QVERIFY2(psnr > 22, qPrintable(QString("%1: %2 dB").arg(name).arg(psnr)));
    }
    QCOMPARE(int(savedAt.size()), kSenders * kEach);
    for (int s = 0; s < kSenders; ++s)
        for (int q = 1; q < kEach; ++q)
            QVERIFY(savedAt[s * kEach + q - 1] < savedAt[s * kEach + q]);
}

QTEST_MAIN(TestLoad)
#include "test_load.moc"
