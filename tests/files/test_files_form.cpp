// The File menu's load, save and capture commands and the thumbnail browser,
// driven on the real window.
#include "formfixture.h"
#include "picturefiles.h"

#include "app/errors.h"
#include "app/pictureio.h"
#include "app/setupdlg.h"
#include "app/sstvform.h"
#include "app/thumbs.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QStatusBar>
#include <QToolButton>
#include <QtTest>

namespace {
// Types a name into the file dialog's name box and presses its accept button.
void TypeFileName(QFileDialog *d, const QString &path)
{
    auto *edit = d->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    QVERIFY(edit);
    edit->setText(path);
    QMetaObject::invokeMethod(d, "accept");
}

// Answers the file dialog with this name, as the operator types it.
std::function<void(QWidget *)> ChooseFile(const QString &path)
{
    return [path](QWidget *w) {
        if (auto *d = qobject_cast<QFileDialog *>(w)) {
            TypeFileName(d, path);
        } else if (auto *dlg = qobject_cast<QDialog *>(w)) {
            dlg->reject();
        }
    };
}

// A header written into the working picture, as the text commands do
// (they do not store the page).
void AddHeader(TSSTVForm *f)
{
    QPainter p(&f->Image1);
    p.fillRect(QRect(0, 0, 512, 40), QColor(0, 200, 0));
    p.end();
    f->ReloadLargeView();
}

QString SavePath()
{
    return SetupDlg->EditPath->text();
}

QStringList SavedFiles()
{
    return QDir(SavePath()).entryList(QDir::Files);
}
} // namespace

class TestFilesForm : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { UseTestSaneConfig(); }
    void loadStretchesIntoPageAndWorkingPicture_data();
    void loadStretchesIntoPageAndWorkingPicture();
    void saveOfReceivePageUsesNameRulesAndCounter();
    void saveOnLineLeavesStatusAndCounter();
    void failedSaveKeepsCounter();
    void saveWritesPageAsLoadedSaveAsWithEdits();
    void saveWithNothingLoadedDoesNothing();
    void saveAsOfReceivePageStoresNoTransmitPage();
    void reloadOfDeletedFileChangesNothing();
    void thumbnailsListNamedPicturesAndLoadOnClick();
    void captureFromTestDevice();
};

void TestFilesForm::loadStretchesIntoPageAndWorkingPicture_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::newRow("photo") << "photo.jpg" << QSize(1024, 768);
    QTest::newRow("small") << "small.png" << QSize(320, 256);
}

void TestFilesForm::loadStretchesIntoPageAndWorkingPicture()
{
    QFETCH(QString, name);
    QFETCH(QSize, size);
    FormFixture fx;
    TSSTVForm *f = fx.Form();
    const QString file = fx.FilePath(name);
    WritePictureFile(TestPattern(size.width(), size.height()), file);
    QTest::mouseClick(f->TxButtons[1], Qt::LeftButton);
    f->RxButtons[2]->setChecked(true); // a received picture on show
    QVERIFY(!f->Reload1->isEnabled());
    {
        ModalAnswerer answer(ChooseFile(file));
        f->LoadPict1->trigger();
        QCOMPARE(answer.Count(), 1);
    }
    QCOMPARE(f->LastLoadedFile, file);
    QVERIFY(f->PictureLoaded && f->LoadSourceIsFile);
    QVERIFY(f->Reload1->isEnabled());
    for (QToolButton *b : f->RxButtons)
        QVERIFY(!b->isChecked());
    const QImage &page = f->TxPages[1];
    QCOMPARE(page.size(), QSize(512, 384));
    QCOMPARE(f->Image1.size(), QSize(512, 384));
    QVERIFY(ColourNear(page.pixelColor(20, 20), Qt::white, 40));
    QVERIFY(ColourNear(page.pixelColor(490, 20), Qt::black, 40));
    QVERIFY(ColourNear(page.pixelColor(20, 360), QColor(220, 30, 20), 40));
    QCOMPARE(f->Image1, page);
    QCOMPARE(f->ImageEnView1->Picture().convertToFormat(QImage::Format_RGB888), page);
    // The page loaded into is the selected one only.
    QVERIFY(ColourNear(f->TxPages[2].pixelColor(20, 20), Qt::black, 0));
}

