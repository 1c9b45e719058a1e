// Encode and decode times of the two wire formats, on a photo-like picture.
// The JPEG 2000 runs also report size and PSNR per wavelet, the figures that
// chose the wavelet of the large picture.
#include "exchange/transfercodec.h"
#include "tests/exchange/codectestpictures.h"

#include <benchmark/benchmark.h>

#include <QFile>

using namespace exchange;

namespace {

// A photograph given in TELVORIA_BENCH_PHOTO, else the synthetic one.
const QImage &Large()
{
    static const QImage picture = [] {
        QImage photo;
        const QByteArray path = qgetenv("TELVORIA_BENCH_PHOTO");
        QFile f(QString::fromLocal8Bit(path));
        if (!path.isEmpty() && f.open(QIODevice::ReadOnly))
            if (const Decoded d = DecodeJpeg(f.readAll()))
                photo = d.Picture->scaled(kLargeWidth, kLargeHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        return photo.isNull() ? codectest::PhotoLike(kLargeWidth, kLargeHeight) : photo;
    }();
    return picture;
}

const QImage &Small()
{
    static const QImage picture = StretchNearest(Large(), kSmallWidth, kSmallHeight);
    return picture;
}

void EncodeLarge(benchmark::State &state)
{
    const J2KOptions options{kLargeRate, state.range(0) ? Wavelet::Reversible53 : Wavelet::Irreversible97};
    QByteArray bytes;
    for (auto _ : state) {
        bytes = EncodeJ2K(Large(), options);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.counters["bytes"] = double(bytes.size());
    state.counters["psnr_dB"] = codectest::Psnr(Large(), *DecodeJ2K(bytes).Picture);
    state.SetLabel(state.range(0) ? "5/3 reversible" : "9/7 irreversible");
}
BENCHMARK(EncodeLarge)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void DecodeLarge(benchmark::State &state)
{
    const QByteArray bytes = EncodeJ2K(Large());
    for (auto _ : state) {
        Decoded d = DecodeJ2K(bytes);
        benchmark::DoNotOptimize(d.Picture->constBits());
    }
}
BENCHMARK(DecodeLarge)->Unit(benchmark::kMillisecond);

void EncodeSmall(benchmark::State &state)
{
    QByteArray bytes;
    for (auto _ : state) {
        bytes = EncodeJpeg(Small());
        benchmark::DoNotOptimize(bytes.data());
    }
    state.counters["bytes"] = double(bytes.size());
    state.counters["psnr_dB"] = codectest::Psnr(Small(), *DecodeJpeg(bytes).Picture);
}
BENCHMARK(EncodeSmall)->Unit(benchmark::kMillisecond);

void DecodeSmall(benchmark::State &state)
{
    const QByteArray bytes = EncodeJpeg(Small());
    for (auto _ : state) {
        Decoded d = DecodeJpeg(bytes);
        benchmark::DoNotOptimize(d.Picture->constBits());
    }
}
BENCHMARK(DecodeSmall)->Unit(benchmark::kMillisecond);

void StretchToSmall(benchmark::State &state)
{
    for (auto _ : state) {
        QImage s = StretchNearest(Large(), kSmallWidth, kSmallHeight);
        benchmark::DoNotOptimize(s.constBits());
    }
}
BENCHMARK(StretchToSmall)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
