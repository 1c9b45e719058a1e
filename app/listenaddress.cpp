#include "app/listenaddress.h"

#include <QAbstractSocket>

namespace {
bool TestAddress(QHostAddress &address)
{
    const QByteArray test = qgetenv("TELVORIA_TEST_LISTEN_ADDRESS");
    return !test.isEmpty() && address.setAddress(QString::fromLatin1(test));
}
} // namespace

QHostAddress ListenAddress()
{
    QHostAddress address;
    return TestAddress(address) ? address : QHostAddress(QHostAddress::Any);
}

void BindTestSource(QAbstractSocket &socket)
{
    QHostAddress address;
    if (TestAddress(address))
        socket.bind(address, 0);
}
