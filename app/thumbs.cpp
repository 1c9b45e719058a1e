#include "app/thumbs.h"

#include "app/guard.h"
#include "app/sstvform.h"
#include "app/thumbnailer.h"

#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStatusBar>
#include <QStorageInfo>
#include <QTreeView>

TThumbs *Thumbs = nullptr;

namespace {
// Each entry: the 64 by 48 thumbnail with room around it for the frame.
constexpr int kMargin = 6;
constexpr int kBoxW = 64, kBoxH = 48;
constexpr int kCellW = kBoxW + 2 * kMargin, kCellH = kBoxH + 2 * kMargin;
constexpr int kFrame = 3;
} // namespace

// ---------------------------------------------------------------- view

TThumbView::TThumbView(QWidget *parent) : QAbstractScrollArea(parent)
{
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    viewport()->setMouseTracking(true);
    viewport()->setAutoFillBackground(true);
    QPalette pal = viewport()->palette();
    pal.setColor(QPalette::Window, Qt::white);
    viewport()->setPalette(pal);
    verticalScrollBar()->setSingleStep(kCellH / 3);
}

void TThumbView::Clear()
{
    Entries.clear();
    SelectedIndex = -1;
    HoveredIndex = -1;
    verticalScrollBar()->setValue(0);
    UpdateScrollRange();
    viewport()->update();
}

void TThumbView::Append(const QString &fileName)
{
    Entries.push_back({fileName, QImage(), false});
    UpdateScrollRange();
    viewport()->update(EntryRect(Count() - 1));
}

void TThumbView::SetThumbnail(int index, const QImage &thumbnail)
{
    if (index < 0 || index >= Count())
        return;
    Entry &e = Entries[size_t(index)];
    // Kept in the screen's own form, so painting needs no conversion.
    e.Thumbnail = thumbnail.isNull() ? QImage() : thumbnail.convertToFormat(QImage::Format_RGB32);
    e.Made = true;
    const QRect r = EntryRect(index);
    if (r.intersects(viewport()->rect()))
        viewport()->update(r);
}

QString TThumbView::FileName(int index) const
{
    return index >= 0 && index < Count() ? Entries[size_t(index)].FileName : QString();
}

bool TThumbView::HasThumbnail(int index) const
{
    return index >= 0 && index < Count() && !Entries[size_t(index)].Thumbnail.isNull();
}

int TThumbView::Columns() const
{
    return std::max(1, viewport()->width() / kCellW);
}

QRect TThumbView::EntryRect(int index) const
{
    const int cols = Columns();
    return QRect((index % cols) * kCellW, (index / cols) * kCellH - verticalScrollBar()->value(), kCellW, kCellH);
}

int TThumbView::EntryAt(const QPoint &point) const
{
    const int cols = Columns();
    if (point.x() < 0 || point.y() < 0 || point.x() >= cols * kCellW)
        return -1;
    const int row = (point.y() + verticalScrollBar()->value()) / kCellH;
    const int index = row * cols + point.x() / kCellW;
    return index < Count() ? index : -1;
}

void TThumbView::UpdateScrollRange()
{
    const int rows = (Count() + Columns() - 1) / Columns();
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setRange(0, std::max(0, rows * kCellH - viewport()->height()));
}

void TThumbView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollRange();
}

void TThumbView::paintEvent(QPaintEvent *event)
{
    QPainter p(viewport());
    const int cols = Columns();
    const int top = verticalScrollBar()->value() + event->rect().top();
    const int bottom = verticalScrollBar()->value() + event->rect().bottom();
    const int first = std::max(0, top / kCellH) * cols;
    const int last = std::min(Count() - 1, (bottom / kCellH + 1) * cols - 1);
    for (int i = first; i <= last; ++i) {
        const QRect cell = EntryRect(i);
        const QRect box(cell.x() + kMargin, cell.y() + kMargin, kBoxW, kBoxH);
        const Entry &e = Entries[size_t(i)];
        if (e.Thumbnail.isNull()) {
            p.fillRect(box, e.Made ? QColor(160, 160, 160) : QColor(224, 224, 224));
        } else {
            const QSize s = e.Thumbnail.size();
            p.drawImage(box.x() + (kBoxW - s.width()) / 2, box.y() + (kBoxH - s.height()) / 2, e.Thumbnail);
        }
        if (i == SelectedIndex) {
            const QRect f = box.adjusted(-kFrame, -kFrame, kFrame, kFrame);
            p.fillRect(f.x(), f.y(), f.width(), kFrame, Qt::red);
            p.fillRect(f.x(), f.bottom() - kFrame + 1, f.width(), kFrame, Qt::red);
            p.fillRect(f.x(), f.y(), kFrame, f.height(), Qt::red);
            p.fillRect(f.right() - kFrame + 1, f.y(), kFrame, f.height(), Qt::red);
        }
    }
}