void TestFilesForm::saveOfReceivePageUsesNameRulesAndCounter()
{
    FormFixture fx;
    TSSTVForm *f = fx.Form();
    QDir().mkpath(SavePath());
    f->RxPages[2].fill(QColor(0, 0, 255));
    QTest::mouseClick(f->RxButtons[2], Qt::LeftButton);
    QVERIFY(f->ConnectButton->isEnabled()); // off line
    QCOMPARE(f->SaveCounter, 1);
    f->Save1->trigger();
    const QString saved = SavePath() + QDir::separator() + "Page 3-3.JPG";
    QVERIFY2(QFile::exists(saved), qPrintable(SavedFiles().join(", ")));
    QCOMPARE(PictureTypeFromContent(ReadAll(saved)), TPictureType::Jpeg);
    QCOMPARE(FirstLuminanceQuant(ReadAll(saved)), 16);
    QVERIFY(ColourNear(ReadPictureFile(saved).pixelColor(100, 100), QColor(0, 0, 255), 12));
    QCOMPARE(f->Connected->text(), QStringLiteral("Image"));
    QCOMPARE(f->Connected->palette().color(QPalette::Text), QColor(0, 128, 0));
    QCOMPARE(f->SaveCounter, 2);
    QCOMPARE(f->AutomaticSaveName(), SavePath() + QDir::separator() + "Image_2.JPG");
    // The automatic save writes that name and only then counts.
    f->SaveAutomatically(f->RxPages[2]);
    QVERIFY(QFile::exists(SavePath() + QDir::separator() + "Image_2.JPG"));
    QCOMPARE(f->SaveCounter, 3);
}

void TestFilesForm::saveOnLineLeavesStatusAndCounter()
{
    FormFixture fx;
    TSSTVForm *f = fx.Form();
    QDir().mkpath(SavePath());
    QTest::mouseClick(f->RxButtons[1], Qt::LeftButton);
    // On line in station mode, the button captioned with the sender's callsign;
    // a callsign that looks like a path stays one file in the save folder.
    f->ConnectButton->setEnabled(false);
    f->MonitorMode = false;
    f->Connected->setText(QStringLiteral("Received"));
    f->RxButtons[1]->setText(QStringLiteral("DL/K1ABC"));
    f->Save1->trigger();
    QCOMPARE(SavedFiles(), QStringList{"DL_K1ABC-2.JPG"});
    QCOMPARE(f->Connected->text(), QStringLiteral("Received"));
    QCOMPARE(f->SaveCounter, 1);
    f->Connected->setText(QStringLiteral("../../evil"));
    QCOMPARE(QFileInfo(f->AutomaticSaveName()).absolutePath(), QFileInfo(SavePath() + "/x").absolutePath());
}

void TestFilesForm::failedSaveKeepsCounter()
{
    FormFixture fx;
    TSSTVForm *f = fx.Form();
    SetupDlg->EditPath->setText(fx.FilePath("missing/folder"));
    QTest::mouseClick(f->RxButtons[0], Qt::LeftButton);
    ModalAnswerer answer;
    f->Save1->trigger();
    QTRY_COMPARE(answer.Count(), 1);
    const QString name = fx.FilePath("missing/folder") + QDir::separator() + "Page 1-1.JPG";
    QCOMPARE(answer.Texts(), QStringList{QStringLiteral("Cannot create file %1").arg(name)});
    QCOMPARE(answer.Titles(), QStringList{"Telvoria"});
    QCOMPARE(f->Connected->text(), QStringLiteral("Image")); // shown before the write
    QCOMPARE(f->SaveCounter, 1);
    QVERIFY_THROWS_EXCEPTION(TError, f->SaveAutomatically(f->RxPages[0]));
    QCOMPARE(f->SaveCounter, 1);
}

