// Picture files, thumbnails and capture: the File menu's load and save
// commands are built here.
#include "app/sstvform.h"

#include "app/capture.h"
#include "app/guard.h"
#include "app/pictureio.h"
#include "app/setupdlg.h"
#include "app/thumbs.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

namespace {

// Description, then patterns; the first entry is the default.
const char *const kOpenFilters[][2] = {
    {"All graphics", "*.tif *.tiff *.jpg *.jpeg *.jpe *.pcx *.bmp *.dib *.rle *.ico *.cur *.png *.wmf *.emf "
                     "*.tga *.targa *.vda *.icb *.vst *.pix *.pxm *.ppm *.pgm *.pbm *.avi"},
    {"TIFF Bitmap (TIF;TIFF)", "*.tif *.tiff"},
    {"JPEG Bitmap (JPG;JPEG;JPE)", "*.jpg *.jpeg *.jpe"},
    {"PaintBrush (PCX)", "*.pcx"},
    {"Windows Bitmap (BMP;DIB;RLE)", "*.bmp *.dib *.rle"},
    {"Windows Icon (ICO)", "*.ico"},
    {"Windows Cursor (CUR)", "*.cur"},
    {"Portable Network Graphics (PNG)", "*.png"},
    {"Windows Metafile (WMF)", "*.wmf"},
    {"Enhanced Windows Metafile (EMF)", "*.emf"},
    {"Targa Bitmap (TGA;TARGA;VDA;ICB;VST;PIX)", "*.tga *.targa *.vda *.icb *.vst *.pix"},
    {"Portable Pixmap, GreyMap, BitMap (PXM;PPM;PGM;PBM)", "*.pxm *.ppm *.pgm *.pbm"},
    {"Video for Windows (AVI)", "*.avi"},
};

const char *const kSaveFilters[][2] = {
    {"JPEG Bitmap (JPG)", "*.jpg"},
    {"TIFF Bitmap (TIF)", "*.tif"},
    {"PaintBrush (PCX)", "*.pcx"},
    {"Portable Network Graphics (PNG)", "*.png"},
    {"Windows Bitmap (BMP)", "*.bmp"},
    {"OS/2 Bitmap (BMP)", "*.bmp"},
    {"Targa Bitmap (TGA)", "*.tga"},
    {"Portable PixMap (PXM)", "*.pxm"},
    {"Portable PixMap (PPM)", "*.ppm"},
    {"Portable GreyMap (PGM)", "*.pgm"},
    {"Portable Bitmap (PBM)", "*.pbm"},
};

template <size_t N>
QStringList NameFilters(const char *const (&filters)[N][2])
{
    QStringList list;
    for (const auto &f : filters)
        list << QStringLiteral("%1 (%2)").arg(QLatin1String(f[0]), QLatin1String(f[1]));
    return list;
}

// A callsign or caption from a peer becomes one plain file name part: no
// folder separators, drive colons or control characters, so a hostile
// callsign such as "../x" cannot place a file outside the save folder.
QString SafeNamePart(const QString &text)
{
    QString out = text;
    for (QChar &c : out)
        if (c == u'/' || c == u'\\' || c == u':' || c == u'*' || c == u'?' || c == u'"' || c == u'<' ||
            c == u'>' || c == u'|' || c.unicode() < 0x20)
            c = u'_';
    return out;
}

QString SavePath()
{
    return SetupDlg ? SetupDlg->EditPath->text() : QString();
}

void SetTextGreen(QLineEdit *edit)
{
    QPalette pal = edit->palette();
    pal.setColor(QPalette::Text, QColor(0, 128, 0));
    pal.setColor(QPalette::WindowText, QColor(0, 128, 0));
    edit->setPalette(pal);
}

} // namespace

void TSSTVForm::BindFiles()
{
    OpenImageEnDialog1 = new QFileDialog(this, QStringLiteral("Open"));
    OpenImageEnDialog1->setOption(QFileDialog::DontUseNativeDialog);
    OpenImageEnDialog1->setAcceptMode(QFileDialog::AcceptOpen);
    OpenImageEnDialog1->setFileMode(QFileDialog::ExistingFile);
    OpenImageEnDialog1->setNameFilters(NameFilters(kOpenFilters));

    SaveImageEnDialog1 = new QFileDialog(this, QStringLiteral("Save As"));
    SaveImageEnDialog1->setOption(QFileDialog::DontUseNativeDialog);
    // An existing file is replaced without asking.
    SaveImageEnDialog1->setOption(QFileDialog::DontConfirmOverwrite);
    SaveImageEnDialog1->setAcceptMode(QFileDialog::AcceptSave);
    SaveImageEnDialog1->setFileMode(QFileDialog::AnyFile);
    SaveImageEnDialog1->setNameFilters(NameFilters(kSaveFilters));

    connect(LoadPict1, &QAction::triggered, this, Handler(this, &TSSTVForm::LoadPict1Click));
    connect(LoadThumbs1, &QAction::triggered, this, Handler(this, &TSSTVForm::LoadThumbs1Click));
    connect(Reload1, &QAction::triggered, this, Handler(this, &TSSTVForm::Reload1Click));
    connect(Save1, &QAction::triggered, this, Handler(this, &TSSTVForm::Save1Click));
    connect(SaveAs1, &QAction::triggered, this, Handler(this, &TSSTVForm::SaveAs1Click));
    connect(AquireSource1, &QAction::triggered, this, Handler(this, &TSSTVForm::AquireSource1Click));
    connect(Capture1, &QAction::triggered, this, Handler(this, &TSSTVForm::Capture1Click));
    // "Reload" waits for the first load.
    for (QAction *a : {LoadPict1, LoadThumbs1, Save1, SaveAs1, AquireSource1, Capture1})
        a->setEnabled(true);
}

