// The editor on the real window: the start card, the Cards and Text menus and
// the drawing tools, driven with mouse events on the large view.
#include "formfixture.h"

#include "app/setupdlg.h"
#include "app/sstvform.h"
#include "editor/addtext.h"
#include "editor/canvas.h"
#include "editor/cards.h"
#include "editor/setpen.h"

#include <QAction>
#include <QCheckBox>
#include <QColorDialog>
#include <QFontDialog>
#include <QPushButton>
#include <QLineEdit>
#include <QSpinBox>
#include <QToolButton>
#include <QtTest>

namespace {
QImage ReferenceCard(const QString &call, int penWidth = 1)
{
    QImage img(512, 384, QImage::Format_RGB888);
    img.fill(Qt::black);
    TCanvas c(&img);
    c.SetPenWidth(penWidth);
    DrawTestCard(c, call);
    AddGreyScaleStrip(c);
    return img;
}

TCanvasFont DefaultTextFont()
{
    TCanvasFont f;
    f.Name = QStringLiteral("Arial");
    f.Bold = true;
    f.Size = 24;
    f.Colour = QColor(0, 0, 255);
    return f;
}

// Pixels that differ between two pictures of the same size.
QList<QPoint> Changed(const QImage &a, const QImage &b)
{
    QList<QPoint> out;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                out << QPoint(x, y);
    return out;
}

void Press(TSSTVForm *f, QPoint p) { QTest::mousePress(f->ImageEnView1, Qt::LeftButton, {}, p); }
void Move(TSSTVForm *f, QPoint p) { QTest::mouseMove(f->ImageEnView1, p); }
void Release(TSSTVForm *f, QPoint p) { QTest::mouseRelease(f->ImageEnView1, Qt::LeftButton, {}, p); }

void Drag(TSSTVForm *f, QPoint from, QPoint to)
{
    Press(f, from);
    Move(f, (from + to) / 2);
    Move(f, to);
    Release(f, to);
}

void ResetPicture(TSSTVForm *f, const QImage &picture)
{
    f->Image1 = picture;
    f->ReloadLargeView();
}

// Answers the Add Text dialog with a text and the background choice.
ModalAnswerer *ArmText(const QString &text, bool clear)
{
    return new ModalAnswerer([text, clear](QWidget *w) {
        if (auto *d = qobject_cast<TAddText *>(w)) {
            d->Edit1->setText(text);
            d->CheckBox1->setChecked(clear);
            d->accept();
        }
    });
}
} // namespace

class TestEditorForm : public QObject {
    Q_OBJECT
private slots:
    void startCardOnTransmitPage1();
    void cardsUseTheStoredPenAndCommit();
    void headerAndFooterDefaults();
    void callsignIsYellowOnBlue();
    void freeText_data();
    void freeText();
    void addTextWithoutOkArmsNothing();
    void addTextDialogChoices();
    void toolChecksAndCursor();
    void shapeDragDirection_data();
    void shapeDragDirection();
    void rubberBandModeFollowsDialogColour_data();
    void rubberBandModeFollowsDialogColour();
    void pressReleaseWithoutMove();
    void freeHandReachesPageOnlyOnCommit();
};

void TestEditorForm::startCardOnTransmitPage1()
{
    FormFixture fx;
    TSSTVForm *f = fx.Form();
    QVERIFY(fx.Started());
    const QImage ref = ReferenceCard(QStringLiteral("TEST1"));
    QCOMPARE(f->TxPages[0], ref);
    QCOMPARE(f->Image1, ref);
    QCOMPARE(f->ImageEnView1->Picture(), ref);
    QCOMPARE(QByteArray(f->CallsignBuf), QByteArray("TEST1"));
    // The card leaves a white 4-pixel pen for what follows.
    QCOMPARE(f->Canvas().PenWidth(), 4);
    QCOMPARE(f->Canvas().PenColour(), QColor(255, 255, 255));
    for (QAction *a : {f->Test1, f->GreyScale1, f->ResolutionBars1, f->ColourBars1, f->AddGreyscale1})
        QVERIFY(a->isEnabled());
}

