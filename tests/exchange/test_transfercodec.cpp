// The transfer codecs: what goes on the wire byte for byte, what comes back,
// and that no input, however hostile, gets further than a clean failure.
#include "codectestpictures.h"
#include "exchange/transfercodec.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <random>

using namespace exchange;
using codectest::PhotoLike;
using codectest::Psnr;

namespace {

// Lowest acceptable quality of a round trip of the photo-like picture.
constexpr double kJ2KFloor = 30.0;
constexpr double kJpegFloor = 33.0;

uint32_t U16(const QByteArray &b, qsizetype at)
{
    return (uint32_t(uchar(b[at])) << 8) | uchar(b[at + 1]);
}
uint32_t U32(const QByteArray &b, qsizetype at) { return (U16(b, at) << 16) | U16(b, at + 2); }

// Offset of the first marker segment m in a JPEG 2000 main header, or -1.
qsizetype FindJ2KMainMarker(const QByteArray &cs, uint32_t m)
{
    qsizetype pos = 2;
    while (pos + 4 <= cs.size()) {
        const uint32_t marker = U16(cs, pos);
        if (marker == m)
            return pos;
        if (marker == 0xFF90)
            return -1;
        pos += 2 + U16(cs, pos + 2);
    }
    return -1;
}

// The marker segments of a JPEG up to its scan: (marker, offset).
QList<QPair<uint32_t, qsizetype>> JpegSegments(const QByteArray &f)
{
    QList<QPair<uint32_t, qsizetype>> out;
    qsizetype pos = 2;
    while (pos + 4 <= f.size()) {
        const uint32_t marker = U16(f, pos);
        out.append({marker, pos});
        if (marker == 0xFFDA)
            break;
        pos += 2 + U16(f, pos + 2);
    }
    return out;
}

QImage Noise(int w, int h, uint32_t seed)
{
    std::mt19937 gen(seed);
    QImage img(w, h, QImage::Format_RGB888);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < 3 * w; ++x)
            img.scanLine(y)[x] = uchar(gen());
    return img;
}

QImage Flat(int w, int h, QColor c)
{
    QImage img(w, h, QImage::Format_RGB888);
    img.fill(c);
    return img;
}

QByteArray RandomBytes(int n, uint32_t seed)
{
    std::mt19937 gen(seed);
    QByteArray b(n, '\0');
    for (char &c : b)
        c = char(gen());
    return b;
}

bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray ReadFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Runs a tool; false when it failed or did not finish.
bool Run(const QString &tool, const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(tool, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        qWarning() << tool << args << p.readAll();
        return false;
    }
    return true;
}

QString Tool(const char *name)
{
    return QStandardPaths::findExecutable(QString::fromLatin1(name));
}

// The picture as a binary PPM (what every tool reads).
QByteArray Ppm(const QImage &img)
{
    const QImage rgb = img.convertToFormat(QImage::Format_RGB888);
    QByteArray out = QStringLiteral("P6\n%1 %2\n255\n").arg(rgb.width()).arg(rgb.height()).toLatin1();
    for (int y = 0; y < rgb.height(); ++y)
        out.append(reinterpret_cast<const char *>(rgb.constScanLine(y)), 3 * rgb.width());
    return out;
}

// The example tables of ITU-T T.81 Annex K, natural order.
const int kLumaBase[64] = {16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
                           14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
                           18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
                           49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
const int kChromaBase[64] = {17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
                             24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99,
                             99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
                             99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};
const int kZigzag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                         12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                         35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                         58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};
// Code length counts of the four standard Huffman tables (DC/AC luma/chroma).
const uchar kBitsDcLuma[16] = {0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0};
const uchar kBitsAcLuma[16] = {0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d};
const uchar kBitsDcChroma[16] = {0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0};
const uchar kBitsAcChroma[16] = {0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77};

} // namespace

class TestTransferCodec : public QObject {
    Q_OBJECT
private slots:
    void j2kLayout_data();
    void j2kLayout();
    void jpegLayout_data();
    void jpegLayout();
    void roundTrips();
    void extraBytesAndHeaders();
    void hostileInputs_data();
    void hostileInputs();
    void mutatedStreamsNeverCrash();
    void independentDecoderReadsOurs();
    void weReadIndependentEncoders();
    void stretchNearest();
    void dottedAddress_data();
    void dottedAddress();
    void dottedAddressValue();
};

