// The drawing model's pixel rules, probed on chosen pixels.
#include "editor/canvas.h"

#include <QPainter>
#include <QTest>

namespace {
const QColor kOld(10, 20, 30);
const QColor kPen(200, 0, 0);
const QColor kBrush(0, 0, 200);

QImage Blank()
{
    QImage img(64, 48, QImage::Format_RGB888);
    img.fill(kOld);
    return img;
}

// A picture where neighbouring pixels differ, so XOR damage shows anywhere.
QImage Pattern()
{
    QImage img(64, 48, QImage::Format_RGB888);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            img.setPixelColor(x, y, QColor((x * 37) & 255, (y * 53) & 255, (x * y) & 255));
    return img;
}

enum Op { Fill, Rect, Ell, Line };
} // namespace

class TestCanvas : public QObject {
    Q_OBJECT
private slots:
    void pixelRules_data();
    void pixelRules();
    void xorTwiceRestores_data();
    void xorTwiceRestores();
    void modesPerPixel();
    void brushCouplings();
    void fontSizesAt96();
    void textCell();
    void farCoordinatesAreClipped();
};

void TestCanvas::pixelRules_data()
{
    QTest::addColumn<int>("op");
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("clearBrush");
    QTest::addColumn<QRect>("coords"); // x1, y1 as the top-left, x2, y2 as the bottom-right
    QTest::addColumn<QPoint>("probe");
    QTest::addColumn<QString>("expect"); // pen, brush or old

    const QRect box(QPoint(10, 10), QPoint(20, 15));
    QTest::newRow("fill first pixel") << int(Fill) << 1 << false << box << QPoint(10, 10) << "brush";
    QTest::newRow("fill last pixel") << int(Fill) << 1 << false << box << QPoint(19, 14) << "brush";
    QTest::newRow("fill right edge open") << int(Fill) << 1 << false << box << QPoint(20, 14) << "old";
    QTest::newRow("fill bottom edge open") << int(Fill) << 1 << false << box << QPoint(19, 15) << "old";
    QTest::newRow("fill reversed is empty") << int(Fill) << 1 << false << QRect(QPoint(20, 15), QPoint(10, 10))
                                            << QPoint(15, 12) << "old";
    QTest::newRow("fill clear brush") << int(Fill) << 1 << true << box << QPoint(15, 12) << "old";

    QTest::newRow("rect1 top-left") << int(Rect) << 1 << false << box << QPoint(10, 10) << "pen";
    QTest::newRow("rect1 bottom-right") << int(Rect) << 1 << false << box << QPoint(19, 14) << "pen";
    QTest::newRow("rect1 right edge") << int(Rect) << 1 << false << box << QPoint(19, 12) << "pen";
    QTest::newRow("rect1 inside top-left") << int(Rect) << 1 << false << box << QPoint(11, 11) << "brush";
    QTest::newRow("rect1 inside bottom-right") << int(Rect) << 1 << false << box << QPoint(18, 13) << "brush";
    QTest::newRow("rect1 past right") << int(Rect) << 1 << false << box << QPoint(20, 12) << "old";
    QTest::newRow("rect1 past bottom") << int(Rect) << 1 << false << box << QPoint(12, 15) << "old";
    QTest::newRow("rect1 before left") << int(Rect) << 1 << false << box << QPoint(9, 12) << "old";
    QTest::newRow("rect1 reversed corners") << int(Rect) << 1 << false << QRect(QPoint(20, 15), QPoint(10, 10))
                                            << QPoint(19, 14) << "pen";
    QTest::newRow("rect1 clear brush inside") << int(Rect) << 1 << true << box << QPoint(15, 12) << "old";
    QTest::newRow("rect1 clear brush edge") << int(Rect) << 1 << true << box << QPoint(10, 12) << "pen";

    const QRect big(QPoint(10, 10), QPoint(30, 30));
    QTest::newRow("rect4 left outside 2") << int(Rect) << 4 << false << big << QPoint(8, 20) << "pen";
    QTest::newRow("rect4 left outside 3") << int(Rect) << 4 << false << big << QPoint(7, 20) << "old";
    QTest::newRow("rect4 left inside 2") << int(Rect) << 4 << false << big << QPoint(11, 20) << "pen";
    QTest::newRow("rect4 left inside 3") << int(Rect) << 4 << false << big << QPoint(12, 20) << "brush";
    QTest::newRow("rect4 right inside 2") << int(Rect) << 4 << false << big << QPoint(28, 20) << "pen";
    QTest::newRow("rect4 right inside 3") << int(Rect) << 4 << false << big << QPoint(27, 20) << "brush";
    QTest::newRow("rect4 right outside 2") << int(Rect) << 4 << false << big << QPoint(31, 20) << "pen";
    QTest::newRow("rect4 right outside 3") << int(Rect) << 4 << false << big << QPoint(32, 20) << "old";
    QTest::newRow("rect4 top outside 2") << int(Rect) << 4 << false << big << QPoint(20, 8) << "pen";
    QTest::newRow("rect4 top outside 3") << int(Rect) << 4 << false << big << QPoint(20, 7) << "old";
    QTest::newRow("rect4 bottom outside 2") << int(Rect) << 4 << false << big << QPoint(20, 31) << "pen";
    QTest::newRow("rect4 bottom outside 3") << int(Rect) << 4 << false << big << QPoint(20, 32) << "old";
    QTest::newRow("rect4 point box draws nothing") << int(Rect) << 4 << false << QRect(QPoint(20, 20), QPoint(20, 20))
                                                   << QPoint(20, 20) << "old";
    QTest::newRow("rect4 flat box draws nothing") << int(Rect) << 4 << false << QRect(QPoint(10, 20), QPoint(30, 20))
                                                  << QPoint(20, 20) << "old";
    QTest::newRow("rect4 outer corner") << int(Rect) << 4 << false << big << QPoint(8, 8) << "pen";

    const QRect oval(QPoint(10, 10), QPoint(31, 21));
    QTest::newRow("ellipse1 left") << int(Ell) << 1 << false << oval << QPoint(10, 15) << "pen";
    QTest::newRow("ellipse1 right") << int(Ell) << 1 << false << oval << QPoint(30, 15) << "pen";
    QTest::newRow("ellipse1 top") << int(Ell) << 1 << false << oval << QPoint(20, 10) << "pen";
    QTest::newRow("ellipse1 bottom") << int(Ell) << 1 << false << oval << QPoint(20, 20) << "pen";
    QTest::newRow("ellipse1 centre") << int(Ell) << 1 << false << oval << QPoint(20, 15) << "brush";
    QTest::newRow("ellipse1 box corner") << int(Ell) << 1 << false << oval << QPoint(10, 10) << "old";
    QTest::newRow("ellipse1 past right") << int(Ell) << 1 << false << oval << QPoint(31, 15) << "old";
    QTest::newRow("ellipse4 point box draws nothing") << int(Ell) << 4 << false << QRect(QPoint(20, 20), QPoint(20, 20))
                                                      << QPoint(20, 20) << "old";
    QTest::newRow("ellipse clear centre") << int(Ell) << 1 << true << oval << QPoint(20, 15) << "old";

    const QRect hline(QPoint(10, 10), QPoint(20, 10));
    QTest::newRow("line start pixel") << int(Line) << 1 << false << hline << QPoint(10, 10) << "pen";
    QTest::newRow("line before end") << int(Line) << 1 << false << hline << QPoint(19, 10) << "pen";
    QTest::newRow("line end excluded") << int(Line) << 1 << false << hline << QPoint(20, 10) << "old";
    const QRect vline(QPoint(10, 20), QPoint(10, 10));
    QTest::newRow("upward line before end") << int(Line) << 1 << false << vline << QPoint(10, 11) << "pen";
    QTest::newRow("upward line end excluded") << int(Line) << 1 << false << vline << QPoint(10, 10) << "old";
    const QRect diag(QPoint(10, 10), QPoint(15, 15));
    QTest::newRow("diagonal before end") << int(Line) << 1 << false << diag << QPoint(14, 14) << "pen";
    QTest::newRow("diagonal end excluded") << int(Line) << 1 << false << diag << QPoint(15, 15) << "old";
    QTest::newRow("line4 row above") << int(Line) << 4 << false << hline << QPoint(15, 8) << "pen";
    QTest::newRow("line4 row below") << int(Line) << 4 << false << hline << QPoint(15, 11) << "pen";
    QTest::newRow("line4 four rows only") << int(Line) << 4 << false << hline << QPoint(15, 12) << "old";
    QTest::newRow("line4 zero length") << int(Line) << 4 << false << QRect(QPoint(10, 10), QPoint(10, 10))
                                       << QPoint(10, 10) << "old";
}

