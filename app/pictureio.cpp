#include "app/pictureio.h"

#include "app/errors.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <Magick++.h>
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>
#include <jerror.h>

namespace {

QString CannotCreate(const QString &fileName)
{
    return QStringLiteral("Cannot create file %1").arg(fileName);
}

bool SizeAcceptable(qint64 w, qint64 h)
{
    return w > 0 && h > 0 && w <= kMaxPictureSide && h <= kMaxPictureSide;
}

quint16 Le16(const QByteArray &b, int at)
{
    return quint16(uchar(b[at])) | quint16(uchar(b[at + 1])) << 8;
}

// ---------------------------------------------------------------- JPEG

struct JpegError {
    jpeg_error_mgr Mgr;
    std::jmp_buf Jump;
};

[[noreturn]] void JpegErrorExit(j_common_ptr cinfo)
{
    auto *err = reinterpret_cast<JpegError *>(cinfo->err);
    std::longjmp(err->Jump, 1);
}

// A file that ends before its picture is complete is a failure, not a
// picture half filled with grey; other warnings (stray bytes between
// markers, common in camera files) are ignored.
void JpegMessage(j_common_ptr cinfo, int level)
{
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF)
        JpegErrorExit(cinfo);
}

// Everything the decoder touches after setjmp lives outside that frame, so
// nothing is indeterminate after a longjmp.
struct JpegDecodeState {
    jpeg_decompress_struct Info{};
    JpegError Err{};
    QImage Picture;
    std::vector<JSAMPLE> Row;
};

QImage DecodeJpegInto(JpegDecodeState &s, const QByteArray &bytes, int scaleDenom)
{
    s.Info.err = jpeg_std_error(&s.Err.Mgr);
    s.Err.Mgr.error_exit = JpegErrorExit;
    s.Err.Mgr.emit_message = JpegMessage;
    if (setjmp(s.Err.Jump)) {
        jpeg_destroy_decompress(&s.Info);
        return QImage();
    }
    jpeg_create_decompress(&s.Info);
    jpeg_mem_src(&s.Info, reinterpret_cast<const unsigned char *>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&s.Info, TRUE);
    if (!SizeAcceptable(s.Info.image_width, s.Info.image_height)) {
        jpeg_destroy_decompress(&s.Info);
        return QImage();
    }
    const bool cmyk = s.Info.jpeg_color_space == JCS_CMYK || s.Info.jpeg_color_space == JCS_YCCK;
    s.Info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    s.Info.scale_num = 1;
    s.Info.scale_denom = unsigned(scaleDenom);
    jpeg_start_decompress(&s.Info);
    const int w = int(s.Info.output_width), h = int(s.Info.output_height);
    const int comps = s.Info.output_components;
    if (w <= 0 || h <= 0 || (comps != 3 && comps != 4)) {
        jpeg_destroy_decompress(&s.Info);
        return QImage();
    }
    s.Picture = QImage(w, h, QImage::Format_RGB888);
    if (s.Picture.isNull()) {
        jpeg_destroy_decompress(&s.Info);
        return QImage();
    }
    s.Row.assign(size_t(w) * size_t(comps), 0);
    // Adobe writes CMYK inverted; that is what the marker tells.
    const bool inverted = s.Info.saw_Adobe_marker;
    while (s.Info.output_scanline < s.Info.output_height) {
        const int y = int(s.Info.output_scanline);
        JSAMPROW row = s.Row.data();
        if (jpeg_read_scanlines(&s.Info, &row, 1) != 1)
            break;
        uchar *out = s.Picture.scanLine(y);
        if (comps == 3) {
            std::memcpy(out, row, size_t(w) * 3);
        } else {
            for (int x = 0; x < w; ++x) {
                int c = row[4 * x], m = row[4 * x + 1], ye = row[4 * x + 2], k = row[4 * x + 3];
                if (!inverted) {
                    c = 255 - c;
                    m = 255 - m;
                    ye = 255 - ye;
                    k = 255 - k;
                }
                out[3 * x] = uchar(c * k / 255);
                out[3 * x + 1] = uchar(m * k / 255);
                out[3 * x + 2] = uchar(ye * k / 255);
            }
        }
    }
    jpeg_finish_decompress(&s.Info);
    jpeg_destroy_decompress(&s.Info);
    return s.Picture;
}

