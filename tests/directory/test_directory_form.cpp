// The server buttons, the exchanges and the station list, driven through the
// real window against the real directory service on loopback, and against
// small fake services that answer as told or misbehave.
#include "formfixture.h"

#include "app/setupdlg.h"
#include "app/sstvform.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QProcess>
#include <QTableWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const QColor kSilver(192, 192, 192);
const QColor kSkyBlue(166, 202, 240);
const QColor kGreen(0, 128, 0);

quint16 FreePort()
{
    QTcpServer s;
    if (!s.listen(QHostAddress::LocalHost, 0))
        qFatal("no free port");
    return s.serverPort();
}

// One exchange with a service, as a client would make it.
QByteArray Exchange(quint16 port, const QByteArray &request)
{
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, port);
    if (!s.waitForConnected(5000))
        return {};
    s.write(request);
    QByteArray reply;
    while (s.state() == QAbstractSocket::ConnectedState && s.waitForReadyRead(5000))
        reply += s.readAll();
    return reply + s.readAll();
}

QByteArray LogInRequest(const QByteArray &call, const QByteArray &text, quint16 port)
{
    return "GET /cgi-bin/rodix.pl?call=" + call + "&text=" + text + " HTTP/1.0\nREFERER: " +
           QByteArray::number(port) + "\nHost: 127.0.0.1\n\n";
}
QByteArray LogOutRequest(const QByteArray &call)
{
    return "GET /cgi-bin/rodix.pl?call=" + call + "&text=logout HTTP/1.0\nREFERER: off\nHost: 127.0.0.1\n\n";
}
QByteArray ListRequest(quint16 port)
{
    return "GET /cgi-bin/rodix.pl?list HTTP/1.0\nREFERER: " + QByteArray::number(port) + "\nHost: 127.0.0.1\n\n";
}

// The real service, run by its own start script in a fresh folder.
class Service {
public:
    Service()
    {
        for (int attempt = 0; attempt < 5 && !Up; ++attempt) {
            Port = FreePort();
            Process.setProcessChannelMode(QProcess::MergedChannels);
            Process.start(QStringLiteral("sh"), {QStringLiteral(RODIX_SERVICE_DIR "/run.sh"),
                                                 QString::number(Port), Data.path()});
            for (int i = 0; i < 150 && !Up && Process.state() != QProcess::NotRunning; ++i) {
                QTcpSocket probe;
                probe.connectToHost(QHostAddress::LocalHost, Port);
                Up = probe.waitForConnected(100);
                if (!Up)
                    QTest::qWait(50);
            }
            if (!Up)
                Stop();
        }
    }
    ~Service() { Stop(); }
    void Stop()
    {
        if (Process.state() != QProcess::NotRunning) {
            Process.terminate();
            if (!Process.waitForFinished(5000))
                Process.kill();
            Process.waitForFinished(2000);
        }
    }
    // The register as the list request shows it: "call;info;" lines.
    QStringList Listed() const
    {
        const QByteArray reply = Exchange(Port, ListRequest(Port));
        QStringList lines = QString::fromLatin1(reply.mid(reply.indexOf("\r\n\r\n") + 4)).split(u'\n');
        lines.removeFirst(); // the count line
        lines.removeAll(QString());
        return lines;
    }

    bool Up = false;
    quint16 Port = 0;

private:
    QTemporaryDir Data;
    QProcess Process;
};

// A fake service. Each connection gets the next behaviour of the list (the
// last one repeats) and every request it brings is recorded.
class FakeService {
public:
    enum Kind { Answer, Silent, CloseAtOnce, Flood };
    struct Behaviour {
        Kind What = Answer;
        QByteArray Reply;
    };

