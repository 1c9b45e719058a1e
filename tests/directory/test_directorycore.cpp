// The directory core: request bytes, reply collection and the reading of
// replies into the station list's texts.
#include "app/errors.h"
#include "directory/directorycore.h"

#include <QRandomGenerator>
#include <QtTest>

Q_DECLARE_METATYPE(TDirectoryRequest)

namespace {
const QByteArray kHeader = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n";

// Rows 1..rows of the list as "call|address|information".
QStringList Rows(const TStationList &list, int rows)
{
    QStringList out;
    for (int r = 1; r <= rows; ++r)
        out << list.Cell(0, r) + u'|' + list.Cell(1, r) + u'|' + list.Cell(2, r);
    return out;
}

TDirectorySettings Settings(const QString &call, const QString &info, const QString &port,
                            const QString &server = QStringLiteral("dir.example"))
{
    return TDirectorySettings{call, info, port, server};
}
} // namespace

class TestDirectoryCore : public QObject {
    Q_OBJECT
private slots:
    void requestBytes_data()
    {
        QTest::addColumn<TDirectoryRequest>("kind");
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("info");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QByteArray>("bytes");
        const auto in = TDirectoryRequest::LogIn;
        QTest::newRow("log-in") << in << "QZB" << "On air now" << "80"
                                << QByteArray("GET /cgi-bin/rodix.pl?call=QZB&text=On%20air%20now HTTP/1.0\n"
                                              "REFERER: 80\nHost: dir.example\n\n");
        QTest::newRow("spaces leave the callsign")
            << in << " QZB 1 " << "x" << "80"
            << QByteArray("GET /cgi-bin/rodix.pl?call=QZB1&text=x HTTP/1.0\nREFERER: 80\nHost: dir.example\n\n");
        QTest::newRow("& # % go out unchanged")
            << in << "QZB" << "a&b #1 100%" << "80"
            << QByteArray("GET /cgi-bin/rodix.pl?call=QZB&text=a&b%20#1%20100% HTTP/1.0\n"
                          "REFERER: 80\nHost: dir.example\n\n");
        QTest::newRow("8-bit information")
            << in << "QZB" << QString::fromUtf8("Grüße €") << "80"
            << QByteArray("GET /cgi-bin/rodix.pl?call=QZB&text=Gr\xfc\xdf" "e%20\x80 HTTP/1.0\n"
                          "REFERER: 80\nHost: dir.example\n\n");
        QTest::newRow("port with blanks and sign")
            << in << "QZB" << "" << "  +8080"
            << QByteArray("GET /cgi-bin/rodix.pl?call=QZB&text= HTTP/1.0\nREFERER: 8080\nHost: dir.example\n\n");
        QTest::newRow("log-out never shows the port")
            << TDirectoryRequest::LogOut << "QZB 1" << "On air" << "8080"
            << QByteArray("GET /cgi-bin/rodix.pl?call=QZB1&text=logout HTTP/1.0\nREFERER: off\n"
                          "Host: dir.example\n\n");
        QTest::newRow("list") << TDirectoryRequest::List << "QZB" << "On air" << "81"
                              << QByteArray("GET /cgi-bin/rodix.pl?list HTTP/1.0\nREFERER: 81\n"
                                            "Host: dir.example\n\n");
    }
    void requestBytes()
    {
        QFETCH(TDirectoryRequest, kind);
        QFETCH(QString, call);
        QFETCH(QString, info);
        QFETCH(QString, port);
        QFETCH(QByteArray, bytes);
        QCOMPARE(BuildDirectoryRequest(kind, Settings(call, info, port)), bytes);
    }

    void requestChoice()
    {
        QCOMPARE(ChooseDirectoryRequest(false, false), TDirectoryRequest::LogIn);
        QCOMPARE(ChooseDirectoryRequest(false, true), TDirectoryRequest::LogOut);
        QCOMPARE(ChooseDirectoryRequest(true, false), TDirectoryRequest::List);
        QCOMPARE(ChooseDirectoryRequest(true, true), TDirectoryRequest::List);
    }

    void badPortText_data()
    {
        QTest::addColumn<QString>("port");
        QTest::newRow("word") << "http";
        QTest::newRow("empty") << "";
        QTest::newRow("trailing blank") << "80 ";
        QTest::newRow("sign alone") << "-";
        QTest::newRow("beyond 32 bits") << "2147483648";
        QTest::newRow("hex") << "0x50";
    }
    void badPortText()
    {
        QFETCH(QString, port);
        // Every request converts the port, the log-out too.
        for (auto kind : {TDirectoryRequest::LogIn, TDirectoryRequest::LogOut, TDirectoryRequest::List}) {
            try {
                BuildDirectoryRequest(kind, Settings("QZB", "x", port));
                QFAIL("no error");
            } catch (const TError &e) {
                QCOMPARE(e.message(), QStringLiteral("'%1' is not a valid integer value").arg(port));
            }
        }
        QCOMPARE(DirectoryConnectPort(port), uint16_t(80));
    }

