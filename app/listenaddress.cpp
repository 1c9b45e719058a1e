#include "app/listenaddress.h"

QHostAddress ListenAddress()
{
    const QByteArray test = qgetenv("TELVORIA_TEST_LISTEN_ADDRESS");
    QHostAddress address;
    if (!test.isEmpty() && address.setAddress(QString::fromLatin1(test)))
        return address;
    return QHostAddress::Any;
}
