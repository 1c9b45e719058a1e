#include "app/capture.h"

#include "app/errors.h"
#include "app/pictureio.h"

#include <sane/sane.h>
#include <sane/saneopts.h>

#include <cstring>
#include <vector>

namespace {

QString StatusText(SANE_Status status)
{
    return QString::fromLocal8Bit(sane_strstatus(status));
}

// SANE is started for each use and ended after it, so a device plugged in
// meanwhile is seen and nothing stays open between captures.
class TSaneSession {
public:
    TSaneSession()
    {
        SANE_Int version = 0;
        const SANE_Status status = sane_init(&version, nullptr);
        if (status != SANE_STATUS_GOOD)
            throw TError(QStringLiteral("Cannot start the scanner interface: %1").arg(StatusText(status)));
    }
    ~TSaneSession() { sane_exit(); }
    TSaneSession(const TSaneSession &) = delete;
    TSaneSession &operator=(const TSaneSession &) = delete;
};

class TSaneDevice {
public:
    explicit TSaneDevice(const QString &name) : Name(name)
    {
        const SANE_Status status = sane_open(name.toLocal8Bit().constData(), &Handle);
        if (status != SANE_STATUS_GOOD) {
            Handle = nullptr;
            throw TError(QStringLiteral("Cannot open the scanner or camera %1: %2").arg(name, StatusText(status)));
        }
    }
    ~TSaneDevice()
    {
        if (Scanning)
            sane_cancel(Handle);
        sane_close(Handle);
    }
    TSaneDevice(const TSaneDevice &) = delete;
    TSaneDevice &operator=(const TSaneDevice &) = delete;

    // Asks for colour where the device offers a "mode" option with it.
    void PreferColour()
    {
        for (SANE_Int i = 1;; ++i) {
            const SANE_Option_Descriptor *d = sane_get_option_descriptor(Handle, i);
            if (!d)
                return;
            if (!d->name || std::strcmp(d->name, SANE_NAME_SCAN_MODE) != 0 || d->type != SANE_TYPE_STRING ||
                !SANE_OPTION_IS_ACTIVE(d->cap) || !SANE_OPTION_IS_SETTABLE(d->cap) ||
                d->constraint_type != SANE_CONSTRAINT_STRING_LIST || d->size <= 0)
                continue;
            for (const SANE_String_Const *s = d->constraint.string_list; *s; ++s) {
                if (std::strcmp(*s, SANE_VALUE_SCAN_MODE_COLOR) == 0) {
                    std::vector<char> value(size_t(d->size), 0);
                    std::strncpy(value.data(), *s, value.size() - 1);
                    sane_control_option(Handle, i, SANE_ACTION_SET_VALUE, value.data(), nullptr);
                    return;
                }
            }
            return;
        }
    }

    QImage Acquire()
    {
        QImage picture;
        bool haveParams = false;
        for (;;) {
            Check(sane_start(Handle));
            Scanning = true;
            SANE_Parameters p{};
            Check(sane_get_parameters(Handle, &p));
            const std::vector<uchar> bytes = ReadFrame(p);
            if (!haveParams) {
                const int lines = int(bytes.size() / size_t(p.bytes_per_line));
                if (lines <= 0)
                    Fail(QStringLiteral("no picture was sent"));
                picture = QImage(p.pixels_per_line, lines, QImage::Format_RGB888);
                if (picture.isNull())
                    Fail(QStringLiteral("the picture is too large"));
                picture.fill(Qt::black);
                haveParams = true;
            }
            Store(picture, p, bytes);
            if (p.last_frame)
                break;
        }
        sane_cancel(Handle);
        Scanning = false;
        return picture;
    }

private:
    [[noreturn]] void Fail(const QString &why) const
    {
        throw TError(QStringLiteral("Capture from %1 failed: %2").arg(Name, why));
    }
    void Check(SANE_Status status) const
    {
        if (status != SANE_STATUS_GOOD)
            Fail(StatusText(status));
    }