    explicit FakeService(QList<Behaviour> behaviours) : Behaviours(std::move(behaviours))
    {
        if (!Server.listen(QHostAddress::LocalHost, 0))
            qFatal("fake service cannot listen");
        QObject::connect(&Server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket *s = Server.nextPendingConnection()) {
                const Behaviour b = Behaviours[std::min<qsizetype>(Connections++, Behaviours.size() - 1)];
                auto buffer = std::make_shared<QByteArray>();
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s, b, buffer] {
                    *buffer += s->readAll();
                    if (!buffer->contains("\n\n"))
                        return;
                    Requests << *buffer;
                    buffer->clear();
                    switch (b.What) {
                    case Answer:
                        s->write(b.Reply);
                        s->disconnectFromHost();
                        break;
                    case CloseAtOnce:
                        s->disconnectFromHost();
                        break;
                    case Silent:
                        break;
                    case Flood:
                        for (int i = 0; i < 64; ++i)
                            s->write(QByteArray(32 * 1024, '#'));
                        break;
                    }
                });
            }
        });
    }
    quint16 Port() const { return Server.serverPort(); }

    QList<QByteArray> Requests;
    int Connections = 0;

private:
    QList<Behaviour> Behaviours;
    QTcpServer Server;
};

// A station-format reply listing the calls, each at its own address.
QByteArray StationReply(const QStringList &calls)
{
    QByteArray r = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n";
    int n = 0;
    for (const QString &c : calls)
        r += "#" + c.toLatin1() + ";192.0.2." + QByteArray::number(++n) + ";info " + c.toLatin1() + ";\n";
    return r;
}
QByteArray ListReply(const QStringList &calls)
{
    QByteArray r = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n" + QByteArray::number(calls.size()) + ";\n";
    for (const QString &c : calls)
        r += c.toLatin1() + ";info " + c.toLatin1() + ";\n";
    return r;
}

StartOptions OptionsFor(quint16 port)
{
    StartOptions o;
    o.ConfigLines = QStringList{"TEST1", "Testing now", "127.0.0.1", QString::number(port), " Header", " Footer",
                                "RXPics"};
    o.ServerLines = QStringList{"127.0.0.1"};
    return o;
}

QStringList Rows(TSSTVForm *f)
{
    QStringList out;
    for (int r = 1; r < f->CallListRowCount(); ++r)
        out << f->CallListCell(0, r) + u'|' + f->CallListCell(1, r) + u'|' + f->CallListCell(2, r);
    return out;
}

QColor TextColour(QLineEdit *e)
{
    return e->palette().color(QPalette::Text);
}

// Off line, as at start and after a log-out.
void VerifyOffLine(TSSTVForm *f)
{
    QVERIFY(f->ConnectButton->isEnabled());
    QVERIFY(f->MonitorButton->isEnabled());
    QVERIFY(!f->RefreshButton->isEnabled());
    QVERIFY(!f->DisconnectButton->isEnabled());
    QVERIFY(SetupDlg->EditServer->isEnabled());
    QCOMPARE(f->Connected->text(), QString("OFF LINE"));
    QCOMPARE(f->TXStatus->text(), QString("Off Line"));
    QCOMPARE(TextColour(f->TXStatus), QColor(Qt::blue));
    QCOMPARE(f->CallListRowCount(), 2);
    QCOMPARE(Rows(f), QStringList{"||NOT Connected !"});
    QCOMPARE(f->CallListColour, kSilver);
    QCOMPARE(f->Label1->text(), QString("SSTV Stations On Line"));
    QCOMPARE(f->CallListCell(0, 0), QString("Callsign"));
    QCOMPARE(f->CallListCell(2, 0), QString("Information"));
    QVERIFY(!f->DirectoryBusy);
}

} // namespace

