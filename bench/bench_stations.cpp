// Whole-program figures with running copies of the program (the end-to-end
// peer: the program plus its control socket), all on loopback:
//   bench_stations latency N   click of SendToIP on one copy until the other's
//                              Connected field reads "Received", both sizes
//   bench_stations load S P    S senders of P pictures each (both ports mixed)
//                              against one copy with Auto Save ticked
//   bench_stations startup R   process start until the window answers shown,
//                              less the splash pause; peak memory of a plain start
// Each prints Markdown table rows: | measure | ours | reference | ratio | notes |
#include "exchange/transfercodec.h"
#include "tests/exchange/codectestpictures.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kSplashMs = 1000;

quint16 FreePort()
{
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return s.serverPort();
}

long VmHWMkB(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

class Peer {
public:
    Peer(const QString &call, const QString &address) : Call(call), ControlPort(FreePort())
    {
        const QString folder = Dir.path();
        QFile servers(folder + "/Servers.txt");
        servers.open(QIODevice::WriteOnly);
        servers.write("127.0.0.1\r\n");
        servers.close();
        // No directory service: the directory port is one nobody listens on,
        // and nobody clicks Connect.
        QFile config(folder + "/Config.txt");
        config.open(QIODevice::WriteOnly);
        config.write(QStringLiteral("%1\r\nStation %1\r\n127.0.0.1\r\n%2\r\n Head\r\n Foot\r\n%3\r\n")
                         .arg(call).arg(FreePort()).arg(SavePath()).toLatin1());
        config.close();
        QDir().mkpath(SavePath());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("TELVORIA_TEST_LISTEN_ADDRESS", address);
        env.insert("TELVORIA_PEER_CONTROL", QString::number(ControlPort));
        Process.setProcessEnvironment(env);
        Process.setWorkingDirectory(folder);
        Process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        Clock.start();
        Process.start(TELVORIA_PEER, {});
    }
    ~Peer()
    {
        if (Process.state() != QProcess::NotRunning) {
            Process.kill();
            Process.waitForFinished(5000);
        }
    }

    // Connects the control socket and asks "shown" every 2 ms until the
    // window answers that it is visible; the ms since the process start.
    qint64 WaitShown()
    {
        while (Clock.elapsed() < 60000 && Process.state() != QProcess::NotRunning) {
            if (Control.state() != QAbstractSocket::ConnectedState) {
                Control.abort();
                Control.connectToHost(QHostAddress::LocalHost, ControlPort);
                if (!Control.waitForConnected(50)) {
                    QThread::msleep(2);
                    continue;
                }
            }
            if (Ask("shown") == "1")
                return Clock.elapsed();
            QThread::msleep(2);
        }
        return -1;
    }

    QString Ask(const QString &line)
    {
        Control.write(line.toUtf8() + '\n');
        Control.flush();
        QElapsedTimer t;
        t.start();
        while (!Control.canReadLine() && t.elapsed() < 60000)
            if (!Control.waitForReadyRead(1000) && Control.state() != QAbstractSocket::ConnectedState)
                break;
        return QString::fromUtf8(Control.readLine()).trimmed();
    }

    bool WaitFor(const QString &line, const QString &expected, int ms = 30000, int pollMs = 1)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            if (Ask(line) == expected)
                return true;
            if (pollMs)
                QThread::msleep(pollMs);
        }
        return false;
    }

    QString SavePath() const { return Dir.path() + "/RXPics"; }
    int SavedCount() const { return int(QDir(SavePath()).entryList(QDir::Files).size()); }

    QString Call;
    quint16 ControlPort;
    QTemporaryDir Dir;
    QProcess Process;
    QTcpSocket Control;
    QElapsedTimer Clock;
};

double Median(std::vector<double> v)
{
    if (v.empty())
        return -1;
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
}

void Row(const QString &measure, const QString &ours, const QString &notes)
{
    std::printf("| %s | %s | | | %s |\n", qPrintable(measure), qPrintable(ours), qPrintable(notes));
    std::fflush(stdout);
}

