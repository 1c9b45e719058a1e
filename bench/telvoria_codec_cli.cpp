// The two wire codecs as a small command-line tool, so that they can be timed
// exactly as the reference command-line tools are (process start and file
// I/O included), and an in-process timer that runs the same codecs, and the
// libraries with the reference tools' settings, in a loop.
//
//   telvoria_codec_cli picture large|small OUT.ppm      the benchmark picture
//   telvoria_codec_cli encode-j2k|encode-jpeg IN.ppm OUT
//   telvoria_codec_cli decode-j2k|decode-jpeg IN OUT.ppm
//   telvoria_codec_cli time OP IN ITERATIONS            median ms per call
//     OP: encode-j2k decode-j2k encode-jpeg decode-jpeg (this program's codecs)
//         ref-encode-j2k ref-decode-j2k ref-encode-jpeg ref-decode-jpeg
//         (the libraries called with opj_compress/opj_decompress and
//          cjpeg/djpeg settings, from and to memory)
#include "exchange/transfercodec.h"
#include "tests/exchange/codectestpictures.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include <jpeglib.h>
#include <openjpeg.h>

using namespace exchange;

namespace {

QByteArray ReadAll(const char *path)
{
    QFile f(QString::fromLocal8Bit(path));
    if (!f.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", path);
        std::exit(1);
    }
    return f.readAll();
}

void WriteAll(const char *path, const QByteArray &bytes)
{
    QFile f(QString::fromLocal8Bit(path));
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", path);
        std::exit(1);
    }
}

QImage ReadPicture(const char *path)
{
    QImage img;
    if (!img.loadFromData(ReadAll(path), "PPM")) {
        std::fprintf(stderr, "%s is no PPM picture\n", path);
        std::exit(1);
    }
    return img.convertToFormat(QImage::Format_RGB888);
}

void WritePicture(const char *path, const QImage &img)
{
    if (!img.save(QString::fromLocal8Bit(path), "PPM")) {
        std::fprintf(stderr, "cannot write %s\n", path);
        std::exit(1);
    }
}

QImage Decode(bool large, const QByteArray &bytes)
{
    const Decoded d = large ? DecodeJ2K(bytes) : DecodeJpeg(bytes);
    if (!d) {
        std::fprintf(stderr, "decode failed: %s\n", qPrintable(d.Error));
        std::exit(1);
    }
    return *d.Picture;
}

// ---- The libraries with the reference tools' settings ----

// cjpeg -quality 90 -baseline -dct int (4:2:0 is its default).
QByteArray RefEncodeJpeg(const QImage &rgb)
{
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char *out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = JDIMENSION(rgb.width());
    c.image_height = JDIMENSION(rgb.height());
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 90, TRUE);
    c.dct_method = JDCT_ISLOW;
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb.constScanLine(int(c.next_scanline)));
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    QByteArray bytes(reinterpret_cast<const char *>(out), qsizetype(size));
    std::free(out);
    return bytes;
}

// djpeg -dct int, to RGB.
QImage RefDecodeJpeg(const QByteArray &bytes)
{
    jpeg_decompress_struct d;
    jpeg_error_mgr err;
    d.err = jpeg_std_error(&err);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, reinterpret_cast<const unsigned char *>(bytes.constData()), (unsigned long)(bytes.size()));
    jpeg_read_header(&d, TRUE);
    d.out_color_space = JCS_RGB;
    d.dct_method = JDCT_ISLOW;
    jpeg_start_decompress(&d);
    QImage img(int(d.output_width), int(d.output_height), QImage::Format_RGB888);
    while (d.output_scanline < d.output_height) {
        JSAMPROW row = img.scanLine(int(d.output_scanline));
        jpeg_read_scanlines(&d, &row, 1);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    return img;
}

struct Memory {
    QByteArray Bytes;
    OPJ_OFF_T Pos = 0;
};

