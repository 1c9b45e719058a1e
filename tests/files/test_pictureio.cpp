// The picture reader and writer, the thumbnail listing and acquisition, on
// files made here.
#include "app/capture.h"
#include "app/errors.h"
#include "app/pictureio.h"
#include "app/thumbnailer.h"

#include "picturefiles.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

class TestPictureIO : public QObject {
    Q_OBJECT
    QTemporaryDir Dir;
    QString Path(const QString &name) const { return Dir.filePath(name); }

private slots:
    void initTestCase();
    void writesAndReadsEveryType_data();
    void writesAndReadsEveryType();
    void savedJpegHasQualityFifty();
    void os2BitmapHasCoreHeader();
    void readsGifAndLzwTiff();
    void readsByContentWhateverTheName();
    void hostileFilesFailCleanly_data();
    void hostileFilesFailCleanly();
    void missingFileCannotOpen();
    void writeFailuresSayCannotCreate();
    void namedPictureRule_data();
    void namedPictureRule();
    void thumbnailsFitTheBox();
    void listingKeepsOnlyNamedPictures();
    void restartForgetsTheEarlierFolder();
    void acquiresFromTheTestDevice();
    void unknownDeviceFailsWithAnError();
};

void TestPictureIO::initTestCase()
{
    UseTestSaneConfig();
    QVERIFY(Dir.isValid());
}

void TestPictureIO::writesAndReadsEveryType_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("tolerance"); // per channel
    QTest::addColumn<bool>("bilevel");
    QTest::newRow("jpg") << "a.jpg" << 40 << false;
    QTest::newRow("JPEG caps") << "a.JPEG" << 40 << false;
    QTest::newRow("png") << "a.png" << 0 << false;
    QTest::newRow("tif") << "a.tif" << 0 << false;
    QTest::newRow("pcx") << "a.pcx" << 0 << false;
    QTest::newRow("bmp") << "a.bmp" << 0 << false;
    QTest::newRow("tga") << "a.tga" << 0 << false;
    QTest::newRow("ppm") << "a.ppm" << 0 << false;
    QTest::newRow("pxm") << "a.pxm" << 0 << false;
    QTest::newRow("pgm") << "a.pgm" << 0 << true;
    QTest::newRow("pbm") << "a.pbm" << 0 << true;
}

void TestPictureIO::writesAndReadsEveryType()
{
    QFETCH(QString, name);
    QFETCH(int, tolerance);
    QFETCH(bool, bilevel);
    // Large flat areas of black and white survive every type, grey and
    // bilevel ones included; colour is checked where the type keeps it.
    const QImage picture = TestPattern(97, 61);
    WritePictureFile(picture, Path(name));
    TReadFailure failure = TReadFailure::CannotOpen;
    const QImage back = ReadPictureFile(Path(name), &failure);
    QCOMPARE(failure, TReadFailure::None);
    QCOMPARE(back.size(), picture.size());
    QCOMPARE(back.format(), QImage::Format_RGB888);
    const QPoint white(10, 10), black(80, 10), red(10, 50);
    QVERIFY(ColourNear(back.pixelColor(white), Qt::white, tolerance));
    QVERIFY(ColourNear(back.pixelColor(black), Qt::black, tolerance));
    if (!bilevel)
        QVERIFY2(ColourNear(back.pixelColor(red), QColor(220, 30, 20), tolerance),
                 qPrintable(back.pixelColor(red).name()));
}

void TestPictureIO::savedJpegHasQualityFifty()
{
    // The first entry of the luminance table is 16 at quality 50 (3 at 90).
    SaveJpegPicture(TestPattern(64, 64), Path("q.bin"));
    QCOMPARE(FirstLuminanceQuant(ReadAll(Path("q.bin"))), 16);
    WritePictureFile(TestPattern(64, 64), Path("q.JPG"));
    QCOMPARE(FirstLuminanceQuant(ReadAll(Path("q.JPG"))), 16);
}

