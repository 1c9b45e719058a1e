#pragma once
// Peers, measures and marked pictures for the tests that drive the real
// window from many loopback senders at once.
#include "codectestpictures.h"
#include "formfixture.h"

#include "app/sstvform.h"
#include "exchange/receiver.h"
#include "exchange/transfercodec.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>

namespace peers {

using exchange::PictureKind;

// Another source address on loopback, in this test process's own block.
inline QString NeighbourAddress(int n)
{
    QStringList parts = TestListenAddress().split(u'.');
    parts[3] = QString::number(parts[3].toInt() ^ (2 * n));
    return parts.join(u'.');
}

inline quint16 PortOf(PictureKind kind)
{
    return kind == PictureKind::Large ? exchange::kLargePort : exchange::kSmallPort;
}

// Resident memory of this process in KiB.
inline qint64 RssKiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// The longest gap between ticks of a 10 ms timer on this thread: how long
// the window's event loop was held up.
class StallMeter {
public:
    StallMeter()
    {
        Tick.setInterval(10);
        Tick.setTimerType(Qt::PreciseTimer);
        QObject::connect(&Tick, &QTimer::timeout, [this] {
            const qint64 now = Clock.elapsed();
            Longest = std::max(Longest, now - Last);
            Last = now;
        });
        Clock.start();
        Tick.start();
    }
    // Includes the gap since the last tick.
    qint64 LongestMs() const { return std::max(Longest, Clock.elapsed() - Last); }

private:
    QTimer Tick;
    QElapsedTimer Clock;
    qint64 Last = 0;
    qint64 Longest = 0;
};

// A picture that says which one it is: the top half holds 16 cells, the
// low byte of id and its complement, as dark and light blocks big enough to
// survive both encodings and the stretch between sizes; the bottom half a
// colour ramp of its own, so pictures differ everywhere.
inline QImage MarkedPicture(int id, int w = exchange::kLargeWidth, int h = exchange::kLargeHeight)
{
    QImage img(w, h, QImage::Format_RGB888);
    const int bits = (id & 0xFF) | ((~id & 0xFF) << 8);
    const QColor hue = QColor::fromHsv((id * 37) % 360, 200, 210);
    for (int y = 0; y < h; ++y) {
        uchar *line = img.scanLine(y);
        const int row = y * 4 / h;
        for (int x = 0; x < w; ++x) {
            const int col = x * 8 / w;
            int rgb[3];
            if (row < 2) {
                const int v = (bits >> (row * 8 + col)) & 1 ? 230 : 25;
                rgb[0] = rgb[1] = rgb[2] = v;
            } else {
                const double t = double(x) / w;
                rgb[0] = int(hue.red() * (0.4 + 0.6 * t));
                rgb[1] = int(hue.green() * (1.0 - 0.5 * t));
                rgb[2] = int(hue.blue() * (0.5 + 0.5 * (y % 97) / 97.0));
            }
            for (int c = 0; c < 3; ++c)
                line[3 * x + c] = uchar(rgb[c]);
        }
    }
    return img;
}

// The id a marked picture carries, or -1 when its cells do not agree.
inline int ReadMarker(const QImage &picture)
{
    if (picture.isNull())
        return -1;
    const QImage img = picture.convertToFormat(QImage::Format_RGB888);
    const int w = img.width(), h = img.height();
    int bits = 0;
    for (int row = 0; row < 2; ++row)
        for (int col = 0; col < 8; ++col) {
            // The middle half of the cell.
            const int x0 = (4 * col + 1) * w / 32, x1 = (4 * col + 3) * w / 32;
            const int y0 = (4 * row + 1) * h / 16, y1 = (4 * row + 3) * h / 16;
            qint64 sum = 0, n = 0;
            for (int y = y0; y < y1; ++y)
                for (int x = x0; x < x1; ++x, ++n)
                    sum += img.constScanLine(y)[3 * x + 1];
            if (n && sum / n > 128)
                bits |= 1 << (row * 8 + col);
        }
    const int id = bits & 0xFF;
    return ((bits >> 8) & 0xFF) == (~id & 0xFF) ? id : -1;
}

inline QByteArray EncodedMarked(int id, PictureKind kind)
{
    if (kind == PictureKind::Large)
        return exchange::EncodeJ2K(MarkedPicture(id));
    return exchange::EncodeJpeg(MarkedPicture(id, exchange::kSmallWidth, exchange::kSmallHeight));
}

// A station that sends its pictures one connection after another from its
// own address, all from this thread's events. It learns the outcome of each
// from the window's receiver: ended (next picture) or refused at accept
// (tried again when Retry is set, else counted as lost).
class SequentialSender : public QObject {
public:
    struct Item {
        PictureKind Kind = PictureKind::Large;
        QByteArray Bytes;
    };

    SequentialSender(TSSTVForm *form, const QString &from, QList<Item> items, bool retry = false)
        : Form(form), From(from), Items(std::move(items)), Retry(retry)
    {
        connect(form->PictureReceiver, &exchange::TPictureReceiver::Finished, this,
                [this](const exchange::Reception &r) {
                    if (r.Peer != From || !Busy)
                        return;
                    Results << r;
                    Advance();
                });
        connect(form->PictureReceiver, &exchange::TPictureReceiver::Refused, this, [this](const QString &peer) {
            if (peer != From || !Busy)
                return;
            ++Refusals;
            if (Retry) {
                Busy = false;
                QTimer::singleShot(20, this, [this] { Open(); });
            } else {
                ++Lost;
                Advance();
            }
        });
    }

    void Start() { Open(); }
    bool Done() const { return Index >= Items.size(); }

    QList<exchange::Reception> Results; // in the order sent
    int Refusals = 0;
    int Lost = 0;
    int ConnectFailures = 0;

private:
    void Advance()
    {
        Busy = false;
        ++Index;
        if (!Done())
            QTimer::singleShot(0, this, [this] { Open(); });
    }
    void Open()
    {
        if (Done() || Busy)
            return;
        Busy = true;
        const Item item = Items[Index];
        auto *s = new QTcpSocket(this);
        s->bind(QHostAddress(From));
        connect(s, &QTcpSocket::connected, s, [s, item] {
            s->write(item.Bytes);
            s->disconnectFromHost();
        });
        connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
        connect(s, &QTcpSocket::errorOccurred, s, [this, s](QAbstractSocket::SocketError e) {
            // A connection that never came up is tried again; a refusal
            // after it came up is reported by the receiver.
            if (e == QAbstractSocket::ConnectionRefusedError || e == QAbstractSocket::SocketTimeoutError ||
                (e == QAbstractSocket::NetworkError && s->state() != QAbstractSocket::ConnectedState)) {
                ++ConnectFailures;
                Busy = false;
                if (ConnectFailures < 50)
                    QTimer::singleShot(50, this, [this] { Open(); });
            }
            s->deleteLater();
        });
        s->connectToHost(QHostAddress(TestListenAddress()), PortOf(item.Kind));
    }

    TSSTVForm *Form;
    QString From;
    QList<Item> Items;
    bool Retry;
    qsizetype Index = 0;
    bool Busy = false;
};

} // namespace peers
