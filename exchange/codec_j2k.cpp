// JPEG 2000 code streams through OpenJPEG, entirely in memory.
//
// Before OpenJPEG sees a byte, the input is walked marker by marker: the
// image and tile sizes are checked against our limits, and the end of the
// code stream is found, so a cut-off stream fails and trailing bytes are
// never handed on. OpenJPEG itself runs in strict mode with its messages
// caught by callbacks.
#include "exchange/transfercodec.h"

#include "app/errors.h"

#include <openjpeg.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace exchange {
namespace {

// Most tiles a code stream may declare: every tile costs the decoder
// bookkeeping before a single pixel is decoded.
constexpr uint64_t kMaxTiles = 4096;
constexpr int kMaxComponents = 4;
constexpr int kMaxPrecision = 16;

// ---- Streams over memory ----

struct MemoryReader {
    const unsigned char *Data = nullptr;
    OPJ_SIZE_T Size = 0;
    OPJ_SIZE_T Pos = 0;
};

OPJ_SIZE_T ReadFn(void *buffer, OPJ_SIZE_T count, void *user)
{
    auto *r = static_cast<MemoryReader *>(user);
    if (r->Pos >= r->Size)
        return static_cast<OPJ_SIZE_T>(-1);
    const OPJ_SIZE_T n = std::min(count, r->Size - r->Pos);
    std::memcpy(buffer, r->Data + r->Pos, n);
    r->Pos += n;
    return n;
}

OPJ_OFF_T ReaderSkipFn(OPJ_OFF_T count, void *user)
{
    auto *r = static_cast<MemoryReader *>(user);
    if (count < 0) {
        const auto back = static_cast<OPJ_SIZE_T>(-count);
        if (back > r->Pos)
            return -1;
        r->Pos -= back;
        return count;
    }
    const OPJ_SIZE_T left = r->Size - std::min(r->Pos, r->Size);
    const OPJ_SIZE_T n = std::min(static_cast<OPJ_SIZE_T>(count), left);
    r->Pos += n;
    return static_cast<OPJ_OFF_T>(n);
}

OPJ_BOOL ReaderSeekFn(OPJ_OFF_T pos, void *user)
{
    auto *r = static_cast<MemoryReader *>(user);
    if (pos < 0 || static_cast<OPJ_SIZE_T>(pos) > r->Size)
        return OPJ_FALSE;
    r->Pos = static_cast<OPJ_SIZE_T>(pos);
    return OPJ_TRUE;
}

struct MemoryWriter {
    QByteArray Bytes;
    qsizetype Pos = 0;
};

OPJ_SIZE_T WriteFn(void *buffer, OPJ_SIZE_T count, void *user)
{
    auto *w = static_cast<MemoryWriter *>(user);
    const qsizetype end = w->Pos + static_cast<qsizetype>(count);
    if (end > w->Bytes.size())
        w->Bytes.resize(end);
    std::memcpy(w->Bytes.data() + w->Pos, buffer, count);
    w->Pos = end;
    return count;
}

OPJ_OFF_T WriterSkipFn(OPJ_OFF_T count, void *user)
{
    auto *w = static_cast<MemoryWriter *>(user);
    const qsizetype target = w->Pos + static_cast<qsizetype>(count);
    if (target < 0)
        return -1;
    if (target > w->Bytes.size())
        w->Bytes.resize(target, '\0');
    w->Pos = target;
    return count;
}

OPJ_BOOL WriterSeekFn(OPJ_OFF_T pos, void *user)
{
    auto *w = static_cast<MemoryWriter *>(user);
    if (pos < 0)
        return OPJ_FALSE;
    if (pos > w->Bytes.size())
        w->Bytes.resize(static_cast<qsizetype>(pos), '\0');
    w->Pos = static_cast<qsizetype>(pos);
    return OPJ_TRUE;
}

// ---- Messages ----

void KeepError(const char *msg, void *user)
{
    auto *text = static_cast<QString *>(user);
    if (text->isEmpty())
        *text = QString::fromLocal8Bit(msg).trimmed();
}

void Ignore(const char *, void *) {}

struct CodecDeleter {
    void operator()(opj_codec_t *c) const { opj_destroy_codec(c); }
};
struct StreamDeleter {
    void operator()(opj_stream_t *s) const { opj_stream_destroy(s); }
};
struct ImageDeleter {
    void operator()(opj_image_t *i) const { opj_image_destroy(i); }
};
using CodecPtr = std::unique_ptr<opj_codec_t, CodecDeleter>;
using StreamPtr = std::unique_ptr<opj_stream_t, StreamDeleter>;
using ImagePtr = std::unique_ptr<opj_image_t, ImageDeleter>;

// ---- Structure walk ----

uint32_t U16(const unsigned char *p) { return (uint32_t(p[0]) << 8) | p[1]; }
uint32_t U32(const unsigned char *p) { return (U16(p) << 16) | U16(p + 2); }
uint64_t U64(const unsigned char *p) { return (uint64_t(U32(p)) << 32) | U32(p + 4); }

constexpr unsigned char kJp2Signature[12] = {0x00, 0x00, 0x00, 0x0C, 0x6A, 0x50,
                                             0x20, 0x20, 0x0D, 0x0A, 0x87, 0x0A};

// Checks the SIZ segment (Lsiz at p) against our limits.
bool CheckSiz(const unsigned char *p, qsizetype avail, QString &error)
{
    if (avail < 2)
        return error = QStringLiteral("code stream cut off in its size segment"), false;
    const uint32_t lsiz = U16(p);
    if (lsiz < 41 || lsiz > avail)
        return error = QStringLiteral("code stream cut off in its size segment"), false;
    const uint32_t xsiz = U32(p + 4), ysiz = U32(p + 8);
    const uint32_t xo = U32(p + 12), yo = U32(p + 16);
    const uint32_t xt = U32(p + 20), yt = U32(p + 24);
    const uint32_t xto = U32(p + 28), yto = U32(p + 32);
    const uint32_t csiz = U16(p + 36);
    if (xsiz <= xo || ysiz <= yo)
        return error = QStringLiteral("code stream declares an empty picture"), false;
    if (xsiz - xo > uint32_t(kMaxDecodeSide) || ysiz - yo > uint32_t(kMaxDecodeSide))
        return error = QStringLiteral("picture of %1 by %2 is larger than %3 by %3")
                           .arg(xsiz - xo).arg(ysiz - yo).arg(kMaxDecodeSide), false;
    if (xt == 0 || yt == 0 || xto > xo || yto > yo || uint64_t(xto) + xt <= xo || uint64_t(yto) + yt <= yo)
        return error = QStringLiteral("code stream declares an invalid tiling"), false;
    const uint64_t tilesX = (uint64_t(xsiz) - xto + xt - 1) / xt;
    const uint64_t tilesY = (uint64_t(ysiz) - yto + yt - 1) / yt;
    if (tilesX * tilesY > kMaxTiles)
        return error = QStringLiteral("code stream declares too many tiles"), false;
    if (csiz < 1 || csiz > uint32_t(kMaxComponents) || lsiz != 38 + 3 * csiz)
        return error = QStringLiteral("code stream declares %1 components").arg(csiz), false;
    for (uint32_t c = 0; c < csiz; ++c) {
        const unsigned char *comp = p + 38 + 3 * c;
        const int precision = (comp[0] & 0x7F) + 1;
        if (precision > kMaxPrecision || comp[1] == 0 || comp[2] == 0)
            return error = QStringLiteral("code stream declares an unsupported component"), false;
    }
    return true;
}

// Length of the complete code stream at the start of p, or 0 with the reason
// when it is malformed, oversized or cut off.
qsizetype CodeStreamLength(const unsigned char *p, qsizetype n, QString &error)
{
    const QString cutOff = QStringLiteral("code stream is cut off");
    if (n < 4 || U16(p) != 0xFF4F || U16(p + 2) != 0xFF51)
        return error = QStringLiteral("not a JPEG 2000 code stream"), 0;
    if (!CheckSiz(p + 4, n - 4, error))
        return 0;
    // Main header: marker segments up to the first tile-part.
    qsizetype pos = 4 + U16(p + 4);
    while (true) {
        if (pos + 4 > n)
            return error = cutOff, 0;
        const uint32_t marker = U16(p + pos);
        if (marker == 0xFF90)
            break;
        if ((marker & 0xFF00) != 0xFF00 || marker < 0xFF30)
            return error = QStringLiteral("code stream header is malformed"), 0;
        pos += 2 + U16(p + pos + 2);
    }
    // Tile-parts, each declaring its own length, then the end marker.
    while (true) {
        if (pos + 2 > n)
            return error = cutOff, 0;
        const uint32_t marker = U16(p + pos);
        if (marker == 0xFFD9)
            return pos + 2;
        if (marker != 0xFF90)
            return error = QStringLiteral("code stream tile-part is malformed"), 0;
        if (pos + 12 > n)
            return error = cutOff, 0;
        if (U16(p + pos + 2) != 10)
            return error = QStringLiteral("code stream tile-part is malformed"), 0;
        const uint32_t psot = U32(p + pos + 6);
        if (psot != 0) {
            if (psot < 14)
                return error = QStringLiteral("code stream tile-part is malformed"), 0;
            pos += psot;
            continue;
        }
        // The last tile-part runs to the end marker: skip its header, then
        // look for FF D9, which the coded data cannot contain.
        pos += 12;
        while (true) {
            if (pos + 2 > n)
                return error = cutOff, 0;
            const uint32_t m = U16(p + pos);
            if (m == 0xFF93) {
                pos += 2;
                break;
            }
            if ((m & 0xFF00) != 0xFF00 || pos + 4 > n)
                return error = QStringLiteral("code stream tile-part is malformed"), 0;
            pos += 2 + U16(p + pos + 2);
        }
        for (; pos + 1 < n; ++pos)
            if (p[pos] == 0xFF && p[pos + 1] == 0xD9)
                return pos + 2;
        return error = cutOff, 0;
    }
}

// Length of the JP2 file up to the end of its code stream box, or 0.
qsizetype Jp2Length(const unsigned char *p, qsizetype n, QString &error)
{
    qsizetype pos = 0;
    while (pos + 8 <= n) {
        uint64_t length = U32(p + pos);
        const uint32_t type = U32(p + pos + 4);
        qsizetype header = 8;
        if (length == 1) {
            if (pos + 16 > n)
                break;
            length = U64(p + pos + 8);
            header = 16;
        }
        if (type == 0x6A703263) { // 'jp2c'
            const qsizetype start = pos + header;
            const qsizetype cs = CodeStreamLength(p + start, n - start, error);
            if (cs == 0)
                return 0;
            const qsizetype csEnd = start + cs;
            if (length >= uint64_t(header) && length <= uint64_t(n - pos))
                return std::max<qsizetype>(csEnd, pos + qsizetype(length));
            return csEnd;
        }
        if (length == 0 || length < uint64_t(header) || length > uint64_t(n - pos))
            break;
        pos += qsizetype(length);
    }
    error = QStringLiteral("JP2 file holds no complete code stream");
    return 0;
}

// One component sample scaled to 8 bits.
inline int Sample8(const opj_image_comp_t &c, int x, int y)
{
    int v = c.data[size_t(y) * c.w + x];
    if (c.sgnd)
        v += 1 << (c.prec - 1);
    if (c.prec > 8)
        v >>= c.prec - 8;
    else if (c.prec < 8)
        v = (v * 255) / ((1 << c.prec) - 1);
    return std::clamp(v, 0, 255);
}

QImage ToRgb888(const opj_image_t &img, QString &error)
{
    const int w = int(img.x1 - img.x0), h = int(img.y1 - img.y0);
    const int nc = int(img.numcomps);
    if (w <= 0 || h <= 0 || w > kMaxDecodeSide || h > kMaxDecodeSide || nc < 1 || nc > kMaxComponents)
        return error = QStringLiteral("decoded picture has an unsupported shape"), QImage();
    for (int c = 0; c < nc; ++c) {
        const opj_image_comp_t &comp = img.comps[c];
        if (!comp.data || comp.w == 0 || comp.h == 0 || comp.dx == 0 || comp.dy == 0 || comp.prec < 1 ||
            comp.prec > kMaxPrecision)
            return error = QStringLiteral("decoded picture has an unsupported component"), QImage();
    }
    QImage out(w, h, QImage::Format_RGB888);
    if (out.isNull())
        return error = QStringLiteral("no memory for the picture"), QImage();
    // Grey (with or without alpha) or colour; alpha is dropped.
    const bool colour = nc >= 3;
    const bool ycc = colour && img.color_space == OPJ_CLRSPC_SYCC;
    for (int y = 0; y < h; ++y) {
        uchar *line = out.scanLine(y);
        for (int x = 0; x < w; ++x) {
            int v[3];
            for (int c = 0; c < (colour ? 3 : 1); ++c) {
                const opj_image_comp_t &comp = img.comps[c];
                // Components may be subsampled: the sample whose area covers the pixel.
                const int cx = std::clamp(int((img.x0 + x) / comp.dx) - int(comp.x0), 0, int(comp.w) - 1);
                const int cy = std::clamp(int((img.y0 + y) / comp.dy) - int(comp.y0), 0, int(comp.h) - 1);
                v[c] = Sample8(comp, cx, cy);
            }
            if (!colour) {
                v[1] = v[2] = v[0];
            } else if (ycc) {
                const double Y = v[0], cb = v[1] - 128.0, cr = v[2] - 128.0;
                v[0] = std::clamp(int(std::lround(Y + 1.402 * cr)), 0, 255);
                v[1] = std::clamp(int(std::lround(Y - 0.344136 * cb - 0.714136 * cr)), 0, 255);
                v[2] = std::clamp(int(std::lround(Y + 1.772 * cb)), 0, 255);
            }
            line[3 * x] = uchar(v[0]);
            line[3 * x + 1] = uchar(v[1]);
            line[3 * x + 2] = uchar(v[2]);
        }
    }
    return out;
}

QByteArray EncodeOnce(const QImage &rgb, const J2KOptions &options, double ratio)
{
    const int w = rgb.width(), h = rgb.height();
    opj_image_cmptparm_t parms[3];
    std::memset(parms, 0, sizeof parms);
    for (auto &c : parms) {
        c.dx = c.dy = 1;
        c.w = OPJ_UINT32(w);
        c.h = OPJ_UINT32(h);
        c.prec = 8;
        c.sgnd = 0;
    }
    ImagePtr image(opj_image_create(3, parms, OPJ_CLRSPC_SRGB));
    if (!image)
        throw TError(QStringLiteral("JPEG 2000 encoder: no memory for the picture"));
    image->x0 = image->y0 = 0;
    image->x1 = OPJ_UINT32(w);
    image->y1 = OPJ_UINT32(h);
    for (int y = 0; y < h; ++y) {
        const uchar *line = rgb.constScanLine(y);
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c)
                image->comps[c].data[size_t(y) * w + x] = line[3 * x + c];
    }