void TestPictureIO::os2BitmapHasCoreHeader()
{
    WritePictureFile(TestPattern(33, 17), Path("os2.bmp"), true);
    const QByteArray bytes = ReadAll(Path("os2.bmp"));
    QVERIFY(bytes.startsWith("BM"));
    QCOMPARE(uchar(bytes[14]), uchar(12)); // the 12-byte core header
    QCOMPARE(ReadPictureFile(Path("os2.bmp")).size(), QSize(33, 17));
}

void TestPictureIO::readsGifAndLzwTiff()
{
    WriteWithGeneralLibrary(TestPattern(40, 30), Path("g.gif"), "GIF");
    WriteWithGeneralLibrary(TestPattern(40, 30), Path("lzw.tif"), "TIFF", /*lzw=*/true);
    QVERIFY(ReadAll(Path("lzw.tif")).size() > 8);
    for (const char *name : {"g.gif", "lzw.tif"}) {
        const QImage back = ReadPictureFile(Path(name));
        QCOMPARE(back.size(), QSize(40, 30));
        QVERIFY(ColourNear(back.pixelColor(5, 5), Qt::white, 8));
        QVERIFY(ColourNear(back.pixelColor(35, 5), Qt::black, 8));
    }
}

void TestPictureIO::readsByContentWhateverTheName()
{
    WritePictureFile(TestPattern(50, 40), Path("real.jpg"));
    QFile::copy(Path("real.jpg"), Path("named.bmp"));
    QCOMPARE(ReadPictureFile(Path("named.bmp")).size(), QSize(50, 40));
}

void TestPictureIO::hostileFilesFailCleanly_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray jpeg = EncodeJpeg(TestPattern(200, 150), 90);
    const QByteArray png = EncodePng(TestPattern(200, 150));
    QTest::newRow("empty jpg") << "e.jpg" << QByteArray();
    QTest::newRow("empty png") << "e.png" << QByteArray();
    QTest::newRow("truncated jpeg") << "t.jpg" << jpeg.left(jpeg.size() / 2);
    QTest::newRow("jpeg header only") << "h.jpg" << jpeg.left(20);
    QTest::newRow("truncated png") << "t.png" << png.left(png.size() / 2);
    QTest::newRow("png signature only") << "s.png" << png.left(8);
    QTest::newRow("text named jpg") << "text.jpg" << QByteArray("just some words, no picture\n");
    QTest::newRow("text named tga") << "text.tga" << QByteArray("just some words, no picture\n");
    QTest::newRow("huge jpeg") << "huge.jpg" << WithJpegSize(jpeg, 20000, 20000);
    QTest::newRow("huge png") << "huge.png" << PngWithSize(png, 9000, 10);
    QTest::newRow("huge bmp") << "huge.bmp" << BmpHeader(100000, 100000);
    QTest::newRow("huge pnm") << "huge.ppm" << QByteArray("P6\n100000 100000\n255\n") + QByteArray(64, '\0');
    QTest::newRow("huge gif") << "huge.gif" << GifHeader(30000, 30000);
    QTest::newRow("huge tga") << "huge.tga" << TgaHeader(9000, 9000);
    QTest::newRow("truncated gif") << "t.gif" << GifHeader(16, 16).left(20);
    QTest::newRow("bmp header only") << "b.bmp" << BmpHeader(64, 64);
    QTest::newRow("emf") << "a.emf" << QByteArray("\x01\0\0\0", 4) + QByteArray(36, '\0') + " EMF" + QByteArray(64, '\0');
    QTest::newRow("avi") << "a.avi" << QByteArray("RIFF\x10\0\0\0AVI LIST", 16) + QByteArray(64, '\0');
}

void TestPictureIO::hostileFilesFailCleanly()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    WriteAll(Path(name), bytes);
    TReadFailure failure = TReadFailure::None;
    QVERIFY(ReadPictureFile(Path(name), &failure).isNull());
    QCOMPARE(failure, TReadFailure::NotAPicture);
    QVERIFY(ReadThumbnail(Path(name), QSize(64, 48)).isNull());
}