struct JpegEncodeState {
    jpeg_compress_struct Info{};
    JpegError Err{};
    unsigned char *Buffer = nullptr;
    unsigned long Size = 0;
    QImage Source;
};

bool EncodeJpegInto(JpegEncodeState &s, int quality)
{
    s.Info.err = jpeg_std_error(&s.Err.Mgr);
    s.Err.Mgr.error_exit = JpegErrorExit;
    if (setjmp(s.Err.Jump)) {
        jpeg_destroy_compress(&s.Info);
        return false;
    }
    jpeg_create_compress(&s.Info);
    jpeg_mem_dest(&s.Info, &s.Buffer, &s.Size);
    s.Info.image_width = JDIMENSION(s.Source.width());
    s.Info.image_height = JDIMENSION(s.Source.height());
    s.Info.input_components = 3;
    s.Info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&s.Info);
    jpeg_set_quality(&s.Info, quality, TRUE);
    jpeg_start_compress(&s.Info, TRUE);
    while (s.Info.next_scanline < s.Info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(s.Source.constScanLine(int(s.Info.next_scanline)));
        jpeg_write_scanlines(&s.Info, &row, 1);
    }
    jpeg_finish_compress(&s.Info);
    jpeg_destroy_compress(&s.Info);
    return true;
}

// ---------------------------------------------------------------- PNG

struct PngReader {
    const QByteArray *Bytes = nullptr;
    qint64 Pos = 0;
};

void PngRead(png_structp png, png_bytep out, png_size_t length)
{
    auto *r = static_cast<PngReader *>(png_get_io_ptr(png));
    if (qint64(length) > r->Bytes->size() - r->Pos)
        png_error(png, "truncated");
    std::memcpy(out, r->Bytes->constData() + r->Pos, length);
    r->Pos += qint64(length);
}