void TestTransferCodec::j2kLayout_data()
{
    QTest::addColumn<QImage>("picture");
    QTest::newRow("photo") << PhotoLike(512, 384);
    QTest::newRow("noise") << Noise(512, 384, 7); // the hardest case for the size bound
    QTest::newRow("black") << Flat(512, 384, Qt::black);
}

void TestTransferCodec::j2kLayout()
{
    QFETCH(QImage, picture);
    const QByteArray cs = EncodeJ2K(picture);
    QCOMPARE(RateBudget(512, 384), 29491);
    QVERIFY2(cs.size() <= 29491, qPrintable(QString::number(cs.size())));
    QVERIFY(cs.startsWith(QByteArray::fromHex("FF4FFF51")));
    QVERIFY(cs.endsWith(QByteArray::fromHex("FFD9")));
    // SIZ: 512 by 384 at the origin, three unsigned 8-bit components, no subsampling.
    QCOMPARE(U32(cs, 8), 512u);
    QCOMPARE(U32(cs, 12), 384u);
    QCOMPARE(U32(cs, 16), 0u);
    QCOMPARE(U32(cs, 20), 0u);
    QCOMPARE(U16(cs, 40), 3u);
    for (int c = 0; c < 3; ++c) {
        QCOMPARE(uchar(cs[42 + 3 * c]), uchar(7)); // 8 bits, unsigned
        QCOMPARE(uchar(cs[43 + 3 * c]), uchar(1));
        QCOMPARE(uchar(cs[44 + 3 * c]), uchar(1));
    }
    // COD: LRCP, one layer, the colour transform, the chosen wavelet.
    const qsizetype cod = FindJ2KMainMarker(cs, 0xFF52);
    QVERIFY(cod > 0);
    QCOMPARE(uchar(cs[cod + 5]), uchar(0));
    QCOMPARE(U16(cs, cod + 6), 1u);
    QCOMPARE(uchar(cs[cod + 8]), uchar(1));
    QCOMPARE(uchar(cs[cod + 13]), uchar(0)); // 9/7 irreversible
    // A comment segment names the encoder.
    QVERIFY(FindJ2KMainMarker(cs, 0xFF64) > 0);
    // What the decoder reads back is that picture's shape.
    const Decoded back = DecodeJ2K(cs);
    QVERIFY2(back, qPrintable(back.Error));
    QCOMPARE(back.Picture->size(), QSize(512, 384));
    QCOMPARE(back.Picture->format(), QImage::Format_RGB888);
}

void TestTransferCodec::jpegLayout_data()
{
    QTest::addColumn<int>("dpi");
    QTest::newRow("screen default") << -1;
    QTest::newRow("72 dpi") << 72;
    QTest::newRow("300 dpi") << 300;
}

