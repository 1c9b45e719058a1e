// One received connection's bytes, decoded as the receiver does: the
// listening port picks the decoder, the picture is then taken to 24-bit and
// fitted to the page of that port. FUZZ_PORT selects the port at build time
// so each decoder gets its own corpus.
#include "exchange/transfercodec.h"
#include "fuzzcheck.h"

#include <cstddef>
#include <cstdint>

#ifndef FUZZ_PORT
#error "FUZZ_PORT must name the listening port"
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace exchange;
    // The receiver collects at most 8 MiB per connection.
    if (size > 8 * 1024 * 1024)
        return 0;
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const Decoded d = DecodeForPort(FUZZ_PORT, bytes);
    if (!d) {
        FUZZ_REQUIRE(!d.Error.isEmpty());
        return 0;
    }
    const QImage &p = *d.Picture;
    FUZZ_REQUIRE(!p.isNull());
    FUZZ_REQUIRE(p.format() == QImage::Format_RGB888);
    FUZZ_REQUIRE(p.width() >= 1 && p.width() <= kMaxDecodeSide);
    FUZZ_REQUIRE(p.height() >= 1 && p.height() <= kMaxDecodeSide);

    // Every block a JPEG scan codes costs at least one bit and no block
    // covers more than 32 by 32 pixels, so a whole picture cannot be much
    // larger than this; one that is was made up by the decoder.
    if (FUZZ_PORT == kSmallPort)
        FUZZ_REQUIRE(int64_t(p.width()) * p.height() <= 8 * 1024 * int64_t(size));

    const bool large = FUZZ_PORT == kLargePort;
    const QImage page = StretchNearest(p.convertToFormat(QImage::Format_RGB888), large ? kLargeWidth : kSmallWidth,
                                       large ? kLargeHeight : kSmallHeight);
    FUZZ_REQUIRE(page.width() == (large ? kLargeWidth : kSmallWidth));
    FUZZ_REQUIRE(page.height() == (large ? kLargeHeight : kSmallHeight));
    // Touch every pixel so a decoder that hands back short rows is caught.
    unsigned sum = 0;
    for (int y = 0; y < p.height(); ++y) {
        const uchar *row = p.constScanLine(y);
        for (int x = 0; x < p.width() * 3; ++x)
            sum += row[x];
    }
    static volatile unsigned sink;
    sink = sum;
    (void)sink;
    return 0;
}
