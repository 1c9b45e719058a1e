#pragma once
// The drawing model of a 24-bit picture: one persistent pen, brush and font,
// and the six drawing operations with the pixel rules of a classic raster
// device interface. The pixel code is our own where a painter cannot give the
// exact rules (half-open boxes, excluded line ends, XOR modes).
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPoint>
#include <QSize>
#include <QString>

class QPainter;

enum class TPenMode { Copy, Xor, NotXor };
enum class TPenStyle { Solid, Clear };
enum class TBrushStyle { Solid, Clear };

// A font as the drawing model knows it: name, size in points, style set and
// colour. Points become pixels at 96 pixels per inch.
struct TCanvasFont {
    QString Name = QStringLiteral("Arial");
    int Size = 8; // points
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
    QColor Colour = QColor(0, 0, 0);

    static int PointsToPixels(int points);
    // The font for painting: character height in pixels, no anti-aliasing,
    // so every pixel is either the font colour or untouched.
    QFont ToQFont() const;
    // Name, size and style of a chosen font; the colour is left as it is.
    void TakeFrom(const QFont &font);

    bool operator==(const TCanvasFont &) const = default;
};

// Draws text with its text cell's top-left corner at (x, y) on any painter:
// with a solid brush the cell (text width by cell height) is filled first.
void DrawTextCell(QPainter &painter, int x, int y, const QString &text, const TCanvasFont &font,
                  TBrushStyle brushStyle, const QColor &brushColour);
// Width of the text by the cell height of the font.
QSize TextCellSize(const QString &text, const TCanvasFont &font);

class TCanvas {
public:
    // The canvas draws on *target, which must outlive it. A target of another
    // format is turned into 24-bit before the first pixel is written.
    explicit TCanvas(QImage *target);

    QImage &Target() { return *Picture; }

    QColor PenColour() const { return PenCol; }
    void SetPenColour(const QColor &colour) { PenCol = colour.toRgb(); }
    int PenWidth() const { return PenW; }
    void SetPenWidth(int width) { PenW = width < 1 ? 1 : width; }
    TPenStyle PenStyle() const { return PenSty; }
    void SetPenStyle(TPenStyle style) { PenSty = style; }
    TPenMode PenMode() const { return Mode; }
    void SetPenMode(TPenMode mode) { Mode = mode; }

    QColor BrushColour() const { return BrushCol; }
    // A colour given to a clear brush makes it solid.
    void SetBrushColour(const QColor &colour);
    TBrushStyle BrushStyle() const { return BrushSty; }
    // A brush made clear turns white.
    void SetBrushStyle(TBrushStyle style);

    const TCanvasFont &Font() const { return Fnt; }
    TCanvasFont &Font() { return Fnt; }
    void SetFont(const TCanvasFont &font) { Fnt = font; }

    QPoint PenPos() const { return Pos; }

    // Every pixel with x1 <= x < x2 and y1 <= y < y2 in the brush colour.
    void FillRect(int x1, int y1, int x2, int y2);
    // The box filled with the brush and outlined with the pen: a 1-pixel pen on
    // the outermost pixels, a wider one centred on the edge. Corners in any
    // order; a box of zero width or height draws nothing.
    void Rectangle(int x1, int y1, int x2, int y2);
    // The ellipse inscribed in the box, with the rules of Rectangle.
    void Ellipse(int x1, int y1, int x2, int y2);
    void MoveTo(int x, int y) { Pos = QPoint(x, y); }
    // A line from the current position to (x, y), the end pixel excluded.
    void LineTo(int x, int y);
    // The text with its cell's top-left corner at (x, y).
    void TextOut(int x, int y, const QString &text);

private:
    bool Ready();

    QImage *Picture;
    QColor PenCol = QColor(255, 255, 255);
    int PenW = 1;
    TPenStyle PenSty = TPenStyle::Solid;
    TPenMode Mode = TPenMode::Copy;
    QColor BrushCol = QColor(255, 255, 255);
    TBrushStyle BrushSty = TBrushStyle::Solid;
    TCanvasFont Fnt;
    QPoint Pos;
};
