// Start-up, the settings files and the ending, driven through the real
// windows in a fresh station folder each time.
#include "formfixture.h"

#include "app/settingsfile.h"
#include "app/setupdlg.h"
#include "app/sstvform.h"
#include "app/thumbs.h"
#include "app/windows.h"
#include "editor/addtext.h"
#include "editor/setpen.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTcpServer>
#include <QToolButton>
#include <QtTest>

namespace {
QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList MenuCaptions(QMenu *menu)
{
    QStringList out;
    for (QAction *a : menu->actions())
        out << a->text();
    return out;
}
} // namespace

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void normalStart()
    {
        FormFixture fx;
        QVERIFY(fx.Started());
        TSSTVForm *f = fx.Form();
        QVERIFY(f && f->isVisible());
        QCOMPARE(QCoreApplication::applicationName(), QString("Telvoria"));
        QCOMPARE(f->windowTitle(), QString("Telvoria - Internet SSTV Transceiver V1.8a"));
        QCOMPARE(f->centralWidget()->size(), QSize(790, 546));
        QCOMPARE(f->pos(), QPoint(193, 114));

        // Status fields and page buttons at start.
        QCOMPARE(f->Connected->text(), QString("OFF LINE"));
        QCOMPARE(f->TXStatus->text(), QString("Off Line"));
        QCOMPARE(f->SizeLabel->text(), QString("512 by 384 Pixels"));
        QVERIFY(f->STBYLabel->isVisible() && !f->RXLabel->isVisible());
        QVERIFY(f->TxButtons[0]->isChecked());
        for (int i = 0; i < 4; ++i) {
            QVERIFY(!f->RxButtons[i]->isChecked());
            QVERIFY(i == 0 || !f->TxButtons[i]->isChecked());
        }
        QCOMPARE(f->TxButtons[0]->palette().color(QPalette::ButtonText), QColor(Qt::red));
        QVERIFY(!f->SendTo->isEnabled() && !f->SendToRX->isEnabled() && f->SendToIP->isEnabled());
        QVERIFY(f->ConnectButton->isEnabled() && !f->RefreshButton->isEnabled() && !f->DisconnectButton->isEnabled());

        // The station list.
        QCOMPARE(f->CallListRowCount(), 2);
        QCOMPARE(f->CallListCell(0, 0), QString("Callsign"));
        QCOMPARE(f->CallListCell(1, 0), QString());
        QCOMPARE(f->CallListCell(2, 0), QString("Information"));
        QCOMPARE(f->CallListCell(2, 1), QString("NOT Connected !"));
        QCOMPARE(f->CallList1->columnWidth(0), 65);
        QCOMPARE(f->CallList1->columnWidth(1), 2);
        QCOMPARE(f->CallList1->geometry(), QRect(6, 16, 258, 385));

        // Pages: black 512 by 384 24-bit.
        for (const QImage *page : {&f->RxPages[0], &f->RxPages[3], &f->TxPages[1], &f->TxPages[3]}) {
            QCOMPARE(page->size(), QSize(512, 384));
            QCOMPARE(page->format(), QImage::Format_RGB888);
            QCOMPARE(page->pixelColor(100, 100), QColor(Qt::black));
        }

        // Flags of the show step and the listeners.
        QCOMPARE(int(f->RxPageCursor), 3);
        QCOMPARE(f->SaveCounter, 1);
        QVERIFY(f->TxPageShown);
        QVERIFY(f->SSTVServer->isListening() && f->SSTVServer->serverPort() == 27222);
        QVERIFY(f->HDSSTVServer->isListening() && f->HDSSTVServer->serverPort() == 27223);
        QVERIFY(f->Timer1->isActive() && f->Timer1->interval() == 170000);

        // The stored settings are in the dialog; the callsign copy is filled.
        QCOMPARE(SetupDlg->EditCall->text(), QString("TEST1"));
        QCOMPARE(SetupDlg->EditServer->currentText(), QString("localhost"));
        QCOMPARE(SetupDlg->EditServer->count(), 2);
        QCOMPARE(SetupDlg->EditHeader->text(), QString(" Header"));
        QCOMPARE(QString(f->CallsignBuf), QString("TEST1"));
        QCOMPARE(SetupDlg->AutoTXPage->currentText(), QString("Page 1"));
        QCOMPARE(SetupDlg->AutoTXPage->currentIndex(), -1);
        QVERIFY(!SetupDlg->AutoTX->isChecked());

        // Every other window exists and is hidden.
        for (QWidget *w : std::initializer_list<QWidget *>{Thumbs, AddText, AboutBox, SetPen, SetupDlg})
            QVERIFY(w && !w->isVisible());
        QCOMPARE(Thumbs->windowTitle(), QString("Load Thumbnails"));
        QCOMPARE(SetPen->windowTitle(), QString("Pen Select"));
    }

    void menuBarInOrder()
    {
        FormFixture fx;
        TSSTVForm *f = fx.Form();
        QStringList menus;
        for (QAction *a : f->menuBar()->actions())
            menus << a->text();
        QCOMPARE(menus, (QStringList{"File", "Setup", "View", "Edit", "Image", "Cards", "Text", "Draw", "Help"}));
        QCOMPARE(MenuCaptions(f->File), (QStringList{"Load", "Load Thumbs", "Reload", "Save", "Save As",
                                                     "Aquire Source", "Capture", "Exit"}));
        QCOMPARE(MenuCaptions(f->Edit1), (QStringList{"Copy", "Copy All", "Cut", "Paste", "Paste All",
                                                      "Paste Selected", "Fill Selected"}));
        QCOMPARE(MenuCaptions(f->ImageMenu), (QStringList{"Undo", "Sharpen", "Process", "Negative", "Flip", "Effects"}));
        QCOMPARE(MenuCaptions(f->Flop1), (QStringList{"Horizontal", "Vertical"}));
        QCOMPARE(MenuCaptions(f->TestCards1), (QStringList{"Test", "Grey Scale", "Resolution Bars", "Colour Bars",
                                                           "Add Grey scale", "Fill Frame"}));
        QCOMPARE(MenuCaptions(f->Text1), (QStringList{"Add Callsign", "Add Text", "Add Header", "AddFooter"}));
        QCOMPARE(MenuCaptions(f->Draw1), (QStringList{"Free Hand", "Line", "Rectangle", "Circle", "Set Pen"}));
        QCOMPARE(MenuCaptions(f->View1), (QStringList{"Zoom Fit", "Zoom Selected", "Ruler"}));
        QCOMPARE(MenuCaptions(f->Help1), (QStringList{"About"}));
        QVERIFY(!f->Reload1->isEnabled());
        QVERIFY(f->Exit1->isEnabled() && f->Callsign1->isEnabled() && f->About1->isEnabled());
    }

    void firstStartCancelWritesNothing()
    {
        StartOptions o;
        o.ConfigLines.reset();
        QStringList servers;
        bool defaultsShown = false;
        ModalAnswerer answer([&](QWidget *w) {
            QCOMPARE(w, static_cast<QWidget *>(SetupDlg));
            defaultsShown = SetupDlg->EditCall->text() == "QZB" && SetupDlg->EditPort->text() == "80" &&
                            SetupDlg->InfoText->text() == "Testing Telvoria V1.8a" &&
                            SetupDlg->EditServer->currentText().isEmpty();
            for (int i = 0; i < SetupDlg->EditServer->count(); ++i)
                servers << SetupDlg->EditServer->itemText(i);
            QTest::mouseClick(SetupDlg->CancelBtn, Qt::LeftButton);
        });
        FormFixture fx(o);
        QVERIFY(fx.Started());
        QCOMPARE(answer.Count(), 1);
        QVERIFY(defaultsShown);
        QCOMPARE(servers, (QStringList{"localhost", "127.0.0.1"}));
        QVERIFY(!QFile::exists(fx.FilePath("Config.txt")));
        QCOMPARE(QString(fx.Form()->CallsignBuf), QString("QZB"));
    }

    void firstStartOkWritesSevenLines()
    {
        StartOptions o;
        o.ConfigLines.reset();
        QTemporaryDir saveRoot;
        const QString savePath = saveRoot.filePath("deep/er/RXPics");
        ModalAnswerer answer([&](QWidget *) {
            SetupDlg->EditCall->clear();
            QTest::keyClicks(SetupDlg->EditCall, "ab1cdefghij"); // capitals, at most 8
            SetupDlg->EditServer->setEditText("dir.example.org");
            SetupDlg->EditHeader->setText("  two blanks");
            SetupDlg->EditPath->setText(savePath);
            QTest::mouseClick(SetupDlg->OKBtn, Qt::LeftButton);
        });
        FormFixture fx(o);
        QVERIFY(fx.Started());
        QCOMPARE(SetupDlg->EditCall->text(), QString("AB1CDEFG"));
        const QByteArray expected = "AB1CDEFG\r\nTesting Telvoria V1.8a\r\ndir.example.org\r\n80\r\n  two blanks\r\n"
                                    " Telvoria  SSTV Transceiver V1.8a\r\n" + savePath.toLatin1() + "\r\n";
        QCOMPARE(ReadAll(fx.FilePath("Config.txt")), expected);
        QVERIFY(QFileInfo(savePath).isDir());
    }

    void failedStarts_data()
    {
        QTest::addColumn<bool>("withServers");
        QTest::addColumn<QStringList>("config");
        QTest::addColumn<QString>("message");
        QTest::newRow("no Servers.txt") << false << QStringList{"A", "B", "C", "D", "E", "F", "G"}
                                        << "Cannot open file Servers.txt";
        QTest::newRow("five lines") << true << QStringList{"A", "B", "C", "D", "E"} << "List index out of bounds (5)";
        QTest::newRow("two lines") << true << QStringList{"A", "B"} << "List index out of bounds (2)";
    }
    void failedStarts()
    {
        QFETCH(bool, withServers);
        QFETCH(QStringList, config);
        QFETCH(QString, message);
        StartOptions o;
        if (!withServers)
            o.ServerLines.reset();
        o.ConfigLines = config;
        ModalAnswerer answer;
        FormFixture fx(o);
        QVERIFY(!fx.Started());
        QCOMPARE(answer.Texts(), QStringList{message});
        QCOMPARE(answer.Titles(), QStringList{"Telvoria"});
        QVERIFY(!fx.Form()); // every window was released
    }

    void longConfigRewrittenWithSeven()
    {
        StartOptions o;
        o.ConfigLines = QStringList{"LONGCALLSIGN", "info", "srv", "8080", " head", " foot", "pics", "extra8", "extra9"};
        FormFixture fx(o);
        QVERIFY(fx.Started());
        QCOMPARE(SetupDlg->EditCall->text(), QString("LONGCALL"));
        QCOMPARE(SetupDlg->EditPort->text(), QString("8080"));
        ModalAnswerer answer([](QWidget *) { QTest::mouseClick(SetupDlg->OKBtn, Qt::LeftButton); });
        fx.Form()->Callsign1->trigger();
        QCOMPARE(answer.Count(), 1);
        const QStringList lines = SplitTextLines(ReadAll(fx.FilePath("Config.txt")));
        QCOMPARE(lines.size(), 7);
        QCOMPARE(lines.mid(0, 6), (QStringList{"LONGCALL", "info", "srv", "8080", " head", " foot"}));
    }

    void cancelKeepsTypedValuesInEffect()
    {
        FormFixture fx;
        const QByteArray before = ReadAll(fx.FilePath("Config.txt"));
        ModalAnswerer answer([](QWidget *) {
            SetupDlg->EditServer->setEditText("changed.example.org");
            QTest::keyClick(SetupDlg, Qt::Key_Escape);
        });
        fx.Form()->Callsign1->trigger();
        QCOMPARE(answer.Count(), 1);
        QCOMPARE(SetupDlg->EditServer->currentText(), QString("changed.example.org"));
        QCOMPARE(ReadAll(fx.FilePath("Config.txt")), before);
    }

    void okErrorsShownAndDialogCloses()
    {
        FormFixture fx;
        QVERIFY(fx.Started());
        WriteLines(fx.FilePath("blocker"), {"x"});
        const QString bad = fx.FilePath("blocker/sub");
        ModalAnswerer answer([&](QWidget *w) {
            if (w == SetupDlg) {
                SetupDlg->EditPath->setText(bad);
                QTest::mouseClick(SetupDlg->OKBtn, Qt::LeftButton);
            } else {
                w->close();
            }
        });
        fx.Form()->Callsign1->trigger();
        QTRY_COMPARE(answer.Texts(), QStringList{"Cannot create " + bad});
        QVERIFY(!SetupDlg->isVisible());
        // Config.txt was written before the folder failed.
        QCOMPARE(SplitTextLines(ReadAll(fx.FilePath("Config.txt"))).value(6), bad);
    }

    void secondInstancePortTaken()
    {
        QTcpServer other;
        QVERIFY(other.listen(QHostAddress(TestListenAddress()), 27222));
        ModalAnswerer answer;
        FormFixture fx;
        QVERIFY(fx.Started());
        QCOMPARE(answer.Count(), 1);
        QCOMPARE(answer.Titles(), QStringList{"Telvoria"});
        QVERIFY(!answer.Texts().value(0).isEmpty());
        QVERIFY(!fx.Form()->SSTVServer->isListening());
        QVERIFY(!fx.Form()->HDSSTVServer->isListening());
        QCOMPARE(fx.Form()->SaveCounter, 0);
        QVERIFY(fx.Form()->isVisible());
    }

    void endingByExitOrClose_data()
    {
        QTest::addColumn<bool>("byExit");
        QTest::newRow("Exit") << true;
        QTest::newRow("close button") << false;
    }
    void endingByExitOrClose()
    {
        QFETCH(bool, byExit);
        FormFixture fx;
        QVERIFY(!fx.Form()->Terminated());
        if (byExit)
            fx.Form()->Exit1->trigger();
        else
            fx.Form()->close();
        QVERIFY(fx.Form()->Terminated());
    }

    void aboutBox()
    {
        FormFixture fx;
        ModalAnswerer answer;
        fx.Form()->About1->trigger();
        QCOMPARE(answer.Titles(), QStringList{"Telvoria Internet SSTV Transceiver V1.8a"});
    }

    void splashHidesAfterThreeSeconds()
    {
        FormFixture fx;
        QVERIFY(Splash1->isVisible());
        QCOMPARE(Splash1->Timer1->interval(), 3000);
        QTRY_VERIFY_WITH_TIMEOUT(!Splash1->isVisible(), 5000);
    }
};

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
