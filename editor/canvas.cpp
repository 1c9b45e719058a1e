#include "editor/canvas.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace {
// Mouse positions can lie far outside the picture while the button is held;
// bounding them keeps the line stepping short and free of overflow.
constexpr int kFar = 1 << 20;

int Bound(int v)
{
    return std::clamp(v, -kFar, kFar);
}

void Plot(uchar *px, const QColor &c, TPenMode mode)
{
    const uchar rgb[3] = {uchar(c.red()), uchar(c.green()), uchar(c.blue())};
    for (int i = 0; i < 3; ++i) {
        switch (mode) {
        case TPenMode::Copy: px[i] = rgb[i]; break;
        case TPenMode::Xor: px[i] = uchar(px[i] ^ rgb[i]); break;
        case TPenMode::NotXor: px[i] = uchar(~(px[i] ^ rgb[i])); break;
        }
    }
}

// What a closed figure does to one pixel.
enum class Cover { None, Fill, Outline };

// Walks the figure's bounding box, cut at the picture, and writes each pixel
// once: outline in the pen, inside in the brush (when the brush is solid).
template <class Classify>
void PaintFigure(QImage &img, const QRect &bounds, Classify classify, const QColor &pen,
                 bool brushSolid, const QColor &brush, TPenMode mode)
{
    const QRect r = bounds.intersected(img.rect());
    for (int y = r.top(); y <= r.bottom(); ++y) {
        uchar *line = img.scanLine(y);
        for (int x = r.left(); x <= r.right(); ++x) {
            switch (classify(x, y)) {
            case Cover::Outline: Plot(line + 3 * x, pen, mode); break;
            case Cover::Fill:
                if (brushSolid)
                    Plot(line + 3 * x, brush, mode);
                break;
            case Cover::None: break;
            }
        }
    }
}

void Order(int &a, int &b)
{
    if (a > b)
        std::swap(a, b);
}
} // namespace

int TCanvasFont::PointsToPixels(int points)
{
    // Rounded as the device interface's multiply-divide rounds.
    const int px = (std::clamp(points, 1, 1000) * 96 + 36) / 72;
    return std::max(1, px);
}

QFont TCanvasFont::ToQFont() const
{
    QFont f(Name);
    f.setPixelSize(PointsToPixels(Size));
    f.setBold(Bold);
    f.setItalic(Italic);
    f.setUnderline(Underline);
    f.setStrikeOut(StrikeOut);
    f.setStyleStrategy(QFont::NoAntialias);
    return f;
}

void TCanvasFont::TakeFrom(const QFont &font)
{
    Name = font.family();
    if (font.pointSize() > 0)
        Size = font.pointSize();
    else if (font.pixelSize() > 0)
        Size = std::max(1, (font.pixelSize() * 72 + 48) / 96);
    Bold = font.bold();
    Italic = font.italic();
    Underline = font.underline();
    StrikeOut = font.strikeOut();
}

QSize TextCellSize(const QString &text, const TCanvasFont &font)
{
    if (text.isEmpty())
        return QSize(0, 0);
    const QFontMetrics fm(font.ToQFont());
    return QSize(fm.horizontalAdvance(text), fm.height());
}

void DrawTextCell(QPainter &painter, int x, int y, const QString &text, const TCanvasFont &font,
                  TBrushStyle brushStyle, const QColor &brushColour)
{
    if (text.isEmpty())
        return;
    const QFont f = font.ToQFont();
    const QFontMetrics fm(f);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (brushStyle == TBrushStyle::Solid)
        painter.fillRect(QRect(x, y, fm.horizontalAdvance(text), fm.height()), brushColour);
    painter.setFont(f);
    painter.setPen(font.Colour);
    painter.drawText(QPoint(x, y + fm.ascent()), text);
    painter.restore();
}

TCanvas::TCanvas(QImage *target) : Picture(target) {}

bool TCanvas::Ready()
{
    if (!Picture || Picture->isNull())
        return false;
    if (Picture->format() != QImage::Format_RGB888)
        *Picture = Picture->convertToFormat(QImage::Format_RGB888);
    return true;
}

void TCanvas::SetBrushColour(const QColor &colour)
{
    BrushCol = colour.toRgb();
    if (BrushSty == TBrushStyle::Clear)
        BrushSty = TBrushStyle::Solid;
}

void TCanvas::SetBrushStyle(TBrushStyle style)
{
    BrushSty = style;
    if (style == TBrushStyle::Clear)
        BrushCol = QColor(255, 255, 255);
}

