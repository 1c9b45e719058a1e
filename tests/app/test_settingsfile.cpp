// The settings file core: line splitting, 8-bit texts, Config.txt's seven
// lines and its atomic rewrite.
#include "app/ansitext.h"
#include "app/errors.h"
#include "app/settingsfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestSettingsFile : public QObject {
    Q_OBJECT
private slots:
    void splitLines_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("crlf") << QByteArray("a\r\nb\r\n") << QStringList{"a", "b"};
        QTest::newRow("lf") << QByteArray("a\nb\n") << QStringList{"a", "b"};
        QTest::newRow("cr") << QByteArray("a\rb\r") << QStringList{"a", "b"};
        QTest::newRow("last line without ending") << QByteArray("a\r\nb") << QStringList{"a", "b"};
        QTest::newRow("empty lines kept") << QByteArray("\r\n\r\nx\r\n") << QStringList{"", "", "x"};
        QTest::newRow("blanks kept") << QByteArray("  a  \r\n") << QStringList{"  a  "};
        QTest::newRow("lf cr is two endings") << QByteArray("a\n\rb") << QStringList{"a", "", "b"};
        QTest::newRow("empty file") << QByteArray() << QStringList{};
    }
    void splitLines()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, lines);
        QCOMPARE(SplitTextLines(bytes), lines);
    }

    void ansiRoundTrip()
    {
        const QByteArray all = [] {
            QByteArray b;
            for (int i = 1; i < 256; ++i)
                b.append(char(i));
            return b;
        }();
        QCOMPARE(StringToAnsi(AnsiToString(all)), all);
        QCOMPARE(AnsiToString("\x80\x99"), QString::fromUtf8("€™"));
        QCOMPARE(StringToAnsi(QString::fromUtf8("Aé€ж")), QByteArray("A\xE9\x80?"));
    }

    void configFromLines_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("error");
        QTest::newRow("five lines") << QStringList{"A", "B", "C", "D", "E"} << "List index out of bounds (5)";
        QTest::newRow("none") << QStringList{} << "List index out of bounds (0)";
        QTest::newRow("six") << QStringList{"1", "2", "3", "4", "5", "6"} << "List index out of bounds (6)";
        QTest::newRow("seven") << QStringList{"1", "2", "3", "4", "5", "6", "7"} << "";
        QTest::newRow("nine") << QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "9"} << "";
    }
    void configFromLines()
    {
        QFETCH(QStringList, lines);
        QFETCH(QString, error);
        try {
            const StationConfig c = StationConfig::FromLines(lines);
            QVERIFY2(error.isEmpty(), "expected an error");
            QCOMPARE(c.ToLines(), lines.mid(0, 7));
        } catch (const TError &e) {
            QCOMPARE(e.message(), error);
        }
    }

    void longCallsignIsCut()
    {
        const auto c = StationConfig::FromLines({"ABCDEFGHIJK", "", "", "", "", "", ""});
        QCOMPARE(c.Callsign, QString("ABCDEFGH"));
    }

    void defaults()
    {
        const auto d = StationConfig::Defaults();
        QCOMPARE(d.ToLines().mid(0, 6),
                 (QStringList{"QZB", "Testing Telvoria V1.8a", "", "80", " Telvoria  SSTV Transceiver V1.8a",
                              " Telvoria  SSTV Transceiver V1.8a"}));
        QCOMPARE(d.SavePath, QDir::homePath() + "/Telvoria/RXPics");
    }

    void writeReplacesWithCrLf()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("Config.txt");
        WriteTextLines(path, {"a", "  b  ", QString::fromUtf8("é€")});
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("a\r\n  b  \r\n\xE9\x80\r\n"));
        f.close();
        WriteTextLines(path, {"x"});
        QCOMPARE(ReadTextLines(path), QStringList{"x"});
        // No temporary file is left beside it.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"Config.txt"});
    }

    void errors()
    {
        QTemporaryDir dir;
        auto message = [](auto fn) {
            try {
                fn();
            } catch (const TError &e) {
                return e.message();
            }
            return QString();
        };
        QCOMPARE(message([&] { ReadTextLines("missing.txt"); }), QString("Cannot open file missing.txt"));
        const QString blocked = dir.filePath("nofolder/Config.txt");
        QCOMPARE(message([&] { WriteTextLines(blocked, {"a"}); }), "Cannot create file " + blocked);
        QCOMPARE(message([&] { ForceFolder(""); }), QString("Unable to create directory"));
        // A file in the way cannot become a folder.
        WriteTextLines(dir.filePath("file"), {"x"});
        const QString under = dir.filePath("file/sub");
        QCOMPARE(message([&] { ForceFolder(under); }), "Cannot create " + under);
        const QString deep = dir.filePath("a/b/c");
        QCOMPARE(message([&] { ForceFolder(deep); }), QString());
        QVERIFY(QFileInfo(deep).isDir());
    }
};

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "test_settingsfile.moc"
