#pragma once
// The program's picture reader and writer. Files are untrusted: every reader
// turns a malformed, truncated or oversized file into a clean failure (a null
// picture), never a crash, and refuses declared sizes above kMaxPictureSide
// before any pixel memory is taken. Pictures come out as Format_RGB888.
#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

enum class TPictureType {
    Unknown,
    Jpeg,
    Png,
    Gif,
    Tiff,
    Bmp,
    Pcx,
    Ico,
    Cur,
    Tga,
    Pnm,
    Wmf,
    Emf,
    Avi,
};

// Largest width or height any reader accepts.
constexpr int kMaxPictureSide = 8192;
// Largest file the reader loads into memory.
constexpr qint64 kMaxPictureFileBytes = 256 * 1024 * 1024;

// The type the file's first bytes show. Targa has no signature and is never
// found this way; PictureTypeOf decides it with the extension's help.
TPictureType PictureTypeFromContent(const QByteArray &head);
// The type a file name's extension names (case does not matter).
TPictureType PictureTypeFromExtension(const QString &fileName);
// The type the reader will use for these bytes: the content's, or Targa when
// the name says Targa and the header is a plausible one.
TPictureType PictureTypeOf(const QByteArray &head, const QString &fileName);

// Whether the file holds a picture of a known type and its extension names
// that type (a JPEG named .bmp does not qualify). Reads only the file's head.
bool IsNamedPictureFile(const QString &fileName);

// Why a read failed.
enum class TReadFailure { None, CannotOpen, NotAPicture };

// Reads a picture from memory; the name's extension helps only where the
// content has no signature. A null picture when there is none readable.
QImage ReadPicture(const QByteArray &bytes, const QString &fileName, TReadFailure *failure = nullptr);
// Reads a picture file (CannotOpen when the file cannot be read at all).
QImage ReadPictureFile(const QString &fileName, TReadFailure *failure = nullptr);

// A picture no larger than box, aspect kept, for the thumbnail browser. JPEG
// files are decoded at a reduced scale, so large photos are cheap. Null when
// the file holds no readable picture.
QImage ReadThumbnail(const QString &fileName, QSize box);

// The type the writer uses for a name: from the extension; PXM and PPM are
// both written as colour pixmaps. Unknown when the writer has no coder.
TPictureType WriterTypeOf(const QString &fileName);

// Writes a picture to a file in the type its extension names (JPEG at
// quality 50). os2Bitmap asks for the OS/2 form of a .bmp. An existing file
// is replaced. Throws TError "Cannot create file %s" when the file cannot be
// written or the extension names no type the writer has.
void WritePictureFile(const QImage &picture, const QString &fileName, bool os2Bitmap = false);

// Saves a 24-bit picture as a JPEG file at quality 50, whatever the name's
// extension; replaces an existing file. Throws TError "Cannot create file %s".
void SaveJpegPicture(const QImage &picture, const QString &fileName);

// JPEG in memory: encode at the given quality (baseline, 4:2:0, JFIF), and
// decode (null on any failure). scaleDenom 1, 2, 4 or 8 decodes reduced.
QByteArray EncodeJpeg(const QImage &picture, int quality);
QImage DecodeJpeg(const QByteArray &bytes, int scaleDenom = 1);
QImage DecodePng(const QByteArray &bytes);
QByteArray EncodePng(const QImage &picture);
