#pragma once
// The directory service's wire side, without any widget: the three requests,
// the collection of a reply and its reading into the texts of the station
// list. The window's glue applies the result to the grid.
#include <QByteArray>
#include <QList>
#include <QString>

#include <array>
#include <cstdint>

// Which request a new connection carries.
enum class TDirectoryRequest { LogIn, LogOut, List };

// Monitor mode lists without registering; station mode logs in, or out when
// a log-out was asked for.
TDirectoryRequest ChooseDirectoryRequest(bool monitorMode, bool loggingOut);

// The settings the requests are built from, as the operator typed them.
struct TDirectorySettings {
    QString Call;
    QString Info;
    QString PortText;
    QString Server;
};

// The standard text-to-integer conversion: leading spaces skipped, an
// optional sign, decimal digits to the end, 32-bit range. Returns false for
// anything else.
bool TextToInt(const QString &text, int32_t &value);
// The same, throwing TError "'<text>' is not a valid integer value".
int32_t TextToIntOrThrow(const QString &text);

// The port a directory connection goes to: the port text's number, or 80
// when it is not a whole number or no TCP port.
uint16_t DirectoryConnectPort(const QString &portText);

// The request's bytes, LF line ends, ending with an empty line. Throws the
// conversion error when the port text is not a whole number (for every
// request, the log-out too).
QByteArray BuildDirectoryRequest(TDirectoryRequest kind, const TDirectorySettings &settings);

// Collects a reply until the service closes the connection. Bytes beyond
// MaxBytes are dropped, so a runaway service costs at most that much memory.
class TReplyCollector {
public:
    static constexpr qsizetype MaxBytes = qsizetype(1) << 20;
    void Append(const QByteArray &piece);
    const QByteArray &Bytes() const { return Data; }
    bool Cut() const { return WasCut; }
    void Clear();

private:
    QByteArray Data;
    bool WasCut = false;
};

// The texts of the station list: row 0 the headings, rows 1.. the stations,
// columns 0 callsign, 1 address, 2 information. Like the grid it stands for
// it keeps the texts of rows beyond its current number of rows, so they show
// again when the number grows.
class TStationList {
public:
    // The most stations one reply can list; the rest of a reply is ignored.
    static constexpr int MaxStations = 1000;
    // Rows that can hold text: headings, stations, and the row after them.
    static constexpr int MaxRows = MaxStations + 2;

    // Two rows: the headings and "NOT Connected !".
    TStationList();

    QString Cell(int col, int row) const;
    // Writes outside 0..2 / 0..MaxRows-1 are ignored.
    void SetCell(int col, int row, const QString &text);
    int RowCount() const { return Rows; }
    // Clamped to 2..MaxStations+1.
    void SetRowCount(int rows);

    // Rows ever written, shown or not.
    int StoredRows() const { return int(Texts.size()); }

private:
    QList<std::array<QString, 3>> Texts;
    int Rows = 2;
};

// What a processed reply leaves besides the list's texts.
struct TReplyOutcome {
    int32_t StationCount = 0; // the number of stations listed
    QString Label;            // "SSTV Stations On Line = " and the count
    QByteArray Text;          // the reply as read: up to its first NUL byte
};

// Reads one whole reply into the list. Station format (monitorMode false):
// "#" call ";" address ";" information ";" records anywhere in the text.
// List format: after the HTTP header, lines of call ";" information ";".
// stationCount is the row the first record fills (0 counts as 1). Every scan
// stays inside the text whatever it holds.
TReplyOutcome ApplyDirectoryReply(TStationList &list, const QByteArray &reply, bool monitorMode,
                                  int32_t stationCount);

// The texts that the list's owner shows at fixed moments.
QString StationsOnLineLabel(int32_t stations);