void TestTransferCodec::jpegLayout()
{
    QFETCH(int, dpi);
    const QImage small = StretchNearest(PhotoLike(512, 384), 320, 256);
    const QByteArray f = dpi < 0 ? EncodeJpeg(small) : EncodeJpeg(small, 90, dpi);
    const int expectDpi = dpi < 0 ? 96 : dpi;
    QVERIFY(f.startsWith(QByteArray::fromHex("FFD8")));
    QVERIFY(f.endsWith(QByteArray::fromHex("FFD9")));
    // JFIF 1.01 first, density in dots per inch, no thumbnail.
    QCOMPARE(U16(f, 2), 0xFFE0u);
    QCOMPARE(U16(f, 4), 16u);
    QCOMPARE(f.mid(6, 5), QByteArray("JFIF\0", 5));
    QCOMPARE(U16(f, 11), 0x0101u);
    QCOMPARE(uchar(f[13]), uchar(1));
    QCOMPARE(int(U16(f, 14)), expectDpi);
    QCOMPARE(int(U16(f, 16)), expectDpi);
    QCOMPARE(U16(f, 18), 0u);

    int quantTables = 0, huffTables = 0;
    bool sof0 = false;
    for (const auto &[marker, at] : JpegSegments(f)) {
        // Only what a baseline JFIF needs: no other application or comment
        // segments, no restart interval, no progressive or extended frames.
        QVERIFY2(marker == 0xFFE0 || marker == 0xFFDB || marker == 0xFFC0 || marker == 0xFFC4 || marker == 0xFFDA,
                 qPrintable(QString::number(marker, 16)));
        QVERIFY(marker != 0xFFE0 || at == 2);
        const qsizetype len = U16(f, at + 2);
        if (marker == 0xFFC0) {
            sof0 = true;
            QCOMPARE(uchar(f[at + 4]), uchar(8));
            QCOMPARE(U16(f, at + 5), 256u);
            QCOMPARE(U16(f, at + 7), 320u);
            QCOMPARE(uchar(f[at + 9]), uchar(3));
            QCOMPARE(uchar(f[at + 11]), uchar(0x22)); // Y 2 by 2
            QCOMPARE(uchar(f[at + 14]), uchar(0x11));
            QCOMPARE(uchar(f[at + 17]), uchar(0x11));
        } else if (marker == 0xFFDB) {
            for (qsizetype p = at + 4; p < at + 2 + len; p += 65) {
                const int id = uchar(f[p]);
                QCOMPARE(id >> 4, 0); // 8-bit entries
                const int *base = (id & 15) == 0 ? kLumaBase : kChromaBase;
                for (int k = 0; k < 64; ++k) {
                    const int expect = std::clamp((base[kZigzag[k]] * 20 + 50) / 100, 1, 255);
                    QCOMPARE(int(uchar(f[p + 1 + k])), expect);
                }
                ++quantTables;
            }
        } else if (marker == 0xFFC4) {
            for (qsizetype p = at + 4; p < at + 2 + len;) {
                const int cls = uchar(f[p]);
                const uchar *expect = cls == 0x00 ? kBitsDcLuma
                                      : cls == 0x10 ? kBitsAcLuma
                                      : cls == 0x01 ? kBitsDcChroma
                                                    : kBitsAcChroma;
                int count = 0;
                for (int k = 0; k < 16; ++k) {
                    QCOMPARE(uchar(f[p + 1 + k]), expect[k]);
                    count += uchar(f[p + 1 + k]);
                }
                p += 17 + count;
                ++huffTables;
            }
        }
    }
    QVERIFY(sof0);
    QCOMPARE(quantTables, 2);
    QCOMPARE(huffTables, 4);
}

void TestTransferCodec::roundTrips()
{
    const QImage photo = PhotoLike(512, 384);
    const Decoded j2k = DecodeJ2K(EncodeJ2K(photo));
    QVERIFY2(j2k, qPrintable(j2k.Error));
    const double j2kPsnr = Psnr(photo, *j2k.Picture);
    QVERIFY2(j2kPsnr >= kJ2KFloor, qPrintable(QString::number(j2kPsnr)));

    const QImage small = StretchNearest(photo, 320, 256);
    const Decoded jpeg = DecodeJpeg(EncodeJpeg(small));
    QVERIFY2(jpeg, qPrintable(jpeg.Error));
    QCOMPARE(jpeg.Picture->format(), QImage::Format_RGB888);
    const double jpegPsnr = Psnr(small, *jpeg.Picture);
    QVERIFY2(jpegPsnr >= kJpegFloor, qPrintable(QString::number(jpegPsnr)));

    // Flat colours survive nearly exactly.
    const QImage red = Flat(512, 384, QColor(200, 30, 40));
    const Decoded flat = DecodeJ2K(EncodeJ2K(red));
    QVERIFY(flat);
    QVERIFY(Psnr(red, *flat.Picture) > 40);

    // The reversible wavelet stays within the budget too.
    const QByteArray rev = EncodeJ2K(photo, {kLargeRate, Wavelet::Reversible53});
    QVERIFY(rev.size() <= 29491);
    QVERIFY(DecodeJ2K(rev));
}