void PngErrorFn(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void PngWarningFn(png_structp, png_const_charp) {}

struct PngDecodeState {
    png_structp Png = nullptr;
    png_infop Info = nullptr;
    PngReader Reader;
    QImage Picture;
    std::vector<png_byte> Rgba;
    std::vector<png_bytep> Rows;
};

QImage DecodePngInto(PngDecodeState &s)
{
    s.Png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngErrorFn, PngWarningFn);
    if (!s.Png)
        return QImage();
    s.Info = png_create_info_struct(s.Png);
    if (!s.Info) {
        png_destroy_read_struct(&s.Png, nullptr, nullptr);
        return QImage();
    }
    if (setjmp(png_jmpbuf(s.Png))) {
        png_destroy_read_struct(&s.Png, &s.Info, nullptr);
        return QImage();
    }
    png_set_user_limits(s.Png, kMaxPictureSide, kMaxPictureSide);
    png_set_chunk_malloc_max(s.Png, 16 * 1024 * 1024);
    png_set_read_fn(s.Png, &s.Reader, PngRead);
    png_read_info(s.Png, s.Info);
    png_uint_32 w = 0, h = 0;
    int depth = 0, colour = 0, interlace = 0;
    png_get_IHDR(s.Png, s.Info, &w, &h, &depth, &colour, &interlace, nullptr, nullptr);
    if (!SizeAcceptable(w, h)) {
        png_destroy_read_struct(&s.Png, &s.Info, nullptr);
        return QImage();
    }
    // Everything becomes 8-bit RGBA; transparency is laid over white.
    png_set_expand(s.Png);
    png_set_strip_16(s.Png);
    png_set_gray_to_rgb(s.Png);
    png_set_add_alpha(s.Png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(s.Png);
    png_read_update_info(s.Png, s.Info);
    if (png_get_rowbytes(s.Png, s.Info) != size_t(w) * 4) {
        png_destroy_read_struct(&s.Png, &s.Info, nullptr);
        return QImage();
    }
    s.Rgba.assign(size_t(w) * size_t(h) * 4, 0);
    s.Rows.resize(h);
    for (png_uint_32 y = 0; y < h; ++y)
        s.Rows[y] = s.Rgba.data() + size_t(y) * size_t(w) * 4;
    png_read_image(s.Png, s.Rows.data());
    png_destroy_read_struct(&s.Png, &s.Info, nullptr);
    s.Picture = QImage(int(w), int(h), QImage::Format_RGB888);
    if (s.Picture.isNull())
        return QImage();
    for (png_uint_32 y = 0; y < h; ++y) {
        const png_byte *in = s.Rows[y];
        uchar *out = s.Picture.scanLine(int(y));
        for (png_uint_32 x = 0; x < w; ++x, in += 4, out += 3) {
            const int a = in[3];
            for (int c = 0; c < 3; ++c)
                out[c] = uchar((in[c] * a + 255 * (255 - a) + 127) / 255);
        }
    }
    return s.Picture;
}

void PngWrite(png_structp png, png_bytep data, png_size_t length)
{
    auto *out = static_cast<QByteArray *>(png_get_io_ptr(png));
    out->append(reinterpret_cast<const char *>(data), qsizetype(length));
}

void PngFlush(png_structp) {}

struct PngEncodeState {
    png_structp Png = nullptr;
    png_infop Info = nullptr;
    QByteArray Out;
    QImage Source;
    std::vector<png_bytep> Rows;
};

bool EncodePngInto(PngEncodeState &s)
{
    s.Png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngErrorFn, PngWarningFn);
    if (!s.Png)
        return false;
    s.Info = png_create_info_struct(s.Png);
    if (!s.Info) {
        png_destroy_write_struct(&s.Png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(s.Png))) {
        png_destroy_write_struct(&s.Png, &s.Info);
        return false;
    }
    png_set_write_fn(s.Png, &s.Out, PngWrite, PngFlush);
    png_set_IHDR(s.Png, s.Info, png_uint_32(s.Source.width()), png_uint_32(s.Source.height()), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    s.Rows.resize(size_t(s.Source.height()));
    for (int y = 0; y < s.Source.height(); ++y)
        s.Rows[size_t(y)] = const_cast<png_bytep>(s.Source.constScanLine(y));
    png_set_rows(s.Png, s.Info, s.Rows.data());
    png_write_png(s.Png, s.Info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&s.Png, &s.Info);
    return true;
}

// ---------------------------------------------------------------- other types

void InitMagickOnce()
{
    static std::once_flag once;
    std::call_once(once, [] {
        Magick::InitializeMagick(nullptr);
        // Second line of defence behind the size check below.
        Magick::ResourceLimits::width(kMaxPictureSide);
        Magick::ResourceLimits::height(kMaxPictureSide);
        Magick::ResourceLimits::area(MagickCore::MagickSizeType(kMaxPictureSide) * kMaxPictureSide);
        Magick::ResourceLimits::listLength(4096);
        // Pixels stay in memory: a picture too large for it fails instead
        // of spilling to a disk cache.
        Magick::ResourceLimits::memory(MagickCore::MagickSizeType(1) << 30);
        Magick::ResourceLimits::map(MagickCore::MagickSizeType(1) << 30);
        Magick::ResourceLimits::disk(0);
        // Pictures are decoded on several threads of our own already.
        Magick::ResourceLimits::thread(1);
    });
}

// The coder used for each type the general library reads; always named
// explicitly, so the library never guesses a type of its own from the bytes.
const char *MagickCoder(TPictureType type)
{
    switch (type) {
    case TPictureType::Gif: return "GIF";
    case TPictureType::Tiff: return "TIFF";
    case TPictureType::Bmp: return "BMP";
    case TPictureType::Pcx: return "PCX";
    case TPictureType::Ico: return "ICO";
    case TPictureType::Cur: return "CUR";
    case TPictureType::Tga: return "TGA";
    case TPictureType::Pnm: return "PNM";
    case TPictureType::Wmf: return "WMF";
    default: return nullptr; // EMF and AVI: no reader here
    }
}

// The size a portable pixmap header declares, read here because the general
// library's header-only read of this type does not free what it takes.
QSize PnmDeclaredSize(const QByteArray &b)
{
    qsizetype at = 2;
    qint64 values[2] = {0, 0};
    for (qint64 &v : values) {
        for (;;) { // blanks and comments
            while (at < b.size() && (b[at] == ' ' || b[at] == '\t' || b[at] == '\r' || b[at] == '\n'))
                ++at;
            if (at < b.size() && b[at] == '#') {
                while (at < b.size() && b[at] != '\n')
                    ++at;
                continue;
            }
            break;
        }
        if (at >= b.size() || b[at] < '0' || b[at] > '9')
            return QSize();
        while (at < b.size() && b[at] >= '0' && b[at] <= '9' && v <= kMaxPictureSide)
            v = v * 10 + (b[at++] - '0');
    }
    return SizeAcceptable(values[0], values[1]) ? QSize(int(values[0]), int(values[1])) : QSize();
}

QImage DecodeWithMagick(const QByteArray &bytes, TPictureType type)
{
    const char *coder = MagickCoder(type);
    if (!coder)
        return QImage();
    InitMagickOnce();
    try {
        const Magick::Blob blob(bytes.constData(), size_t(bytes.size()));
        if (type == TPictureType::Pnm) {
            if (!PnmDeclaredSize(bytes).isValid())
                return QImage();
        } else {
            Magick::Image header;
            header.quiet(true);
            header.magick(coder);
            header.subImage(0);
            header.subRange(1);
            header.ping(blob);
            if (!SizeAcceptable(qint64(header.columns()), qint64(header.rows())))
                return QImage();
        }
        Magick::Image image;
        image.quiet(true);
        image.magick(coder);
        image.subImage(0);
        image.subRange(1);
        image.read(blob);
        const qint64 w = qint64(image.columns()), h = qint64(image.rows());
        if (!SizeAcceptable(w, h))
            return QImage();
        if (image.matte()) {
            Magick::Image white(Magick::Geometry(size_t(w), size_t(h)), Magick::Color("white"));
            white.composite(image, 0, 0, Magick::OverCompositeOp);
            image = white;
        }
        QImage picture(int(w), int(h), QImage::Format_RGB888);
        if (picture.isNull())
            return QImage();
        std::vector<uchar> rgb(size_t(w) * size_t(h) * 3);
        image.write(0, 0, size_t(w), size_t(h), "RGB", Magick::CharPixel, rgb.data());
        for (int y = 0; y < int(h); ++y)
            std::memcpy(picture.scanLine(y), rgb.data() + size_t(y) * size_t(w) * 3, size_t(w) * 3);
        return picture;
    } catch (const std::exception &) {
        return QImage();
    }
}

QByteArray EncodeWithMagick(const QImage &picture, const char *coder)
{
    InitMagickOnce();
    try {
        const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
        std::vector<uchar> packed(size_t(rgb.width()) * size_t(rgb.height()) * 3);
        for (int y = 0; y < rgb.height(); ++y)
            std::memcpy(packed.data() + size_t(y) * size_t(rgb.width()) * 3, rgb.constScanLine(y),
                        size_t(rgb.width()) * 3);
        Magick::Image image(size_t(rgb.width()), size_t(rgb.height()), "RGB", Magick::CharPixel, packed.data());
        image.quiet(true);
        if (!std::strcmp(coder, "PGM"))
            image.type(Magick::GrayscaleType);
        else if (!std::strcmp(coder, "PBM"))
            image.type(Magick::BilevelType);
        else
            image.type(Magick::TrueColorType);
        Magick::Blob blob;
        image.write(&blob, coder);
        return QByteArray(static_cast<const char *>(blob.data()), qsizetype(blob.length()));
    } catch (const std::exception &) {
        return QByteArray();
    }
}

bool PlausibleTarga(const QByteArray &h)
{
    if (h.size() < 18)
        return false;
    const int mapType = uchar(h[1]), imageType = uchar(h[2]);
    const int w = Le16(h, 12), ht = Le16(h, 14), bits = uchar(h[16]);
    const bool typeOk = imageType == 1 || imageType == 2 || imageType == 3 || imageType == 9 ||
                        imageType == 10 || imageType == 11;
    const bool bitsOk = bits == 8 || bits == 15 || bits == 16 || bits == 24 || bits == 32;
    const bool mapOk = mapType == 0 || (mapType == 1 && (imageType == 1 || imageType == 9));
    return mapOk && typeOk && bitsOk && w > 0 && ht > 0;
}

QByteArray ReadHead(const QString &fileName, qint64 bytes)
{
    QFile f(fileName);
    if (!QFileInfo(fileName).isFile() || !f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.read(bytes);
}

// Only regular files are opened (a pipe or device named like a picture would
// block or never end), and never more than the limit is read, whatever size
// the file claims.
TReadFailure ReadWholeFile(const QString &fileName, QByteArray *bytes)
{
    QFile f(fileName);
    if (fileName.isEmpty() || !QFileInfo(fileName).isFile() || !f.open(QIODevice::ReadOnly))
        return TReadFailure::CannotOpen;
    *bytes = f.read(kMaxPictureFileBytes + 1);
    if (bytes->size() > kMaxPictureFileBytes) {
        bytes->clear();
        return TReadFailure::NotAPicture;
    }
    return TReadFailure::None;
}

void WriteBytes(const QByteArray &bytes, const QString &fileName)
{
    if (bytes.isEmpty())
        throw TError(CannotCreate(fileName));
    QSaveFile f(fileName);
    // Writing straight to the target keeps working in folders where no
    // temporary file may be made beside it.
    f.setDirectWriteFallback(true);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit())
        throw TError(CannotCreate(fileName));
}

} // namespace