class TestDirectoryForm : public QObject {
    Q_OBJECT
private slots:
    void stationSession()
    {
        Service service;
        QVERIFY(service.Up);
        Exchange(service.Port, LogInRequest("QZB", "Another%20one", service.Port));
        ModalAnswerer boxes;
        FormFixture fx(OptionsFor(service.Port));
        TSSTVForm *f = fx.Form();

        // Off line, a tick of the timer does nothing.
        f->Timer1Timer();
        QVERIFY(!f->DirectoryBusy);

        f->ConnectButton->click();
        QCOMPARE(f->CallListCell(2, 1), QString("Connecting to Server .............."));
        QCOMPARE(f->CallListColour, kSilver);
        QVERIFY(f->ConnectButton->isEnabled() && f->MonitorButton->isEnabled());
        QTRY_COMPARE(f->CallListColour, QColor(Qt::white));

        // The service takes each address from the connection; this program's
        // connections leave from the test's own loopback address.
        QCOMPARE(Rows(f), (QStringList{"QZB|127.0.0.1|Another one", "TEST1|" + TestListenAddress() + "|Testing now"}));
        QCOMPARE(f->StationCount, 2);
        QCOMPARE(f->Label1->text(), QString("SSTV Stations On Line = 2"));
        QCOMPARE(f->Connected->text(), QString("Ready"));
        QCOMPARE(TextColour(f->Connected), kGreen);
        QCOMPARE(f->TXStatus->text(), QString("Ready"));
        QCOMPARE(f->Selected->text(), QString("Select"));
        QVERIFY(!f->ConnectButton->isEnabled() && !f->MonitorButton->isEnabled());
        QVERIFY(f->RefreshButton->isEnabled() && f->DisconnectButton->isEnabled());
        QVERIFY(!SetupDlg->EditServer->isEnabled());
        QCOMPARE(f->CallList1->height(), 390);
        QVERIFY(!f->DirectoryBusy);
        QVERIFY(f->LogMemo->toPlainText().contains("#TEST1;" + TestListenAddress() + ";Testing now;"));

        // Choosing QZB's row.
        f->CallList1->setCurrentCell(0, 2);
        QCOMPARE(f->Selected->text(), QString("QZB"));
        QCOMPARE(f->SelectedAddress, QString("127.0.0.1"));
        QCOMPARE(f->IP_Address->text(), QString("127.0.0.1"));
        QVERIFY(f->StationSelected && f->SendTo->isEnabled());

        // Refresh logs in again: the new information text reaches the
        // register, and the choice of station is dropped.
        SetupDlg->InfoText->setText("Changed text");
        f->RefreshButton->click();
        QVERIFY(f->DirectoryBusy);
        QTRY_VERIFY(!f->DirectoryBusy);
        QCOMPARE(f->Selected->text(), QString("Select"));
        QVERIFY(!f->StationSelected && !f->SendTo->isEnabled());
        QCOMPARE(f->SelectedAddress, QString("127.0.0.1"));
        QCOMPARE(f->CallListCell(2, 2), QString("Changed text"));

        // Disconnect logs out and goes off line.
        f->DisconnectButton->click();
        VerifyOffLine(f);
        QCOMPARE(service.Listed(), QStringList{"QZB;Another one;"});
        QCOMPARE(boxes.Count(), 0);
    }

    void monitorSession()
    {
        Service service;
        QVERIFY(service.Up);
        Exchange(service.Port, LogInRequest("QZB", "Watching", service.Port));
        ModalAnswerer boxes;
        FormFixture fx(OptionsFor(service.Port));
        TSSTVForm *f = fx.Form();

        f->MonitorButton->click();
        QCOMPARE(f->CallListCell(2, 1), QString("Connecting to Server ............"));
        QTRY_COMPARE(f->CallListColour, kSkyBlue);
        QCOMPARE(Rows(f), QStringList{"QZB||Watching"});
        QCOMPARE(f->Label1->text(), QString("SSTV Stations On Line = 1"));
        QCOMPARE(f->Connected->text(), QString("OFF LINE"));
        QCOMPARE(f->TXStatus->text(), QString("Off Line"));
        QVERIFY(!f->ConnectButton->isEnabled() && !f->MonitorButton->isEnabled());
        QVERIFY(f->RefreshButton->isEnabled() && f->DisconnectButton->isEnabled());
        // Watching does not register.
        QCOMPARE(service.Listed(), QStringList{"QZB;Watching;"});

        // Choosing a row while monitoring changes nothing.
        f->CallList1->setCurrentCell(0, 1);
        f->CallList1->setCurrentCell(0, 0);
        QCOMPARE(f->Selected->text(), QString());
        QVERIFY(!f->StationSelected && !f->SendTo->isEnabled());
        QCOMPARE(f->TXStatus->text(), QString("Off Line"));

        f->DisconnectButton->click();
        VerifyOffLine(f);
        QCOMPARE(boxes.Count(), 0);
    }

