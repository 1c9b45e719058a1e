// The picture processor: the Sharpen arithmetic, the undo and selection rules
// of each operation, pasting, and the adjustments of the preview pages.
#include "editor/adjust.h"
#include "editor/processor.h"

#include <QtTest>

#include <functional>

namespace {

QImage Flat(int w, int h, QColor c)
{
    QImage img(w, h, QImage::Format_RGB888);
    img.fill(c);
    return img;
}

// Left part grey a, from column split on grey b.
QImage VerticalEdge(int w, int h, int split, int a, int b)
{
    QImage img(w, h, QImage::Format_RGB888);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int v = x < split ? a : b;
            img.setPixelColor(x, y, QColor(v, v, v));
        }
    return img;
}

// Every pixel a different colour, so moves and changes show.
QImage Pattern(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB888);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixelColor(x, y, QColor((x * 7) % 256, (y * 5) % 256, (x + y) % 256));
    return img;
}

int Red(const QImage &img, int x, int y) { return img.pixelColor(x, y).red(); }

// The largest channel difference between two pictures of one size.
int MaxDiff(const QImage &a, const QImage &b)
{
    int d = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QColor p = a.pixelColor(x, y), q = b.pixelColor(x, y);
            d = std::max({d, std::abs(p.red() - q.red()), std::abs(p.green() - q.green()),
                          std::abs(p.blue() - q.blue())});
        }
    return d;
}

using Check = std::function<void(const QImage &)>;
using Op = std::function<QImage(const QImage &)>;

} // namespace
Q_DECLARE_METATYPE(Op)
Q_DECLARE_METATYPE(Check)

class TestProcessor : public QObject {
    Q_OBJECT
private slots:
    void sharpenArithmetic();
    void sharpenAtPictureEdges();
    void undoAfterImageCommandRestores();
    void undoOnDisplayKeepsWorkingPicture();
    void cutAndClearRules();
    void selectionOnlyOnDisplay();
    void pasteAtClipsAndMaps();
    void pasteStretched();
    void noClipboardPictureChangesNothing();
    void filterNeeds24Bit();
    void flipsAndNegative();
    void adjustments_data();
    void adjustments();
    void adjustmentsKeepSize();
};

void TestProcessor::sharpenArithmetic()
{
    // 100 | 200 across a vertical edge: 5*100-100-200 = 200 -> 66, 5*200-100-200 = 700 -> 233.
    const QImage edge = Convolve3(VerticalEdge(8, 4, 4, 100, 200), kSharpenKernel, kSharpenDivisor);
    QCOMPARE(Red(edge, 3, 2), 66);
    QCOMPARE(Red(edge, 4, 2), 233);
    // Away from the edge a flat area stays: the weights sum to the divisor.
    QCOMPARE(Red(edge, 1, 1), 100);
    QCOMPARE(Red(edge, 6, 1), 200);

    // A horizontal edge is unchanged: the rows above and below weigh nothing.
    QImage horiz(8, 6, QImage::Format_RGB888);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x)
            horiz.setPixelColor(x, y, y < 3 ? QColor(100, 100, 100) : QColor(200, 200, 200));
    QCOMPARE(Convolve3(horiz, kSharpenKernel, kSharpenDivisor), horiz);

    // Black to white: -255 / 3 and 1275 / 3 are limited to 0 and 255.
    const QImage bw = VerticalEdge(6, 2, 3, 0, 255);
    QCOMPARE(Convolve3(bw, kSharpenKernel, kSharpenDivisor), bw);

    // Truncation toward zero, per channel: 5*10 - 0 - 201 = -151 -> 0 (not -50 rounded);
    // on green 5*50 - 40 - 40 = 170 -> 56 (56.67 truncated).
    QImage mix(3, 1, QImage::Format_RGB888);
    mix.setPixelColor(0, 0, QColor(0, 40, 0));
    mix.setPixelColor(1, 0, QColor(10, 50, 0));
    mix.setPixelColor(2, 0, QColor(201, 40, 0));
    const QImage m = Convolve3(mix, kSharpenKernel, kSharpenDivisor);
    QCOMPARE(m.pixelColor(1, 0).red(), 0);
    QCOMPARE(m.pixelColor(1, 0).green(), 56);
}