void TestFilesForm::saveWritesPageAsLoadedSaveAsWithEdits()
{
    FormFixture fx;
    TSSTVForm *f = fx.Form();
    const QString file = fx.FilePath("a.png");
    WritePictureFile(TestPattern(256, 192), file);
    {
        ModalAnswerer answer(ChooseFile(file));
        f->LoadPict1->trigger();
    }
    const QImage loaded = f->TxPages[0];
    AddHeader(f);
    f->Save1->trigger();
    QCOMPARE(PictureTypeFromContent(ReadAll(file)), TPictureType::Png);
    QCOMPARE(ReadPictureFile(file), loaded);
    {
        ModalAnswerer answer(ChooseFile(file));
        f->SaveAs1->trigger();
        QCOMPARE(answer.Count(), 1);
    }
    const QImage withHeader = ReadPictureFile(file);
    QCOMPARE(PictureTypeFromContent(ReadAll(file)), TPictureType::Png);
    QCOMPARE(withHeader.pixelColor(100, 10), QColor(0, 200, 0));
    QCOMPARE(withHeader, f->Image1);
    // A name typed without extension takes the chosen type's.
    {
        ModalAnswerer answer([&](QWidget *w) {
            auto *d = qobject_cast<QFileDialog *>(w);
            d->selectNameFilter(QStringLiteral("Targa Bitmap (TGA) (*.tga)"));
            TypeFileName(d, fx.FilePath("plain"));
        });
        f->SaveAs1->trigger();
    }
    QCOMPARE(ReadPictureFile(fx.FilePath("plain.tga")).size(), QSize(512, 384));
}

void TestFilesForm::saveWithNothingLoadedDoesNothing()
{
    FormFixture fx;
    TSSTVForm *f = fx.Form();
    QDir().mkpath(SavePath());
    const QStringList before = QDir(fx.Folder()).entryList(QDir::Files);
    ModalAnswerer answer;
    f->Save1->trigger();
    QTest::qWait(100);
    QCOMPARE(answer.Count(), 0);
    QVERIFY(SavedFiles().isEmpty());
    QCOMPARE(QDir(fx.Folder()).entryList(QDir::Files), before);
    QCOMPARE(f->SaveCounter, 1);
}

void TestFilesForm::saveAsOfReceivePageStoresNoTransmitPage()
{
    FormFixture fx;
    TSSTVForm *f = fx.Form();
    f->RxPages[0].fill(QColor(250, 200, 0));
    const QImage tx0 = f->TxPages[0];
    QTest::mouseClick(f->RxButtons[0], Qt::LeftButton);
    {
        ModalAnswerer answer(ChooseFile(fx.FilePath("rx.bmp")));
        f->SaveAs1->trigger();
    }
    QCOMPARE(ReadPictureFile(fx.FilePath("rx.bmp")).pixelColor(5, 5), QColor(250, 200, 0));
    QTest::mouseClick(f->TxButtons[1], Qt::LeftButton);
    QCOMPARE(f->TxPages[0], tx0);
    for (const QImage &page : f->TxPages)
        QVERIFY(page.pixelColor(5, 5) != QColor(250, 200, 0));
}

void TestFilesForm::reloadOfDeletedFileChangesNothing()
{
    FormFixture fx;
    TSSTVForm *f = fx.Form();
    const QString file = fx.FilePath("gone.jpg");
    WritePictureFile(TestPattern(640, 480), file);
    {
        ModalAnswerer answer(ChooseFile(file));
        f->LoadPict1->trigger();
    }
    const QImage page = f->TxPages[0], working = f->Image1;
    QVERIFY(QFile::remove(file));
    {
        ModalAnswerer answer;
        f->Reload1->trigger();
        QTRY_COMPARE(answer.Count(), 1);
        QCOMPARE(answer.Texts(), QStringList{QStringLiteral("Cannot open file %1").arg(file)});
        QCOMPARE(f->TxPages[0], page);
        QCOMPARE(f->Image1, working);
        QCOMPARE(f->LastLoadedFile, file);
    }
    QVERIFY(f->PictureLoaded);
    // A file that is no picture fails the same way.
    WriteAll(fx.FilePath("text.jpg"), "not a picture");
    ModalAnswerer again(ChooseFile(fx.FilePath("text.jpg")));
    f->LoadPict1->trigger();
    QTRY_COMPARE(again.Count(), 2);
    QCOMPARE(again.Texts(), QStringList{QStringLiteral("Cannot open file %1").arg(fx.FilePath("text.jpg"))});
    QCOMPARE(f->LastLoadedFile, file);
}

