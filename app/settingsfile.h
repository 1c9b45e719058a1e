#pragma once
// Station settings files: plain 8-bit text lines, no quoting. This core knows
// no widget so that it can be tested and fuzzed on its own.
#include <QByteArray>
#include <QString>
#include <QStringList>

// Splits on CR, LF or CR LF; a last line without an ending counts.
QStringList SplitTextLines(const QByteArray &bytes);

// Reads a file's lines; throws TError "Cannot open file <path>" when the file
// cannot be read. Files larger than MaxTextFileSize are refused the same way.
QStringList ReadTextLines(const QString &path);
constexpr qint64 MaxTextFileSize = 1 << 20;

// Writes the lines, each ended by CR LF, replacing the file atomically (a
// temporary file renamed over it). Throws "Cannot create file <path>".
void WriteTextLines(const QString &path, const QStringList &lines);

// Creates a folder with every missing parent. Throws "Unable to create
// directory" for an empty path and "Cannot create <path>" on failure.
void ForceFolder(const QString &path);

// The seven values of Config.txt, in file order.
struct StationConfig {
    QString Callsign;
    QString Information;
    QString Server;
    QString Port;
    QString Header;
    QString Footer;
    QString SavePath;

    static constexpr int LineCount = 7;
    static constexpr int MaxCallsign = 8;

    static StationConfig Defaults();
    // Takes the first seven lines; throws "List index out of bounds (n)" at
    // the first missing one. A longer callsign is cut to MaxCallsign.
    static StationConfig FromLines(const QStringList &lines);
    QStringList ToLines() const;
};

// The platform's default folder for saved pictures and its path separator.
QString DefaultSavePath();
QChar PathSeparator();