int Latency(int n)
{
    Peer a("ALPHA", "127.0.0.2"), b("BRAVO", "127.0.0.3");
    if (a.WaitShown() < 0 || b.WaitShown() < 0) {
        std::fprintf(stderr, "the peers did not start\n");
        return 1;
    }
    a.Ask("settext IPAddress 127.0.0.3");
    a.WaitFor("text IPAddress", "127.0.0.3");
    struct Mode {
        const char *button, *label;
    };
    for (const Mode mode : {Mode{"RadioButton1", "512x384 JPEG 2000 (27223)"}, Mode{"RadioButton2", "320x256 JPEG (27222)"}}) {
        a.Ask(QStringLiteral("click %1").arg(mode.button));
        QThread::msleep(50);
        std::vector<double> ms;
        int failed = 0;
        for (int i = 0; i < n; ++i) {
            const int ended = b.Ask("ended").toInt();
            b.Ask("settext Connected -");
            b.WaitFor("text Connected", "-");
            a.Ask("settext TXStatus -");
            a.WaitFor("text TXStatus", "-");
            QElapsedTimer t;
            t.start();
            a.Ask("click SendToIP");
            // Poll every 1 ms; each poll is one round trip through the control socket.
            if (!b.WaitFor("text Connected", "Received", 20000, 1)) {
                ++failed;
                continue;
            }
            ms.push_back(double(t.nsecsElapsed()) / 1e6);
            b.WaitFor("ended", QString::number(ended + 1), 10000, 2);
            a.WaitFor("text TXStatus", "Sent", 10000, 2);
        }
        Row(QStringLiteral("Click SendToIP to \"Received\", %1").arg(mode.label),
            QStringLiteral("%1 ms").arg(Median(ms), 0, 'f', 1),
            QStringLiteral("median of %1 (min %2, max %3%4); two peer processes on loopback, "
                           "receiver polled every 1 ms through its control socket")
                .arg(ms.size())
                .arg(ms.empty() ? 0 : *std::min_element(ms.begin(), ms.end()), 0, 'f', 1)
                .arg(ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end()), 0, 'f', 1)
                .arg(failed ? QStringLiteral(", %1 never arrived").arg(failed) : QString()));
    }
    return 0;
}

// One sender: P pictures one after another, a connection each, the port
// alternating; a picture the receiver refused (reset) is counted and sent again.
struct SenderResult {
    int Delivered = 0, Refused = 0, Failed = 0;
};

