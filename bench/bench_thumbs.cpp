// The thumbnail browser on a folder of 500 photos of 1600 by 1200: the time
// from the change of folder until every thumbnail is shown, and the longest
// stall of the event loop meanwhile (how long the window could not react).
//
//   bench_thumbs [--photos N] [google benchmark flags]
// The photos are made once in a folder under the system's temporary folder.
#include "app/pictureio.h"
#include "app/thumbs.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QRandomGenerator>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>

namespace {
int PhotoCount = 500;

// A photo-like picture: smooth gradients, shapes and some noise, so the JPEG
// files have the size and decoding cost of real photos (a few hundred KB).
QImage MakePhoto(int seed)
{
    QImage image(1600, 1200, QImage::Format_RGB888);
    QRandomGenerator rng(quint32(seed) + 1);
    for (int y = 0; y < image.height(); ++y) {
        uchar *row = image.scanLine(y);
        for (int x = 0; x < image.width(); ++x) {
            const int n = int(rng.bounded(24));
            row[3 * x] = uchar((x * 255 / 1600 + seed * 7 + n) & 0xFF);
            row[3 * x + 1] = uchar((y * 255 / 1200 + n) & 0xFF);
            row[3 * x + 2] = uchar((128 + int(100 * std::sin((x + y + seed) / 60.0)) + n) & 0xFF);
        }
    }
    QPainter p(&image);
    for (int i = 0; i < 12; ++i) {
        p.setBrush(QColor::fromHsv(int(rng.bounded(360)), 180, 220));
        p.drawEllipse(int(rng.bounded(1400)), int(rng.bounded(1000)), 200, 160);
    }
    return image;
}

QString PhotoFolder()
{
    const QString folder = QDir::temp().filePath(QStringLiteral("telvoria-bench-thumbs-%1").arg(PhotoCount));
    QDir().mkpath(folder);
    for (int i = 0; i < PhotoCount; ++i) {
        const QString file = QDir(folder).filePath(QStringLiteral("photo%1.jpg").arg(i, 4, 10, QChar('0')));
        QFile f(file);
        if (!f.exists() && f.open(QIODevice::WriteOnly))
            f.write(EncodeJpeg(MakePhoto(i), 85));
    }
    return folder;
}

void BM_FolderOfPhotos(benchmark::State &state)
{
    const QString folder = PhotoFolder();
    const QString empty = QDir::temp().filePath(QStringLiteral("telvoria-bench-thumbs-empty"));
    QDir().mkpath(empty);
    TThumbs window;
    window.show();
    QCoreApplication::processEvents();
    double longestStallMs = 0;
    qint64 shown = 0;
    for (auto _ : state) {
        state.PauseTiming();
        window.SelectFolder(empty);
        while (window.Loading())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        state.ResumeTiming();

        // A 1 ms heartbeat: the largest gap between its beats is the longest
        // time the event loop was held up.
        QElapsedTimer beat;
        qint64 longest = 0;
        QTimer heartbeat;
        heartbeat.setTimerType(Qt::PreciseTimer);
        heartbeat.setInterval(1);
        QObject::connect(&heartbeat, &QTimer::timeout, [&] {
            longest = std::max(longest, beat.nsecsElapsed());
            beat.restart();
        });
        beat.start();
        heartbeat.start();
        window.SelectFolder(folder);
        while (window.Loading())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        QCoreApplication::processEvents(); // the last paint
        heartbeat.stop();
        longest = std::max(longest, beat.nsecsElapsed());
        longestStallMs = std::max(longestStallMs, double(longest) / 1e6);
        shown = window.ImageEnMView1->Count();
        for (int i = 0; i < shown; ++i)
            if (!window.ImageEnMView1->HasThumbnail(i))
                state.SkipWithError("a thumbnail is missing");
    }
    state.counters["thumbnails"] = double(shown);
    state.counters["longest_stall_ms"] = longestStallMs;
    state.counters["thumbnails_per_s"] =
        benchmark::Counter(double(shown) * double(state.iterations()), benchmark::Counter::kIsRate);
}
} // namespace

// One thumbnail of one photo on this thread: the work each background task does.
void BM_ReadThumbnailOfPhoto(benchmark::State &state)
{
    const QString file = QDir(PhotoFolder()).filePath(QStringLiteral("photo0000.jpg"));
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadThumbnail(file, QSize(64, 48)));
}

// The same heartbeat with nothing to do for as long: the longest stall the
// machine itself causes (other processes, timer slack), to read the figure
// above against.
void BM_IdleEventLoop(benchmark::State &state)
{
    for (auto _ : state) {
        QElapsedTimer beat, total;
        qint64 longest = 0;
        QTimer heartbeat;
        heartbeat.setTimerType(Qt::PreciseTimer);
        heartbeat.setInterval(1);
        QObject::connect(&heartbeat, &QTimer::timeout, [&] {
            longest = std::max(longest, beat.nsecsElapsed());
            beat.restart();
        });
        beat.start();
        total.start();
        heartbeat.start();
        while (total.elapsed() < 3000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        state.counters["longest_stall_ms"] = double(longest) / 1e6;
    }
}

BENCHMARK(BM_ReadThumbnailOfPhoto)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IdleEventLoop)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_FolderOfPhotos)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

int main(int argc, char **argv)
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--photos") == 0) {
            PhotoCount = std::max(1, std::atoi(argv[i + 1]));
            for (int j = i; j + 2 <= argc; ++j)
                argv[j] = argv[j + 2];
            argc -= 2;
            break;
        }
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
