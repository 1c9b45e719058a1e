// A station's Config.txt as read at start: the file's bytes split into lines
// and taken as the seven settings; what is written back reads the same.
#include "app/ansitext.h"
#include "app/errors.h"
#include "app/settingsfile.h"
#include "fuzzcheck.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Larger files are refused before they are read.
    if (size > size_t(MaxTextFileSize))
        return 0;
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const QStringList lines = SplitTextLines(bytes);
    for (const QString &l : lines)
        FUZZ_REQUIRE(!l.contains(u'\r') && !l.contains(u'\n'));
    FUZZ_REQUIRE(lines.size() <= qsizetype(size));

    StationConfig c;
    try {
        c = StationConfig::FromLines(lines);
    } catch (const TError &e) {
        FUZZ_REQUIRE(lines.size() < StationConfig::LineCount);
        FUZZ_REQUIRE(e.message() == QStringLiteral("List index out of bounds (%1)").arg(lines.size()));
        return 0;
    }
    FUZZ_REQUIRE(lines.size() >= StationConfig::LineCount);
    FUZZ_REQUIRE(c.Callsign.size() <= StationConfig::MaxCallsign);

    // Writing the settings and reading them again gives the same settings.
    QByteArray written;
    for (const QString &l : c.ToLines())
        written += StringToAnsi(l) + "\r\n";
    const StationConfig again = StationConfig::FromLines(SplitTextLines(written));
    FUZZ_REQUIRE(again.ToLines() == c.ToLines());
    return 0;
}