    opj_cparameters_t p;
    opj_set_default_encoder_parameters(&p);
    p.tcp_numlayers = 1;
    p.tcp_rates[0] = float(ratio);
    p.cp_disto_alloc = 1;
    p.prog_order = OPJ_LRCP;
    p.irreversible = options.Filter == Wavelet::Irreversible97 ? 1 : 0;
    p.tcp_mct = 1;

    QString error;
    CodecPtr codec(opj_create_compress(OPJ_CODEC_J2K));
    if (!codec)
        throw TError(QStringLiteral("JPEG 2000 encoder cannot start"));
    opj_set_error_handler(codec.get(), KeepError, &error);
    opj_set_warning_handler(codec.get(), Ignore, nullptr);
    opj_set_info_handler(codec.get(), Ignore, nullptr);
    if (!opj_setup_encoder(codec.get(), &p, image.get()))
        throw TError(QStringLiteral("JPEG 2000 encoder: %1").arg(error));

    MemoryWriter writer;
    StreamPtr stream(opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, OPJ_FALSE));
    if (!stream)
        throw TError(QStringLiteral("JPEG 2000 encoder cannot start"));
    opj_stream_set_user_data(stream.get(), &writer, nullptr);
    opj_stream_set_write_function(stream.get(), WriteFn);
    opj_stream_set_skip_function(stream.get(), WriterSkipFn);
    opj_stream_set_seek_function(stream.get(), WriterSeekFn);
    if (!opj_start_compress(codec.get(), image.get(), stream.get()) || !opj_encode(codec.get(), stream.get()) ||
        !opj_end_compress(codec.get(), stream.get()))
        throw TError(QStringLiteral("JPEG 2000 encoder: %1").arg(error));
    return writer.Bytes;
}

} // namespace

