#pragma once
// Texts in files and on the wire are 8-bit Windows-1252; characters outside
// that set become '?'.
#include <QByteArray>
#include <QString>

QString AnsiToString(const QByteArray &bytes);
QByteArray StringToAnsi(const QString &text);
