#include "directory/directorycore.h"

#include "app/ansitext.h"
#include "app/errors.h"

#include <algorithm>
#include <limits>

TDirectoryRequest ChooseDirectoryRequest(bool monitorMode, bool loggingOut)
{
    if (monitorMode)
        return TDirectoryRequest::List;
    return loggingOut ? TDirectoryRequest::LogOut : TDirectoryRequest::LogIn;
}

bool TextToInt(const QString &text, int32_t &value)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == u' ')
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i == n)
        return false;
    // Accumulate as a negative number so that the lowest value fits too.
    int64_t v = 0;
    for (; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return false;
        v = v * 10 + (c - u'0');
        if (v > int64_t(std::numeric_limits<int32_t>::max()) + 1)
            return false;
    }
    if (negative)
        v = -v;
    if (v > std::numeric_limits<int32_t>::max() || v < std::numeric_limits<int32_t>::min())
        return false;
    value = static_cast<int32_t>(v);
    return true;
}

int32_t TextToIntOrThrow(const QString &text)
{
    int32_t value = 0;
    if (!TextToInt(text, value))
        throw TError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return value;
}

uint16_t DirectoryConnectPort(const QString &portText)
{
    int32_t value = 0;
    if (!TextToInt(portText, value) || value < 1 || value > 65535)
        return 80;
    return static_cast<uint16_t>(value);
}

QByteArray BuildDirectoryRequest(TDirectoryRequest kind, const TDirectorySettings &settings)
{
    // The port is converted for every request, so a bad port text stops the
    // log-out as well, before anything is written.
    const int32_t port = TextToIntOrThrow(settings.PortText);
    const QByteArray call = StringToAnsi(QString(settings.Call).remove(u' '));
    const QByteArray info = StringToAnsi(settings.Info).replace(" ", "%20");
    const QByteArray server = StringToAnsi(settings.Server);
    const QByteArray portText = QByteArray::number(port);

    QByteArray r;
    switch (kind) {
    case TDirectoryRequest::LogIn:
        r = "GET /cgi-bin/rodix.pl?call=" + call + "&text=" + info + " HTTP/1.0\nREFERER: " + portText +
            "\nHost: " + server + "\n\n";
        break;
    case TDirectoryRequest::LogOut:
        r = "GET /cgi-bin/rodix.pl?call=" + call + "&text=logout HTTP/1.0\nREFERER: off\nHost: " + server +
            "\n\n";
        break;
    case TDirectoryRequest::List:
        r = "GET /cgi-bin/rodix.pl?list HTTP/1.0\nREFERER: " + portText + "\nHost: " + server + "\n\n";
        break;
    }
    return r;
}

void TReplyCollector::Append(const QByteArray &piece)
{
    const qsizetype room = MaxBytes - Data.size();
    if (piece.size() > room) {
        Data.append(piece.constData(), room);
        WasCut = true;
    } else {
        Data.append(piece);
    }
}

void TReplyCollector::Clear()
{
    Data.clear();
    WasCut = false;
}

TStationList::TStationList()
{
    SetCell(0, 0, QStringLiteral("Callsign"));
    SetCell(2, 0, QStringLiteral("Information"));
    SetCell(2, 1, QStringLiteral("NOT Connected !"));
}

QString TStationList::Cell(int col, int row) const
{
    if (col < 0 || col > 2 || row < 0 || row >= Texts.size())
        return QString();
    return Texts[row][col];
}

void TStationList::SetCell(int col, int row, const QString &text)
{
    if (col < 0 || col > 2 || row < 0 || row >= MaxRows)
        return;
    if (row >= Texts.size())
        Texts.resize(row + 1);
    Texts[row][col] = text;
}

void TStationList::SetRowCount(int rows)
{
    Rows = std::clamp(rows, 2, MaxStations + 1);
}

QString StationsOnLineLabel(int32_t stations)
{
    return QStringLiteral("SSTV Stations On Line = ") + QString::number(stations);
}

namespace {
constexpr qsizetype kCallChars = 9;
constexpr qsizetype kAddressChars = 49;
constexpr qsizetype kInfoChars = 99;
} // namespace

TReplyOutcome ApplyDirectoryReply(TStationList &list, const QByteArray &reply, bool monitorMode,
                                  int32_t stationCount)
{
    TReplyOutcome out;
    const qsizetype nul = reply.indexOf('\0');
    const QByteArray t = nul < 0 ? reply : reply.left(nul);
    out.Text = t;
    const qsizetype len = t.size();

    // Position of the next c at or after from, or the end of the text.
    auto next = [&](char c, qsizetype from) -> qsizetype {
        if (from >= len)
            return len;
        const qsizetype i = t.indexOf(c, from);
        return i < 0 ? len : i;
    };
    // The field after the separator at sep, up to the next ";": its text
    // (cut to max characters) and the position of the ";" that ends it.
    auto field = [&](qsizetype sep, qsizetype max, qsizetype &end) -> QString {
        const qsizetype start = std::min(sep + 1, len);
        end = next(';', start);
        return AnsiToString(t.mid(start, std::min(end - start, max)));
    };

    qsizetype p = 0;
    if (monitorMode) {
        const qsizetype headerEnd = t.indexOf("\r\n\r\n");
        if (headerEnd < 0) {
            // No body: nothing to list.
            p = len;
        } else {
            const qsizetype h = headerEnd + 3;
            const qsizetype k = next(';', h);
            // A first line that is only a count ("3;") is passed over.
            const qsizetype q = (k + 1 < len && t[k + 1] == '\n') ? next(';', k + 1) : k + 1;
            // The LF at h bounds this search, so p never falls before it.
            p = t.lastIndexOf('\n', std::min(q, len - 1));
        }
    }

    int32_t row = std::clamp<int32_t>(stationCount, 1, TStationList::MaxStations + 1);
    bool first = true;
    do {
        if (!monitorMode)
            p = next('#', p);
        else if (!first)
            p = next('\n', p);
        first = false;

        qsizetype end = 0;
        list.SetCell(0, row, field(p, kCallChars, end));
        if (!monitorMode)
            list.SetCell(1, row, field(end, kAddressChars, end));
        list.SetCell(2, row, field(end, kInfoChars, end));
        p = end;
        ++row;
    } while (p < len && row < TStationList::MaxRows);

    // The last pass filled the row after the last station.
    const int32_t stations = row - 2;
    if (stations == 0) {
        list.SetCell(0, 1, QString());
        list.SetCell(2, 1, QStringLiteral("No Stations On Line"));
    } else {
        list.SetRowCount(stations + 1);
    }
    out.StationCount = stations;
    out.Label = StationsOnLineLabel(stations);
    return out;
}
