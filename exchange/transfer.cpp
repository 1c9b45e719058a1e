// The parts of the transfer format that are neither encoder nor decoder.
#include "exchange/transfercodec.h"

namespace exchange {

Decoded DecodeForPort(uint16_t port, const QByteArray &bytes)
{
    // The port, not the content, picks the decoder.
    if (port == kLargePort)
        return DecodeJ2K(bytes);
    if (port == kSmallPort)
        return DecodeJpeg(bytes);
    Decoded none;
    none.Error = QStringLiteral("no picture format for port %1").arg(port);
    return none;
}

QImage StretchNearest(const QImage &picture, int width, int height)
{
    QImage out(width, height, QImage::Format_RGB888);
    if (out.isNull() || picture.isNull()) {
        if (!out.isNull())
            out.fill(Qt::black);
        return out;
    }
    const QImage src = picture.convertToFormat(QImage::Format_RGB888);
    const qint64 sw = src.width(), sh = src.height();
    for (int y = 0; y < height; ++y) {
        const uchar *from = src.constScanLine(int(y * sh / height));
        uchar *to = out.scanLine(y);
        for (int x = 0; x < width; ++x) {
            const uchar *px = from + 3 * (x * sw / width);
            to[3 * x] = px[0];
            to[3 * x + 1] = px[1];
            to[3 * x + 2] = px[2];
        }
    }
    return out;
}

bool IsIPAddress(const QString &text)
{
    // One walk from the left; positions count from 1, the "last dot" starts
    // at 0 so the first run is measured from the start.
    int lastDot = 0, dots = 0;
    for (int i = 1; i <= text.size(); ++i) {
        const QChar c = text[i - 1];
        if (c == u'.') {
            const int distance = i - lastDot;
            if (distance < 2 || distance > 4)
                return false;
            lastDot = i;
            ++dots;
        } else if (c < u'0' || c > u'9') {
            return false;
        }
    }
    const int tail = int(text.size()) - lastDot;
    return tail >= 1 && tail <= 3 && dots == 3;
}

std::optional<uint32_t> DottedAddressValue(const QString &text)
{
    if (!IsIPAddress(text))
        return std::nullopt;
    uint32_t value = 0;
    for (const QStringView run : QStringView(text).split(u'.')) {
        const uint n = run.toUInt();
        if (n > 255)
            return std::nullopt;
        value = (value << 8) | n;
    }
    return value;
}

} // namespace exchange