void TestProcessor::sharpenAtPictureEdges()
{
    // The edge pixel stands in for its missing neighbour: a column at the
    // left border sees itself on the left.
    QImage img(3, 1, QImage::Format_RGB888);
    img.setPixelColor(0, 0, QColor(90, 90, 90));
    img.setPixelColor(1, 0, QColor(30, 30, 30));
    img.setPixelColor(2, 0, QColor(60, 60, 60));
    const QImage out = Convolve3(img, kSharpenKernel, kSharpenDivisor);
    QCOMPARE(Red(out, 0, 0), (5 * 90 - 90 - 30) / 3); // 110
    QCOMPARE(Red(out, 2, 0), (5 * 60 - 30 - 60) / 3); // 70
    // A one-pixel picture is its own neighbour everywhere.
    const QImage one = Flat(1, 1, QColor(77, 77, 77));
    QCOMPARE(Convolve3(one, kSharpenKernel, kSharpenDivisor), one);
}

void TestProcessor::undoAfterImageCommandRestores()
{
    QImage work = VerticalEdge(16, 8, 8, 100, 200);
    const QImage before = work;
    TPictureProcessor p;
    p.AttachPicture(&work);
    QVERIFY(!p.HasUndo());
    p.Undo(); // nothing to undo: nothing happens
    QCOMPARE(work, before);

    QVERIFY(p.Filter(kSharpenKernel, kSharpenDivisor));
    QVERIFY(work != before);
    p.Undo();
    QCOMPARE(work, before);
    // The undo copy stays: a second Undo writes it again.
    work.fill(Qt::red);
    p.Undo();
    QCOMPARE(work, before);
}

void TestProcessor::undoOnDisplayKeepsWorkingPicture()
{
    // Fill on the working picture, then the processor moves to the display
    // copy: undo goes there, not into the working picture.
    QImage work = Pattern(20, 10), display = work;
    TPictureProcessor p;
    p.AttachPicture(&work);
    p.Fill(Qt::blue);
    const QImage filled = work;
    display = work;
    p.AttachDisplay(&display, [] { return QRect(); }, [](QPoint v) { return v; });
    p.Undo();
    QCOMPARE(work, filled);
    QCOMPARE(display, Pattern(20, 10));
}

void TestProcessor::cutAndClearRules()
{
    const QImage start = Pattern(20, 10);
    QImage display = start;
    QRect sel;
    TPictureProcessor p;
    p.AttachDisplay(&display, [&] { return sel; }, [](QPoint v) { return v; });

    // No selection: Cut gives nothing, changes nothing, keeps no undo copy.
    QVERIFY(p.CutSelection().isNull());
    QCOMPARE(display, start);
    QVERIFY(!p.HasUndo());

    // With one: the cut piece comes back, the rectangle takes the cut colour,
    // and Undo (on the display copy) restores it.
    sel = QRect(2, 3, 4, 5);
    p.CutColour = QColor(0, 0, 0);
    const QImage piece = p.CutSelection();
    QCOMPARE(piece, start.copy(sel));
    QCOMPARE(display.pixelColor(2, 3), QColor(0, 0, 0));
    QCOMPARE(display.pixelColor(5, 7), QColor(0, 0, 0));
    QCOMPARE(display.pixelColor(6, 7), start.pixelColor(6, 7));
    QVERIFY(p.HasUndo());
    p.Undo();
    QCOMPARE(display, start);

    // Clear without a selection: the picture stays, the undo copy is replaced.
    sel = QRect();
    QImage other = Flat(20, 10, Qt::green);
    display = other;
    p.CutColour = Qt::red;
    p.ClearSelection();
    QCOMPARE(display, other);
    QCOMPARE(p.UndoPicture(), other);

    // Clear with a selection that runs past the border: cut at the border.
    sel = QRect(15, 5, 30, 30);
    p.ClearSelection();
    QCOMPARE(display.pixelColor(19, 9), QColor(Qt::red));
    QCOMPARE(display.pixelColor(14, 9), QColor(Qt::green));
}

