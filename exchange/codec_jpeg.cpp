// JPEG through the IJG 6b interface of libjpeg-turbo, entirely in memory.
//
// Every libjpeg error ends in our error manager, which jumps back to the
// call that started the work; a picture that runs out of bytes before its
// end marker is an error too, as is one whose declared size or number of
// scans passes our limits. No C++ object with a destructor lives between
// setjmp and the library calls it guards.
#include "exchange/transfercodec.h"

#include "app/errors.h"

#include <algorithm>
#include <cstdio> // jpeglib.h needs FILE
#include <csetjmp>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>

namespace exchange {
namespace {

// A progressive picture may bring many scans, each a full pass over the
// coefficients: past this many it is treated as hostile.
constexpr int kMaxScans = 500;
// libjpeg's own working memory (coefficient buffers of progressive pictures).
constexpr long kMaxWorkingMemory = 512L * 1024 * 1024;

struct ErrorManager {
    jpeg_error_mgr Pub;
    jpeg_progress_mgr Progress;
    jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX];
};

[[noreturn]] void Fail(j_common_ptr cinfo, const char *why)
{
    auto *e = reinterpret_cast<ErrorManager *>(cinfo->err);
    std::snprintf(e->Message, sizeof e->Message, "%s", why);
    std::longjmp(e->Jump, 1);
}

void OnError(j_common_ptr cinfo)
{
    auto *e = reinterpret_cast<ErrorManager *>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, e->Message);
    std::longjmp(e->Jump, 1);
}

void OnMessage(j_common_ptr cinfo, int level)
{
    // Warnings are tolerated (odd but readable files), except running out of
    // data: a cut-off picture is a failed one. That includes coded data that
    // ends at a marker before the picture's last block: the library would fill
    // the rest with zeros, so a few hundred bytes declaring a huge picture
    // would cost the full decode of it.
    if (level < 0) {
        if (cinfo->err->msg_code == JWRN_JPEG_EOF || cinfo->err->msg_code == JWRN_HIT_MARKER)
            Fail(cinfo, "picture is cut off");
        cinfo->err->num_warnings++;
    }
}

void OnProgress(j_common_ptr cinfo)
{
    if (cinfo->is_decompressor && reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans)
        Fail(cinfo, "picture has too many scans");
}

void InitErrors(ErrorManager &e)
{
    jpeg_std_error(&e.Pub);
    e.Pub.error_exit = OnError;
    e.Pub.emit_message = OnMessage;
    e.Message[0] = '\0';
    std::memset(&e.Progress, 0, sizeof e.Progress);
    e.Progress.progress_monitor = OnProgress;
}

// ---- Source over memory ----

void SrcInit(j_decompress_ptr) {}
boolean SrcFill(j_decompress_ptr cinfo)
{
    Fail(reinterpret_cast<j_common_ptr>(cinfo), "picture is cut off");
}
void SrcSkip(j_decompress_ptr cinfo, long count)
{
    jpeg_source_mgr *src = cinfo->src;
    if (count <= 0)
        return;
    if (size_t(count) > src->bytes_in_buffer)
        Fail(reinterpret_cast<j_common_ptr>(cinfo), "picture is cut off");
    src->next_input_byte += count;
    src->bytes_in_buffer -= size_t(count);
}
void SrcTerm(j_decompress_ptr) {}

// ---- Destination into a growing buffer ----

struct Destination {
    jpeg_destination_mgr Pub;
    QByteArray *Out;
    JOCTET Buffer[65536];
};

void DstInit(j_compress_ptr cinfo)
{
    auto *d = reinterpret_cast<Destination *>(cinfo->dest);
    d->Pub.next_output_byte = d->Buffer;
    d->Pub.free_in_buffer = sizeof d->Buffer;
}
boolean DstEmpty(j_compress_ptr cinfo)
{
    auto *d = reinterpret_cast<Destination *>(cinfo->dest);
    d->Out->append(reinterpret_cast<const char *>(d->Buffer), qsizetype(sizeof d->Buffer));
    d->Pub.next_output_byte = d->Buffer;
    d->Pub.free_in_buffer = sizeof d->Buffer;
    return TRUE;
}
void DstTerm(j_compress_ptr cinfo)
{
    auto *d = reinterpret_cast<Destination *>(cinfo->dest);
    d->Out->append(reinterpret_cast<const char *>(d->Buffer),
                   qsizetype(sizeof d->Buffer - d->Pub.free_in_buffer));
}

