// Directory services that misbehave, against the real window on loopback:
// garbage for a reply, a reply a byte at a time, a reset connection, and a
// service that dies half way through its reply. Each exchange ends with the
// right texts, the buttons go on working, and the window never stalls.
#include "formfixture.h"

#include "app/setupdlg.h"
#include "app/sstvform.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <memory>

namespace {

enum class Misbehaviour { Garbage, Slow, Reset, HalfThenReset, HalfThenClose, Answer };

// Each connection gets the next behaviour of the list (the last repeats),
// all driven from this thread's events.
class HostileService {
public:
    struct Behaviour {
        Misbehaviour What = Misbehaviour::Answer;
        QByteArray Reply;
        int Cut = 0; // bytes sent of a half reply
    };

    explicit HostileService(QList<Behaviour> behaviours) : Behaviours(std::move(behaviours))
    {
        if (!Server.listen(QHostAddress::LocalHost, 0))
            qFatal("hostile service cannot listen");
        QObject::connect(&Server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket *s = Server.nextPendingConnection()) {
                const Behaviour b = Behaviours[std::min<qsizetype>(Connections++, Behaviours.size() - 1)];
                auto buffer = std::make_shared<QByteArray>();
                QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s, b, buffer] {
                    *buffer += s->readAll();
                    if (!buffer->contains("\n\n"))
                        return;
                    ++Requests;
                    buffer->clear();
                    Misbehave(s, b);
                });
            }
        });
    }
    quint16 Port() const { return Server.serverPort(); }
    int Connections = 0;
    int Requests = 0;

private:
    static void Misbehave(QTcpSocket *s, const Behaviour &b)
    {
        switch (b.What) {
        case Misbehaviour::Answer:
        case Misbehaviour::Garbage:
            s->write(b.Reply);
            s->disconnectFromHost();
            break;
        case Misbehaviour::Reset:
            s->abort();
            s->deleteLater();
            break;
        case Misbehaviour::HalfThenReset:
            s->write(b.Reply.left(b.Cut));
            // Out before the reset, as a process dying after its write.
            s->flush();
            QTimer::singleShot(50, s, [s] {
                s->abort();
                s->deleteLater();
            });
            break;
        case Misbehaviour::HalfThenClose:
            s->write(b.Reply.left(b.Cut));
            s->disconnectFromHost();
            break;
        case Misbehaviour::Slow: {
            // A byte every 200 ms; the timer goes with the socket.
            auto *tick = new QTimer(s);
            auto sent = std::make_shared<int>(0);
            QObject::connect(tick, &QTimer::timeout, s, [s, tick, sent, reply = b.Reply] {
                if (s->state() != QAbstractSocket::ConnectedState || *sent >= reply.size()) {
                    tick->stop();
                    s->disconnectFromHost();
                    return;
                }
                s->write(reply.mid((*sent)++, 1));
            });
            tick->start(200);
            break;
        }
        }
    }

    QList<Behaviour> Behaviours;
    QTcpServer Server;
};

const QByteArray kHeader = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n";

QByteArray ThreeStations()
{
    return kHeader + "#QZA;192.0.2.1;info QZA;\n#QZB;192.0.2.2;info QZB;\n#QZC;192.0.2.3;info QZC;\n";
}

QByteArray Noise()
{
    QRandomGenerator rnd(77);
    QByteArray bytes;
    for (int i = 0; i < 4000; ++i) {
        char c = char(rnd.bounded(256));
        bytes.append(c == '#' ? '!' : c);
    }
    return bytes;
}

QStringList Rows(TSSTVForm *f)
{
    QStringList out;
    for (int r = 1; r < f->CallListRowCount(); ++r)
        out << f->CallListCell(0, r) + u'|' + f->CallListCell(1, r) + u'|' + f->CallListCell(2, r);
    return out;
}

StartOptions OptionsFor(quint16 port)
{
    StartOptions o;
    o.ConfigLines = QStringList{"TEST1", "Testing", "127.0.0.1", QString::number(port), " Header", " Footer", "RXPics"};
    o.ServerLines = QStringList{"127.0.0.1"};
    return o;
}

// The longest gap between ticks of a 10 ms timer on this thread.
class StallMeter {
public:
    StallMeter()
    {
        QObject::connect(&Tick, &QTimer::timeout, [this] {
            Longest = std::max(Longest, Clock.restart());
        });
        Tick.setTimerType(Qt::PreciseTimer);
        Clock.start();
        Tick.start(10);
    }
    qint64 LongestMs() const { return std::max(Longest, Clock.elapsed()); }

private:
    QTimer Tick;
    QElapsedTimer Clock;
    qint64 Longest = 0;
};

bool ExchangeOver(TSSTVForm *f)
{
    return QTest::qWaitFor([f] { return !f->DirectoryBusy && !f->DirectoryExchangeOpen; }, 15000);
}

} // namespace

Q_DECLARE_METATYPE(Misbehaviour)

class TestHostileDirectory : public QObject {
    Q_OBJECT
private slots:
    void misbehavingService_data();
    void misbehavingService();
};