void TCanvas::FillRect(int x1, int y1, int x2, int y2)
{
    // A hollow brush fills nothing.
    if (BrushSty == TBrushStyle::Clear || !Ready())
        return;
    x1 = Bound(x1), y1 = Bound(y1), x2 = Bound(x2), y2 = Bound(y2);
    const QRect r = QRect(QPoint(x1, y1), QPoint(x2 - 1, y2 - 1)).intersected(Picture->rect());
    if (x2 <= x1 || y2 <= y1 || r.isEmpty())
        return;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        uchar *line = Picture->scanLine(y);
        for (int x = r.left(); x <= r.right(); ++x)
            Plot(line + 3 * x, BrushCol, TPenMode::Copy);
    }
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2)
{
    if (!Ready())
        return;
    x1 = Bound(x1), y1 = Bound(y1), x2 = Bound(x2), y2 = Bound(y2);
    Order(x1, x2);
    Order(y1, y2);
    const bool pen = PenSty == TPenStyle::Solid;
    // The pen's band: half its width (rounded down) outside the box, the rest inside.
    const int out = pen ? PenW / 2 : 0;
    const int in = pen ? PenW - out : 0;
    // A box without area draws nothing, whatever the pen. This also keeps the
    // rubber band's first erase (of a shape never drawn) from leaving a dot.
    if (x2 == x1 || y2 == y1)
        return;
    const int ox1 = x1 - out, oy1 = y1 - out, ox2 = x2 + out, oy2 = y2 + out; // outer, half-open
    const int ix1 = x1 + in, iy1 = y1 + in, ix2 = x2 - in, iy2 = y2 - in;     // inner, half-open
    auto classify = [&](int x, int y) {
        if (x >= ix1 && x < ix2 && y >= iy1 && y < iy2)
            return Cover::Fill;
        return pen ? Cover::Outline : Cover::Fill;
    };
    PaintFigure(*Picture, QRect(QPoint(ox1, oy1), QPoint(ox2 - 1, oy2 - 1)), classify, PenCol,
                BrushSty == TBrushStyle::Solid, BrushCol, Mode);
}

void TCanvas::Ellipse(int x1, int y1, int x2, int y2)
{
    if (!Ready())
        return;
    x1 = Bound(x1), y1 = Bound(y1), x2 = Bound(x2), y2 = Bound(y2);
    Order(x1, x2);
    Order(y1, y2);
    const bool pen = PenSty == TPenStyle::Solid;
    const int out = pen ? PenW / 2 : 0;
    const int in = pen ? PenW - out : 0;
    // A pixel belongs to an ellipse when its centre lies inside it.
    const double cx = (x1 + x2) / 2.0, cy = (y1 + y2) / 2.0;
    const double rx = (x2 - x1) / 2.0, ry = (y2 - y1) / 2.0;
    auto inside = [&](int x, int y, double ax, double ay) {
        if (ax <= 0 || ay <= 0)
            return false;
        const double dx = (x + 0.5 - cx) / ax, dy = (y + 0.5 - cy) / ay;
        return dx * dx + dy * dy <= 1.0;
    };
    if (x2 == x1 || y2 == y1)
        return; // no area: nothing, as for Rectangle
    const double orx = rx + out, ory = ry + out, irx = rx - in, iry = ry - in;
    auto classify = [&](int x, int y) {
        if (!inside(x, y, orx, ory))
            return Cover::None;
        if (inside(x, y, irx, iry))
            return Cover::Fill;
        return pen ? Cover::Outline : Cover::Fill;
    };
    PaintFigure(*Picture, QRect(QPoint(x1 - out, y1 - out), QPoint(x2 + out - 1, y2 + out - 1)), classify,
                PenCol, BrushSty == TBrushStyle::Solid, BrushCol, Mode);
}

void TCanvas::LineTo(int x, int y)
{
    const QPoint from(Bound(Pos.x()), Bound(Pos.y()));
    const QPoint to(Bound(x), Bound(y));
    Pos = QPoint(x, y);
    if (from == to || PenSty == TPenStyle::Clear || !Ready())
        return;
    QImage &img = *Picture;
    const QRect area = img.rect();
    if (PenW == 1) {
        // Bresenham's steps from the start, stopping before the end pixel.
        int px = from.x(), py = from.y();
        const int dx = std::abs(to.x() - px), sx = px < to.x() ? 1 : -1;
        const int dy = -std::abs(to.y() - py), sy = py < to.y() ? 1 : -1;
        int err = dx + dy;
        while (px != to.x() || py != to.y()) {
            if (area.contains(px, py))
                Plot(img.scanLine(py) + 3 * px, PenCol, Mode);
            const int e2 = 2 * err;
            if (e2 >= dy) {
                err += dy;
                px += sx;
            }
            if (e2 <= dx) {
                err += dx;
                py += sy;
            }
        }
        return;
    }
    // A wide pen: every pixel whose centre lies within half the width of the
    // segment, round at both ends. An even width is centred on the pixel
    // corner so that it covers exactly that many rows or columns.
    const double c = (PenW % 2) ? 0.5 : 0.0;
    const double ax = from.x() + c, ay = from.y() + c, bx = to.x() + c, by = to.y() + c;
    const double vx = bx - ax, vy = by - ay, len2 = vx * vx + vy * vy;
    const double half = PenW / 2.0, half2 = half * half;
    const int reach = PenW / 2 + 1;
    const QRect box = QRect(QPoint(std::min(from.x(), to.x()) - reach, std::min(from.y(), to.y()) - reach),
                            QPoint(std::max(from.x(), to.x()) + reach, std::max(from.y(), to.y()) + reach))
                          .intersected(area);
    for (int py = box.top(); py <= box.bottom(); ++py) {
        uchar *line = img.scanLine(py);
        for (int px = box.left(); px <= box.right(); ++px) {
            const double qx = px + 0.5 - ax, qy = py + 0.5 - ay;
            const double t = std::clamp((qx * vx + qy * vy) / len2, 0.0, 1.0);
            const double ex = qx - t * vx, ey = qy - t * vy;
            if (ex * ex + ey * ey <= half2)
                Plot(line + 3 * px, PenCol, Mode);
        }
    }
}

void TCanvas::TextOut(int x, int y, const QString &text)
{
    if (text.isEmpty() || !Ready())
        return;
    QPainter p(Picture);
    DrawTextCell(p, x, y, text, Fnt, BrushSty, BrushCol);
}
