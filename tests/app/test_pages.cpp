// The page buttons, the working picture's commit rules and the view size
// choice, clicked on the real window.
#include "formfixture.h"

#include "app/sstvform.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QtTest>

namespace {
// An edit of the working picture, as the editor makes one.
void Scribble(TSSTVForm *f, const QColor &colour)
{
    QPainter p(&f->Image1);
    p.fillRect(QRect(10, 10, 50, 40), colour);
    p.end();
    f->ReloadLargeView();
}

QColor At(const QImage &img) { return img.pixelColor(20, 20); }
} // namespace

class TestPages : public QObject {
    Q_OBJECT
private slots:
    void txSwitchStoresEdits()
    {
        FormFixture fx;
        TSSTVForm *f = fx.Form();
        Scribble(f, Qt::green);
        QTest::mouseClick(f->TxButtons[1], Qt::LeftButton);
        QCOMPARE(At(f->TxPages[0]), QColor(Qt::green));
        QCOMPARE(f->TxPageIndex, uint8_t(1));
        QVERIFY(f->TxButtons[1]->isChecked() && !f->TxButtons[0]->isChecked());
        QCOMPARE(f->TxButtons[1]->palette().color(QPalette::ButtonText), QColor(Qt::red));
        QCOMPARE(f->TxButtons[0]->palette().color(QPalette::ButtonText), QColor(Qt::black));
        QCOMPARE(At(f->Image1), QColor(Qt::black));
        QTest::mouseClick(f->TxButtons[0], Qt::LeftButton);
        QCOMPARE(At(f->Image1), QColor(Qt::green));
        QCOMPARE(At(f->ImageEnView1->Picture()), QColor(Qt::green));
    }

    void editsOnReceivePageAreLost()
    {
        FormFixture fx;
        TSSTVForm *f = fx.Form();
        f->RxPages[1].fill(Qt::blue);
        Scribble(f, Qt::green);
        QTest::mouseClick(f->RxButtons[1], Qt::LeftButton);
        QCOMPARE(At(f->TxPages[0]), QColor(Qt::green)); // the transmit edits were stored first
        QCOMPARE(At(f->Image1), QColor(Qt::blue));
        QVERIFY(!f->TxPageShown && f->SkipTxCommit);
        QCOMPARE(f->RxButtons[1]->palette().color(QPalette::ButtonText), QColor(Qt::blue));
        for (QToolButton *b : f->TxButtons)
            QVERIFY(!b->isChecked());
        Scribble(f, Qt::yellow);
        QTest::mouseClick(f->RxButtons[2], Qt::LeftButton);
        QCOMPARE(At(f->RxPages[1]), QColor(Qt::blue));
        QTest::mouseClick(f->TxButtons[2], Qt::LeftButton);
        for (const QImage &page : f->TxPages)
            QVERIFY(At(page) != QColor(Qt::yellow));
        for (const QImage &page : f->RxPages)
            QVERIFY(At(page) != QColor(Qt::yellow));
        QVERIFY(!f->RxButtons[2]->isChecked());
    }

    void sendButtonsAndLoadItemsFollowTheView()
    {
        FormFixture fx;
        TSSTVForm *f = fx.Form();
        QTest::mouseClick(f->RxButtons[0], Qt::LeftButton);
        QVERIFY(!f->SendTo->isEnabled() && !f->SendToRX->isEnabled() && !f->SendToIP->isEnabled());
        QVERIFY(!f->LoadPict1->isEnabled() && !f->LoadThumbs1->isEnabled());

        struct Case { bool station, lastRx; };
        for (const Case c : {Case{false, false}, Case{true, false}, Case{false, true}, Case{true, true}}) {
            f->StationSelected = c.station;
            f->LastRxKnown = c.lastRx;
            QTest::mouseClick(f->TxButtons[3], Qt::LeftButton);
            QCOMPARE(f->SendTo->isEnabled(), c.station);
            QCOMPARE(f->SendToRX->isEnabled(), c.lastRx);
            QVERIFY(f->SendToIP->isEnabled());
            QVERIFY(f->LoadPict1->isEnabled() && f->LoadThumbs1->isEnabled());
            QTest::mouseClick(f->RxButtons[0], Qt::LeftButton);
        }
    }

    void clickOnDownButtonPutsItUp()
    {
        FormFixture fx;
        TSSTVForm *f = fx.Form();
        Scribble(f, Qt::green);
        QTest::mouseClick(f->TxButtons[0], Qt::LeftButton);
        QVERIFY(!f->TxButtons[0]->isChecked());
        QCOMPARE(f->TxPageIndex, uint8_t(0));
        QVERIFY(f->TxPageShown);
        QCOMPARE(At(f->Image1), QColor(Qt::green));
        QTest::mouseClick(f->RxButtons[3], Qt::LeftButton);
        QTest::mouseClick(f->RxButtons[3], Qt::LeftButton);
        for (QToolButton *b : f->RxButtons)
            QVERIFY(!b->isChecked());
    }

    void smallAndLargeView()
    {
        FormFixture fx;
        TSSTVForm *f = fx.Form();
        Scribble(f, Qt::red);
        QTest::mouseClick(f->SmallPic, Qt::LeftButton);
        QCOMPARE(f->SizeLabel->text(), QString("320 by 256 Pixels"));
        QVERIFY(f->ImageEnView2->isVisible() && !f->ImageEnView1->isVisible());
        QCOMPARE(f->Image3.size(), QSize(320, 256));
        QCOMPARE(f->ImageEnView2->Picture().pixelColor(15, 15), QColor(Qt::red)); // scaled by 0.625
        QVERIFY(!f->Edit1->isEnabled());
        QVERIFY(f->ImageMenu->isEnabled() && f->TestCards1->isEnabled() && f->Text1->isEnabled());
        f->SmallZoomed = true;
        f->UpdateViewSize();
        QVERIFY(!f->ImageMenu->isEnabled() && !f->TestCards1->isEnabled() && !f->Text1->isEnabled());
        QVERIFY(f->Draw1->isEnabled());

        QTest::mouseClick(f->RadioButton3, Qt::LeftButton);
        QCOMPARE(f->SizeLabel->text(), QString("512 by 384 Pixels"));
        QVERIFY(f->ImageEnView1->isVisible() && !f->ImageEnView2->isVisible());
        QVERIFY(f->Edit1->isEnabled() && f->ImageMenu->isEnabled());
        f->LargeZoomed = true;
        f->UpdateViewSize();
        for (QMenu *m : {f->Edit1, f->ImageMenu, f->TestCards1, f->Text1})
            QVERIFY(!m->isEnabled());
        QVERIFY(f->Draw1->isEnabled());
    }

    void fitPageStretches()
    {
        FormFixture fx;
        TSSTVForm *f = fx.Form();
        QImage small(320, 256, QImage::Format_RGB888);
        small.fill(Qt::black);
        QPainter(&small).fillRect(QRect(160, 0, 160, 256), Qt::white);
        f->RxPages[0] = small;
        f->FitPageToWorkingPicture(f->RxPages[0]);
        QCOMPARE(f->RxPages[0].size(), QSize(512, 384));
        QCOMPARE(f->RxPages[0], f->Image1);
        QCOMPARE(f->Image1.pixelColor(200, 200), QColor(Qt::black));
        QCOMPARE(f->Image1.pixelColor(300, 200), QColor(Qt::white));
        QCOMPARE(f->Image1.pixelColor(511, 383), QColor(Qt::white));
    }
};

QTEST_MAIN(TestPages)
#include "test_pages.moc"