void TestProcessor::selectionOnlyOnDisplay()
{
    QImage work = Pattern(10, 10);
    TPictureProcessor p;
    p.AttachDisplay(&work, [] { return QRect(1, 1, 3, 3); }, {});
    QCOMPARE(p.CopySelection().size(), QSize(3, 3));
    // On the working picture the view's selection is not seen: the whole
    // picture is copied, Cut does nothing.
    p.AttachPicture(&work);
    QCOMPARE(p.Selection(), QRect());
    QCOMPARE(p.CopySelection(), work);
    QVERIFY(p.CutSelection().isNull());
    QCOMPARE(work, Pattern(10, 10));
}

void TestProcessor::pasteAtClipsAndMaps()
{
    const QImage start = Pattern(512, 384);
    QImage work = start;
    TPictureProcessor p;
    p.AttachPicture(&work);
    const QImage clip = Flat(50, 40, Qt::yellow);
    QVERIFY(p.PasteAt(clip, 0, 0));
    for (QPoint q : {QPoint(0, 0), QPoint(49, 39)})
        QCOMPARE(work.pixelColor(q), QColor(Qt::yellow));
    for (QPoint q : {QPoint(50, 0), QPoint(0, 40), QPoint(300, 300)})
        QCOMPARE(work.pixelColor(q), start.pixelColor(q));
    QCOMPARE(p.UndoPicture(), start);

    // Near the border and beyond the left top edge: clipped.
    QVERIFY(p.PasteAt(clip, 500, -30));
    QCOMPARE(work.pixelColor(511, 0), QColor(Qt::yellow));
    QCOMPARE(work.pixelColor(511, 9), QColor(Qt::yellow));
    QCOMPARE(work.pixelColor(511, 10), start.pixelColor(511, 10));
    // A larger picture is clipped to the target.
    QVERIFY(p.PasteAt(Flat(600, 500, Qt::cyan), 0, 0));
    QCOMPARE(work.size(), QSize(512, 384));
    QCOMPARE(work.pixelColor(511, 383), QColor(Qt::cyan));

    // On the display copy the point is a view pixel: at 200 % zoom view
    // (100, 60) is picture (50, 30).
    QImage display = start;
    p.AttachDisplay(&display, {}, [](QPoint v) { return v / 2; });
    QVERIFY(p.PasteAt(Flat(2, 2, Qt::magenta), 100, 60));
    QCOMPARE(display.pixelColor(50, 30), QColor(Qt::magenta));
    QCOMPARE(display.pixelColor(100, 60), start.pixelColor(100, 60));
}

void TestProcessor::pasteStretched()
{
    QImage display = Pattern(40, 30);
    QRect sel(10, 10, 8, 4);
    TPictureProcessor p;
    p.AttachDisplay(&display, [&] { return sel; }, {});
    QVERIFY(p.PasteStretched(Flat(2, 2, Qt::blue)));
    QCOMPARE(display.pixelColor(10, 10), QColor(Qt::blue));
    QCOMPARE(display.pixelColor(17, 13), QColor(Qt::blue));
    QCOMPARE(display.pixelColor(18, 13), Pattern(40, 30).pixelColor(18, 13));
    // Without a selection the clipboard picture replaces the target, size included.
    sel = QRect();
    QVERIFY(p.PasteStretched(Flat(7, 5, Qt::red)));
    QCOMPARE(display, Flat(7, 5, Qt::red));
    QCOMPARE(p.UndoPicture().size(), QSize(40, 30));
}

void TestProcessor::noClipboardPictureChangesNothing()
{
    QImage work = Pattern(8, 8);
    TPictureProcessor p;
    p.AttachPicture(&work);
    QVERIFY(!p.PasteAt(QImage(), 0, 0));
    QVERIFY(!p.PasteStretched(QImage()));
    QCOMPARE(work, Pattern(8, 8));
    QVERIFY(!p.HasUndo());
}

void TestProcessor::filterNeeds24Bit()
{
    QImage work = Pattern(8, 8).convertToFormat(QImage::Format_RGB32);
    const QImage before = work;
    TPictureProcessor p;
    p.AttachPicture(&work);
    QVERIFY(!p.Filter(kSharpenKernel, kSharpenDivisor));
    QVERIFY(!p.CanPreview());
    QCOMPARE(work, before);
    QVERIFY(!p.HasUndo());

    QImage tiny = Flat(1, 1, Qt::red);
    p.AttachPicture(&tiny);
    QVERIFY(!p.CanPreview());
    QImage thin = Flat(2, 1, Qt::red);
    p.AttachPicture(&thin);
    QVERIFY(p.CanPreview());
}

