#pragma once
#include <QHostAddress>

class QAbstractSocket;

// The address the picture listeners bind to: every interface. Tests that run
// several copies of the program on one machine give each its own loopback
// address through TELVORIA_TEST_LISTEN_ADDRESS; operators never set it.
QHostAddress ListenAddress();

// With that test address set, outgoing connections leave from it too, so a
// directory service and the peers see each copy at its own address.
void BindTestSource(QAbstractSocket &socket);