void TestEditorForm::cardsUseTheStoredPenAndCommit()
{
    FormFixture fx;
    TSSTVForm *f = fx.Form();
    // The grey scale after the test card is drawn with its 4-pixel pen,
    // which reaches the last row.
    f->GreyScale1->trigger();
    QCOMPARE(f->Image1.pixelColor(100, 383), QColor(51, 51, 51));
    QCOMPARE(f->TxPages[0], f->Image1);

    f->ColourBars1->trigger();
    QCOMPARE(f->TxPages[0].pixelColor(5, 383), QColor(255, 255, 255));
    QCOMPARE(f->Canvas().PenWidth(), 4);

    // The test card reads the callsign box at the moment of the command; its
    // grey field now has the 4-pixel outline.
    SetupDlg->EditCall->setText(QStringLiteral("QZB"));
    f->Test1->trigger();
    QCOMPARE(QByteArray(f->CallsignBuf), QByteArray("QZB"));
    QCOMPARE(f->TxPages[0], ReferenceCard(QStringLiteral("QZB"), 4));

    // The strip goes over whatever is there, and is committed.
    f->ColourBars1->trigger();
    f->AddGreyscale1->trigger();
    QCOMPARE(f->TxPages[0].pixelColor(40, 24), QColor(17, 17, 17));
    QCOMPARE(f->TxPages[0].pixelColor(40, 25), QColor(255, 255, 255));
}

void TestEditorForm::headerAndFooterDefaults()
{
    FormFixture fx; // header " Header", footer " Footer"
    TSSTVForm *f = fx.Form();
    const QImage before = f->Image1;
    const TCanvasFont font = DefaultTextFont();
    const QColor yellow(255, 255, 0);

    f->AddHeader1->trigger();
    const QRect header(QPoint(0, 0), TextCellSize(QStringLiteral(" Header"), font));
    QVERIFY(header.height() >= 32);
    int letters = 0;
    for (const QPoint &p : Changed(before, f->Image1)) {
        QVERIFY(header.contains(p));
        const QColor c = f->Image1.pixelColor(p);
        QVERIFY(c == yellow || c == font.Colour);
        letters += c == font.Colour;
    }
    QVERIFY(letters > 50);
    QCOMPARE(f->Image1.pixelColor(1, 1), yellow);
    QCOMPARE(f->Canvas().Font(), font);
    QCOMPARE(f->TxPages[0], before); // shown, not stored

    // The footer's cell starts at row 350 and is cut at the bottom edge.
    f->AddFooter1->trigger();
    QCOMPARE(f->Image1.pixelColor(1, 350), yellow);
    QCOMPARE(f->Image1.pixelColor(1, 383), yellow);
    QCOMPARE(f->Image1.pixelColor(1, 349), before.pixelColor(1, 349));
    QCOMPARE(f->ImageEnView1->Picture(), f->Image1);
}

void TestEditorForm::callsignIsYellowOnBlue()
{
    FormFixture fx;
    TSSTVForm *f = fx.Form();
    f->Canvas().SetBrushStyle(TBrushStyle::Clear);
    f->AddCallsign1->trigger();
    QCOMPARE(f->Image1.pixelColor(0, 0), QColor(0, 0, 255));
    QCOMPARE(f->Canvas().Font().Size, 16);
    QCOMPARE(f->Canvas().Font().Colour, QColor(255, 255, 0));
    QCOMPARE(f->Canvas().BrushStyle(), TBrushStyle::Solid);
    bool yellow = false;
    for (int y = 0; y < 25; ++y)
        for (int x = 0; x < 60; ++x)
            yellow = yellow || f->Image1.pixelColor(x, y) == QColor(255, 255, 0);
    QVERIFY(yellow);
}

void TestEditorForm::freeText_data()
{
    QTest::addColumn<bool>("clear");
    QTest::newRow("clear background") << true;
    QTest::newRow("solid background") << false;
}