void TestProcessor::flipsAndNegative()
{
    const QImage start = Pattern(6, 4);
    QImage work = start;
    TPictureProcessor p;
    p.AttachPicture(&work);
    p.FlipHorizontal();
    QCOMPARE(work.pixelColor(0, 1), start.pixelColor(5, 1));
    p.FlipVertical();
    QCOMPARE(work.pixelColor(0, 0), start.pixelColor(5, 3));
    QCOMPARE(p.UndoPicture(), start.mirrored(true, false));
    work = start;
    p.Negative();
    const QColor a = start.pixelColor(3, 2), b = work.pixelColor(3, 2);
    QCOMPARE(b, QColor(255 - a.red(), 255 - a.green(), 255 - a.blue()));
    QCOMPARE(work.format(), QImage::Format_RGB888);
}

void TestProcessor::adjustments_data()
{
    QTest::addColumn<QImage>("source");
    QTest::addColumn<Op>("op");
    QTest::addColumn<Check>("check");

    const QImage grey100 = Flat(16, 12, QColor(100, 100, 100));
    const QImage red = Flat(16, 12, QColor(255, 0, 0));
    const QImage edge = VerticalEdge(16, 12, 8, 50, 200);
    auto same = [](const QImage &src) { return Check([src](const QImage &r) { QCOMPARE(MaxDiff(r, src), 0); }); };
    auto colour = [](QColor c, int tol = 1) {
        return Check([c, tol](const QImage &r) {
            for (QPoint q : {QPoint(0, 0), QPoint(r.width() - 1, r.height() - 1)}) {
                const QColor p = r.pixelColor(q);
                QVERIFY2(std::abs(p.red() - c.red()) <= tol && std::abs(p.green() - c.green()) <= tol &&
                             std::abs(p.blue() - c.blue()) <= tol,
                         qPrintable(p.name()));
            }
        });
    };

    QTest::newRow("contrast neutral") << edge << Op([](const QImage &s) { return AdjustContrast(s, 0, 0); }) << same(edge);
    QTest::newRow("contrast doubled") << grey100 << Op([](const QImage &s) { return AdjustContrast(s, 100, 0); })
                                      << colour(QColor(72, 72, 72), 0);
    QTest::newRow("contrast flat") << edge << Op([](const QImage &s) { return AdjustContrast(s, -100, 10); })
                                   << colour(QColor(138, 138, 138), 0);
    QTest::newRow("brightness") << grey100 << Op([](const QImage &s) { return AdjustContrast(s, 0, -30); })
                                << colour(QColor(70, 70, 70), 0);
    QTest::newRow("hsv neutral") << edge << Op([](const QImage &s) { return AdjustHsv(s, 0, 0, 0); }) << same(edge);
    QTest::newRow("hsv hue") << red << Op([](const QImage &s) { return AdjustHsv(s, 120, 0, 0); })
                             << colour(QColor(0, 255, 0));
    QTest::newRow("hsv grey") << red << Op([](const QImage &s) { return AdjustHsv(s, 0, -100, -50); })
                              << colour(QColor(128, 128, 128));
    QTest::newRow("hsl hue") << red << Op([](const QImage &s) { return AdjustHsl(s, 240, 0, 0); })
                             << colour(QColor(0, 0, 255));
    QTest::newRow("hsl white") << red << Op([](const QImage &s) { return AdjustHsl(s, 0, 0, 100); })
                               << colour(QColor(255, 255, 255));
    QTest::newRow("hsl darker") << red << Op([](const QImage &s) { return AdjustHsl(s, 0, 0, -50); })
                                << colour(QColor(128, 0, 0));
    QTest::newRow("rgb") << grey100 << Op([](const QImage &s) { return AdjustRgb(s, 10, -20, 300); })
                         << colour(QColor(110, 80, 255), 0);
    QTest::newRow("user identity") << edge
                                   << Op([](const QImage &s) { return UserFilter(s, {0, 0, 0, 0, 1, 0, 0, 0, 0}, 1, 0); })
                                   << same(edge);
    QTest::newRow("user blur bias") << grey100
                                    << Op([](const QImage &s) { return UserFilter(s, {1, 1, 1, 1, 1, 1, 1, 1, 1}, 9, 25); })
                                    << colour(QColor(125, 125, 125), 0);
    QTest::newRow("user edge") << edge
                               << Op([](const QImage &s) { return UserFilter(s, {0, 0, 0, -1, 1, 0, 0, 0, 0}, 0, 0); })
                               << Check([](const QImage &r) {
                                      QCOMPARE(Red(r, 8, 5), 150); // the step from 50 to 200
                                      QCOMPARE(Red(r, 3, 5), 0);
                                      QCOMPARE(Red(r, 12, 5), 0);
                                  });
    QTest::newRow("equalize channels")
        << VerticalEdge(16, 12, 8, 100, 110) << Op([](const QImage &s) { return Equalize(s, false); })
        << Check([](const QImage &r) {
               QVERIFY(Red(r, 0, 0) < 100);
               QCOMPARE(Red(r, 15, 0), 255);
           });
    QTest::newRow("equalize luminance")
        << VerticalEdge(16, 12, 8, 100, 110) << Op([](const QImage &s) { return Equalize(s, true); })
        << Check([](const QImage &r) {
               QVERIFY(Red(r, 15, 0) > 200);
               const QColor c = r.pixelColor(15, 0);
               QVERIFY(std::abs(c.red() - c.blue()) <= 2); // grey stays grey
           });
    QTest::newRow("fft keep all") << edge << Op([](const QImage &s) { return FftFilter(s, s.rect(), true); })
                                  << Check([edge](const QImage &r) { QVERIFY(MaxDiff(r, edge) <= 1); });
    QTest::newRow("fft keep centre") << edge
                                     << Op([](const QImage &s) { return FftFilter(s, QRect(8, 6, 1, 1), true); })
                                     << colour(QColor(125, 125, 125)); // only the mean is left
    QTest::newRow("fft remove centre") << grey100
                                       << Op([](const QImage &s) { return FftFilter(s, QRect(8, 6, 1, 1), false); })
                                       << colour(QColor(0, 0, 0));
    QTest::newRow("fft spectrum") << grey100 << Op([](const QImage &s) { return FftSpectrum(s); })
                                  << Check([](const QImage &r) {
                                         QCOMPARE(Red(r, 8, 6), 255); // all energy at zero frequency
                                         QCOMPARE(Red(r, 0, 0), 0);
                                         QCOMPARE(Red(r, 9, 6), 0);
                                     });
    QTest::newRow("bump flat") << grey100 << Op([](const QImage &s) { return BumpMap(s, 45, 45, 4); })
                               << Check([grey100](const QImage &r) { QVERIFY(MaxDiff(r, grey100) <= 1); });
    QTest::newRow("bump edge lit from the left")
        << edge << Op([](const QImage &s) { return BumpMap(s, 180, 45, 4); }) << Check([edge](const QImage &r) {
               // A step up to the right faces a light from the left.
               QVERIFY(Red(r, 8, 5) > 200);
               QCOMPARE(Red(r, 2, 5), 50);
           });
    QTest::newRow("lens neutral") << edge << Op([](const QImage &s) { return Lens(s, 8, 6, 5, 1.0); }) << same(edge);
    QTest::newRow("lens magnifies")
        << VerticalEdge(40, 40, 24, 0, 250) << Op([](const QImage &s) { return Lens(s, 20, 20, 16, 2.0); })
        << Check([](const QImage &r) {
               // (26, 20) sits 6 from the centre: it now shows (20 + 6 * 6 / 16, 20), left of the edge.
               QCOMPARE(Red(r, 26, 20), 0);
               QCOMPARE(Red(r, 38, 20), 250); // outside the lens
           });
    QTest::newRow("wave none") << edge << Op([](const QImage &s) { return Wave(s, 0, 10, 0, true, true); }) << same(edge);
    QTest::newRow("wave vertical")
        << edge << Op([](const QImage &s) { return Wave(s, 3, 12, 90, false, true); }) << Check([](const QImage &r) {
               // Row 0 reads 3 pixels to the right: the edge moves left there.
               QCOMPARE(Red(r, 5, 0), 200);
               QCOMPARE(Red(r, 4, 0), 50);
           });
    QImage dot = Flat(9, 9, Qt::black);
    dot.setPixelColor(4, 4, Qt::white);
    QTest::newRow("erode") << dot << Op([](const QImage &s) { return Morph(s, TMorphOp::Erode, 3, 1); })
                           << colour(QColor(0, 0, 0), 0);
    QTest::newRow("dilate") << dot << Op([](const QImage &s) { return Morph(s, TMorphOp::Dilate, 3, 1); })
                            << Check([](const QImage &r) {
                                   QCOMPARE(Red(r, 3, 3), 255);
                                   QCOMPARE(Red(r, 5, 5), 255);
                                   QCOMPARE(Red(r, 2, 4), 0);
                               });
    QTest::newRow("open removes dot") << dot << Op([](const QImage &s) { return Morph(s, TMorphOp::Open, 3, 1); })
                                      << colour(QColor(0, 0, 0), 0);
    QTest::newRow("close keeps dot") << dot << Op([](const QImage &s) { return Morph(s, TMorphOp::Close, 3, 1); })
                                     << Check([](const QImage &r) { QCOMPARE(Red(r, 4, 4), 255); });
    QTest::newRow("rotate none") << edge << Op([](const QImage &s) { return Rotate(s, 0, qRgb(0, 0, 0)); }) << same(edge);
    QImage corner = Flat(11, 11, Qt::black);
    corner.setPixelColor(0, 0, Qt::red);
    QTest::newRow("rotate quarter") << corner << Op([](const QImage &s) { return Rotate(s, 90, qRgb(0, 0, 0)); })
                                    << Check([](const QImage &r) {
                                           QCOMPARE(r.pixelColor(0, 10), QColor(Qt::red)); // counter-clockwise
                                           QCOMPARE(r.pixelColor(0, 0), QColor(Qt::black));
                                       });
    QTest::newRow("rotate background") << grey100 << Op([](const QImage &s) { return Rotate(s, 45, qRgb(0, 0, 255)); })
                                       << Check([](const QImage &r) {
                                              QCOMPARE(r.pixelColor(0, 0), QColor(0, 0, 255));
                                              QCOMPARE(r.pixelColor(8, 6), QColor(100, 100, 100));
                                          });
}