void TThumbView::mouseMoveEvent(QMouseEvent *event)
{
    const int index = EntryAt(event->position().toPoint());
    if (index != HoveredIndex) {
        HoveredIndex = index;
        emit EntryHovered(index);
    }
}

void TThumbView::leaveEvent(QEvent *event)
{
    QAbstractScrollArea::leaveEvent(event);
    if (HoveredIndex != -1) {
        HoveredIndex = -1;
        emit EntryHovered(-1);
    }
}

void TThumbView::mousePressEvent(QMouseEvent *event)
{
    const int index = EntryAt(event->position().toPoint());
    if (index < 0)
        return;
    if (index != SelectedIndex) {
        const int old = SelectedIndex;
        SelectedIndex = index;
        if (old >= 0)
            viewport()->update(EntryRect(old));
        viewport()->update(EntryRect(index));
    }
    emit EntryPressed(index);
}

// ---------------------------------------------------------------- window

TThumbs::TThumbs(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Load Thumbnails"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint |
                   Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(430, 306);
    move(330, 236);

    GroupBox1 = new QGroupBox(QStringLiteral(" Thumbnails directory "), this);
    GroupBox1->setGeometry(0, 0, 164, 306 - 19);
    DriveComboBox1 = new QComboBox(GroupBox1);
    DriveComboBox1->setGeometry(8, 19, 145, 19);
    DirectoryListBox1 = new QTreeView(GroupBox1);
    DirectoryListBox1->setGeometry(8, 40, 145, 241);
    Folders = new QFileSystemModel(this);
    Folders->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    DirectoryListBox1->setModel(Folders);
    DirectoryListBox1->setHeaderHidden(true);
    for (int c = 1; c < Folders->columnCount(); ++c)
        DirectoryListBox1->hideColumn(c);

    ImageEnMView1 = new TThumbView(this);
    ImageEnMView1->setGeometry(164, 0, 430 - 164, 306 - 19);
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setGeometry(0, 306 - 19, 430, 19);
    StatusBar1->setSizeGripEnabled(false);

    Thumbnailer = new TThumbnailer(this);
    connect(Thumbnailer, &TThumbnailer::Listed, this, [this](const QStringList &files) {
        for (const QString &f : files)
            ImageEnMView1->Append(f);
        ShowProgress();
    });
    connect(Thumbnailer, &TThumbnailer::ThumbnailReady, this, [this](int index, const QImage &thumbnail) {
        ImageEnMView1->SetThumbnail(index, thumbnail);
        ++Made;
        ShowProgress();
    });
    connect(Thumbnailer, &TThumbnailer::Finished, this, [this] { ShowProgress(); });

    // The folder list starts at the current directory; the view stays empty
    // until the operator changes the folder.
    FillVolumes();
    const QString start = QDir::currentPath();
    const QString volume = QStorageInfo(start).rootPath();
    for (int i = 0; i < DriveComboBox1->count(); ++i)
        if (DriveComboBox1->itemData(i).toString() == volume)
            DriveComboBox1->setCurrentIndex(i);
    Folders->setRootPath(volume);
    DirectoryListBox1->setRootIndex(Folders->index(volume).parent());
    DirectoryListBox1->setCurrentIndex(Folders->index(start));
    DirectoryListBox1->scrollTo(Folders->index(start));

    // The folders load in the background: keep the current one in sight while
    // the folders above it arrive.
    connect(Folders, &QFileSystemModel::directoryLoaded, this, [this](const QString &path) {
        const QString current = Folders->filePath(DirectoryListBox1->currentIndex());
        if (current == path || current.startsWith(path.endsWith(u'/') ? path : path + u'/'))
            DirectoryListBox1->scrollTo(DirectoryListBox1->currentIndex());
    });
    connect(DirectoryListBox1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) {
                if (current.isValid())
                    Guarded([&] { DirectoryListBox1Change(Folders->filePath(current)); });
            });
    connect(DriveComboBox1, &QComboBox::activated, this, [this](int index) { Guarded([&] { DriveChange(index); }); });
    connect(ImageEnMView1, &TThumbView::EntryHovered, this, [this](int index) { ImageEnMView1MouseMove(index); });
    connect(ImageEnMView1, &TThumbView::EntryPressed, this,
            [this](int index) { Guarded([&] { ImageEnMView1MouseDown(index); }); });
}

