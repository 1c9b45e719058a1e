#include "exchange/receiver.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace exchange {
namespace {

// The peer as dotted text, also when a dual-stack listener reports it as an
// IPv4-mapped IPv6 address: the answer goes back to that text.
QString PeerText(const QHostAddress &peer)
{
    bool ok = false;
    const quint32 v4 = peer.toIPv4Address(&ok);
    return ok ? QHostAddress(v4).toString() : peer.toString();
}

} // namespace

TPictureReceiver::TPictureReceiver(ReceiverLimits limits, QObject *parent)
    : QObject(parent), Lim(limits)
{
    static const int registered = qRegisterMetaType<Reception>();
    Q_UNUSED(registered);
}

void TPictureReceiver::Attach(QTcpServer *small, QTcpServer *large)
{
    SmallServer = small;
    LargeServer = large;
    connect(SmallServer, &QTcpServer::newConnection, this, [this] { Accept(SmallServer, PictureKind::Small); });
    connect(LargeServer, &QTcpServer::newConnection, this, [this] { Accept(LargeServer, PictureKind::Large); });
}

TPictureReceiver::~TPictureReceiver()
{
    for (auto &[id, c] : Open) {
        c.Socket->disconnect(this);
        c.Socket->abort();
    }
}

bool TPictureReceiver::Listen(const QHostAddress &address, quint16 smallPort, quint16 largePort, QString *error)
{
    if (!SmallServer)
        Attach(new QTcpServer(this), new QTcpServer(this));
    if (!SmallServer->listen(address, smallPort)) {
        if (error)
            *error = SmallServer->errorString();
        return false;
    }
    if (!LargeServer->listen(address, largePort)) {
        if (error)
            *error = LargeServer->errorString();
        SmallServer->close();
        return false;
    }
    return true;
}

quint16 TPictureReceiver::Port(PictureKind kind) const
{
    const QTcpServer *server = kind == PictureKind::Large ? LargeServer : SmallServer;
    return server ? server->serverPort() : 0;
}

void TPictureReceiver::Accept(QTcpServer *server, PictureKind kind)
{
    while (QTcpSocket *socket = server->nextPendingConnection()) {
        const QString peer = PeerText(socket->peerAddress());
        int fromPeer = 0;
        for (const auto &[openId, open] : Open)
            fromPeer += open.Peer == peer;
        if (int(Open.size()) >= Lim.MaxConnections || fromPeer >= Lim.MaxPerPeer) {
            socket->abort();
            socket->deleteLater();
            emit Refused(peer);
            continue;
        }
        // Ours from now on, whoever owns the listener.
        socket->setParent(this);
        const int id = NextId++;
        Conn &c = Open[id];
        c.Socket = socket;
        c.Peer = peer;
        c.Kind = kind;
        c.Silence = new QTimer(socket);
        c.Silence->setSingleShot(true);
        c.Silence->setInterval(Lim.SilenceMs);
        connect(c.Silence, &QTimer::timeout, this,
                [this, id] { Drop(id, QStringLiteral("sender was silent for too long")); });
        connect(socket, &QTcpSocket::readyRead, this, [this, id] { Read(id); });
        connect(socket, &QTcpSocket::disconnected, this, [this, id] { Close(id); });
        connect(socket, &QTcpSocket::errorOccurred, this, [this, id](QAbstractSocket::SocketError e) {
            // The peer's close is the normal end of a picture.
            if (e != QAbstractSocket::RemoteHostClosedError)
                if (const auto it = Open.find(id); it != Open.end())
                    Drop(id, it->second.Socket->errorString());
        });
        c.Silence->start();
        emit Started(id, peer, kind);
        // The peer may have closed while Started was being handled.
        if (const auto it = Open.find(id); it != Open.end() && it->second.Socket->bytesAvailable() > 0)
            Read(id);
    }
}

void TPictureReceiver::Read(int id)
{
    const auto it = Open.find(id);
    if (it == Open.end())
        return;
    Conn &c = it->second;
    const qint64 avail = c.Socket->bytesAvailable();
    if (avail <= 0)
        return;
    if (c.Bytes.size() + avail > Lim.MaxBytes) {
        Drop(id, QStringLiteral("picture is larger than %1 bytes").arg(Lim.MaxBytes));
        return;
    }
    c.Bytes += c.Socket->read(avail);
    c.Silence->start();
    const qint64 total = c.Bytes.size();
    emit DataArrived(id, total);
}

void TPictureReceiver::Close(int id)
{
    // Whatever is still buffered belongs to the picture.
    Read(id);
    const auto it = Open.find(id);
    if (it == Open.end())
        return;
    Reception r;
    r.Result = it->second.Kind == PictureKind::Large ? DecodeJ2K(it->second.Bytes) : DecodeJpeg(it->second.Bytes);
    End(id, std::move(r));
}

void TPictureReceiver::Drop(int id, const QString &why)
{
    Reception r;
    r.Dropped = true;
    r.Result.Error = why;
    End(id, std::move(r));
}

void TPictureReceiver::End(int id, Reception r)
{
    const auto it = Open.find(id);
    if (it == Open.end())
        return;
    Conn c = std::move(it->second);
    Open.erase(it);
    // The connection is gone from the books before anyone hears of its end,
    // so handlers that let events run meet a consistent receiver.
    c.Socket->disconnect(this);
    c.Silence->stop();
    if (r.Dropped)
        c.Socket->abort();
    c.Socket->deleteLater();
    r.Id = id;
    r.Peer = c.Peer;
    r.Kind = c.Kind;
    r.Size = c.Bytes.size();
    emit Finished(r);
}

} // namespace exchange