void TestCanvas::pixelRules()
{
    QFETCH(int, op);
    QFETCH(int, width);
    QFETCH(bool, clearBrush);
    QFETCH(QRect, coords);
    QFETCH(QPoint, probe);
    QFETCH(QString, expect);

    QImage img = Blank();
    TCanvas c(&img);
    c.SetPenColour(kPen);
    c.SetPenWidth(width);
    c.SetBrushColour(kBrush);
    if (clearBrush)
        c.SetBrushStyle(TBrushStyle::Clear);
    // QRect keeps the corners as given, so reversed corners stay reversed.
    const int x1 = coords.left(), y1 = coords.top(), x2 = coords.right(), y2 = coords.bottom();
    switch (op) {
    case Fill: c.FillRect(x1, y1, x2, y2); break;
    case Rect: c.Rectangle(x1, y1, x2, y2); break;
    case Ell: c.Ellipse(x1, y1, x2, y2); break;
    case Line:
        c.MoveTo(x1, y1);
        c.LineTo(x2, y2);
        QCOMPARE(c.PenPos(), QPoint(x2, y2));
        break;
    }
    const QColor want = expect == "pen" ? kPen : expect == "brush" ? (clearBrush ? kOld : kBrush) : kOld;
    QCOMPARE(img.pixelColor(probe), want);
}

