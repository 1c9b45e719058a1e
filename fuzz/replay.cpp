// Feeds every file of the given folders to a fuzz entry point, built with
// the normal compiler: the seeds and every input a fuzzer ever broke the
// code with are checked on each test run. A missing folder is skipped, but
// at least one input must be found.
#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

int main(int argc, char **argv)
{
    int count = 0;
    for (int i = 1; i < argc; ++i) {
        const QDir dir(QString::fromLocal8Bit(argv[i]));
        if (!dir.exists())
            continue;
        for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden, QDir::Name)) {
            if (name.startsWith(u'.'))
                continue;
            QFile f(dir.filePath(name));
            if (!f.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "cannot read %s\n", qPrintable(f.fileName()));
                return 1;
            }
            const QByteArray bytes = f.readAll();
            std::printf("%s (%lld bytes)\n", qPrintable(f.fileName()), static_cast<long long>(bytes.size()));
            std::fflush(stdout);
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size()));
            ++count;
        }
    }
    std::printf("%d inputs replayed\n", count);
    return count > 0 ? 0 : 1;
}