void TestTransferCodec::extraBytesAndHeaders()
{
    const QImage photo = PhotoLike(512, 384);
    const QByteArray cs = EncodeJ2K(photo);
    const Decoded first = DecodeJ2K(cs);
    QVERIFY2(first, qPrintable(first.Error));
    const QImage once = *first.Picture;
    // A sender that writes its picture twice, or trailing rubbish: the first
    // picture counts.
    for (const QByteArray &tail : {cs, RandomBytes(5000, 3), QByteArray(1, '\xFF')}) {
        const Decoded d = DecodeJ2K(cs + tail);
        QVERIFY2(d, qPrintable(d.Error));
        QCOMPARE(*d.Picture, once);
    }
    const QImage small = StretchNearest(photo, 320, 256);
    const QByteArray jpg = EncodeJpeg(small);
    const Decoded jpgFirst = DecodeJpeg(jpg);
    QVERIFY2(jpgFirst, qPrintable(jpgFirst.Error));
    const QImage jpgOnce = *jpgFirst.Picture;
    struct Case {
        QByteArray bytes;
        bool ok;
    };
    const QByteArray streamHeader = QByteArray("JFIF", 4) + QByteArray(4, '\0') + QByteArray::fromHex("00001234");
    const Case cases[] = {
        {jpg + jpg, true},
        {jpg + RandomBytes(3000, 4), true},
        {streamHeader + jpg, true},
        {QByteArray(50, 'x') + jpg, true},
        {QByteArray(99, '\0') + jpg, true},     // last position searched
        {QByteArray(100, '\0') + jpg, false},   // one too far
        {streamHeader + QByteArray(99, 'x') + jpg, true},
    };
    for (const Case &c : cases) {
        const Decoded d = DecodeJpeg(c.bytes);
        QCOMPARE(bool(d), c.ok);
        if (c.ok)
            QCOMPARE(*d.Picture, jpgOnce);
    }
}

void TestTransferCodec::hostileInputs_data()
{
    QTest::addColumn<bool>("j2k");
    QTest::addColumn<QByteArray>("bytes");
    const QImage photo = PhotoLike(512, 384);
    const QByteArray cs = EncodeJ2K(photo);
    const QByteArray jpg = EncodeJpeg(StretchNearest(photo, 320, 256));

    for (bool j2k : {true, false}) {
        const QByteArray good = j2k ? cs : jpg;
        const char *name = j2k ? "j2k" : "jpeg";
        QTest::addRow("%s empty", name) << j2k << QByteArray();
        QTest::addRow("%s random", name) << j2k << RandomBytes(4000, 11);
        QTest::addRow("%s signature only", name) << j2k << good.left(4);
        for (double at : {0.01, 0.1, 0.5, 0.9})
            QTest::addRow("%s cut at %g", name, at) << j2k << good.left(qsizetype(good.size() * at));
        QTest::addRow("%s cut before end marker", name) << j2k << good.left(good.size() - 2);
    }
    // The other port's picture.
    QTest::newRow("jpeg to j2k decoder") << true << jpg;
    QTest::newRow("j2k to jpeg decoder") << false << cs;

    // Size fields declaring 60000 by 60000.
    QByteArray bigJ2k = cs;
    for (int at : {8, 12}) {
        bigJ2k[at] = 0;
        bigJ2k[at + 1] = 0;
        bigJ2k[at + 2] = char(0xEA);
        bigJ2k[at + 3] = char(0x60);
    }
    QTest::newRow("j2k 60000 by 60000") << true << bigJ2k;
    QByteArray bigJpg = jpg;
    const qsizetype sof = bigJpg.indexOf(QByteArray::fromHex("FFC0"));
    bigJpg[sof + 5] = char(0xEA);
    bigJpg[sof + 6] = char(0x60);
    bigJpg[sof + 7] = char(0xEA);
    bigJpg[sof + 8] = char(0x60);
    QTest::newRow("jpeg 60000 by 60000") << false << bigJpg;
    // Tiles of one pixel: a million tiles of bookkeeping before any pixel.
    QByteArray tiny = cs;
    for (int at : {24, 28}) {
        tiny[at] = 0;
        tiny[at + 1] = 0;
        tiny[at + 2] = 0;
        tiny[at + 3] = 1;
    }
    QTest::newRow("j2k one-pixel tiles") << true << tiny;
    QByteArray noComps = cs;
    noComps[40] = 0;
    noComps[41] = 0;
    QTest::newRow("j2k no components") << true << noComps;
    // A JP2 signature with nothing behind it.
    QTest::newRow("jp2 signature only") << true << QByteArray::fromHex("0000000C6A5020200D0A870A");
    QTest::newRow("jp2 box lengths beyond the data")
        << true << QByteArray::fromHex("0000000C6A5020200D0A870A7FFFFFFF6A703268");
}

void TestTransferCodec::hostileInputs()
{
    QFETCH(bool, j2k);
    QFETCH(QByteArray, bytes);
    const Decoded d = j2k ? DecodeJ2K(bytes) : DecodeJpeg(bytes);
    QVERIFY(!d);
    QVERIFY(!d.Error.isEmpty());
}