    void connectPort_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<int>("expected");
        QTest::newRow("plain") << "8080" << 8080;
        QTest::newRow("leading blanks") << "  81" << 81;
        QTest::newRow("lowest 32-bit") << "-2147483648" << 80;
        QTest::newRow("zero") << "0" << 80;
        QTest::newRow("beyond ports") << "65536" << 80;
        QTest::newRow("highest port") << "65535" << 65535;
    }
    void connectPort()
    {
        QFETCH(QString, port);
        QFETCH(int, expected);
        QCOMPARE(int(DirectoryConnectPort(port)), expected);
    }

    void reply_data()
    {
        // before: a station-format reply applied first (empty: a fresh list).
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("monitor");
        QTest::addColumn<int>("stations");
        QTest::addColumn<int>("rowCount");
        QTest::addColumn<QStringList>("rows"); // rows 1.. shown or not

        const QByteArray two = "#QZB;192.0.2.1;Hello;\n#QZC;192.0.2.7;Testing again;\n";
        QTest::newRow("two stations")
            << QByteArray() << two << false << 2 << 3
            << QStringList{"QZB|192.0.2.1|Hello", "QZC|192.0.2.7|Testing again", "||"};
        QTest::newRow("last record not closed is not counted")
            << QByteArray() << QByteArray("#QZB;192.0.2.1;Hello;\n#QZC;192.0.2.7;Testing again\n") << false << 1
            << 2 << QStringList{"QZB|192.0.2.1|Hello", "QZC|192.0.2.7|Testing again\n"};
        QTest::newRow("after the HTTP header")
            << QByteArray() << kHeader + "#QZB;192.0.2.1;Hi;\r\n" << false << 1 << 2
            << QStringList{"QZB|192.0.2.1|Hi", "||"};
        QTest::newRow("reply ends on the last ;")
            << QByteArray() << QByteArray("#QZB;a;b;") << false << 1 << 2 << QStringList{"QZB|a|b", "||"};
        QTest::newRow("fields cut to 9, 49, 99")
            << QByteArray() << "#ABCDEFGHIJKL;" + QByteArray(60, 'a') + ";" + QByteArray(150, 'i') + ";\n" << false
            << 1 << 2 << QStringList{"ABCDEFGHI|" + QString(49, 'a') + "|" + QString(99, 'i'), "||"};
        QTest::newRow("fields run across lines")
            << QByteArray() << QByteArray("#QZB\n;host\nname;two\nlines;") << false << 1 << 2
            << QStringList{"QZB\n|host\nname|two\nlines", "||"};
        QTest::newRow("# inside information is kept")
            << QByteArray() << QByteArray("#QZB;a;Net #5 tonight;\n") << false << 1 << 2
            << QStringList{"QZB|a|Net #5 tonight", "||"};
        QTest::newRow("; cuts information, rest up to # ignored")
            << QByteArray() << QByteArray("#QZB;a;one;two\nthree\n#QZC;b;c;\n") << false << 2 << 3
            << QStringList{"QZB|a|one", "QZC|b|c", "||"};
        QTest::newRow("# in a header line starts a record")
            << QByteArray() << QByteArray("HTTP/1.0 200 OK\r\nX-Note: #bad;x;y;\r\n\r\n#QZB;a;b;\n") << false << 2
            << 3 << QStringList{"bad|x|y", "QZB|a|b", "||"};
        QTest::newRow("no # at all")
            << QByteArray() << kHeader + "nothing here; at all;\n" << false << 0 << 2
            << QStringList{"||No Stations On Line"};
        QTest::newRow("empty reply") << QByteArray() << QByteArray() << false << 0 << 2
                                     << QStringList{"||No Stations On Line"};
        QTest::newRow("a lone #") << QByteArray() << QByteArray("#") << false << 0 << 2
                                  << QStringList{"||No Stations On Line"};
        QTest::newRow("NUL ends the text")
            << QByteArray() << QByteArray("#QZB;a;b;\n\0#QZC;c;d;\n", 22) << false << 1 << 2
            << QStringList{"QZB|a|b", "||"};
        QTest::newRow("NUL inside a field")
            << QByteArray() << QByteArray("#QZB;a;b\0c;\n", 12) << false << 0 << 2
            << QStringList{"|a|No Stations On Line"};

        const QByteArray five = "#S1;h1;i1;#S2;h2;i2;#S3;h3;i3;#S4;h4;i4;#S5;h5;i5;";
        QTest::newRow("no station after five keeps the old rows")
            << five << kHeader << false << 0 << 6
            << QStringList{"||No Stations On Line", "S2|h2|i2", "S3|h3|i3", "S4|h4|i4", "S5|h5|i5", "||"};
        QTest::newRow("shorter list keeps rows beyond those shown")
            << five << QByteArray("#T1;g1;j1;") << false << 1 << 2
            << QStringList{"T1|g1|j1", "||", "S3|h3|i3", "S4|h4|i4", "S5|h5|i5"};

        // List format.
        QTest::newRow("list")
            << QByteArray() << kHeader + "QZB;Hello;\nQZC;Hi there;\n" << true << 2 << 3
            << QStringList{"QZB||Hello", "QZC||Hi there", "||"};
        QTest::newRow("list never writes addresses")
            << QByteArray("#OLD;10.0.0.1;x;\n#OLD2;10.0.0.2;y;\n#OLD3;10.0.0.3;z;\n")
            << kHeader + "QZB;Hello;\nQZC;Hi;\n" << true << 2 << 3
            << QStringList{"QZB|10.0.0.1|Hello", "QZC|10.0.0.2|Hi", "|10.0.0.3|", "||"};
        QTest::newRow("count line skipped")
            << QByteArray() << kHeader + "3;\nQZB;Hello;\n" << true << 1 << 2 << QStringList{"QZB||Hello", "||"};
        QTest::newRow("lines before the first ; skipped")
            << QByteArray() << kHeader + "Stations\n\nQZB;Hello;\n" << true << 1 << 2
            << QStringList{"QZB||Hello", "||"};
        QTest::newRow("count line ended by CR LF is a station")
            << QByteArray() << kHeader + "3;\r\nQZB;Hello;\n" << true << 1 << 2
            << QStringList{"3||\r\nQZB", "||"};
        QTest::newRow("list: rest of a line after the second ; ignored")
            << QByteArray() << kHeader + "QZB;Hello;extra;stuff\nQZC;Hi;\n" << true << 2 << 3
            << QStringList{"QZB||Hello", "QZC||Hi", "||"};
        QTest::newRow("list body without ;")
            << QByteArray() << kHeader + "no stations\nat all\n" << true << 0 << 2
            << QStringList{"||No Stations On Line"};
        QTest::newRow("list with nothing after the header")
            << QByteArray() << kHeader << true << 0 << 2 << QStringList{"||No Stations On Line"};
        QTest::newRow("list: count line only")
            << QByteArray() << kHeader + "0;\n" << true << 0 << 2 << QStringList{"||No Stations On Line"};
        QTest::newRow("list: count line and no further ;")
            << QByteArray() << kHeader + "3;\nQZB\n" << true << 0 << 2 << QStringList{"||No Stations On Line"};
        QTest::newRow("list without header end")
            << QByteArray() << QByteArray("QZB;Hello;\nQZC;Hi;\n") << true << 0 << 2
            << QStringList{"||No Stations On Line"};
        QTest::newRow("list: ; at the very end")
            << QByteArray() << kHeader + "QZB;" << true << 0 << 2 << QStringList{"||No Stations On Line"};
    }
    void reply()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, reply);
        QFETCH(bool, monitor);
        QFETCH(int, stations);
        QFETCH(int, rowCount);
        QFETCH(QStringList, rows);

        TStationList list;
        if (!before.isEmpty())
            ApplyDirectoryReply(list, before, false, 1);
        const TReplyOutcome out = ApplyDirectoryReply(list, reply, monitor, 1);
        QCOMPARE(out.StationCount, stations);
        QCOMPARE(list.RowCount(), rowCount);
        QCOMPARE(out.Label, QStringLiteral("SSTV Stations On Line = %1").arg(stations));
        QCOMPARE(Rows(list, int(rows.size())), rows);
        QCOMPARE(list.Cell(0, 0), QStringLiteral("Callsign"));
        QCOMPARE(list.Cell(2, 0), QStringLiteral("Information"));
    }

    void firstRowFromZeroCount()
    {
        // A count of 0 starts at row 1 like a count of 1.
        TStationList list;
        const TReplyOutcome out = ApplyDirectoryReply(list, "#QZB;a;b;", false, 0);
        QCOMPARE(out.StationCount, 1);
        QCOMPARE(list.Cell(0, 1), QStringLiteral("QZB"));
    }

    void textStopsAtNul()
    {
        TStationList list;
        const TReplyOutcome out = ApplyDirectoryReply(list, QByteArray("#A;b;c;\0junk", 12), false, 1);
        QCOMPARE(out.Text, QByteArray("#A;b;c;"));
    }

    void manyStationsAreBounded()
    {
        QByteArray reply;
        for (int i = 1; i <= 1500; ++i)
            reply += "#S" + QByteArray::number(i) + ";h;i;\n";
        TStationList list;
        const TReplyOutcome out = ApplyDirectoryReply(list, reply, false, 1);
        QCOMPARE(out.StationCount, TStationList::MaxStations);
        QCOMPARE(list.RowCount(), TStationList::MaxStations + 1);
        QCOMPARE(list.Cell(0, TStationList::MaxStations), QStringLiteral("S1000"));
        QVERIFY(list.StoredRows() <= TStationList::MaxRows);
    }

    void splitReply_data()
    {
        QTest::addColumn<int>("pieceSize");
        QTest::newRow("bytes") << 1;
        QTest::newRow("7") << 7;
        QTest::newRow("100") << 100;
    }
    void splitReply()
    {
        // However the reply arrives, it is read once, whole.
        QFETCH(int, pieceSize);
        const QByteArray reply = kHeader + "#QZB;192.0.2.1;Hello;\n#QZC;192.0.2.7;Testing again;\n#QZD;x;y;\n";
        TReplyCollector collector;
        for (qsizetype i = 0; i < reply.size(); i += pieceSize)
            collector.Append(reply.mid(i, pieceSize));
        QCOMPARE(collector.Bytes(), reply);
        TStationList whole, pieces;
        ApplyDirectoryReply(whole, reply, false, 1);
        const TReplyOutcome out = ApplyDirectoryReply(pieces, collector.Bytes(), false, 1);
        QCOMPARE(out.StationCount, 3);
        QCOMPARE(Rows(pieces, 4), Rows(whole, 4));
    }

    void collectorCutsAtLimit()
    {
        TReplyCollector c;
        const QByteArray chunk(300000, '#');
        for (int i = 0; i < 5; ++i)
            c.Append(chunk);
        QCOMPARE(c.Bytes().size(), TReplyCollector::MaxBytes);
        QVERIFY(c.Cut());
        c.Clear();
        QVERIFY(c.Bytes().isEmpty());
        QVERIFY(!c.Cut());
        c.Append(QByteArray(TReplyCollector::MaxBytes, 'x'));
        QVERIFY(!c.Cut());
    }

    void garbage_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<bool>("monitor");
        QTest::addColumn<QByteArray>("alphabet"); // empty: any byte but NUL
        QTest::newRow("separators, station") << 1u << false << QByteArray("#;\n\r a");
        QTest::newRow("separators, list") << 2u << true << QByteArray(";\n\r a#");
        QTest::newRow("bytes, station") << 3u << false << QByteArray();
        QTest::newRow("bytes, list") << 4u << true << QByteArray();
    }
    void garbage()
    {
        // A full-size reply of noise: the list stays within its bounds.
        QFETCH(quint32, seed);
        QFETCH(bool, monitor);
        QFETCH(QByteArray, alphabet);
        QRandomGenerator rng(seed);
        QByteArray reply(TReplyCollector::MaxBytes, '\0');
        for (char &c : reply)
            c = alphabet.isEmpty() ? char(rng.bounded(1, 256)) : alphabet[rng.bounded(int(alphabet.size()))];
        if (monitor)
            reply.replace(1000, 4, "\r\n\r\n");
        TReplyCollector collector;
        collector.Append(reply);
        collector.Append("more");
        QVERIFY(collector.Cut());
        TStationList list;
        const TReplyOutcome out = ApplyDirectoryReply(list, collector.Bytes(), monitor, 1);
        QVERIFY(out.StationCount >= 0 && out.StationCount <= TStationList::MaxStations);
        QCOMPARE(list.RowCount(), std::max(2, out.StationCount + 1));
        QVERIFY(list.StoredRows() <= TStationList::MaxRows);
        for (int r = 1; r < list.StoredRows(); ++r) {
            QVERIFY(list.Cell(0, r).size() <= 9);
            QVERIFY(list.Cell(1, r).size() <= 49);
            QVERIFY(list.Cell(2, r).size() <= 99);
        }
    }

    void listKeepsHiddenRows()
    {
        TStationList list;
        list.SetRowCount(4);
        list.SetCell(0, 3, "C3");
        list.SetRowCount(2);
        QCOMPARE(list.Cell(0, 3), QStringLiteral("C3"));
        list.SetRowCount(5);
        QCOMPARE(list.Cell(0, 3), QStringLiteral("C3"));
        list.SetCell(0, TStationList::MaxRows, "beyond");
        QVERIFY(list.StoredRows() <= TStationList::MaxRows);
        list.SetRowCount(1);
        QCOMPARE(list.RowCount(), 2);
    }
};

QTEST_GUILESS_MAIN(TestDirectoryCore)
#include "test_directorycore.moc"