    // The requests each way of working sends, byte for byte.
    void requestsSent_data()
    {
        QTest::addColumn<bool>("monitor");
        QTest::addColumn<bool>("endProgram"); // else Disconnect
        QTest::newRow("station, disconnect") << false << false;
        QTest::newRow("station, program end") << false << true;
        QTest::newRow("monitor, disconnect") << true << false;
        QTest::newRow("monitor, program end") << true << true;
    }
    void requestsSent()
    {
        QFETCH(bool, monitor);
        QFETCH(bool, endProgram);
        FakeService fake({{FakeService::Answer, monitor ? ListReply({"QZB"}) : StationReply({"QZB", "TEST1"})}});
        const quint16 port = fake.Port();
        ModalAnswerer boxes;
        FormFixture fx(OptionsFor(port));
        TSSTVForm *f = fx.Form();

        (monitor ? f->MonitorButton : f->ConnectButton)->click();
        QTRY_COMPARE(fake.Requests.size(), 1);
        QTRY_VERIFY(!f->DirectoryBusy);
        f->RefreshButton->click();
        QTRY_COMPARE(fake.Requests.size(), 2);
        QTRY_VERIFY(!f->DirectoryBusy);
        if (endProgram) {
            f->Exit1->trigger();
            QVERIFY(f->Terminated());
        } else {
            f->DisconnectButton->click();
            VerifyOffLine(f);
        }
        QTest::qWait(100);
        const QByteArray first = monitor ? ListRequest(port) : LogInRequest("TEST1", "Testing%20now", port);
        const QByteArray last = monitor ? ListRequest(port) : LogOutRequest("TEST1");
        QCOMPARE(fake.Requests, (QList<QByteArray>{first, first, last}));
        QCOMPARE(boxes.Count(), 0);
    }

    void endWhileOffLineSendsNothing()
    {
        FakeService fake({{FakeService::Answer, StationReply({})}});
        FormFixture fx(OptionsFor(fake.Port()));
        fx.Form()->Exit1->trigger();
        QVERIFY(fx.Form()->Terminated());
        QTest::qWait(50);
        QCOMPARE(fake.Connections, 0);
    }

    // Services that do not answer: each ends the exchange, and the buttons
    // still work.
    void failingService_data()
    {
        QTest::addColumn<int>("kind"); // -1: nothing listens
        QTest::newRow("refused") << -1;
        QTest::newRow("never answers") << int(FakeService::Silent);
        QTest::newRow("closes without reply") << int(FakeService::CloseAtOnce);
    }
    void failingService()
    {
        QFETCH(int, kind);
        std::unique_ptr<FakeService> fake;
        quint16 port = 0;
        if (kind < 0) {
            port = FreePort();
        } else {
            fake = std::make_unique<FakeService>(QList<FakeService::Behaviour>{{FakeService::Kind(kind), {}}});
            port = fake->Port();
        }
        ModalAnswerer boxes;
        FormFixture fx(OptionsFor(port));
        TSSTVForm *f = fx.Form();
        f->DirectoryTimeoutMs = 400;

        f->ConnectButton->click();
        QTRY_COMPARE(f->CallListColour, QColor(Qt::red));
        QCOMPARE(Rows(f), QStringList{"||Server NOT Responding !!!"});
        QCOMPARE(f->DirectoryBeeps, 1);
        QVERIFY(!f->DirectoryBusy);
        if (kind < 0) {
            // Still off line: another try is possible.
            QVERIFY(f->ConnectButton->isEnabled() && f->MonitorButton->isEnabled());
            QVERIFY(!f->RefreshButton->isEnabled() && !f->DisconnectButton->isEnabled());
            f->MonitorButton->click();
            QCOMPARE(f->CallListCell(2, 1), QString("Connecting to Server ............"));
            QTRY_COMPARE(f->CallListColour, QColor(Qt::red));
            QCOMPARE(f->DirectoryBeeps, 2);
        } else {
            // The connection was up: Refresh tries again, and a failed
            // repeat passes silently.
            QVERIFY(f->RefreshButton->isEnabled() && f->DisconnectButton->isEnabled());
            f->RefreshButton->click();
            QVERIFY(f->DirectoryBusy);
            QTRY_VERIFY(!f->DirectoryBusy);
            QCOMPARE(f->DirectoryBeeps, 1);
            // Disconnect ends even though the log-out is not answered.
            f->DisconnectButton->click();
            VerifyOffLine(f);
            QCOMPARE(f->DirectoryBeeps, 2);
            QCOMPARE(fake->Requests.size(), 3);
        }
        QCOMPARE(boxes.Count(), 0);
    }

