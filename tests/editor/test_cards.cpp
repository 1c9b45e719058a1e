// The test patterns, probed on chosen pixels.
#include "editor/canvas.h"
#include "editor/cards.h"

#include <QTest>

namespace {
const QColor kOld(1, 2, 3);

QImage Working()
{
    QImage img(512, 384, QImage::Format_RGB888);
    img.fill(kOld);
    return img;
}

QColor Grey(int v)
{
    return QColor(v, v, v);
}

// Leftmost column in the callsign band (inside the black box) holding a
// bright pixel, or -1.
int LeftmostLetter(const QImage &img)
{
    for (int x = 196; x < 320; ++x)
        for (int y = 36; y < 62; ++y)
            if (img.pixelColor(x, y).red() > 128)
                return x;
    return -1;
}
} // namespace

class TestCards : public QObject {
    Q_OBJECT
private slots:
    void greyScaleBands_data();
    void greyScaleBands();
    void colourBarsCoverEverything();
    void resolutionBarPitches();
    void stripTouchesOnlyTheTop();
    void callsignOffset_data();
    void callsignOffset();
    void testCardTwiceWidensGreyOutline();
    void testCardLandmarks();
};

void TestCards::greyScaleBands_data()
{
    QTest::addColumn<int>("penWidth");
    QTest::addColumn<bool>("lastRowKept");
    QTest::newRow("1-pixel pen") << 1 << true;
    QTest::newRow("4-pixel pen") << 4 << false;
}

void TestCards::greyScaleBands()
{
    QFETCH(int, penWidth);
    QFETCH(bool, lastRowKept);
    QImage img = Working();
    TCanvas c(&img);
    c.SetPenWidth(penWidth);
    DrawGreyScale(c);
    QCOMPARE(c.PenWidth(), penWidth);
    for (int k = 0; k < 16; ++k)
        for (int x : {32 * k + 2, 32 * k + 16, 32 * k + 29})
            QCOMPARE(img.pixelColor(x, 200), Grey(17 * k));
    // Bands are 32 pixels wide with a 1-pixel pen exactly.
    if (penWidth == 1)
        for (int k = 0; k < 16; ++k) {
            QCOMPARE(img.pixelColor(32 * k, 0), Grey(17 * k));
            QCOMPARE(img.pixelColor(32 * k + 31, 382), Grey(17 * k));
        }
    QCOMPARE(img.pixelColor(100, 383) == kOld, lastRowKept);
}

void TestCards::colourBarsCoverEverything()
{
    QImage img = Working();
    TCanvas c(&img);
    c.SetPenColour(QColor(9, 8, 7));
    c.SetPenWidth(5);
    DrawColourBars(c);
    QCOMPARE(c.PenColour(), QColor(9, 8, 7));
    QCOMPARE(c.PenWidth(), 5);
    const QColor bars[8] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                            {255, 0, 255},   {255, 0, 0},   {0, 0, 255},   {0, 0, 0}};
    for (int y = 0; y < 384; ++y)
        for (int x = 0; x < 512; ++x)
            if (img.pixelColor(x, y) != bars[x / 64])
                QFAIL(qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
}

void TestCards::resolutionBarPitches()
{
    QImage img = Working();
    TCanvas c(&img);
    DrawResolutionBars(c);
    const int pitch[4] = {16, 8, 4, 2};
    for (int x = 0; x < 512; ++x) {
        const int g = x / 128;
        const bool white = ((x - 128 * g) / pitch[g]) % 2 == 0;
        QCOMPARE(img.pixelColor(x, 191), white ? Grey(255) : Grey(0));
        QCOMPARE(img.pixelColor(x, 0), white ? Grey(255) : Grey(0));
    }
    QCOMPARE(img.pixelColor(5, 383), kOld);
}

void TestCards::stripTouchesOnlyTheTop()
{
    for (int w : {1, 4}) {
        QImage img = Working();
        TCanvas c(&img);
        c.SetPenWidth(w);
        AddGreyScaleStrip(c);
        const int rows = w == 1 ? 23 : 25;
        QCOMPARE(img.pixelColor(40, rows - 1), Grey(17));
        for (int x = 0; x < 512; ++x)
            QCOMPARE(img.pixelColor(x, rows), kOld);
    }
}

