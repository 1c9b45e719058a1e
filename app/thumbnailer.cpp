#include "app/thumbnailer.h"

#include "app/pictureio.h"

#include <QDir>
#include <QFileInfo>

TThumbnailer::TThumbnailer(QObject *parent) : QObject(parent)
{
    // One core stays free for the window's thread, so it keeps reacting
    // while a folder of large photos is read.
    Pool.setMaxThreadCount(std::max(1, QThread::idealThreadCount() - 1));
}

TThumbnailer::~TThumbnailer()
{
    Cancel();
    Pool.waitForDone();
}

QStringList TThumbnailer::ListPictureFiles(const QString &folder)
{
    QStringList files;
    const QDir dir(folder);
    // Without QDir::Hidden and QDir::System, hidden files and special files
    // (devices, pipes, sockets, broken links) stay out.
    for (const QString &name : dir.entryList(QStringList{QStringLiteral("*")}, QDir::Files, QDir::Unsorted)) {
        const QString full = dir.filePath(name);
        if (IsNamedPictureFile(full))
            files << full;
    }
    return files;
}

void TThumbnailer::Cancel()
{
    ++Generation;
    Pool.clear();
    Pending = 0;
    Running = false;
}

void TThumbnailer::Start(const QString &folder)
{
    Cancel();
    Running = true;
    const int generation = Generation.load();
    // Listing reads the head of every file, so it runs in the background too.
    Pool.start([this, folder, generation] {
        if (Generation.load() != generation)
            return;
        const QStringList files = ListPictureFiles(folder);
        QMetaObject::invokeMethod(this, [this, files, generation] {
            if (Generation.load() != generation)
                return;
            emit Listed(files);
            Pending = int(files.size());
            if (Pending == 0) {
                Running = false;
                emit Finished();
                return;
            }
            for (int i = 0; i < files.size(); ++i) {
                Pool.start([this, file = files[i], i, generation] {
                    if (Generation.load() != generation)
                        return;
                    const QImage thumbnail = ReadThumbnail(file, kThumbnailSize);
                    QMetaObject::invokeMethod(this, [this, generation, i, thumbnail] { Deliver(generation, i, thumbnail); },
                                              Qt::QueuedConnection);
                });
            }
        }, Qt::QueuedConnection);
    });
}

void TThumbnailer::Deliver(int generation, int index, const QImage &thumbnail)
{
    if (Generation.load() != generation)
        return;
    emit ThumbnailReady(index, thumbnail);
    if (--Pending == 0) {
        Running = false;
        emit Finished();
    }
}