void TestTransferCodec::mutatedStreamsNeverCrash()
{
    // Random damage anywhere in valid pictures: every decode returns, and a
    // picture it gives is whole and of a sane size.
    const QImage photo = PhotoLike(512, 384);
    const QByteArray streams[2] = {EncodeJ2K(photo), EncodeJpeg(StretchNearest(photo, 320, 256))};
    std::mt19937 gen(99);
    for (int s = 0; s < 2; ++s) {
        for (int round = 0; round < 150; ++round) {
            QByteArray b = streams[s];
            const int hits = 1 + int(gen() % 8);
            for (int h = 0; h < hits; ++h) {
                // Most damage goes to the headers, where the decoders are most exposed.
                const qsizetype at = gen() % 2 ? qsizetype(gen() % 300) : qsizetype(gen() % b.size());
                b[at] = char(gen());
            }
            if (gen() % 4 == 0)
                b.truncate(qsizetype(gen() % b.size()));
            const Decoded d = s == 0 ? DecodeJ2K(b) : DecodeJpeg(b);
            if (d) {
                QCOMPARE(d.Picture->format(), QImage::Format_RGB888);
                QVERIFY(d.Picture->width() <= kMaxDecodeSide && d.Picture->height() <= kMaxDecodeSide);
            } else {
                QVERIFY(!d.Error.isEmpty());
            }
        }
    }
}

void TestTransferCodec::independentDecoderReadsOurs()
{
    const QString opj = Tool("opj_decompress"), djpeg = Tool("djpeg");
    if (opj.isEmpty() || djpeg.isEmpty())
        QSKIP("opj_decompress or djpeg is not installed");
    QTemporaryDir dir;
    const QImage photo = PhotoLike(512, 384);
    QVERIFY(WriteFile(dir.filePath("a.j2k"), EncodeJ2K(photo)));
    QVERIFY(Run(opj, {"-i", dir.filePath("a.j2k"), "-o", dir.filePath("a.ppm")}));
    const QImage fromOpj = QImage::fromData(ReadFile(dir.filePath("a.ppm")), "PPM");
    QCOMPARE(fromOpj.size(), QSize(512, 384));
    QVERIFY(Psnr(photo, fromOpj) >= kJ2KFloor);

    const QImage small = StretchNearest(photo, 320, 256);
    QVERIFY(WriteFile(dir.filePath("b.jpg"), EncodeJpeg(small)));
    QVERIFY(Run(djpeg, {"-ppm", "-outfile", dir.filePath("b.ppm"), dir.filePath("b.jpg")}));
    const QImage fromDjpeg = QImage::fromData(ReadFile(dir.filePath("b.ppm")), "PPM");
    QCOMPARE(fromDjpeg.size(), QSize(320, 256));
    QVERIFY(Psnr(small, fromDjpeg) >= kJpegFloor);
}

void TestTransferCodec::weReadIndependentEncoders()
{
    const QString opj = Tool("opj_compress"), convert = Tool("convert");
    if (opj.isEmpty() || convert.isEmpty())
        QSKIP("opj_compress or ImageMagick convert is not installed");
    QTemporaryDir dir;
    const QImage photo = PhotoLike(400, 300, 5);
    const QString in = dir.filePath("in.ppm"), grey = dir.filePath("grey.pgm"), deep = dir.filePath("deep.ppm");
    QVERIFY(WriteFile(in, Ppm(photo)));
    QVERIFY(Run(convert, {in, "-colorspace", "Gray", grey}));
    QVERIFY(Run(convert, {in, "-depth", "16", deep}));
    const QImage greyPicture = QImage::fromData(ReadFile(grey), "PGM");
    QVERIFY(!greyPicture.isNull());
    struct Made {
        QString tool;
        QStringList args; // the output file is the last argument
        bool j2k;
        bool isGrey;
    };
    const auto out = [&](const char *name) { return dir.filePath(QString::fromLatin1(name)); };
    const Made made[] = {
        {opj, {"-r", "20", "-i", in, "-o", out("a.j2k")}, true, false},
        {opj, {"-r", "20", "-i", in, "-o", out("b.jp2")}, true, false},
        {opj, {"-t", "128,128", "-p", "RPCL", "-r", "40,20,10", "-i", in, "-o", out("c.j2k")}, true, false},
        {opj, {"-r", "10", "-i", grey, "-o", out("d.jp2")}, true, true},
        {opj, {"-r", "20", "-i", deep, "-o", out("e.j2k")}, true, false}, // 16-bit samples
        {convert, {in, "-quality", "85", out("f.jpg")}, false, false},
        {convert, {in, "-interlace", "Plane", "-quality", "85", out("g.jpg")}, false, false},
        {convert, {in, "-colorspace", "Gray", "-quality", "85", out("h.jpg")}, false, true},
        {convert, {in, "-sampling-factor", "1x1", "-quality", "95", out("i.jpg")}, false, false},
    };
    for (const Made &m : made) {
        QVERIFY(Run(m.tool, m.args));
        const QString file = m.args.last();
        const QByteArray bytes = ReadFile(file);
        const Decoded d = m.j2k ? DecodeJ2K(bytes) : DecodeJpeg(bytes);
        QVERIFY2(d, qPrintable(file + ": " + d.Error));
        QCOMPARE(d.Picture->size(), photo.size());
        const double psnr = Psnr(m.isGrey ? greyPicture : photo, *d.Picture);
        QVERIFY2(psnr >= kJ2KFloor, qPrintable(QStringLiteral("%1: %2 dB").arg(file).arg(psnr)));
    }
}

