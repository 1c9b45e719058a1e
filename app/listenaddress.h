#pragma once
#include <QHostAddress>

// The address the picture listeners bind to: every interface. Tests that run
// several copies of the program on one machine give each its own loopback
// address through TELVORIA_TEST_LISTEN_ADDRESS; operators never set it.
QHostAddress ListenAddress();