void TestCards::callsignOffset_data()
{
    QTest::addColumn<QString>("call");
    QTest::addColumn<int>("left");
    QTest::newRow("1") << "H" << 230;
    QTest::newRow("3") << "HHH" << 230;
    QTest::newRow("4") << "HHHH" << 220;
    QTest::newRow("5") << "HHHHH" << 210;
    QTest::newRow("6") << "HHHHHH" << 200;
    QTest::newRow("8") << "HHHHHHHH" << 200;
}

void TestCards::callsignOffset()
{
    QFETCH(QString, call);
    QFETCH(int, left);
    QCOMPARE(CallsignLeft(int(call.size())), left);
    QImage img = Working();
    TCanvas c(&img);
    DrawTestCard(c, call);
    // The letter's own side bearing lies between the cell and its first pixel.
    const int first = LeftmostLetter(img);
    QVERIFY2(first >= left && first <= left + 4, qPrintable(QString::number(first)));

    // An empty callsign leaves the band black.
    QImage empty = Working();
    TCanvas e(&empty);
    DrawTestCard(e, QString());
    QCOMPARE(LeftmostLetter(empty), -1);
}

void TestCards::testCardTwiceWidensGreyOutline()
{
    QImage img = Working();
    TCanvas c(&img);
    DrawTestCard(c, QStringLiteral("QZB"));
    const QImage first = img;
    // Left edge of the grey field between two markers: 1-pixel outline.
    QCOMPARE(first.pixelColor(7, 80), Grey(0));
    QCOMPARE(first.pixelColor(8, 80), Grey(127));
    QCOMPARE(c.PenWidth(), 4);
    DrawTestCard(c, QStringLiteral("QZB"));
    QCOMPARE(img.pixelColor(6, 80), Grey(127));
    QCOMPARE(img.pixelColor(5, 80), Grey(0));
    // Nothing else differs: every changed pixel lies in the band the wider
    // pen adds around the field's edge.
    const QRect outer(QPoint(6, 32), QPoint(506, 375));
    const QRect inner(QPoint(10, 36), QPoint(502, 371));
    int changed = 0;
    for (int y = 0; y < 384; ++y)
        for (int x = 0; x < 512; ++x)
            if (img.pixel(x, y) != first.pixel(x, y)) {
                QVERIFY2(outer.contains(x, y) && !inner.contains(x, y),
                         qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
                ++changed;
            }
    QVERIFY(changed > 0);
}

void TestCards::testCardLandmarks()
{
    QImage img = Working();
    TCanvas c(&img);
    DrawTestCard(c, QStringLiteral("QZB"));
    AddGreyScaleStrip(c);
    // Colour row, grey row, concentric rings on the horizontal through the centre.
    QCOMPARE(img.pixelColor(100, 126), QColor(199, 199, 0));
    QCOMPARE(img.pixelColor(420, 126), QColor(0, 0, 199));
    QCOMPARE(img.pixelColor(290, 220), Grey(153));
    QCOMPARE(img.pixelColor(257 + 131 - 1, 221), Grey(255));
    QCOMPARE(img.pixelColor(257 + 127 - 1, 221), QColor(255, 0, 0));
    QCOMPARE(img.pixelColor(257 + 123 - 1, 221), QColor(0, 255, 0));
    QCOMPARE(img.pixelColor(257 + 119 - 1, 221), QColor(0, 0, 255));
    QCOMPARE(img.pixelColor(257 + 115 - 1, 221), Grey(0));
    // Finest wedges alternate every 2 pixels, white first.
    QCOMPARE(img.pixelColor(386, 300), Grey(255));
    QCOMPARE(img.pixelColor(388, 300), Grey(0));
    // The strip on top, drawn with the card's 4-pixel pen.
    QCOMPARE(img.pixelColor(40, 24), Grey(17));
    // The top marker at 483 runs to the right edge.
    QCOMPARE(img.pixelColor(511, 28), Grey(255));
    // The hidden letters: near-white on the white square, near-black on the black one.
    bool w = false, b = false;
    for (int y = 206; y < 240; ++y)
        for (int x = 406; x < 430; ++x)
            w = w || img.pixelColor(x, y) == Grey(239);
    for (int y = 206; y < 240; ++y)
        for (int x = 86; x < 110; ++x)
            b = b || img.pixelColor(x, y) == Grey(16);
    QVERIFY(w && b);
}

QTEST_MAIN(TestCards)
#include "test_cards.moc"
