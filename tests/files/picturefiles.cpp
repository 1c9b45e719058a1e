#include "picturefiles.h"

#include <QFile>
#include <QPainter>
#include <QtEndian>

#include <Magick++.h>

#include <vector>

void UseTestSaneConfig()
{
    qputenv("SANE_CONFIG_DIR", QByteArray(TELVORIA_TEST_SANE_DIR));
}

QImage TestPattern(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB888);
    QPainter p(&image);
    const int hw = width / 2, hh = height / 2;
    p.fillRect(0, 0, hw, hh, Qt::white);
    p.fillRect(hw, 0, width - hw, hh, Qt::black);
    p.fillRect(0, hh, hw, height - hh, QColor(220, 30, 20));
    p.fillRect(hw, hh, width - hw, height - hh, QColor(20, 40, 200));
    return image;
}

bool ColourNear(const QColor &a, const QColor &b, int tolerance)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

void WriteAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

void WriteWithGeneralLibrary(const QImage &picture, const QString &path, const char *coder, bool lzw)
{
    static bool started = false;
    if (!started) {
        Magick::InitializeMagick(nullptr);
        started = true;
    }
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    std::vector<uchar> packed;
    for (int y = 0; y < rgb.height(); ++y)
        packed.insert(packed.end(), rgb.constScanLine(y), rgb.constScanLine(y) + rgb.width() * 3);
    Magick::Image image(size_t(rgb.width()), size_t(rgb.height()), "RGB", Magick::CharPixel, packed.data());
    if (lzw)
        image.compressType(Magick::LZWCompression);
    Magick::Blob blob;
    image.write(&blob, coder);
    WriteAll(path, QByteArray(static_cast<const char *>(blob.data()), qsizetype(blob.length())));
}

int FirstLuminanceQuant(const QByteArray &jpeg)
{
    const int at = int(jpeg.indexOf(QByteArray("\xFF\xDB", 2)));
    if (at < 0 || at + 6 > jpeg.size())
        return -1;
    return uchar(jpeg[at + 5]);
}

QByteArray WithJpegSize(QByteArray jpeg, int width, int height)
{
    const int at = int(jpeg.indexOf(QByteArray("\xFF\xC0", 2)));
    if (at < 0)
        return jpeg;
    qToBigEndian<quint16>(quint16(height), jpeg.data() + at + 5);
    qToBigEndian<quint16>(quint16(width), jpeg.data() + at + 7);
    return jpeg;
}

static quint32 Crc32(const char *data, int n)
{
    quint32 c = 0xFFFFFFFFu;
    for (int i = 0; i < n; ++i) {
        c ^= uchar(data[i]);
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

QByteArray PngWithSize(QByteArray png, quint32 width, quint32 height)
{
    // IHDR's data starts at 16; its CRC covers type and data (12..29).
    qToBigEndian<quint32>(width, png.data() + 16);
    qToBigEndian<quint32>(height, png.data() + 20);
    qToBigEndian<quint32>(Crc32(png.constData() + 12, 17), png.data() + 29);
    return png;
}

QByteArray BmpHeader(int width, int height)
{
    QByteArray b(54, '\0');
    b[0] = 'B';
    b[1] = 'M';
    qToLittleEndian<quint32>(54u + 3u * quint32(width) * quint32(height), b.data() + 2);
    qToLittleEndian<quint32>(54, b.data() + 10);
    qToLittleEndian<quint32>(40, b.data() + 14);
    qToLittleEndian<qint32>(width, b.data() + 18);
    qToLittleEndian<qint32>(height, b.data() + 22);
    qToLittleEndian<quint16>(1, b.data() + 26);
    qToLittleEndian<quint16>(24, b.data() + 28);
    return b;
}

QByteArray GifHeader(int width, int height)
{
    QByteArray g("GIF89a");
    char screen[7];
    qToLittleEndian<quint16>(quint16(width), screen);
    qToLittleEndian<quint16>(quint16(height), screen + 2);
    screen[4] = char(0x80); // a global colour table of two entries
    screen[5] = 0;
    screen[6] = 0;
    g.append(screen, 7);
    g.append("\0\0\0\xFF\xFF\xFF", 6);
    char descriptor[10] = {0x2C};
    qToLittleEndian<quint16>(quint16(width), descriptor + 5);
    qToLittleEndian<quint16>(quint16(height), descriptor + 7);
    g.append(descriptor, 10);
    g.append("\x02\x02\x44\x01\x00\x3B", 6); // a token of pixel data, then the end
    return g;
}

QByteArray TgaHeader(int width, int height)
{
    QByteArray t(18, '\0');
    t[2] = 2; // true colour
    qToLittleEndian<quint16>(quint16(width), t.data() + 12);
    qToLittleEndian<quint16>(quint16(height), t.data() + 14);
    t[16] = 24;
    return t + QByteArray(64, '\x7F');
}
