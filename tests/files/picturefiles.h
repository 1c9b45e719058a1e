#pragma once
// Pictures and odd files made by the tests themselves.
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QString>

// Points SANE at the test configuration (its test backend only); must run
// before the first use of SANE in the process.
void UseTestSaneConfig();

// Quarters: white top left, black top right, red (220,30,20) bottom left,
// blue bottom right.
QImage TestPattern(int width, int height);
bool ColourNear(const QColor &a, const QColor &b, int tolerance);

QByteArray ReadAll(const QString &path);
void WriteAll(const QString &path, const QByteArray &bytes);

// Writes with the general picture library directly, for types the program
// reads but does not write (GIF, LZW-compressed TIFF).
void WriteWithGeneralLibrary(const QImage &picture, const QString &path, const char *coder, bool lzw = false);

// The first luminance quantisation value of a JPEG file (16 at quality 50).
int FirstLuminanceQuant(const QByteArray &jpeg);

// Headers declaring the given size, for oversize and truncation cases.
QByteArray WithJpegSize(QByteArray jpeg, int width, int height);
QByteArray PngWithSize(QByteArray png, quint32 width, quint32 height);
QByteArray BmpHeader(int width, int height);
QByteArray GifHeader(int width, int height);
QByteArray TgaHeader(int width, int height);
