#include "app/settingsfile.h"

#include "app/ansitext.h"
#include "app/errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

QStringList SplitTextLines(const QByteArray &bytes)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            lines.append(AnsiToString(bytes.mid(start, i - start)));
            if (c == '\r' && i + 1 < n && bytes[i + 1] == '\n')
                ++i;
            start = ++i;
        } else {
            ++i;
        }
    }
    if (start < n)
        lines.append(AnsiToString(bytes.mid(start)));
    return lines;
}

QStringList ReadTextLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxTextFileSize)
        throw TError(QStringLiteral("Cannot open file %1").arg(path));
    const QByteArray bytes = file.read(MaxTextFileSize);
    if (file.error() != QFileDevice::NoError)
        throw TError(QStringLiteral("Cannot open file %1").arg(path));
    return SplitTextLines(bytes);
}

void WriteTextLines(const QString &path, const QStringList &lines)
{
    QByteArray bytes;
    for (const QString &line : lines) {
        bytes += StringToAnsi(line);
        bytes += "\r\n";
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw TError(QStringLiteral("Cannot create file %1").arg(path));
}

void ForceFolder(const QString &path)
{
    if (path.isEmpty())
        throw TError(QStringLiteral("Unable to create directory"));
    QFileInfo info(path);
    if (info.isDir())
        return;
    if (!QDir().mkpath(path))
        throw TError(QStringLiteral("Cannot create %1").arg(path));
}

StationConfig StationConfig::Defaults()
{
    StationConfig c;
    c.Callsign = QStringLiteral("QZB");
    c.Information = QStringLiteral("Testing Telvoria V1.8a");
    c.Server = QString();
    c.Port = QStringLiteral("80");
    c.Header = QStringLiteral(" Telvoria  SSTV Transceiver V1.8a");
    c.Footer = c.Header;
    c.SavePath = DefaultSavePath();
    return c;
}

StationConfig StationConfig::FromLines(const QStringList &lines)
{
    auto line = [&lines](int i) -> const QString & {
        if (i >= lines.size())
            throw TError(QStringLiteral("List index out of bounds (%1)").arg(i));
        return lines[i];
    };
    StationConfig c;
    c.Callsign = line(0).left(MaxCallsign);
    c.Information = line(1);
    c.Server = line(2);
    c.Port = line(3);
    c.Header = line(4);
    c.Footer = line(5);
    c.SavePath = line(6);
    return c;
}

QStringList StationConfig::ToLines() const
{
    return {Callsign, Information, Server, Port, Header, Footer, SavePath};
}

QChar PathSeparator()
{
#ifdef Q_OS_WIN
    return QLatin1Char('\\');
#else
    return QLatin1Char('/');
#endif
}

QString DefaultSavePath()
{
#ifdef Q_OS_WIN
    return QStringLiteral("C:\\Telvoria\\RXPics");
#else
    return QDir::homePath() + QStringLiteral("/Telvoria/RXPics");
#endif
}