bool SendOnce(const char *from, const char *to, uint16_t port, const QByteArray &bytes, bool &refused)
{
    refused = false;
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    sockaddr_in src{}, dst{};
    src.sin_family = dst.sin_family = AF_INET;
    inet_pton(AF_INET, from, &src.sin_addr);
    inet_pton(AF_INET, to, &dst.sin_addr);
    dst.sin_port = htons(port);
    timeval tv{30, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    bool ok = bind(fd, reinterpret_cast<sockaddr *>(&src), sizeof src) == 0 &&
              connect(fd, reinterpret_cast<sockaddr *>(&dst), sizeof dst) == 0;
    for (qsizetype off = 0; ok && off < bytes.size();) {
        const ssize_t w = send(fd, bytes.constData() + off, size_t(bytes.size() - off), MSG_NOSIGNAL);
        if (w <= 0)
            ok = false;
        else
            off += w;
    }
    if (ok) {
        // The receiver closes once it has the picture; a refused connection
        // is reset instead.
        shutdown(fd, SHUT_WR);
        char c;
        ok = recv(fd, &c, 1, 0) == 0;
    }
    if (!ok)
        refused = true;
    close(fd);
    return ok;
}

int Load(int senders, int pictures)
{
    const QImage large = codectest::PhotoLike(exchange::kLargeWidth, exchange::kLargeHeight);
    const QByteArray j2k = exchange::EncodeJ2K(large);
    const QByteArray jpeg = exchange::EncodeJpeg(exchange::StretchNearest(large, exchange::kSmallWidth, exchange::kSmallHeight));
    Peer b("BRAVO", "127.0.0.3");
    if (b.WaitShown() < 0) {
        std::fprintf(stderr, "the peer did not start\n");
        return 1;
    }
    b.Ask("check AutoSave 1");
    b.WaitFor("text AutoSave", "Auto Save|1|1", 5000, 5);
    const long startHWM = VmHWMkB(b.Process.processId());

    std::vector<SenderResult> results(static_cast<size_t>(senders));
    std::vector<std::thread> threads;
    QElapsedTimer t;
    t.start();
    for (int s = 0; s < senders; ++s) {
        threads.emplace_back([&, s] {
            const QByteArray from = QStringLiteral("127.0.1.%1").arg(s + 1).toLatin1();
            for (int p = 0; p < pictures; ++p) {
                const bool isLarge = (s + p) % 2 == 0;
                for (int attempt = 0; attempt < 50; ++attempt) {
                    bool refused = false;
                    if (SendOnce(from.constData(), "127.0.0.3", isLarge ? exchange::kLargePort : exchange::kSmallPort,
                                 isLarge ? j2k : jpeg, refused)) {
                        ++results[size_t(s)].Delivered;
                        break;
                    }
                    ++results[size_t(s)].Refused;
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                    if (attempt == 49)
                        ++results[size_t(s)].Failed;
                }
            }
        });
    }
    for (auto &th : threads)
        th.join();
    const double sentMs = double(t.nsecsElapsed()) / 1e6;
    SenderResult total;
    for (const auto &r : results) {
        total.Delivered += r.Delivered;
        total.Refused += r.Refused;
        total.Failed += r.Failed;
    }
    // Every delivered picture filed and saved (or nothing more for 20 s).
    int saved = 0, last = -1;
    QElapsedTimer still;
    still.start();
    while (still.elapsed() < 20000) {
        saved = b.SavedCount();
        if (saved != last) {
            last = saved;
            still.restart();
        }
        if (saved >= total.Delivered && b.Ask("ended").toInt() >= total.Delivered)
            break;
        QThread::msleep(5);
    }
    const double ms = double(t.nsecsElapsed()) / 1e6;
    const int ended = b.Ask("ended").toInt();
    const long hwm = VmHWMkB(b.Process.processId());
    Row(QStringLiteral("Pictures received per second, %1 senders x %2 pictures, both ports, Auto Save").arg(senders).arg(pictures),
        QStringLiteral("%1 /s").arg(saved / (ms / 1000.0), 0, 'f', 1),
        QStringLiteral("%1 saved of %2 sent in %3 s (senders done at %4 s); %5 connections refused by the "
                       "receiver's limit of open connections and sent again; %6 receptions ended%7")
            .arg(saved).arg(senders * pictures).arg(ms / 1000.0, 0, 'f', 2).arg(sentMs / 1000.0, 0, 'f', 2)
            .arg(total.Refused).arg(ended)
            .arg(total.Failed ? QStringLiteral("; %1 never delivered").arg(total.Failed) : QString()));
    Row(QStringLiteral("Peak memory (VmHWM) of the receiving peer after the load run"),
        QStringLiteral("%1 MiB").arg(hwm / 1024.0, 0, 'f', 1),
        QStringLiteral("%1 MiB before the load, window shown").arg(startHWM / 1024.0, 0, 'f', 1));
    return 0;
}

int Startup(int runs)
{
    std::vector<double> ms;
    long hwm = -1;
    for (int i = 0; i < runs; ++i) {
        Peer p("ALPHA", "127.0.0.2");
        const qint64 shown = p.WaitShown();
        if (shown < 0)
            continue;
        ms.push_back(double(shown - kSplashMs));
        if (i == 0) {
            QThread::msleep(2000);
            hwm = VmHWMkB(p.Process.processId());
        }
    }
    QStringList all;
    for (double v : ms)
        all << QString::number(v, 'f', 0);
    Row(QStringLiteral("Start-up to main window shown, less the 1,000 ms splash pause"),
        QStringLiteral("%1 ms").arg(Median(ms), 0, 'f', 0),
        QStringLiteral("median of %1 runs (%2 ms); from QProcess start of the peer (offscreen) until its control "
                       "socket answers that the window is visible, polled every 2 ms, minus 1000 ms")
            .arg(ms.size()).arg(all.join(", ")));
    Row(QStringLiteral("Peak memory (VmHWM) of a plain start"), QStringLiteral("%1 MiB").arg(hwm / 1024.0, 0, 'f', 1),
        QStringLiteral("peer process, window shown, 2 s after start-up, nothing received"));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString mode = args.value(1);
    if (mode == "latency")
        return Latency(std::max(1, args.value(2, "10").toInt()));
    if (mode == "load")
        return Load(std::max(1, args.value(2, "20").toInt()), std::max(1, args.value(3, "10").toInt()));
    if (mode == "startup")
        return Startup(std::max(1, args.value(2, "3").toInt()));
    std::fprintf(stderr, "usage: bench_stations latency N | load SENDERS PICTURES | startup RUNS\n");
    return 2;
}