    void programEndWaitIsBounded()
    {
        FakeService fake({{FakeService::Answer, StationReply({"TEST1"})}, {FakeService::Silent, {}}});
        FormFixture fx(OptionsFor(fake.Port()));
        TSSTVForm *f = fx.Form();
        f->DirectoryTimeoutMs = 300;
        f->ConnectButton->click();
        QTRY_COMPARE(f->CallListColour, QColor(Qt::white));
        f->Exit1->trigger();
        QVERIFY(f->Terminated());
        QVERIFY(!f->DirectoryBusy);
        QCOMPARE(fake.Requests.size(), 2);
        QVERIFY(fake.Requests[1].contains("&text=logout "));
    }

    void repliesMoveTheChosenRow()
    {
        FakeService fake({{FakeService::Answer, StationReply({"S1", "S2", "S3", "S4", "S5"})},
                          {FakeService::Answer, StationReply({"T1", "T2", "T3"})},
                          {FakeService::Answer, StationReply({"U1", "U2", "U3", "U4", "U5", "U6"})},
                          {FakeService::Answer, StationReply({})}});
        ModalAnswerer boxes;
        FormFixture fx(OptionsFor(fake.Port()));
        TSSTVForm *f = fx.Form();
        f->ConnectButton->click();
        QTRY_COMPARE(f->StationCount, 5);
        QTRY_VERIFY(!f->DirectoryBusy);
        f->CallList1->setCurrentCell(4, 0);
        QCOMPARE(f->Selected->text(), QString("S5"));

        // Three stations: the current cell moves to row 3, which is chosen.
        f->RefreshButton->click();
        QTRY_COMPARE(f->StationCount, 3);
        QCOMPARE(f->CallList1->currentRow() + 1, 3);
        QCOMPARE(f->Selected->text(), QString("T3"));
        QCOMPARE(f->SelectedAddress, QString("192.0.2.3"));
        QVERIFY(f->StationSelected);

        // Six: nothing moves, so nothing is chosen.
        f->CallList1->setCurrentCell(2, 0);
        f->RefreshButton->click();
        QTRY_COMPARE(f->StationCount, 6);
        QCOMPARE(f->CallList1->currentRow() + 1, 3);
        QCOMPARE(f->Selected->text(), QString("Select"));
        QVERIFY(!f->StationSelected);

        // None: row 1 says so, the rows of the last list stay.
        f->RefreshButton->click();
        QTRY_COMPARE(f->StationCount, 0);
        QCOMPARE(f->CallListRowCount(), 7);
        QCOMPARE(f->CallListCell(2, 1), QString("No Stations On Line"));
        QCOMPARE(f->CallListCell(0, 6), QString("U6"));
        QCOMPARE(f->Label1->text(), QString("SSTV Stations On Line = 0"));

        // A log-out empties every station row, addresses too.
        f->DisconnectButton->click();
        VerifyOffLine(f);
        QCOMPARE(f->CallListCell(1, 1), QString());
        QCOMPARE(boxes.Count(), 0);
    }

    void floodIsCut()
    {
        // A service that sends without end: the reply is read at 1 MiB.
        FakeService fake(QList<FakeService::Behaviour>{{FakeService::Flood, {}}});
        FormFixture fx(OptionsFor(fake.Port()));
        TSSTVForm *f = fx.Form();
        f->ConnectButton->click();
        QTRY_COMPARE(f->CallListColour, QColor(Qt::white));
        QVERIFY(!f->DirectoryBusy);
        QCOMPARE(f->StationCount, 0);
        QCOMPARE(f->CallListCell(2, 1), QString("No Stations On Line"));
        QCOMPARE(f->DirectoryBeeps, 0);
    }
};

QTEST_MAIN(TestDirectoryForm)
#include "test_directory_form.moc"
