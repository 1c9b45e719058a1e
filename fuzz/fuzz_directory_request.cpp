// The directory requests built from what the operator typed. The input is
// split at LF into callsign, information, port text and server (missing
// fields are empty), read as UTF-8; every request kind is built from them.
#include "app/errors.h"
#include "directory/directorycore.h"
#include "fuzzcheck.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 4096)
        return 0;
    const QByteArray in(reinterpret_cast<const char *>(data), qsizetype(size));
    const QList<QByteArray> parts = in.split('\n');
    auto part = [&](int i) { return i < parts.size() ? QString::fromUtf8(parts[i]) : QString(); };
    TDirectorySettings s;
    s.Call = part(0);
    s.Info = part(1);
    s.PortText = part(2);
    s.Server = part(3);

    int32_t value = 0;
    const bool whole = TextToInt(s.PortText, value);
    if (whole) {
        // A number that reads back as itself.
        int32_t again = 0;
        FUZZ_REQUIRE(TextToInt(QString::number(value), again) && again == value);
    }
    const uint16_t port = DirectoryConnectPort(s.PortText);
    FUZZ_REQUIRE(port >= 1);
    FUZZ_REQUIRE(port == 80 || (whole && value == port));

    for (TDirectoryRequest kind : {TDirectoryRequest::LogIn, TDirectoryRequest::LogOut, TDirectoryRequest::List}) {
        try {
            const QByteArray r = BuildDirectoryRequest(kind, s);
            FUZZ_REQUIRE(whole);
            FUZZ_REQUIRE(r.startsWith("GET /cgi-bin/rodix.pl?"));
            FUZZ_REQUIRE(r.endsWith("\n\n"));
            // The fields hold no LF, so the request is exactly its three
            // lines and the empty one: nothing typed adds a header line.
            FUZZ_REQUIRE(r.count('\n') == 4);
            // The request line is one line with exactly the two spaces.
            const QByteArray first = r.left(r.indexOf('\n'));
            if (!s.Call.contains(u'\r') && !s.Info.contains(u'\r'))
                FUZZ_REQUIRE(first.count(' ') == 2);
        } catch (const TError &e) {
            FUZZ_REQUIRE(!whole);
            FUZZ_REQUIRE(e.message().endsWith(QStringLiteral("' is not a valid integer value")));
        }
    }
    return 0;
}
