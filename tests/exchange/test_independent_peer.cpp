// The transfer format against encoders and decoders that are not ours:
// pictures made by ImageMagick, opj_compress and ffmpeg are sent with a
// plain socket to the real window and must land in its receive pages; what
// the window sends on each port must be read by ffmpeg's own JPEG 2000
// decoder and by djpeg and ffmpeg for the JPEG. Each case is skipped when its
// tool is not installed.
#include "codectestpictures.h"
#include "formfixture.h"

#include "app/sstvform.h"
#include "exchange/transfercodec.h"

#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace exchange;

namespace {

// Runs a tool to its end; its error output on failure.
bool Run(const QString &program, const QStringList &args, QString *output = nullptr)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished(2000);
        return false;
    }
    if (output)
        *output = QString::fromLocal8Bit(p.readAll());
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QString Tool(const QString &name)
{
    return QStandardPaths::findExecutable(name);
}

bool FfmpegHasEncoder(const QString &encoder)
{
    const QString ffmpeg = Tool("ffmpeg");
    QString out;
    return !ffmpeg.isEmpty() && Run(ffmpeg, {"-hide_banner", "-encoders"}, &out) &&
           out.contains(QRegularExpression("\\s" + encoder + "\\s"));
}

QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Keeps the bytes of every connection it is given.
class Capture : public QObject {
public:
    Capture()
    {
        if (!Server.listen(QHostAddress(TestListenAddress()), 0))
            qFatal("cannot listen on loopback");
        connect(&Server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = Server.nextPendingConnection()) {
                ++Connections;
                connect(s, &QTcpSocket::readyRead, s, [this, s] { Bytes += s->readAll(); });
                connect(s, &QTcpSocket::disconnected, s, [this, s] {
                    Bytes += s->readAll();
                    Closed = true;
                    s->deleteLater();
                });
            }
        });
    }
    quint16 Port() const { return Server.serverPort(); }
    QByteArray Bytes;
    bool Closed = false;
    int Connections = 0;

private:
    QTcpServer Server;
};

} // namespace

class TestIndependentPeer : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void receivesOtherEncoders_data();
    void receivesOtherEncoders();
    void otherDecodersReadWhatIsSent_data();
    void otherDecodersReadWhatIsSent();

private:
    std::unique_ptr<FormFixture> Fx;
    QTemporaryDir Work;
};

// One program for every case; each case sets what it depends on.
void TestIndependentPeer::initTestCase()
{
    QVERIFY(Work.isValid());
    Fx = std::make_unique<FormFixture>();
    QVERIFY(Fx->Started());
}

void TestIndependentPeer::cleanupTestCase()
{
    Fx.reset();
}

// tool, its arguments with %in and %out, the output's file name, the port's
// kind, and the least PSNR the page must reach against the source.
void TestIndependentPeer::receivesOtherEncoders_data()
{
    QTest::addColumn<QString>("tool");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("outName");
    QTest::addColumn<bool>("large");
    QTest::addColumn<double>("floor");
    QTest::newRow("ImageMagick JPEG, baseline 4:2:0")
        << "convert" << QStringList{"%in", "-quality", "90", "-sampling-factor", "2x2", "%out"} << "m.jpg" << false
        << 30.0;
    QTest::newRow("ImageMagick JPEG, progressive 4:4:4")
        << "convert" << QStringList{"%in", "-quality", "95", "-interlace", "JPEG", "-sampling-factor", "1x1", "%out"}
        << "p.jpg" << false << 30.0;
    QTest::newRow("opj_compress code stream") << "opj_compress" << QStringList{"-i", "%in", "-o", "%out", "-r", "20"}
                                             << "o.j2k" << true << 28.0;
    QTest::newRow("opj_compress JP2 file") << "opj_compress" << QStringList{"-i", "%in", "-o", "%out", "-r", "20"}
                                          << "o.jp2" << true << 28.0;
    QTest::newRow("ffmpeg jpeg2000 code stream, tiled")
        << "ffmpeg:jpeg2000"
        << QStringList{"-v", "error", "-y", "-i", "%in", "-c:v", "jpeg2000", "-format", "j2k", "-pix_fmt", "rgb24", "%out"}
        << "f.j2k" << true << 28.0;
    QTest::newRow("ffmpeg jpeg2000 JP2 file")
        << "ffmpeg:jpeg2000"
        << QStringList{"-v", "error", "-y", "-i", "%in", "-c:v", "jpeg2000", "-format", "jp2", "-pix_fmt", "rgb24", "%out"}
        << "f.jp2" << true << 28.0;
    QTest::newRow("ffmpeg libopenjpeg code stream")
        << "ffmpeg:libopenjpeg"
        << QStringList{"-v", "error", "-y", "-i", "%in", "-c:v", "libopenjpeg", "-format", "j2k", "-pix_fmt", "rgb24", "%out"}
        << "l.j2k" << true << 28.0;
    QTest::newRow("ffmpeg libopenjpeg JP2 file")
        << "ffmpeg:libopenjpeg"
        << QStringList{"-v", "error", "-y", "-i", "%in", "-c:v", "libopenjpeg", "-format", "jp2", "-pix_fmt", "rgb24", "%out"}
        << "l.jp2" << true << 28.0;
}