TPictureType PictureTypeFromContent(const QByteArray &h)
{
    const auto starts = [&h](const char *sig, int n) { return h.size() >= n && std::memcmp(h.constData(), sig, size_t(n)) == 0; };
    if (starts("\xFF\xD8\xFF", 3))
        return TPictureType::Jpeg;
    if (starts("\x89PNG\r\n\x1A\n", 8))
        return TPictureType::Png;
    if (starts("GIF87a", 6) || starts("GIF89a", 6))
        return TPictureType::Gif;
    if (starts("II*\0", 4) || starts("MM\0*", 4))
        return TPictureType::Tiff;
    if (starts("BM", 2) && h.size() >= 18)
        return TPictureType::Bmp;
    if (starts("\0\0\1\0", 4) && h.size() >= 6 && Le16(h, 4) > 0)
        return TPictureType::Ico;
    if (starts("\0\0\2\0", 4) && h.size() >= 6 && Le16(h, 4) > 0)
        return TPictureType::Cur;
    if (h.size() >= 4 && uchar(h[0]) == 0x0A && uchar(h[1]) <= 5 && uchar(h[1]) != 1 && uchar(h[2]) == 1 &&
        (h[3] == 1 || h[3] == 2 || h[3] == 4 || h[3] == 8))
        return TPictureType::Pcx;
    if (h.size() >= 3 && h[0] == 'P' && h[1] >= '1' && h[1] <= '6' &&
        (h[2] == ' ' || h[2] == '\n' || h[2] == '\r' || h[2] == '\t' || h[2] == '#'))
        return TPictureType::Pnm;
    if (starts("\xD7\xCD\xC6\x9A", 4) || starts("\x01\0\x09\0\0\x03", 6) || starts("\x02\0\x09\0\0\x03", 6))
        return TPictureType::Wmf;
    if (starts("\x01\0\0\0", 4) && h.size() >= 44 && std::memcmp(h.constData() + 40, " EMF", 4) == 0)
        return TPictureType::Emf;
    if (starts("RIFF", 4) && h.size() >= 12 && std::memcmp(h.constData() + 8, "AVI ", 4) == 0)
        return TPictureType::Avi;
    return TPictureType::Unknown;
}

