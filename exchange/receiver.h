#pragma once
// The receiving side of the transfer format, without any window: two
// listeners, one per picture kind; every accepted connection collects its
// own bytes and is decoded at its own close with the decoder of the kind of
// listener it came in on. Peers are untrusted: each connection may bring at
// most MaxBytes and stay silent at most SilenceMs, and at most
// MaxConnections are served at once (at most MaxPerPeer from one address),
// further ones are refused at accept.
#include "exchange/transfercodec.h"

#include <QHostAddress>
#include <QObject>

#include <map>

class QTcpServer;
class QTcpSocket;
class QTimer;

namespace exchange {

enum class PictureKind { Small, Large }; // JPEG on 27222, JPEG 2000 on 27223

struct ReceiverLimits {
    qint64 MaxBytes = 8 * 1024 * 1024;
    int SilenceMs = 60 * 1000;
    int MaxConnections = 16;
    // Connections one peer address may hold at once: a peer that opens
    // connections and keeps them silent cannot take every place, so other
    // stations still get through.
    int MaxPerPeer = 4;
};

// The end of one connection.
struct Reception {
    int Id = 0;
    QString Peer; // dotted address as the socket reports it
    PictureKind Kind = PictureKind::Small;
    qint64 Size = 0; // bytes collected
    // Decoded when the peer closed; a failure carries its reason (a dropped
    // connection says why it was dropped).
    Decoded Result;
    bool Dropped = false; // ended by a limit or a socket error, not by the peer's close
};

class TPictureReceiver : public QObject {
    Q_OBJECT
public:
    explicit TPictureReceiver(ReceiverLimits limits = {}, QObject *parent = nullptr);
    ~TPictureReceiver() override;

    // Starts both listeners; false with the reason when either cannot.
    // Port 0 picks a free port (tests).
    bool Listen(const QHostAddress &address, quint16 smallPort = kSmallPort, quint16 largePort = kLargePort,
                QString *error = nullptr);
    // Serves listeners opened elsewhere instead (the window's own); they
    // stay owned by their owner. Call once, before any connection arrives.
    void Attach(QTcpServer *small, QTcpServer *large);
    quint16 Port(PictureKind kind) const;
    int OpenConnections() const { return int(Open.size()); }
    const ReceiverLimits &Limits() const { return Lim; }

signals:
    // A connection was accepted (before any of its data).
    void Started(int id, const QString &peer, exchange::PictureKind kind);
    // Bytes arrived on a connection.
    void DataArrived(int id, qint64 total);
    // A connection ended: decoded at the peer's close, or dropped.
    void Finished(const exchange::Reception &reception);
    // A connection beyond MaxConnections or MaxPerPeer was refused.
    void Refused(const QString &peer);

private:
    struct Conn {
        QTcpSocket *Socket = nullptr;
        QTimer *Silence = nullptr;
        QString Peer;
        PictureKind Kind = PictureKind::Small;
        QByteArray Bytes;
    };
    void Accept(QTcpServer *server, PictureKind kind);
    void Read(int id);
    void Close(int id);
    void Drop(int id, const QString &why);
    void End(int id, Reception reception);

    ReceiverLimits Lim;
    QTcpServer *SmallServer = nullptr;
    QTcpServer *LargeServer = nullptr;
    std::map<int, Conn> Open;
    int NextId = 1;
};

} // namespace exchange

Q_DECLARE_METATYPE(exchange::PictureKind)
Q_DECLARE_METATYPE(exchange::Reception)