    std::vector<uchar> ReadFrame(const SANE_Parameters &p) const
    {
        const int channels = p.format == SANE_FRAME_RGB ? 3 : 1;
        if (p.format != SANE_FRAME_GRAY && p.format != SANE_FRAME_RGB && p.format != SANE_FRAME_RED &&
            p.format != SANE_FRAME_GREEN && p.format != SANE_FRAME_BLUE)
            Fail(QStringLiteral("the device sends a picture form this program does not read"));
        if (p.pixels_per_line <= 0 || p.pixels_per_line > kMaxPictureSide || p.lines > kMaxPictureSide)
            Fail(QStringLiteral("the picture is too large"));
        if (!(p.depth == 8 || p.depth == 16 || (p.depth == 1 && channels == 1)))
            Fail(QStringLiteral("the device sends a picture form this program does not read"));
        const qint64 expected = p.depth == 1 ? (qint64(p.pixels_per_line) + 7) / 8
                                             : qint64(p.pixels_per_line) * channels * (p.depth / 8);
        if (p.bytes_per_line < expected || p.bytes_per_line > expected + 64)
            Fail(QStringLiteral("the device sends a picture form this program does not read"));
        // A hand scanner does not know its length (lines -1): read up to the limit.
        const size_t limit = size_t(p.bytes_per_line) * size_t(p.lines > 0 ? p.lines : kMaxPictureSide);
        std::vector<uchar> bytes;
        bytes.reserve(p.lines > 0 ? limit : size_t(p.bytes_per_line) * 64);
        std::vector<SANE_Byte> chunk(65536);
        for (;;) {
            SANE_Int got = 0;
            const SANE_Status status = sane_read(Handle, chunk.data(), SANE_Int(chunk.size()), &got);
            if (status == SANE_STATUS_EOF)
                break;
            Check(status);
            if (got < 0 || size_t(got) > chunk.size())
                Fail(QStringLiteral("the device sent bad data"));
            if (bytes.size() + size_t(got) > limit)
                Fail(QStringLiteral("the picture is too large"));
            bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + got);
        }
        return bytes;
    }

    static void Store(QImage &picture, const SANE_Parameters &p, const std::vector<uchar> &bytes)
    {
        const int w = std::min(picture.width(), p.pixels_per_line);
        const int lines = std::min<int>(picture.height(), int(bytes.size() / size_t(p.bytes_per_line)));
        const int channels = p.format == SANE_FRAME_RGB ? 3 : 1;
        for (int y = 0; y < lines; ++y) {
            const uchar *in = bytes.data() + size_t(y) * size_t(p.bytes_per_line);
            uchar *out = picture.scanLine(y);
            for (int x = 0; x < w; ++x) {
                uchar v[3];
                for (int c = 0; c < channels; ++c) {
                    if (p.depth == 8) {
                        v[c] = in[x * channels + c];
                    } else if (p.depth == 16) {
                        quint16 s;
                        std::memcpy(&s, in + 2 * (x * channels + c), 2);
                        v[c] = uchar(s >> 8);
                    } else {
                        v[c] = (in[x / 8] & (0x80 >> (x % 8))) ? 0 : 255; // 1 is black
                    }
                }
                switch (p.format) {
                case SANE_FRAME_RGB: out[3 * x] = v[0]; out[3 * x + 1] = v[1]; out[3 * x + 2] = v[2]; break;
                case SANE_FRAME_GRAY: out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = v[0]; break;
                case SANE_FRAME_RED: out[3 * x] = v[0]; break;
                case SANE_FRAME_GREEN: out[3 * x + 1] = v[0]; break;
                default: out[3 * x + 2] = v[0]; break;
                }
            }
        }
    }

    QString Name;
    SANE_Handle Handle = nullptr;
    bool Scanning = false;
};

} // namespace

QList<TCaptureDevice> ListCaptureDevices()
{
    TSaneSession session;
    const SANE_Device **devices = nullptr;
    const SANE_Status status = sane_get_devices(&devices, SANE_FALSE);
    if (status != SANE_STATUS_GOOD)
        throw TError(QStringLiteral("Cannot list the scanners and cameras: %1").arg(StatusText(status)));
    QList<TCaptureDevice> list;
    for (int i = 0; devices && devices[i] && i < 256; ++i) {
        const SANE_Device *d = devices[i];
        if (!d->name)
            continue;
        const auto text = [](const char *s) { return s ? QString::fromLocal8Bit(s) : QString(); };
        list.push_back({text(d->name),
                        QStringLiteral("%1 %2 (%3)").arg(text(d->vendor), text(d->model), text(d->type)).simplified()});
    }
    return list;
}

QImage AcquirePicture(const QString &deviceName)
{
    TSaneSession session;
    TSaneDevice device(deviceName);
    device.PreferColour();
    return device.Acquire();
}