TPictureType PictureTypeFromExtension(const QString &fileName)
{
    const QString ext = QFileInfo(fileName).suffix().toLower();
    if (ext == u"jpg" || ext == u"jpeg" || ext == u"jpe")
        return TPictureType::Jpeg;
    if (ext == u"png")
        return TPictureType::Png;
    if (ext == u"gif")
        return TPictureType::Gif;
    if (ext == u"tif" || ext == u"tiff")
        return TPictureType::Tiff;
    if (ext == u"bmp" || ext == u"dib" || ext == u"rle")
        return TPictureType::Bmp;
    if (ext == u"pcx")
        return TPictureType::Pcx;
    if (ext == u"ico")
        return TPictureType::Ico;
    if (ext == u"cur")
        return TPictureType::Cur;
    if (ext == u"tga" || ext == u"targa" || ext == u"vda" || ext == u"icb" || ext == u"vst" || ext == u"pix")
        return TPictureType::Tga;
    if (ext == u"pxm" || ext == u"ppm" || ext == u"pgm" || ext == u"pbm")
        return TPictureType::Pnm;
    if (ext == u"wmf")
        return TPictureType::Wmf;
    if (ext == u"emf")
        return TPictureType::Emf;
    if (ext == u"avi")
        return TPictureType::Avi;
    return TPictureType::Unknown;
}