void TestIndependentPeer::receivesOtherEncoders()
{
    QFETCH(QString, tool);
    QFETCH(QStringList, args);
    QFETCH(QString, outName);
    QFETCH(bool, large);
    QFETCH(double, floor);
    const QString encoder = tool.section(u':', 1);
    const QString program = Tool(tool.section(u':', 0, 0));
    if (program.isEmpty())
        QSKIP(qPrintable(tool + " is not installed"));
    if (!encoder.isEmpty() && !FfmpegHasEncoder(encoder))
        QSKIP(qPrintable("ffmpeg has no " + encoder + " encoder"));

    const QImage source = large ? codectest::PhotoLike(kLargeWidth, kLargeHeight, 31)
                                : codectest::PhotoLike(kSmallWidth, kSmallHeight, 32);
    const QString in = Work.filePath("source.ppm"), out = Work.filePath(outName);
    QVERIFY(source.save(in, "PPM"));
    QFile::remove(out);
    for (QString &a : args)
        a.replace("%in", in).replace("%out", out);
    QString log;
    QVERIFY2(Run(program, args, &log), qPrintable(log));
    const QByteArray bytes = ReadAll(out);
    QVERIFY(!bytes.isEmpty());

    TSSTVForm *f = Fx->Form();
    const int before = f->ReceptionsEnded;
    const int page = (f->RxPageCursor + 1) & 3;
    QTcpSocket s;
    connect(&s, &QTcpSocket::connected, &s, [&s, bytes] {
        s.write(bytes);
        s.disconnectFromHost();
    });
    s.connectToHost(QHostAddress(TestListenAddress()), large ? kLargePort : kSmallPort);
    QVERIFY(QTest::qWaitFor([&] { return f->ReceptionsEnded > before; }, 15000));
    QCOMPARE(f->Connected->text(), QString("Received"));
    const QImage &got = f->RxPages[size_t(page)];
    QCOMPARE(got.size(), QSize(kLargeWidth, kLargeHeight));
    // A small picture fills the page as the window stretches it.
    const QImage expected =
        large ? source : source.scaled(kLargeWidth, kLargeHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const double psnr = codectest::Psnr(expected, got);
    qInfo("%s: %lld bytes, %.1f dB", qPrintable(QTest::currentDataTag()), qint64(bytes.size()), psnr);
    QVERIFY2(psnr > floor, qPrintable(QString("%1 dB").arg(psnr)));
}

void TestIndependentPeer::otherDecodersReadWhatIsSent_data()
{
    QTest::addColumn<bool>("large");
    QTest::addColumn<QString>("decoder"); // "ffmpeg" or "djpeg"
    QTest::newRow("code stream, ffmpeg's own decoder") << true << "ffmpeg";
    QTest::newRow("JPEG, ffmpeg") << false << "ffmpeg";
    QTest::newRow("JPEG, djpeg") << false << "djpeg";
}

void TestIndependentPeer::otherDecodersReadWhatIsSent()
{
    QFETCH(bool, large);
    QFETCH(QString, decoder);
    const QString program = Tool(decoder);
    if (program.isEmpty())
        QSKIP(qPrintable(decoder + " is not installed"));

    Capture small, big;
    qputenv("TELVORIA_TEST_SEND_PORT_SMALL", QByteArray::number(small.Port()));
    qputenv("TELVORIA_TEST_SEND_PORT_LARGE", QByteArray::number(big.Port()));
    TSSTVForm *f = Fx->Form();
    f->Image1 = codectest::PhotoLike(kLargeWidth, kLargeHeight, 33);
    (large ? f->RadioButton1 : f->RadioButton2)->setChecked(true);
    f->IPAddress->setText(TestListenAddress());
    // The receptions before have left the send buttons disabled; the
    // command itself is what is under test.
    f->SendToIPClick();
    Capture &to = large ? big : small;
    QVERIFY(QTest::qWaitFor([&] { return to.Closed; }, 15000));
    QTRY_COMPARE(f->TXStatus->text(), QString("Sent"));
    qunsetenv("TELVORIA_TEST_SEND_PORT_SMALL");
    qunsetenv("TELVORIA_TEST_SEND_PORT_LARGE");
    QCOMPARE((large ? small : big).Connections, 0);
    QCOMPARE(to.Bytes, f->TxStream);

    const QString in = Work.filePath(large ? "sent.j2k" : "sent.jpg");
    const QString out = Work.filePath(decoder == "djpeg" ? "sent.ppm" : "sent.png");
    {
        QFile file(in);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(to.Bytes);
    }
    QFile::remove(out);
    QStringList args;
    if (decoder == "djpeg")
        args = {"-outfile", out, in};
    else if (large)
        // ffmpeg's native decoder, not the one built on OpenJPEG.
        args = {"-v", "error", "-y", "-c:v", "jpeg2000", "-i", in, "-pix_fmt", "rgb24", out};
    else
        args = {"-v", "error", "-y", "-i", in, "-pix_fmt", "rgb24", out};
    QString log;
    QVERIFY2(Run(program, args, &log), qPrintable(log));
    const QImage decoded(out);
    QVERIFY2(!decoded.isNull(), qPrintable(log));
    const QImage expected = large ? f->Image1 : StretchNearest(f->Image1, kSmallWidth, kSmallHeight);
    QCOMPARE(decoded.size(), expected.size());
    const double psnr = codectest::Psnr(expected, decoded);
    qInfo("%s: %lld bytes, %.1f dB", qPrintable(QTest::currentDataTag()), qint64(to.Bytes.size()), psnr);
    QVERIFY2(psnr > 30, qPrintable(QString("%1 dB").arg(psnr)));
}

QTEST_MAIN(TestIndependentPeer)
#include "test_independent_peer.moc"