// The service misbehaves on the log-in and again on the Refresh; it answers
// the log-out. A failure shows on the log-in only: a failed repeat passes
// silently.
void TestHostileDirectory::misbehavingService_data()
{
    QTest::addColumn<Misbehaviour>("what");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("cut");
    QTest::addColumn<int>("timeoutMs");
    QTest::addColumn<QStringList>("rows"); // empty: failed
    const QStringList none{"||No Stations On Line"};
    const QByteArray three = ThreeStations();
    const int inSecond = int(kHeader.size()) + 25 + 12;
    const int inFirst = int(kHeader.size()) + 15; // after the first address
    QTest::newRow("binary garbage") << Misbehaviour::Garbage << Noise() << 0 << 20000 << none;
    QTest::newRow("an error page") << Misbehaviour::Garbage
                                   << QByteArray("HTTP/1.0 500 Internal Server Error\r\n\r\n<html><body>#error; oops"
                                                 "</body></html>")
                                   << 0 << 20000 << QStringList{"| oops</body></html>|No Stations On Line"};
    QTest::newRow("a byte every 200 ms") << Misbehaviour::Slow << QByteArray("#QZB;192.0.2.9;s;\n") << 0 << 20000
                                         << QStringList{"QZB|192.0.2.9|s"};
    QTest::newRow("a byte every 200 ms, past the time limit")
        << Misbehaviour::Slow << three << 0 << 1200 << QStringList();
    QTest::newRow("connection reset") << Misbehaviour::Reset << QByteArray() << 0 << 20000 << QStringList();
    QTest::newRow("reset after half a reply") << Misbehaviour::HalfThenReset << three << inSecond << 20000
                                              << QStringList{"QZA|192.0.2.1|info QZA"};
    QTest::newRow("killed after half a reply") << Misbehaviour::HalfThenClose << three << inSecond << 20000
                                               << QStringList{"QZA|192.0.2.1|info QZA"};
    // The cut-off record is no station; as with any reply, row 1's address
    // column keeps what the record's pass left there.
    QTest::newRow("killed inside the first station") << Misbehaviour::HalfThenClose << three << inFirst << 20000
                                                     << QStringList{"|192.0.2.1|No Stations On Line"};
}

void TestHostileDirectory::misbehavingService()
{
    QFETCH(Misbehaviour, what);
    QFETCH(QByteArray, reply);
    QFETCH(int, cut);
    QFETCH(int, timeoutMs);
    QFETCH(QStringList, rows);
    const HostileService::Behaviour bad{what, reply, cut};
    HostileService service({bad, bad, {Misbehaviour::Answer, kHeader}});
    ModalAnswerer boxes;
    FormFixture fx(OptionsFor(service.Port()));
    QVERIFY(fx.Started());
    TSSTVForm *f = fx.Form();
    f->DirectoryTimeoutMs = timeoutMs;
    const bool fails = rows.isEmpty();

    StallMeter meter;
    f->ConnectButton->click();
    QVERIFY(ExchangeOver(f));
    if (fails) {
        QCOMPARE(Rows(f), QStringList{"||Server NOT Responding !!!"});
        QCOMPARE(f->CallListColour, QColor(Qt::red));
        QCOMPARE(f->DirectoryBeeps, 1);
    } else {
        QCOMPARE(Rows(f), rows);
        QCOMPARE(f->CallListColour, QColor(Qt::white));
        const bool noStation = rows.size() == 1 && rows[0].endsWith("|No Stations On Line");
        QCOMPARE(f->Label1->text(), QString("SSTV Stations On Line = %1").arg(noStation ? 0 : rows.size()));
        QCOMPARE(f->StationCount, noStation ? 0 : int(rows.size()));
        QCOMPARE(f->DirectoryBeeps, 0);
    }
    // The connection was up: on line, with Refresh and Disconnect to use.
    QCOMPARE(f->Connected->text(), QString("Ready"));
    QCOMPARE(f->TXStatus->text(), QString("Ready"));
    QVERIFY(!f->ConnectButton->isEnabled() && !f->MonitorButton->isEnabled());
    QVERIFY(f->RefreshButton->isEnabled() && f->DisconnectButton->isEnabled());

    // The same again on a repeat: it ends, and a failure passes silently.
    f->RefreshButton->click();
    QVERIFY(f->DirectoryBusy);
    QVERIFY(ExchangeOver(f));
    QCOMPARE(f->DirectoryBeeps, fails ? 1 : 0);
    if (!fails)
        QCOMPARE(Rows(f), rows);
    QVERIFY(f->RefreshButton->isEnabled() && f->DisconnectButton->isEnabled());

    // The log-out is answered: off line, ready to connect again.
    f->DisconnectButton->click();
    QVERIFY(!f->DirectoryBusy);
    QVERIFY(f->ConnectButton->isEnabled() && f->MonitorButton->isEnabled());
    QVERIFY(!f->RefreshButton->isEnabled() && !f->DisconnectButton->isEnabled());
    QCOMPARE(Rows(f), QStringList{"||NOT Connected !"});
    QCOMPARE(f->Connected->text(), QString("OFF LINE"));
    QCOMPARE(f->DirectoryBeeps, fails ? 1 : 0);
    QCOMPARE(service.Requests, 3);
    QVERIFY2(boxes.Count() == 0, qPrintable(boxes.Texts().join(" / ")));

    const qint64 stall = meter.LongestMs();
    qInfo("%s: longest stall %lld ms", QTest::currentDataTag(), stall);
    QVERIFY2(stall < StallLimitMs(), qPrintable(QString("longest stall %1 ms").arg(stall)));
}

QTEST_MAIN(TestHostileDirectory)
#include "test_hostile_directory.moc"