TPictureType PictureTypeOf(const QByteArray &head, const QString &fileName)
{
    const TPictureType content = PictureTypeFromContent(head);
    if (content != TPictureType::Unknown)
        return content;
    if (PictureTypeFromExtension(fileName) == TPictureType::Tga && PlausibleTarga(head))
        return TPictureType::Tga;
    return TPictureType::Unknown;
}

bool IsNamedPictureFile(const QString &fileName)
{
    const TPictureType named = PictureTypeFromExtension(fileName);
    if (named == TPictureType::Unknown)
        return false;
    return PictureTypeOf(ReadHead(fileName, 64), fileName) == named;
}

QImage DecodeJpeg(const QByteArray &bytes, int scaleDenom)
{
    if (scaleDenom != 1 && scaleDenom != 2 && scaleDenom != 4 && scaleDenom != 8)
        scaleDenom = 1;
    JpegDecodeState state;
    return DecodeJpegInto(state, bytes, scaleDenom);
}

QByteArray EncodeJpeg(const QImage &picture, int quality)
{
    if (picture.isNull())
        return QByteArray();
    JpegEncodeState state;
    state.Source = picture.convertToFormat(QImage::Format_RGB888);
    QByteArray out;
    if (EncodeJpegInto(state, quality) && state.Buffer)
        out = QByteArray(reinterpret_cast<const char *>(state.Buffer), qsizetype(state.Size));
    std::free(state.Buffer);
    return out;
}

QImage DecodePng(const QByteArray &bytes)
{
    PngDecodeState state;
    state.Reader.Bytes = &bytes;
    return DecodePngInto(state);
}

QByteArray EncodePng(const QImage &picture)
{
    if (picture.isNull())
        return QByteArray();
    PngEncodeState state;
    state.Source = picture.convertToFormat(QImage::Format_RGB888);
    return EncodePngInto(state) ? state.Out : QByteArray();
}

QImage ReadPicture(const QByteArray &bytes, const QString &fileName, TReadFailure *failure)
{
    QImage picture;
    switch (const TPictureType type = PictureTypeOf(bytes.left(64), fileName)) {
    case TPictureType::Jpeg: picture = DecodeJpeg(bytes); break;
    case TPictureType::Png: picture = DecodePng(bytes); break;
    case TPictureType::Unknown: break;
    default: picture = DecodeWithMagick(bytes, type); break;
    }
    if (failure)
        *failure = picture.isNull() ? TReadFailure::NotAPicture : TReadFailure::None;
    return picture;
}