void TestPictureIO::missingFileCannotOpen()
{
    TReadFailure failure = TReadFailure::None;
    QVERIFY(ReadPictureFile(Path("nowhere.jpg"), &failure).isNull());
    QCOMPARE(failure, TReadFailure::CannotOpen);
    QVERIFY(ReadPictureFile(Dir.path(), &failure).isNull()); // a folder
    QCOMPARE(failure, TReadFailure::CannotOpen);
    // A pipe named like a picture would block a reader that opened it.
    QVERIFY(mkfifo(QFile::encodeName(Path("pipe.jpg")).constData(), 0600) == 0);
    QVERIFY(ReadPictureFile(Path("pipe.jpg"), &failure).isNull());
    QCOMPARE(failure, TReadFailure::CannotOpen);
    QVERIFY(!IsNamedPictureFile(Path("pipe.jpg")));
    QVERIFY(ReadThumbnail(Path("pipe.jpg"), QSize(64, 48)).isNull());
}

void TestPictureIO::writeFailuresSayCannotCreate()
{
    const QString missing = Path("no/such/folder/x.JPG");
    try {
        SaveJpegPicture(TestPattern(8, 8), missing);
        QFAIL("no error");
    } catch (const TError &e) {
        QCOMPARE(e.message(), QStringLiteral("Cannot create file %1").arg(missing));
    }
    QVERIFY_THROWS_EXCEPTION(TError, WritePictureFile(TestPattern(8, 8), Path("x.unknown")));
    QVERIFY_THROWS_EXCEPTION(TError, WritePictureFile(TestPattern(8, 8), Path("noextension")));
    QVERIFY(!QFile::exists(Path("x.unknown")));
}

void TestPictureIO::namedPictureRule_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("source"); // written as this type, then renamed
    QTest::addColumn<bool>("listed");
    QTest::newRow("jpeg as jpg") << "p.jpg" << "jpg" << true;
    QTest::newRow("jpeg as JPE") << "p.JPE" << "jpg" << true;
    QTest::newRow("jpeg as bmp") << "p.bmp" << "jpg" << false;
    QTest::newRow("png as png") << "p.png" << "png" << true;
    QTest::newRow("png as jpg") << "q.jpg" << "png" << false;
    QTest::newRow("tga as tga") << "p.tga" << "tga" << true;
    QTest::newRow("tga as vst") << "p.vst" << "tga" << true;
    QTest::newRow("ppm as pgm") << "p.pgm" << "ppm" << true;
    QTest::newRow("bmp as dib") << "p.dib" << "bmp" << true;
    QTest::newRow("jpeg as txt") << "p.txt" << "jpg" << false;
    QTest::newRow("jpeg without extension") << "p" << "jpg" << false;
}

void TestPictureIO::namedPictureRule()
{
    QFETCH(QString, name);
    QFETCH(QString, source);
    QFETCH(bool, listed);
    const QString sourceFile = Path("src." + source);
    WritePictureFile(TestPattern(20, 10), sourceFile);
    QFile::remove(Path(name));
    QVERIFY(QFile::copy(sourceFile, Path(name)));
    QCOMPARE(IsNamedPictureFile(Path(name)), listed);
}

void TestPictureIO::thumbnailsFitTheBox()
{
    WritePictureFile(TestPattern(1600, 1200), Path("big.jpg"));
    WritePictureFile(TestPattern(100, 400), Path("tall.png"));
    WritePictureFile(TestPattern(30, 20), Path("small.bmp"));
    QCOMPARE(ReadThumbnail(Path("big.jpg"), QSize(64, 48)).size(), QSize(64, 48));
    QCOMPARE(ReadThumbnail(Path("tall.png"), QSize(64, 48)).size(), QSize(12, 48));
    QCOMPARE(ReadThumbnail(Path("small.bmp"), QSize(64, 48)).size(), QSize(30, 20));
    const QImage t = ReadThumbnail(Path("big.jpg"), QSize(64, 48));
    QCOMPARE(t.format(), QImage::Format_RGB888);
    QVERIFY(ColourNear(t.pixelColor(2, 2), Qt::white, 40));
}