TThumbs::~TThumbs() = default;

void TThumbs::FillVolumes()
{
    DriveComboBox1->clear();
    for (const QStorageInfo &v : QStorageInfo::mountedVolumes()) {
        if (!v.isValid() || !v.isReady())
            continue;
        const QString root = v.rootPath();
        const QString name = v.displayName();
        DriveComboBox1->addItem(name == root ? root : QStringLiteral("%1 [%2]").arg(root, name), root);
    }
}

void TThumbs::DriveChange(int index)
{
    const QString root = DriveComboBox1->itemData(index).toString();
    if (root.isEmpty())
        return;
    Folders->setRootPath(root);
    DirectoryListBox1->setRootIndex(Folders->index(root).parent());
    const QModelIndex at = Folders->index(root);
    if (DirectoryListBox1->currentIndex() == at)
        DirectoryListBox1Change(root);
    else
        DirectoryListBox1->setCurrentIndex(at);
}

void TThumbs::SelectFolder(const QString &folder)
{
    const QString path = QDir(folder).absolutePath();
    const QString volume = QStorageInfo(path).rootPath();
    if (DirectoryListBox1->rootIndex() != Folders->index(volume).parent()) {
        for (int i = 0; i < DriveComboBox1->count(); ++i)
            if (DriveComboBox1->itemData(i).toString() == volume)
                DriveComboBox1->setCurrentIndex(i);
        Folders->setRootPath(volume);
        DirectoryListBox1->setRootIndex(Folders->index(volume).parent());
    }
    const QModelIndex at = Folders->index(path);
    if (DirectoryListBox1->currentIndex() == at)
        DirectoryListBox1Change(path);
    else
        DirectoryListBox1->setCurrentIndex(at);
    DirectoryListBox1->scrollTo(at);
}

QString TThumbs::CurrentFolder() const
{
    return Folder;
}

bool TThumbs::Loading() const
{
    return Thumbnailer->Busy();
}

void TThumbs::DirectoryListBox1Change(const QString &folder)
{
    if (SSTVForm)
        SSTVForm->LoadSourceIsFile = true;
    ImageEnMView1->Clear();
    Made = 0;
    Folder = folder;
    StatusBar1->showMessage(QStringLiteral("Reading %1").arg(QDir::toNativeSeparators(folder)));
    Thumbnailer->Start(folder);
}

void TThumbs::ShowProgress()
{
    if (ImageEnMView1->Hovered() >= 0)
        return; // the name under the pointer stays
    if (Thumbnailer->Busy())
        StatusBar1->showMessage(QStringLiteral("Loading thumbnails: %1 of %2").arg(Made).arg(ImageEnMView1->Count()));
    else
        StatusBar1->showMessage(QStringLiteral("%1 pictures").arg(ImageEnMView1->Count()));
}

void TThumbs::ImageEnMView1MouseMove(int index)
{
    if (index >= 0)
        StatusBar1->showMessage(QDir::toNativeSeparators(ImageEnMView1->FileName(index)));
    else
        ShowProgress();
}

void TThumbs::ImageEnMView1MouseDown(int index)
{
    if (index < 0 || !SSTVForm)
        return;
    SSTVForm->LoadSourceIsFile = true;
    SSTVForm->LoadWorkingPicture(ImageEnMView1->FileName(index));
}
