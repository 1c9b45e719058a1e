#pragma once
// The thumbnail browser "Load Thumbnails": a volume box and a folder tree on
// the left, the thumbnails of the chosen folder on the right, the name under
// the pointer in the status bar. A click on a thumbnail loads its file.
#include <QAbstractScrollArea>
#include <QDialog>
#include <QImage>
#include <QStringList>

#include <vector>

class QComboBox;
class QFileSystemModel;
class QGroupBox;
class QStatusBar;
class QTreeView;
class TThumbnailer;

// The thumbnail view: entries of 64 by 48 in as many columns as fit, a red
// selection frame 3 pixels wide, scrolling by bar and wheel.
class TThumbView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit TThumbView(QWidget *parent = nullptr);

    void Clear();
    void Append(const QString &fileName);
    void SetThumbnail(int index, const QImage &thumbnail);
    int Count() const { return int(Entries.size()); }
    QString FileName(int index) const;
    bool HasThumbnail(int index) const;
    // The entry under a point of the viewport, or -1.
    int EntryAt(const QPoint &point) const;
    // Where an entry lies in the viewport now.
    QRect EntryRect(int index) const;
    int Selected() const { return SelectedIndex; }
    int Hovered() const { return HoveredIndex; }

signals:
    void EntryHovered(int index); // -1 when the pointer leaves the entries
    void EntryPressed(int index);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    struct Entry {
        QString FileName;
        QImage Thumbnail;
        bool Made = false;
    };
    int Columns() const;
    void UpdateScrollRange();

    std::vector<Entry> Entries;
    int SelectedIndex = -1;
    int HoveredIndex = -1;
};

class TThumbs : public QDialog {
    Q_OBJECT
public:
    explicit TThumbs(QWidget *parent = nullptr);
    ~TThumbs() override;

    // The handlers, named after the controls and events they serve.
    void DirectoryListBox1Change(const QString &folder);
    void ImageEnMView1MouseMove(int index);
    void ImageEnMView1MouseDown(int index);

    // Makes a folder the tree's current one, as the operator's click does.
    void SelectFolder(const QString &folder);
    QString CurrentFolder() const;
    // Whether thumbnails of the current folder are still being made.
    bool Loading() const;

    QGroupBox *GroupBox1 = nullptr;
    QComboBox *DriveComboBox1 = nullptr;
    QTreeView *DirectoryListBox1 = nullptr;
    QFileSystemModel *Folders = nullptr;
    TThumbView *ImageEnMView1 = nullptr;
    QStatusBar *StatusBar1 = nullptr;

private:
    void FillVolumes();
    void DriveChange(int index);
    void ShowProgress();

    TThumbnailer *Thumbnailer = nullptr;
    int Made = 0;
    QString Folder;
};

extern TThumbs *Thumbs;
