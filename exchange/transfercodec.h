#pragma once
// The picture transfer format: one encoded picture per TCP connection, the
// port alone telling which encoding it is. Encoders and decoders work from
// and to memory; decoders treat their input as hostile.
#include <QByteArray>
#include <QImage>
#include <QString>

#include <cstdint>
#include <optional>

namespace exchange {

// Listening ports of a receiver, one per encoding.
inline constexpr uint16_t kSmallPort = 27222; // JPEG, 320 by 256
inline constexpr uint16_t kLargePort = 27223; // JPEG 2000 code stream, 512 by 384

inline constexpr int kLargeWidth = 512, kLargeHeight = 384;
inline constexpr int kSmallWidth = 320, kSmallHeight = 256;

// Fraction of the uncompressed size a large picture may take on the wire.
inline constexpr double kLargeRate = 0.05;
// Upper bound in bytes of a code stream of w by h RGB pixels at that rate.
int64_t RateBudget(int width, int height, double rate = kLargeRate);

// Quality of the small picture on the wire.
inline constexpr int kSmallQuality = 90;
// Resolution written into JFIF headers when the writer is given none.
inline constexpr int kDefaultDpi = 96;

// Decoders refuse pictures whose declared width or height exceeds this,
// before any pixel memory is taken.
inline constexpr int kMaxDecodeSide = 8192;

// The wavelet of the JPEG 2000 encoder.
enum class Wavelet { Irreversible97, Reversible53 };

struct J2KOptions {
    double Rate = kLargeRate;
    // 9/7 gives the better picture at the wire's rate (see the benchmark).
    Wavelet Filter = Wavelet::Irreversible97;
};

// A bare JPEG 2000 code stream (SOC, SIZ ... EOC) of the picture taken as
// three 8-bit components R, G, B, progression LRCP, one quality layer, no
// larger than RateBudget. Throws TError when the encoder fails.
QByteArray EncodeJ2K(const QImage &picture, const J2KOptions &options = {});

// A baseline JFIF JPEG of the picture: 4:2:0, standard Huffman tables,
// integer DCT, density in dots per inch. Exactly SOI ... EOI. Throws TError
// when the encoder fails.
QByteArray EncodeJpeg(const QImage &picture, int quality = kSmallQuality, int dpi = kDefaultDpi);

// The result of a decode: a picture, or the reason there is none.
struct Decoded {
    std::optional<QImage> Picture; // Format_RGB888 when present
    QString Error;
    explicit operator bool() const { return Picture.has_value(); }
};

// A JPEG found at any of the first 100 byte positions (after an optional
// 12-byte "JFIF" stream header); bytes after its end are ignored. A cut-off
// picture fails.
Decoded DecodeJpeg(const QByteArray &bytes);

// A bare code stream (FF 4F FF 51 ...) or a JP2 file, grey or colour; bytes
// after the end of the code stream are ignored. A cut-off stream fails.
Decoded DecodeJ2K(const QByteArray &bytes);

// The decoder that belongs to a listening port.
Decoded DecodeForPort(uint16_t port, const QByteArray &bytes);

// Plain stretch onto w by h: nearest pixel, no smoothing, every row and
// column of the result taken from one source row and column.
QImage StretchNearest(const QImage &picture, int width, int height);

// The dotted-address test of the send commands: digits and exactly three
// dots, every run of digits 1 to 3 long. Values are not checked against 255.
bool IsIPAddress(const QString &text);

// The IPv4 address a passing text names, each run read as a decimal number
// (leading zeros are only zeros, never an octal sign); none when the text
// fails the test or a run exceeds 255.
std::optional<uint32_t> DottedAddressValue(const QString &text);

} // namespace exchange
