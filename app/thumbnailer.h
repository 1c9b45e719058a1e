#pragma once
// The thumbnail browser's work, away from the window: which files of a
// folder are listed, and their thumbnails, made on background threads so a
// folder of hundreds of large photos never holds up the event loop.
#include <QImage>
#include <QObject>
#include <QSize>
#include <QStringList>
#include <QThreadPool>

#include <atomic>

class TThumbnailer : public QObject {
    Q_OBJECT
public:
    explicit TThumbnailer(QObject *parent = nullptr);
    ~TThumbnailer() override;

    static constexpr QSize kThumbnailSize{64, 48};

    // The files of a folder the browser lists, as full names in the order the
    // folder listing gives them: files only (no folders, hidden or special
    // files), each holding a picture of a known type that its extension names.
    static QStringList ListPictureFiles(const QString &folder);

    // Forgets any earlier folder (its results are never delivered) and starts
    // on this one: Listed once, then ThumbnailReady for each entry, then
    // Finished.
    void Start(const QString &folder);
    // Forgets the current folder; nothing more is delivered for it.
    void Cancel();
    bool Busy() const { return Running; }

signals:
    void Listed(const QStringList &files);
    // A null picture when the file could not be read after all.
    void ThumbnailReady(int index, const QImage &thumbnail);
    void Finished();

private:
    void Deliver(int generation, int index, const QImage &thumbnail);

    QThreadPool Pool;
    std::atomic<int> Generation{0};
    int Pending = 0;
    bool Running = false;
};