QImage ReadPictureFile(const QString &fileName, TReadFailure *failure)
{
    QByteArray bytes;
    const TReadFailure opened = ReadWholeFile(fileName, &bytes);
    if (opened != TReadFailure::None) {
        if (failure)
            *failure = opened;
        return QImage();
    }
    return ReadPicture(bytes, fileName, failure);
}

QImage ReadThumbnail(const QString &fileName, QSize box)
{
    QByteArray bytes;
    if (ReadWholeFile(fileName, &bytes) != TReadFailure::None)
        return QImage();
    QImage picture;
    if (PictureTypeOf(bytes.left(64), fileName) == TPictureType::Jpeg) {
        // The largest reduction that still leaves at least the box's size.
        JpegDecodeState probe;
        volatile int denom = 1;
        {
            jpeg_decompress_struct &info = probe.Info;
            info.err = jpeg_std_error(&probe.Err.Mgr);
            probe.Err.Mgr.error_exit = JpegErrorExit;
            probe.Err.Mgr.emit_message = JpegMessage;
            if (!setjmp(probe.Err.Jump)) {
                jpeg_create_decompress(&info);
                jpeg_mem_src(&info, reinterpret_cast<const unsigned char *>(bytes.constData()),
                             static_cast<unsigned long>(bytes.size()));
                jpeg_read_header(&info, TRUE);
                for (int d : {8, 4, 2}) {
                    if (int(info.image_width) / d >= box.width() && int(info.image_height) / d >= box.height()) {
                        denom = d;
                        break;
                    }
                }
            }
            jpeg_destroy_decompress(&info);
        }
        picture = DecodeJpeg(bytes, denom);
    } else {
        picture = ReadPicture(bytes, fileName);
    }
    if (picture.isNull())
        return QImage();
    if (picture.width() > box.width() || picture.height() > box.height())
        picture = picture.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return picture.convertToFormat(QImage::Format_RGB888);
}

TPictureType WriterTypeOf(const QString &fileName)
{
    switch (const TPictureType type = PictureTypeFromExtension(fileName)) {
    case TPictureType::Jpeg:
    case TPictureType::Png:
    case TPictureType::Tiff:
    case TPictureType::Bmp:
    case TPictureType::Pcx:
    case TPictureType::Tga:
    case TPictureType::Pnm:
        return type;
    default:
        return TPictureType::Unknown;
    }
}

void WritePictureFile(const QImage &picture, const QString &fileName, bool os2Bitmap)
{
    if (picture.isNull())
        throw TError(CannotCreate(fileName));
    QByteArray bytes;
    const QString ext = QFileInfo(fileName).suffix().toLower();
    switch (WriterTypeOf(fileName)) {
    case TPictureType::Jpeg: bytes = EncodeJpeg(picture, 50); break;
    case TPictureType::Png: bytes = EncodePng(picture); break;
    case TPictureType::Tiff: bytes = EncodeWithMagick(picture, "TIFF"); break;
    // The OS/2 form is the one with the short core header.
    case TPictureType::Bmp: bytes = EncodeWithMagick(picture, os2Bitmap ? "BMP2" : "BMP3"); break;
    case TPictureType::Pcx: bytes = EncodeWithMagick(picture, "PCX"); break;
    case TPictureType::Tga: bytes = EncodeWithMagick(picture, "TGA"); break;
    case TPictureType::Pnm:
        bytes = EncodeWithMagick(picture, ext == u"pgm" ? "PGM" : ext == u"pbm" ? "PBM" : "PPM");
        break;
    default: break;
    }
    WriteBytes(bytes, fileName);
}

void SaveJpegPicture(const QImage &picture, const QString &fileName)
{
    WriteBytes(EncodeJpeg(picture, 50), fileName);
}