void TestEditorForm::freeText()
{
    QFETCH(bool, clear);
    FormFixture fx;
    TSSTVForm *f = fx.Form();
    const QImage before = f->Image1;
    {
        std::unique_ptr<ModalAnswerer> answer(ArmText(QStringLiteral("Hi"), clear));
        f->AddText1->trigger();
    }
    QVERIFY(f->TextPending);
    const TCanvasFont font = DefaultTextFont();
    const QSize cell = TextCellSize(QStringLiteral("Hi"), font);

    // The preview follows the pointer on the view only, without trails.
    const QPoint first(100, 150), second(300, 300);
    Move(f, first);
    QCOMPARE(f->LastPointerX, 100);
    QImage shown = f->ImageEnView1->grab().toImage().convertToFormat(QImage::Format_RGB888);
    QVERIFY(!Changed(before, shown.copy(0, 0, 512, 384)).isEmpty());
    Move(f, second);
    shown = f->ImageEnView1->grab().toImage().convertToFormat(QImage::Format_RGB888);
    QCOMPARE(shown.copy(QRect(first, cell)), before.copy(QRect(first, cell)));
    QVERIFY(shown.copy(QRect(second, cell)) != before.copy(QRect(second, cell)));
    QCOMPARE(f->Image1, before);

    Press(f, first);
    Release(f, first);
    QVERIFY(!f->TextPending);
    const QRect r(first, cell);
    const QList<QPoint> changed = Changed(before, f->Image1);
    QVERIFY(changed.size() > 20);
    for (const QPoint &p : changed) {
        QVERIFY(r.contains(p));
        if (clear)
            QCOMPARE(f->Image1.pixelColor(p), font.Colour);
    }
    if (!clear)
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x) {
                const QColor c = f->Image1.pixelColor(x, y);
                QVERIFY(c == font.Colour || c == QColor(255, 255, 0));
            }

    // Placed text is not in the page until a commit; a second press writes nothing.
    QCOMPARE(f->TxPages[0], before);
    const QImage placed = f->Image1;
    Press(f, second);
    Release(f, second);
    QCOMPARE(f->Image1, placed);
    QTest::mouseClick(f->TxButtons[1], Qt::LeftButton);
    QCOMPARE(f->TxPages[0], placed);
}

void TestEditorForm::addTextWithoutOkArmsNothing()
{
    FormFixture fx;
    TSSTVForm *f = fx.Form();
    f->FreeHand1->trigger();
    {
        ModalAnswerer closeIt; // Esc
        f->AddText1->trigger();
        QCOMPARE(closeIt.Count(), 1);
    }
    QVERIFY(!f->TextPending);
    QVERIFY(!f->FreeHand1->isChecked()); // Add Text stops free-hand drawing
    const QImage before = f->Image1;
    Press(f, QPoint(50, 50));
    Move(f, QPoint(90, 90));
    Release(f, QPoint(90, 90));
    QCOMPARE(f->Image1, before);
}

void TestEditorForm::addTextDialogChoices()
{
    FormFixture fx;
    QCOMPARE(AddText->windowTitle(), QStringLiteral("AddText"));
    QCOMPARE(AddText->CheckBox1->text(), QStringLiteral("    CLEAR BACKGROUND"));
    QVERIFY(!AddText->ClearBackground());
    QCOMPARE(AddText->TextFont(), DefaultTextFont());
    QCOMPARE(AddText->BackgroundColour(), QColor(255, 255, 0));
    QCOMPARE(AddText->Edit1->font().pixelSize(), 32);
    // The font dialog offers a colour for the font as well.
    bool colourButton = false;
    for (QPushButton *b : AddText->FontDialog1->findChildren<QPushButton *>())
        colourButton = colourButton || b->text() == QStringLiteral("Colour...");
    QVERIFY(colourButton);

    QFont chosen(QStringLiteral("Liberation Serif"), 12);
    chosen.setItalic(true);
    {
        ModalAnswerer pick([&](QWidget *w) {
            if (auto *d = qobject_cast<QFontDialog *>(w)) {
                d->setCurrentFont(chosen);
                d->accept();
            }
        });
        AddText->Button1Click();
    }
    TCanvasFont font = AddText->TextFont();
    QCOMPARE(font.Size, 12);
    QVERIFY(font.Italic && !font.Bold);
    QCOMPARE(font.Colour, QColor(0, 0, 0)); // the dialog's own colour goes with its font
    QCOMPARE(AddText->Edit1->font().pixelSize(), 16);
    // The dialog opens with its own last choice; cancelling changes nothing.
    int openedAt = 0;
    {
        ModalAnswerer cancel([&](QWidget *w) {
            if (auto *d = qobject_cast<QFontDialog *>(w)) {
                openedAt = d->currentFont().pointSize();
                d->reject();
            }
        });
        AddText->Button1Click();
    }
    QCOMPARE(openedAt, 12);
    QCOMPARE(AddText->TextFont(), font);

    {
        ModalAnswerer red([](QWidget *w) {
            if (auto *d = qobject_cast<QColorDialog *>(w)) {
                d->setCurrentColor(QColor(255, 0, 0));
                d->accept();
            }
        });
        AddText->Button2Click();
    }
    QCOMPARE(AddText->BackgroundColour(), QColor(255, 0, 0));
    {
        ModalAnswerer cancel; // Esc
        AddText->Button2Click();
    }
    QCOMPARE(AddText->BackgroundColour(), QColor(255, 0, 0));
}