void TestPictureIO::listingKeepsOnlyNamedPictures()
{
    QTemporaryDir folder;
    const auto at = [&](const QString &n) { return folder.filePath(n); };
    WriteWithGeneralLibrary(TestPattern(40, 30), at("one.gif"), "GIF");
    WritePictureFile(TestPattern(40, 30), at("two.jpg"));
    WriteAll(at("notes.txt"), "hello\n");
    QFile::copy(at("two.jpg"), at("fake.bmp"));
    QFile::copy(at("two.jpg"), at(".hidden.jpg"));
    QDir(folder.path()).mkdir("sub.jpg");
    QVERIFY(mkfifo(QFile::encodeName(at("pipe.jpg")).constData(), 0600) == 0);
    QStringList listed = TThumbnailer::ListPictureFiles(folder.path());
    listed.sort();
    QCOMPARE(listed, (QStringList{at("one.gif"), at("two.jpg")}));
}

void TestPictureIO::restartForgetsTheEarlierFolder()
{
    QTemporaryDir first, second;
    for (int i = 0; i < 20; ++i)
        WritePictureFile(TestPattern(800, 600), first.filePath(QStringLiteral("p%1.jpg").arg(i)));
    for (int i = 0; i < 3; ++i)
        WritePictureFile(TestPattern(80, 60), second.filePath(QStringLiteral("q%1.png").arg(i)));
    TThumbnailer thumbnailer;
    QSignalSpy listed(&thumbnailer, &TThumbnailer::Listed);
    QSignalSpy ready(&thumbnailer, &TThumbnailer::ThumbnailReady);
    QSignalSpy finished(&thumbnailer, &TThumbnailer::Finished);
    // The first folder is being listed on a worker when the second starts.
    thumbnailer.Start(first.path());
    thumbnailer.Start(second.path());
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 20000);
    QCOMPARE(listed.count(), 1);
    QCOMPARE(listed[0][0].toStringList().size(), 3);
    QCOMPARE(ready.count(), 3);
    QSet<int> indexes;
    for (const QList<QVariant> &r : ready) {
        indexes << r[0].toInt();
        QCOMPARE(r[1].value<QImage>().size(), QSize(64, 48));
    }
    QCOMPARE(indexes, (QSet<int>{0, 1, 2}));
    QTest::qWait(200);
    QCOMPARE(finished.count(), 1);
    QVERIFY(!thumbnailer.Busy());
}

void TestPictureIO::acquiresFromTheTestDevice()
{
    const QList<TCaptureDevice> devices = ListCaptureDevices();
    QVERIFY(!devices.isEmpty());
    QCOMPARE(devices[0].Name, QStringLiteral("test:0"));
    const QImage picture = AcquirePicture(devices[0].Name);
    QCOMPARE(picture.format(), QImage::Format_RGB888);
    // 80 by 100 mm at 50 dots per inch.
    QCOMPARE(picture.width(), 157);
    QVERIFY(picture.height() >= 196 && picture.height() <= 197);
    // The colour pattern, not a grey or empty picture.
    QSet<QRgb> colours;
    for (int x = 0; x < picture.width(); x += 4)
        colours << picture.pixel(x, picture.height() / 2);
    QVERIFY(colours.size() > 3);
}

void TestPictureIO::unknownDeviceFailsWithAnError()
{
    try {
        AcquirePicture(QStringLiteral("nosuchbackend:0"));
        QFAIL("no error");
    } catch (const TError &e) {
        QVERIFY(e.message().contains(QStringLiteral("nosuchbackend:0")));
    }
}

QTEST_GUILESS_MAIN(TestPictureIO)
#include "test_pictureio.moc"