void TestProcessor::adjustments()
{
    QFETCH(QImage, source);
    QFETCH(Op, op);
    QFETCH(Check, check);
    const QImage keep = source.copy();
    const QImage result = op(source);
    QCOMPARE(source, keep); // the source is never changed
    QCOMPARE(result.size(), source.size());
    QCOMPARE(result.format(), QImage::Format_RGB888);
    check(result);
}

void TestProcessor::adjustmentsKeepSize()
{
    // Odd sizes and the one-pixel picture go through every adjustment.
    for (QSize s : {QSize(1, 1), QSize(7, 3), QSize(2, 9)}) {
        const QImage src = Pattern(s.width(), s.height());
        const QList<QImage> out = {AdjustContrast(src, 50, 5),      AdjustHsv(src, 30, 10, 10),
                                   AdjustHsl(src, 30, 10, 10),       AdjustRgb(src, 1, 2, 3),
                                   UserFilter(src, {1, 2, 1, 2, 4, 2, 1, 2, 1}, 16, 0),
                                   Equalize(src, false),             FftSpectrum(src),
                                   FftFilter(src, QRect(0, 0, 1, 1), false), BumpMap(src, 0, 30, 10),
                                   Lens(src, 1, 1, 3, 3.0),          Wave(src, 4, 5, 0, true, true),
                                   Morph(src, TMorphOp::Close, 5, 2), Rotate(src, 33, qRgb(1, 2, 3))};
        for (const QImage &r : out)
            QCOMPARE(r.size(), s);
    }
    QVERIFY(AdjustContrast(QImage(), 1, 1).isNull());
    QVERIFY(FftFilter(QImage(), QRect(), true).isNull());
}

QTEST_MAIN(TestProcessor)
#include "test_processor.moc"