void TestFilesForm::thumbnailsListNamedPicturesAndLoadOnClick()
{
    FormFixture fx;
    TSSTVForm *f = fx.Form();
    const QString folder = fx.FilePath("pictures");
    QDir().mkpath(folder);
    const auto at = [&](const QString &n) { return folder + "/" + n; };
    WriteWithGeneralLibrary(TestPattern(120, 90), at("one.gif"), "GIF");
    WritePictureFile(TestPattern(800, 600), at("two.jpg"));
    WriteAll(at("notes.txt"), "hello\n");
    QFile::copy(at("two.jpg"), at("fake.bmp"));

    f->LoadThumbs1->trigger();
    QVERIFY(Thumbs->isVisible());
    QCOMPARE(Thumbs->windowTitle(), QStringLiteral("Load Thumbnails"));
    QCOMPARE(Thumbs->ImageEnMView1->Count(), 0); // empty until the folder changes
    f->LoadSourceIsFile = false;
    Thumbs->SelectFolder(folder);
    QVERIFY(f->LoadSourceIsFile);
    QTRY_VERIFY(!Thumbs->Loading());
    TThumbView *view = Thumbs->ImageEnMView1;
    QStringList names;
    for (int i = 0; i < view->Count(); ++i) {
        names << QFileInfo(view->FileName(i)).fileName();
        QVERIFY(view->HasThumbnail(i));
    }
    names.sort();
    QCOMPARE(names, (QStringList{"one.gif", "two.jpg"}));

    // The name under the pointer shows in the status bar.
    const int gif = QFileInfo(view->FileName(0)).fileName() == "one.gif" ? 0 : 1;
    QMouseEvent move(QEvent::MouseMove, QPointF(view->EntryRect(gif).center()),
                     view->viewport()->mapToGlobal(QPointF(view->EntryRect(gif).center())), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &move);
    QTRY_COMPARE(Thumbs->StatusBar1->currentMessage(), QDir::toNativeSeparators(at("one.gif")));

    // After a capture, a click still loads the thumbnail's file.
    f->Capture1->trigger();
    QVERIFY(f->LastLoadedFile.isEmpty());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->EntryRect(gif).center());
    QCOMPARE(view->Selected(), gif);
    QCOMPARE(f->LastLoadedFile, at("one.gif"));
    QVERIFY(f->LoadSourceIsFile);
    QVERIFY(ColourNear(f->Image1.pixelColor(20, 20), Qt::white, 8));
    QVERIFY(Thumbs->isVisible());
}

void TestFilesForm::captureFromTestDevice()
{
    FormFixture fx;
    TSSTVForm *f = fx.Form();
    {
        // Cancelling the choice changes nothing.
        ModalAnswerer answer;
        f->AquireSource1->trigger();
        QCOMPARE(answer.Count(), 1);
        QVERIFY(f->CaptureDevice.isEmpty());
    }
    {
        ModalAnswerer answer([](QWidget *w) {
            auto *d = qobject_cast<QInputDialog *>(w);
            QVERIFY(d && d->comboBoxItems().size() == 1);
            d->setTextValue(d->comboBoxItems().first());
            d->accept();
        });
        f->AquireSource1->trigger();
        QCOMPARE(answer.Count(), 1);
    }
    QCOMPARE(f->CaptureDevice, QStringLiteral("test:0"));
    f->TxPages[0].fill(Qt::black);
    f->Capture1->trigger();
    QVERIFY(!f->LoadSourceIsFile);
    QVERIFY(f->LastLoadedFile.isEmpty());
    QVERIFY(f->PictureLoaded && f->Reload1->isEnabled());
    QCOMPARE(f->TxPages[0].size(), QSize(512, 384));
    QCOMPARE(f->Image1, f->TxPages[0]);
    QSet<QRgb> colours;
    for (int x = 0; x < 512; x += 8)
        colours << f->Image1.pixel(x, 192);
    QVERIFY(colours.size() > 3);
    // "Reload" after a capture captures again; "Save" has no file to write.
    f->TxPages[0].fill(Qt::black);
    f->Reload1->trigger();
    QCOMPARE(f->Image1, f->TxPages[0]);
    QSet<QRgb> again;
    for (int x = 0; x < 512; x += 8)
        again << f->TxPages[0].pixel(x, 192);
    QCOMPARE(again, colours);
    QDir().mkpath(SavePath());
    f->Save1->trigger();
    QVERIFY(SavedFiles().isEmpty());
    // A device that fails shows its error and leaves the page.
    const QImage before = f->TxPages[0];
    f->CaptureDevice = QStringLiteral("test:9");
    ModalAnswerer answer;
    f->Capture1->trigger();
    QTRY_COMPARE(answer.Count(), 1);
    QVERIFY(answer.Texts().first().contains(QStringLiteral("test:9")));
    QCOMPARE(f->TxPages[0], before);
}

QTEST_MAIN(TestFilesForm)
#include "test_files_form.moc"