QImage &TSSTVForm::AttachShownPage()
{
    if (!TxPageShown) {
        RxPageCaption = RxButtons[RxPageIndex & 3]->text();
        AttachedPage = &RxPages[RxPageIndex & 3];
    } else {
        AttachedPage = &TxPages[TxPageIndex & 3];
    }
    return *AttachedPage;
}

void TSSTVForm::LoadWorkingPicture(const QString &name)
{
    QImage &page = TxPages[TxPageIndex & 3];
    AttachedPage = &page;
    // Read aside first, so a failure leaves the page as it was.
    QImage picture;
    if (LoadSourceIsFile) {
        picture = ReadPictureFile(name);
        if (picture.isNull())
            throw TError(QStringLiteral("Cannot open file %1").arg(name));
    } else {
        QString device = CaptureDevice;
        if (device.isEmpty()) {
            const QList<TCaptureDevice> devices = ListCaptureDevices();
            if (devices.isEmpty())
                throw TError(QStringLiteral("No scanner or camera was found."));
            device = devices.first().Name;
        }
        picture = AcquirePicture(device);
    }
    page = picture;
    FitPageToWorkingPicture(page);
    ReloadLargeView();
    PictureLoaded = true;
    Reload1->setEnabled(true);
    LastLoadedFile = name;
    UpdateViewSize();
    ReleaseRxButtons();
}

void TSSTVForm::LoadPict1Click()
{
    if (OpenImageEnDialog1->exec() != QDialog::Accepted || OpenImageEnDialog1->selectedFiles().isEmpty())
        return;
    const QString file = OpenImageEnDialog1->selectedFiles().first();
    LoadSourceIsFile = true;
    LoadWorkingPicture(file);
    QCoreApplication::processEvents();
}

void TSSTVForm::LoadThumbs1Click()
{
    Thumbs->show();
    Thumbs->raise();
}

void TSSTVForm::Reload1Click()
{
    LoadWorkingPicture(LastLoadedFile);
    ReloadLargeView();
    UpdateViewSize();
    ReleaseRxButtons();
}

QString TSSTVForm::ReceivePageSaveName() const
{
    return SavePath() + QDir::separator() + SafeNamePart(RxPageCaption) + u'-' +
           QString::number(int(RxPageIndex) + 1) + QStringLiteral(".JPG");
}

QString TSSTVForm::AutomaticSaveName() const
{
    return SavePath() + QDir::separator() + SafeNamePart(Connected->text()) + u'_' +
           QString::number(SaveCounter) + QStringLiteral(".JPG");
}

void TSSTVForm::SaveAutomatically(const QImage &page)
{
    SaveJpegPicture(page, AutomaticSaveName());
    ++SaveCounter;
}

void TSSTVForm::Save1Click()
{
    if (!TxPageShown) {
        CommitWorkingPicture();
        TxPageShown = false;
        const QImage &page = AttachShownPage();
        if (ConnectButton->isEnabled() || MonitorMode) {
            SetTextGreen(Connected);
            Connected->setText(QStringLiteral("Image"));
            SaveJpegPicture(page, ReceivePageSaveName());
            ++SaveCounter;
        } else {
            SaveJpegPicture(page, ReceivePageSaveName());
        }
    } else if (PictureLoaded) {
        const QImage &page = AttachShownPage();
        // After a capture there is no file to write back to.
        if (!LastLoadedFile.isEmpty())
            WritePictureFile(page, LastLoadedFile);
    }
}

void TSSTVForm::SaveAs1Click()
{
    const bool receiveShown = !TxPageShown;
    CommitWorkingPicture();
    if (receiveShown)
        TxPageShown = false;
    if (SaveImageEnDialog1->exec() != QDialog::Accepted || SaveImageEnDialog1->selectedFiles().isEmpty())
        return;
    QString file = SaveImageEnDialog1->selectedFiles().first();
    const QString filter = SaveImageEnDialog1->selectedNameFilter();
    // A name typed without extension takes the one of the chosen type.
    if (QFileInfo(file).suffix().isEmpty()) {
        const qsizetype star = filter.lastIndexOf(QStringLiteral("*."));
        if (star >= 0)
            file += filter.mid(star + 1).chopped(1);
    }
    const QImage &page = AttachShownPage();
    WritePictureFile(page, file, filter.startsWith(QStringLiteral("OS/2")));
}

void TSSTVForm::AquireSource1Click()
{
    const QList<TCaptureDevice> devices = ListCaptureDevices();
    if (devices.isEmpty())
        throw TError(QStringLiteral("No scanner or camera was found."));
    QStringList items;
    int current = 0;
    for (int i = 0; i < devices.size(); ++i) {
        items << QStringLiteral("%1 - %2").arg(devices[i].Name, devices[i].Description);
        if (devices[i].Name == CaptureDevice)
            current = i;
    }
    bool ok = false;
    const QString chosen = QInputDialog::getItem(this, QStringLiteral("Select Source"),
                                                 QStringLiteral("Scanner or camera:"), items, current, false, &ok);
    if (!ok)
        return;
    const qsizetype at = items.indexOf(chosen);
    if (at >= 0)
        CaptureDevice = devices[at].Name;
}

void TSSTVForm::Capture1Click()
{
    LoadSourceIsFile = false;
    LoadWorkingPicture(QString());
}
