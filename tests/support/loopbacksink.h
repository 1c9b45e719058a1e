#pragma once
// A receiver for tests that keeps every connection's bytes and whether it
// has closed: where the program's outgoing pictures land.
#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>
#include <vector>

class Sink : public QObject {
public:
    struct Connection {
        QByteArray Bytes;
        bool Closed = false;
    };

    explicit Sink(const QString &address = QStringLiteral("127.0.0.1"))
    {
        if (!Server.listen(QHostAddress(address), 0))
            qFatal("cannot listen on loopback");
        QObject::connect(&Server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = Server.nextPendingConnection()) {
                auto c = std::make_shared<Connection>();
                Connections.push_back(c);
                QObject::connect(s, &QTcpSocket::readyRead, s, [s, c] { c->Bytes += s->readAll(); });
                QObject::connect(s, &QTcpSocket::disconnected, s, [s, c] {
                    c->Bytes += s->readAll();
                    c->Closed = true;
                    s->deleteLater();
                });
            }
        });
    }
    quint16 Port() const { return Server.serverPort(); }
    int Count() const { return int(Connections.size()); }
    int ClosedCount() const
    {
        int n = 0;
        for (const auto &c : Connections)
            n += c->Closed;
        return n;
    }
    const Connection &At(int i) const { return *Connections.at(size_t(i)); }

private:
    QTcpServer Server;
    std::vector<std::shared_ptr<Connection>> Connections;
};