OPJ_SIZE_T MemWrite(void *buf, OPJ_SIZE_T n, void *user)
{
    auto *m = static_cast<Memory *>(user);
    if (m->Pos + OPJ_OFF_T(n) > m->Bytes.size())
        m->Bytes.resize(qsizetype(m->Pos + OPJ_OFF_T(n)));
    std::memcpy(m->Bytes.data() + m->Pos, buf, n);
    m->Pos += OPJ_OFF_T(n);
    return n;
}

OPJ_SIZE_T MemRead(void *buf, OPJ_SIZE_T n, void *user)
{
    auto *m = static_cast<Memory *>(user);
    const OPJ_OFF_T left = m->Bytes.size() - m->Pos;
    if (left <= 0)
        return OPJ_SIZE_T(-1);
    const OPJ_SIZE_T take = std::min<OPJ_SIZE_T>(n, OPJ_SIZE_T(left));
    std::memcpy(buf, m->Bytes.constData() + m->Pos, take);
    m->Pos += OPJ_OFF_T(take);
    return take;
}

OPJ_OFF_T MemSkip(OPJ_OFF_T n, void *user)
{
    auto *m = static_cast<Memory *>(user);
    m->Pos += n;
    return n;
}

OPJ_BOOL MemSeek(OPJ_OFF_T n, void *user)
{
    static_cast<Memory *>(user)->Pos = n;
    return OPJ_TRUE;
}

opj_stream_t *MemStream(Memory &m, bool input)
{
    opj_stream_t *s = opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, input ? OPJ_TRUE : OPJ_FALSE);
    opj_stream_set_user_data(s, &m, nullptr);
    if (input) {
        opj_stream_set_read_function(s, MemRead);
        opj_stream_set_user_data_length(s, OPJ_UINT64(m.Bytes.size()));
    } else {
        opj_stream_set_write_function(s, MemWrite);
    }
    opj_stream_set_skip_function(s, MemSkip);
    opj_stream_set_seek_function(s, MemSeek);
    return s;
}

// opj_compress -r 20 -p LRCP -I: one layer, other settings the tool's defaults.
QByteArray RefEncodeJ2K(const QImage &rgb)
{
    const int w = rgb.width(), h = rgb.height();
    opj_image_cmptparm_t parms[3];
    std::memset(parms, 0, sizeof parms);
    for (auto &c : parms) {
        c.dx = c.dy = 1;
        c.w = OPJ_UINT32(w);
        c.h = OPJ_UINT32(h);
        c.prec = 8;
    }
    opj_image_t *image = opj_image_create(3, parms, OPJ_CLRSPC_SRGB);
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
    p.tcp_rates[0] = 20;
    p.cp_disto_alloc = 1;
    p.prog_order = OPJ_LRCP;
    p.irreversible = 1;
    p.tcp_mct = 1; // the tool's default for three components
    opj_codec_t *codec = opj_create_compress(OPJ_CODEC_J2K);
    opj_setup_encoder(codec, &p, image);
    Memory m;
    opj_stream_t *s = MemStream(m, false);
    const bool ok = opj_start_compress(codec, image, s) && opj_encode(codec, s) && opj_end_compress(codec, s);
    opj_stream_destroy(s);
    opj_destroy_codec(codec);
    opj_image_destroy(image);
    if (!ok) {
        std::fprintf(stderr, "reference JPEG 2000 encode failed\n");
        std::exit(1);
    }
    return m.Bytes;
}