void TestCanvas::xorTwiceRestores_data()
{
    QTest::addColumn<int>("op");
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("notXor");
    for (int op : {int(Rect), int(Ell), int(Line)})
        for (int w : {1, 4, 7})
            for (bool nx : {false, true})
                QTest::addRow("op%d w%d %s", op, w, nx ? "notxor" : "xor") << op << w << nx;
}

void TestCanvas::xorTwiceRestores()
{
    QFETCH(int, op);
    QFETCH(int, width);
    QFETCH(bool, notXor);
    const QImage original = Pattern();
    QImage img = original;
    TCanvas c(&img);
    c.SetPenColour(notXor ? QColor(0, 0, 0) : QColor(255, 255, 255));
    c.SetPenWidth(width);
    c.SetPenMode(notXor ? TPenMode::NotXor : TPenMode::Xor);
    c.SetBrushStyle(TBrushStyle::Clear);
    auto draw = [&] {
        // Partly outside the picture, corners reversed.
        switch (op) {
        case Rect: c.Rectangle(50, 40, -5, 3); break;
        case Ell: c.Ellipse(50, 40, -5, 3); break;
        default: c.MoveTo(50, 40); c.LineTo(-5, 3); break;
        }
    };
    draw();
    QVERIFY(img != original);
    // Each changed pixel was inverted exactly once.
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixel(x, y) != original.pixel(x, y))
                QCOMPARE(img.pixel(x, y) & 0xFFFFFF, ~original.pixel(x, y) & 0xFFFFFF);
    draw();
    QCOMPARE(img, original);
}

void TestCanvas::modesPerPixel()
{
    QImage img = Blank();
    TCanvas c(&img);
    c.SetPenColour(QColor(0x0F, 0xF0, 0x55));
    c.MoveTo(0, 0);
    c.SetPenMode(TPenMode::Xor);
    c.LineTo(1, 0);
    QCOMPARE(img.pixelColor(0, 0), QColor(10 ^ 0x0F, 20 ^ 0xF0, 30 ^ 0x55));
    c.SetPenMode(TPenMode::NotXor);
    c.MoveTo(0, 1);
    c.LineTo(1, 1);
    QCOMPARE(img.pixelColor(0, 1), QColor(255 - (10 ^ 0x0F), 255 - (20 ^ 0xF0), 255 - (30 ^ 0x55)));
    // A white pen in NOT-XOR leaves pixels as they are.
    c.SetPenColour(Qt::white);
    c.MoveTo(0, 2);
    c.LineTo(5, 2);
    QCOMPARE(img.pixelColor(2, 2), kOld);
}