void TestTransferCodec::stretchNearest()
{
    // Every pixel tells where it came from.
    QImage src(512, 384, QImage::Format_RGB888);
    for (int y = 0; y < 384; ++y)
        for (int x = 0; x < 512; ++x) {
            uchar *p = src.scanLine(y) + 3 * x;
            p[0] = uchar(x & 0xFF);
            p[1] = uchar(x >> 8);
            p[2] = uchar(y);
        }
    const QImage out = StretchNearest(src, 320, 256);
    QCOMPARE(out.size(), QSize(320, 256));
    QCOMPARE(out.format(), QImage::Format_RGB888);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 320; ++x) {
            const uchar *p = out.constScanLine(y) + 3 * x;
            QCOMPARE(p[0] | (p[1] << 8), x * 512 / 320);
            QCOMPARE(int(p[2]), (y * 384 / 256) & 0xFF);
        }
    // Enlarging repeats pixels; the last source row and column are reached.
    const QImage back = StretchNearest(out, 512, 384);
    QCOMPARE(back.pixel(511, 383), out.pixel(319, 255));
    QCOMPARE(back.pixel(0, 0), out.pixel(0, 0));
}

void TestTransferCodec::dottedAddress_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("passes");
    QTest::newRow("private") << "192.168.0.1" << true;
    QTest::newRow("short") << "1.2.3.4" << true;
    QTest::newRow("leading zeros") << "01.002.3.4" << true;
    QTest::newRow("over 255") << "999.999.999.999" << true;
    QTest::newRow("two dots") << "1.2.3" << false;
    QTest::newRow("four dots") << "1.2.3.4.5" << false;
    QTest::newRow("trailing dot") << "1.2.3.4." << false;
    QTest::newRow("leading dot") << ".1.2.3" << false;
    QTest::newRow("empty run") << "1..2.3" << false;
    QTest::newRow("four digits") << "1234.1.1.1" << false;
    QTest::newRow("four digits last") << "1.1.1.1234" << false;
    QTest::newRow("leading blank") << " 1.2.3.4" << false;
    QTest::newRow("letter") << "1.2.3.a" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("prompt") << "Type in IP Address" << false;
    QTest::newRow("host name") << "localhost" << false;
    QTest::newRow("arabic-indic digits") << QString::fromUtf8("\u0661.2.3.4") << false;
}

void TestTransferCodec::dottedAddress()
{
    QFETCH(QString, text);
    QFETCH(bool, passes);
    QCOMPARE(IsIPAddress(text), passes);
    if (!passes)
        QVERIFY(!DottedAddressValue(text));
}

void TestTransferCodec::dottedAddressValue()
{
    // Leading zeros are decimal zeros, not an octal prefix.
    QCOMPARE(DottedAddressValue("192.168.001.010"), std::optional<uint32_t>(0xC0A8010A));
    QCOMPARE(DottedAddressValue("01.002.3.4"), std::optional<uint32_t>(0x01020304));
    QCOMPARE(DottedAddressValue("255.255.255.255"), std::optional<uint32_t>(0xFFFFFFFF));
    QCOMPARE(DottedAddressValue("0.0.0.0"), std::optional<uint32_t>(0));
    QVERIFY(!DottedAddressValue("1.2.3.256"));
    QVERIFY(!DottedAddressValue("999.999.999.999"));
}

QTEST_GUILESS_MAIN(TestTransferCodec)
#include "test_transfercodec.moc"