// opj_decompress with its defaults, to interleaved RGB.
QImage RefDecodeJ2K(const QByteArray &bytes)
{
    Memory m{bytes, 0};
    opj_stream_t *s = MemStream(m, true);
    opj_codec_t *codec = opj_create_decompress(OPJ_CODEC_J2K);
    opj_dparameters_t dp;
    opj_set_default_decoder_parameters(&dp);
    opj_setup_decoder(codec, &dp);
    opj_image_t *image = nullptr;
    const bool ok = opj_read_header(s, codec, &image) && opj_decode(codec, s, image) && opj_end_decompress(codec, s);
    QImage img;
    if (ok && image->numcomps >= 3) {
        const int w = int(image->comps[0].w), h = int(image->comps[0].h);
        img = QImage(w, h, QImage::Format_RGB888);
        for (int y = 0; y < h; ++y) {
            uchar *line = img.scanLine(y);
            for (int x = 0; x < w; ++x)
                for (int c = 0; c < 3; ++c)
                    line[3 * x + c] = uchar(std::clamp(image->comps[c].data[size_t(y) * w + x], 0, 255));
        }
    }
    opj_image_destroy(image);
    opj_destroy_codec(codec);
    opj_stream_destroy(s);
    if (img.isNull()) {
        std::fprintf(stderr, "reference JPEG 2000 decode failed\n");
        std::exit(1);
    }
    return img;
}

// The median of the per-call times of n calls, in milliseconds.
double MedianMs(int n, const std::function<void()> &call)
{
    call(); // warm up
    std::vector<double> ms;
    for (int i = 0; i < n; ++i) {
        QElapsedTimer t;
        t.start();
        call();
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::nth_element(ms.begin(), ms.begin() + ms.size() / 2, ms.end());
    return ms[ms.size() / 2];
}

int Usage()
{
    std::fprintf(stderr, "usage: telvoria_codec_cli picture large|small OUT.ppm | encode-j2k|encode-jpeg IN.ppm OUT |"
                         " decode-j2k|decode-jpeg IN OUT.ppm | time OP IN N\n");
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 4)
        return Usage();
    const QByteArray op = argv[1];
    if (op == "picture") {
        const bool large = qstrcmp(argv[2], "large") == 0;
        const QImage big = codectest::PhotoLike(kLargeWidth, kLargeHeight);
        WritePicture(argv[3], large ? big : StretchNearest(big, kSmallWidth, kSmallHeight));
        return 0;
    }
    if (op == "encode-j2k") {
        WriteAll(argv[3], EncodeJ2K(ReadPicture(argv[2])));
        return 0;
    }
    if (op == "encode-jpeg") {
        WriteAll(argv[3], EncodeJpeg(ReadPicture(argv[2])));
        return 0;
    }
    if (op == "decode-j2k" || op == "decode-jpeg") {
        WritePicture(argv[3], Decode(op == "decode-j2k", ReadAll(argv[2])));
        return 0;
    }
    if (op == "time" && argc >= 5) {
        const QByteArray what = argv[2];
        const int n = std::max(1, atoi(argv[4]));
        const QByteArray input = ReadAll(argv[3]);
        QImage picture;
        if (what.contains("encode")) {
            picture.loadFromData(input, "PPM");
            picture = picture.convertToFormat(QImage::Format_RGB888);
        }
        std::function<void()> call;
        volatile qsizetype sink = 0;
        if (what == "encode-j2k")
            call = [&] { sink = EncodeJ2K(picture).size(); };
        else if (what == "encode-jpeg")
            call = [&] { sink = EncodeJpeg(picture).size(); };
        else if (what == "decode-j2k")
            call = [&] { sink = Decode(true, input).width(); };
        else if (what == "decode-jpeg")
            call = [&] { sink = Decode(false, input).width(); };
        else if (what == "ref-encode-j2k")
            call = [&] { sink = RefEncodeJ2K(picture).size(); };
        else if (what == "ref-encode-jpeg")
            call = [&] { sink = RefEncodeJpeg(picture).size(); };
        else if (what == "ref-decode-j2k")
            call = [&] { sink = RefDecodeJ2K(input).width(); };
        else if (what == "ref-decode-jpeg")
            call = [&] { sink = RefDecodeJpeg(input).width(); };
        else
            return Usage();
        std::printf("%.3f\n", MedianMs(n, call));
        return 0;
    }
    return Usage();
}
