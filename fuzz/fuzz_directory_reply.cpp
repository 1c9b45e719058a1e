// A directory service's reply, collected the way the connection does and
// read in either mode. First byte: bit 0 the mode (list when set), the rest
// the size of the pieces the reply arrives in; the next four bytes the row
// the first record fills; the remainder is the reply.
#include "directory/directorycore.h"
#include "fuzzcheck.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 5)
        return 0;
    const bool monitorMode = data[0] & 1;
    const size_t piece = size_t(data[0] >> 1) + 1;
    int32_t stationCount = 0;
    std::memcpy(&stationCount, data + 1, sizeof stationCount);
    data += 5;
    size -= 5;

    TReplyCollector collector;
    for (size_t at = 0; at < size; at += piece) {
        const size_t n = size - at < piece ? size - at : piece;
        collector.Append(QByteArray(reinterpret_cast<const char *>(data + at), qsizetype(n)));
    }
    FUZZ_REQUIRE(collector.Bytes().size() <= TReplyCollector::MaxBytes);
    FUZZ_REQUIRE(collector.Cut() == (qsizetype(size) > TReplyCollector::MaxBytes));

    TStationList list;
    // A previous reply leaves rows behind, as on a real connection.
    ApplyDirectoryReply(list, "#OLD;10.0.0.1;x;\n#OLD2;10.0.0.2;y;\n", false, 1);
    const TReplyOutcome out = ApplyDirectoryReply(list, collector.Bytes(), monitorMode, stationCount);

    FUZZ_REQUIRE(out.StationCount >= 0 && out.StationCount <= TStationList::MaxStations);
    FUZZ_REQUIRE(out.Label == StationsOnLineLabel(out.StationCount));
    FUZZ_REQUIRE(!out.Text.contains('\0'));
    FUZZ_REQUIRE(collector.Bytes().startsWith(out.Text));
    FUZZ_REQUIRE(list.RowCount() >= 2 && list.RowCount() <= TStationList::MaxStations + 1);
    FUZZ_REQUIRE(list.StoredRows() <= TStationList::MaxRows);
    FUZZ_REQUIRE(list.Cell(0, 0) == QStringLiteral("Callsign"));
    for (int row = 1; row < list.StoredRows(); ++row) {
        FUZZ_REQUIRE(list.Cell(0, row).size() <= 9);
        FUZZ_REQUIRE(list.Cell(1, row).size() <= 49);
        FUZZ_REQUIRE(list.Cell(2, row).size() <= 99);
    }
    return 0;
}