void TestEditorForm::toolChecksAndCursor()
{
    FormFixture fx;
    TSSTVForm *f = fx.Form();
    QAction *tools[] = {f->FreeHand1, f->Line1, f->Rectangle1, f->Circle1};
    for (QAction *t : tools)
        QVERIFY(t->isEnabled() && t->isCheckable() && !t->isChecked());
    QVERIFY(f->SetPen1->isEnabled());
    f->Line1->trigger();
    QVERIFY(f->Line1->isChecked());
    QCOMPARE(f->ImageEnView1->cursor().shape(), Qt::CrossCursor);
    f->Rectangle1->trigger();
    QVERIFY(f->Rectangle1->isChecked() && !f->Line1->isChecked());
    f->Rectangle1->trigger();
    for (QAction *t : tools)
        QVERIFY(!t->isChecked());
    QVERIFY(!f->ImageEnView1->testAttribute(Qt::WA_SetCursor));

    // Set Pen copies the dialog's values into the pen; a box left without a
    // number reads as 1.
    {
        ModalAnswerer ok([](QWidget *w) {
            if (auto *d = qobject_cast<TSetPen *>(w))
                d->accept();
        });
        f->SetPen1->trigger();
    }
    QCOMPARE(f->Canvas().PenWidth(), 3);
    QCOMPARE(f->Canvas().PenColour(), QColor(0, 0, 0));
    SetPen->Thickness->findChild<QLineEdit *>()->setText(QString());
    QCOMPARE(SetPen->ThicknessValue(), 1);
    QCOMPARE(SetPen->Thickness->text(), QStringLiteral("1"));
}

void TestEditorForm::shapeDragDirection_data()
{
    QTest::addColumn<QString>("tool");
    QTest::newRow("rectangle") << "rectangle";
    QTest::newRow("circle") << "circle";
    QTest::newRow("line") << "line";
}

void TestEditorForm::shapeDragDirection()
{
    QFETCH(QString, tool);
    FormFixture fx;
    TSSTVForm *f = fx.Form();
    QAction *item = tool == "rectangle" ? f->Rectangle1 : tool == "circle" ? f->Circle1 : f->Line1;
    item->trigger();
    const QImage card = f->Image1;
    const QPoint a(100, 100), b(200, 180);

    // Before Set Pen, the white pen in NOT-XOR mode shows no outline at all.
    Press(f, a);
    Move(f, b);
    QCOMPARE(f->Image1, card);
    QVERIFY(f->RubberBandActive && f->PenDown);
    Release(f, b);
    QVERIFY(!f->RubberBandActive && !f->PenDown);
    const QImage downRight = f->Image1;
    QVERIFY(downRight != card);
    QCOMPARE(f->TxPages[0], card); // not stored

    ResetPicture(f, card);
    Drag(f, b, a);
    const QImage upLeft = f->Image1;
    if (tool != "line") {
        QCOMPARE(upLeft, downRight);
    } else {
        // A line keeps its direction: only the excluded end pixel differs.
        QVERIFY(Changed(upLeft, downRight).size() <= 6);
    }
    // Drawn for good with the dialog's pen: black, 3 pixels wide.
    if (tool == "rectangle") {
        for (int x : {99, 100, 101})
            QCOMPARE(downRight.pixelColor(x, 140), QColor(0, 0, 0));
        QCOMPARE(downRight.pixelColor(150, 140), card.pixelColor(150, 140)); // outline only
    }

    // Now with the black 3-pixel pen, the rubber band shows as inverted
    // pixels and drawing it twice restores the picture.
    ResetPicture(f, card);
    Press(f, a);
    Move(f, QPoint(160, 150));
    const QList<QPoint> outline = Changed(card, f->Image1);
    QVERIFY(!outline.isEmpty());
    for (const QPoint &p : outline)
        QCOMPARE(f->Image1.pixel(p) & 0xFFFFFF, ~card.pixel(p) & 0xFFFFFF);
    Move(f, b);
    Release(f, b);
    QCOMPARE(f->Image1, downRight);
}

