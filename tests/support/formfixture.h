#pragma once
// Starts the real program in a fresh station folder for a behaviour test,
// and answers the modal dialogs it opens the way an operator would.
#include <QDir>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <optional>

class TSSTVForm;
class QWidget;

struct StartOptions {
    // Lines of Config.txt; no value means there is no Config.txt (first start).
    std::optional<QStringList> ConfigLines = QStringList{
        "TEST1", "Testing", "localhost", "80", " Header", " Footer", "RXPics"};
    // Lines of Servers.txt; no value means the file is missing.
    std::optional<QStringList> ServerLines = QStringList{"localhost", "127.0.0.1"};
};

// The loopback address this test process gives the program's picture
// listeners, so parallel tests never share a port.
QString TestListenAddress();

class FormFixture {
public:
    explicit FormFixture(const StartOptions &options = {});
    ~FormFixture();
    FormFixture(const FormFixture &) = delete;
    FormFixture &operator=(const FormFixture &) = delete;

    // Whether start-up reached the event loop's start.
    bool Started() const { return StartedOk; }
    TSSTVForm *Form() const;
    QString Folder() const { return Dir.path(); }
    QString FilePath(const QString &name) const { return Dir.filePath(name); }

private:
    QTemporaryDir Dir;
    QString PreviousDir;
    bool StartedOk = false;
};

// Watches for modal windows (message boxes and dialogs) while the test waits
// on something else, and answers each with the given function. The texts of
// every message box seen are kept.
class ModalAnswerer {
public:
    // The answer gets the modal widget; the default closes it (Esc).
    explicit ModalAnswerer(std::function<void(QWidget *)> answer = {});
    ~ModalAnswerer();
    QStringList Texts() const;
    QStringList Titles() const;
    int Count() const;

private:
    struct State;
    State *S;
};

// The longest event-loop stall a behaviour test accepts: 200 ms, or
// TELVORIA_TEST_STALL_LIMIT_MS where code runs slower by design (the
// sanitized build sets it).
int StallLimitMs();

// Writes lines with CR LF endings.
void WriteLines(const QString &path, const QStringList &lines);