int64_t RateBudget(int width, int height, double rate)
{
    return int64_t(std::floor(double(width) * height * 3 * rate));
}

QByteArray EncodeJ2K(const QImage &picture, const J2KOptions &options)
{
    if (picture.isNull() || options.Rate <= 0 || options.Rate > 1)
        throw TError(QStringLiteral("JPEG 2000 encoder: no picture to encode"));
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    const int64_t budget = RateBudget(rgb.width(), rgb.height(), options.Rate);
    // The encoder's rate control aims at the budget including the headers;
    // should it overshoot, aim a little lower until the stream fits.
    double ratio = 1.0 / options.Rate;
    QByteArray bytes;
    for (int attempt = 0; attempt < 8; ++attempt) {
        bytes = EncodeOnce(rgb, options, ratio);
        if (bytes.size() <= budget)
            return bytes;
        ratio *= 1.0 + 1.5 * double(bytes.size() - budget) / double(budget) + 0.005;
    }
    throw TError(QStringLiteral("JPEG 2000 encoder cannot meet %1 bytes").arg(budget));
}

Decoded DecodeJ2K(const QByteArray &bytes)
{
    Decoded result;
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype n = bytes.size();
    OPJ_CODEC_FORMAT format;
    qsizetype length = 0;
    if (n >= 12 && std::memcmp(p, kJp2Signature, 12) == 0) {
        format = OPJ_CODEC_JP2;
        length = Jp2Length(p, n, result.Error);
    } else if (n >= 4 && U16(p) == 0xFF4F && U16(p + 2) == 0xFF51) {
        format = OPJ_CODEC_J2K;
        length = CodeStreamLength(p, n, result.Error);
    } else {
        result.Error = n == 0 ? QStringLiteral("no bytes") : QStringLiteral("not a JPEG 2000 picture");
        return result;
    }
    if (length == 0)
        return result;

    QString error;
    CodecPtr codec(opj_create_decompress(format));
    if (!codec)
        return result.Error = QStringLiteral("JPEG 2000 decoder cannot start"), result;
    opj_set_error_handler(codec.get(), KeepError, &error);
    opj_set_warning_handler(codec.get(), Ignore, nullptr);
    opj_set_info_handler(codec.get(), Ignore, nullptr);
    opj_dparameters_t dp;
    opj_set_default_decoder_parameters(&dp);
    if (!opj_setup_decoder(codec.get(), &dp) || !opj_decoder_set_strict_mode(codec.get(), OPJ_TRUE))
        return result.Error = QStringLiteral("JPEG 2000 decoder: %1").arg(error), result;

    MemoryReader reader{p, OPJ_SIZE_T(length), 0};
    StreamPtr stream(opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, OPJ_TRUE));
    if (!stream)
        return result.Error = QStringLiteral("JPEG 2000 decoder cannot start"), result;
    opj_stream_set_user_data(stream.get(), &reader, nullptr);
    opj_stream_set_user_data_length(stream.get(), OPJ_UINT64(length));
    opj_stream_set_read_function(stream.get(), ReadFn);
    opj_stream_set_skip_function(stream.get(), ReaderSkipFn);
    opj_stream_set_seek_function(stream.get(), ReaderSeekFn);

    opj_image_t *raw = nullptr;
    if (!opj_read_header(stream.get(), codec.get(), &raw)) {
        opj_image_destroy(raw);
        return result.Error = QStringLiteral("JPEG 2000 decoder: %1").arg(error), result;
    }
    ImagePtr image(raw);
    // The JP2 header may declare its own size: check what the decoder will use.
    if (image->x1 <= image->x0 || image->y1 <= image->y0 || image->x1 - image->x0 > OPJ_UINT32(kMaxDecodeSide) ||
        image->y1 - image->y0 > OPJ_UINT32(kMaxDecodeSide) || image->numcomps < 1 ||
        image->numcomps > OPJ_UINT32(kMaxComponents))
        return result.Error = QStringLiteral("picture is larger than %1 by %1").arg(kMaxDecodeSide), result;
    if (!opj_decode(codec.get(), stream.get(), image.get()) || !opj_end_decompress(codec.get(), stream.get()))
        return result.Error = QStringLiteral("JPEG 2000 decoder: %1").arg(error.isEmpty() ? "picture is damaged" : error),
               result;
    QImage out = ToRgb888(*image, result.Error);
    if (!out.isNull())
        result.Picture = std::move(out);
    return result;
}

} // namespace exchange