// Runs the encoder; false with the message in e on failure.
bool RunEncode(const QImage &rgb, int quality, int dpi, QByteArray *out, ErrorManager *e)
{
    jpeg_compress_struct cinfo;
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = &e->Pub;
    Destination dest;
    dest.Out = out;
    dest.Pub.init_destination = DstInit;
    dest.Pub.empty_output_buffer = DstEmpty;
    dest.Pub.term_destination = DstTerm;
    if (setjmp(e->Jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    cinfo.dest = &dest.Pub;
    cinfo.image_width = JDIMENSION(rgb.width());
    cinfo.image_height = JDIMENSION(rgb.height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo); // YCbCr, 4:2:0, standard Huffman tables, JFIF 1.01
    jpeg_set_quality(&cinfo, quality, TRUE);
    cinfo.dct_method = JDCT_ISLOW;
    cinfo.optimize_coding = FALSE;
    cinfo.write_JFIF_header = TRUE;
    cinfo.density_unit = 1;
    cinfo.X_density = UINT16(dpi);
    cinfo.Y_density = UINT16(dpi);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb.constScanLine(int(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

struct DecodeTarget {
    QImage Picture;
    bool TooLarge = false;
};

// Runs the decoder over data; false with the message in e on failure.
bool RunDecode(const unsigned char *data, size_t size, DecodeTarget *target, ErrorManager *e)
{
    jpeg_decompress_struct cinfo;
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = &e->Pub;
    jpeg_source_mgr src;
    std::memset(&src, 0, sizeof src);
    src.init_source = SrcInit;
    src.fill_input_buffer = SrcFill;
    src.skip_input_data = SrcSkip;
    src.resync_to_restart = jpeg_resync_to_restart;
    src.term_source = SrcTerm;
    src.next_input_byte = data;
    src.bytes_in_buffer = size;
    if (setjmp(e->Jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.src = &src;
    cinfo.progress = &e->Progress;
    cinfo.mem->max_memory_to_use = kMaxWorkingMemory;
    jpeg_read_header(&cinfo, TRUE);
    if (cinfo.image_width > JDIMENSION(kMaxDecodeSide) || cinfo.image_height > JDIMENSION(kMaxDecodeSide)) {
        target->TooLarge = true;
        std::snprintf(e->Message, sizeof e->Message, "picture of %u by %u is larger than %d by %d",
                      unsigned(cinfo.image_width), unsigned(cinfo.image_height), kMaxDecodeSide, kMaxDecodeSide);
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    const bool inverted = cmyk && cinfo.saw_Adobe_marker;
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    cinfo.dct_method = JDCT_ISLOW;
    jpeg_start_decompress(&cinfo);
    const int w = int(cinfo.output_width), h = int(cinfo.output_height);
    const int comps = cinfo.output_components;
    if (comps != (cmyk ? 4 : 3))
        Fail(reinterpret_cast<j_common_ptr>(&cinfo), "unsupported colour layout");
    target->Picture = QImage(w, h, QImage::Format_RGB888);
    if (target->Picture.isNull())
        Fail(reinterpret_cast<j_common_ptr>(&cinfo), "no memory for the picture");
    // CMYK rows go through a row of libjpeg's own (pooled, freed on destroy).
    JSAMPARRAY cmykRow = cmyk ? (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                                          JDIMENSION(w) * 4, 1)
                              : nullptr;
    while (cinfo.output_scanline < cinfo.output_height) {
        uchar *line = target->Picture.scanLine(int(cinfo.output_scanline));
        if (!cmyk) {
            JSAMPROW row = line;
            jpeg_read_scanlines(&cinfo, &row, 1);
            continue;
        }
        jpeg_read_scanlines(&cinfo, cmykRow, 1);
        const JSAMPLE *s = cmykRow[0];
        for (int x = 0; x < w; ++x, s += 4) {
            // Adobe writes CMYK inverted; others store ink amounts.
            const int c = inverted ? s[0] : 255 - s[0], m = inverted ? s[1] : 255 - s[1];
            const int yy = inverted ? s[2] : 255 - s[2], k = inverted ? s[3] : 255 - s[3];
            line[3 * x] = uchar(c * k / 255);
            line[3 * x + 1] = uchar(m * k / 255);
            line[3 * x + 2] = uchar(yy * k / 255);
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

} // namespace

QByteArray EncodeJpeg(const QImage &picture, int quality, int dpi)
{
    if (picture.isNull())
        throw TError(QStringLiteral("JPEG encoder: no picture to encode"));
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    QByteArray out;
    ErrorManager e;
    InitErrors(e);
    if (!RunEncode(rgb, std::clamp(quality, 1, 100), std::clamp(dpi, 1, 65535), &out, &e))
        throw TError(QStringLiteral("JPEG encoder: %1").arg(QString::fromLocal8Bit(e.Message)));
    return out;
}

Decoded DecodeJpeg(const QByteArray &bytes)
{
    Decoded result;
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    qsizetype n = bytes.size();
    // A stream header some writers put in front: "JFIF", a zero word, a length.
    if (n >= 12 && bytes.startsWith("JFIF")) {
        p += 12;
        n -= 12;
    }
    qsizetype start = -1;
    for (qsizetype i = 0; i < 100 && i + 3 <= n; ++i)
        if (p[i] == 0xFF && p[i + 1] == 0xD8 && p[i + 2] == 0xFF) {
            start = i;
            break;
        }
    if (start < 0) {
        result.Error = n == 0 ? QStringLiteral("no bytes") : QStringLiteral("not a JPEG picture");
        return result;
    }
    DecodeTarget target;
    ErrorManager e;
    InitErrors(e);
    if (!RunDecode(p + start, size_t(n - start), &target, &e)) {
        result.Error = QString::fromLocal8Bit(e.Message);
        return result;
    }
    result.Picture = std::move(target.Picture);
    return result;
}

} // namespace exchange