void TestCanvas::brushCouplings()
{
    QImage img = Blank();
    TCanvas c(&img);
    QCOMPARE(c.BrushStyle(), TBrushStyle::Solid);
    QCOMPARE(c.BrushColour(), QColor(255, 255, 255));
    QCOMPARE(c.PenColour(), QColor(255, 255, 255));
    QCOMPARE(c.PenWidth(), 1);
    c.SetBrushColour(kBrush);
    c.SetBrushStyle(TBrushStyle::Clear);
    QCOMPARE(c.BrushColour(), QColor(255, 255, 255));
    c.SetBrushColour(kBrush);
    QCOMPARE(c.BrushStyle(), TBrushStyle::Solid);
    QCOMPARE(c.BrushColour(), kBrush);
    // Making a solid brush solid again keeps its colour.
    c.SetBrushStyle(TBrushStyle::Solid);
    QCOMPARE(c.BrushColour(), kBrush);
}

void TestCanvas::fontSizesAt96()
{
    QCOMPARE(TCanvasFont::PointsToPixels(8), 11);
    QCOMPARE(TCanvasFont::PointsToPixels(16), 21);
    QCOMPARE(TCanvasFont::PointsToPixels(20), 27);
    QCOMPARE(TCanvasFont::PointsToPixels(24), 32);
    TCanvasFont f;
    f.Size = 24;
    QCOMPARE(f.ToQFont().pixelSize(), 32);
    QVERIFY(TextCellSize(QStringLiteral("Hg"), f).height() >= 32);
}

void TestCanvas::textCell()
{
    TCanvasFont font;
    font.Size = 16;
    font.Bold = true;
    font.Colour = QColor(255, 255, 0);
    const QString text = QStringLiteral("QZB");
    const QSize cell = TextCellSize(text, font);
    QVERIFY(cell.width() > 20 && cell.height() >= 21);

    // Solid brush: the whole cell, and nothing outside it.
    QImage img(120, 60, QImage::Format_RGB888);
    img.fill(kOld);
    TCanvas c(&img);
    c.SetFont(font);
    c.SetBrushColour(kBrush);
    c.TextOut(5, 7, text);
    const QRect r(QPoint(5, 7), cell);
    int letters = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QColor px = img.pixelColor(x, y);
            if (!r.contains(x, y))
                QCOMPARE(px, kOld);
            else if (px == font.Colour)
                ++letters;
            else
                QCOMPARE(px, kBrush);
        }
    QVERIFY(letters > 20);

    // Clear brush: only letter pixels change, and only to the font colour.
    img.fill(kOld);
    c.SetBrushStyle(TBrushStyle::Clear);
    c.TextOut(5, 7, text);
    letters = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QColor px = img.pixelColor(x, y);
            if (px != kOld) {
                QCOMPARE(px, font.Colour);
                QVERIFY(r.contains(x, y));
                ++letters;
            }
        }
    QVERIFY(letters > 20);

    // Empty text: not even a cell.
    img.fill(kOld);
    c.SetBrushColour(kBrush);
    c.TextOut(5, 7, QString());
    QCOMPARE(img.pixelColor(5, 7), kOld);
}

void TestCanvas::farCoordinatesAreClipped()
{
    QImage img = Blank();
    const QImage before = img;
    TCanvas c(&img);
    c.SetPenWidth(3);
    c.Rectangle(-1000000000, -5, -900000000, 40); // wholly to the left
    c.Ellipse(2000000000, 0, 2100000000, 10);
    c.MoveTo(-2000000000, -2000000000);
    c.LineTo(-1999999999, 2000000000);
    QCOMPARE(img, before);
    c.SetPenWidth(1);
    c.MoveTo(-2000000000, 5);
    c.LineTo(2000000000, 5); // crosses the whole picture
    QCOMPARE(img.pixelColor(30, 5), QColor(255, 255, 255));
    c.FillRect(-2000000000, -2000000000, 2000000000, 2000000000);
    QCOMPARE(img.pixelColor(63, 47), QColor(255, 255, 255));
}

QTEST_MAIN(TestCanvas)
#include "test_canvas.moc"