void TestEditorForm::rubberBandModeFollowsDialogColour_data()
{
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<bool>("notXor");
    QTest::newRow("black") << QColor(0, 0, 0) << true;
    QTest::newRow("white") << QColor(255, 255, 255) << false;
    QTest::newRow("bright, little blue") << QColor(255, 255, 100) << true;
}

void TestEditorForm::rubberBandModeFollowsDialogColour()
{
    QFETCH(QColor, colour);
    QFETCH(bool, notXor);
    FormFixture fx;
    TSSTVForm *f = fx.Form();
    {
        ModalAnswerer pick([&](QWidget *w) {
            if (auto *d = qobject_cast<QColorDialog *>(w)) {
                d->setCurrentColor(colour);
                d->accept();
            } else if (auto *d = qobject_cast<TSetPen *>(w)) {
                d->Button1Click();
                d->accept();
            }
        });
        f->SetPen1->trigger();
    }
    QCOMPARE(f->Canvas().PenColour(), colour);
    f->Rectangle1->trigger();
    const QImage card = f->Image1;
    Press(f, QPoint(100, 100));
    Move(f, QPoint(200, 180));
    QCOMPARE(f->Canvas().PenMode(), notXor ? TPenMode::NotXor : TPenMode::Xor);
    QCOMPARE(f->Canvas().BrushStyle(), TBrushStyle::Clear);
    const QList<QPoint> outline = Changed(card, f->Image1);
    QVERIFY(!outline.isEmpty());
    if (colour.blue() == 0 || colour.blue() == 255) // black and white pens show inverted pixels
        for (const QPoint &p : outline)
            QCOMPARE(f->Image1.pixel(p) & 0xFFFFFF, ~card.pixel(p) & 0xFFFFFF);
    Release(f, QPoint(200, 180));
    QCOMPARE(f->Image1.pixelColor(100, 140), colour);
    QCOMPARE(f->Canvas().PenMode(), TPenMode::Copy);
}

void TestEditorForm::pressReleaseWithoutMove()
{
    FormFixture fx;
    TSSTVForm *f = fx.Form();
    f->Line1->trigger();
    const QImage card = f->Image1;
    Press(f, QPoint(50, 50));
    Release(f, QPoint(50, 50));
    QCOMPARE(f->Image1, card); // the end pixel of a line is excluded
    QVERIFY(!f->PenDown && !f->RubberBandActive);
    // The dialog's pen took over on release.
    QCOMPARE(f->Canvas().PenWidth(), 3);
    QCOMPARE(f->Canvas().PenMode(), TPenMode::Copy);
}

void TestEditorForm::freeHandReachesPageOnlyOnCommit()
{
    FormFixture fx;
    TSSTVForm *f = fx.Form();
    f->FreeHand1->trigger();
    const QImage card = f->Image1;
    // A stroke over the black square: white and 4 pixels wide after start-up.
    Press(f, QPoint(75, 242));
    QCOMPARE(f->Image1, card); // a press alone draws nothing
    Move(f, QPoint(95, 242));
    Move(f, QPoint(115, 242));
    Release(f, QPoint(115, 242));
    for (int y = 240; y <= 243; ++y)
        QCOMPARE(f->Image1.pixelColor(95, y), QColor(255, 255, 255));
    QCOMPARE(f->Image1.pixelColor(95, 239), QColor(0, 0, 0));
    QCOMPARE(f->Image1.pixelColor(95, 244), QColor(0, 0, 0));
    QCOMPARE(f->ImageEnView1->Picture(), f->Image1);
    QVERIFY(!f->PenDown);
    // Moves after the release draw nothing.
    const QImage drawn = f->Image1;
    Move(f, QPoint(115, 300));
    QCOMPARE(f->Image1, drawn);

    QCOMPARE(f->TxPages[0], card);
    QTest::mouseClick(f->TxButtons[1], Qt::LeftButton);
    QCOMPARE(f->TxPages[0], drawn);
}

QTEST_MAIN(TestEditorForm)
#include "test_editor_form.moc"
