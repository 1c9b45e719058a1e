#include "editor/cards.h"

#include "editor/canvas.h"

namespace {
const QColor kBlack(0, 0, 0);
const QColor kWhite(255, 255, 255);

// Pen and brush in one colour; the brush thereby becomes solid.
void PenAndBrush(TCanvas &c, const QColor &colour)
{
    c.SetPenColour(colour);
    c.SetBrushColour(colour);
}

// Bars of alternating colour, each wider than its pitch so the next one
// overdraws its right edge.
void Bars(TCanvas &c, int first, int pitch, int width, int count, bool firstWhite, int top, int bottom)
{
    for (int k = 0; k < count; ++k) {
        const bool white = (k % 2 == 0) == firstWhite;
        PenAndBrush(c, white ? kWhite : kBlack);
        c.Rectangle(first + pitch * k, top, first + pitch * k + width, bottom);
    }
}

void GreySteps(TCanvas &c, int bottom)
{
    for (int k = 0; k < 16; ++k) {
        PenAndBrush(c, QColor(17 * k, 17 * k, 17 * k));
        c.Rectangle(32 * k, 0, 32 * k + 106, bottom);
    }
}
} // namespace

int CallsignLeft(int length)
{
    if (length <= 3)
        return 230;
    if (length == 4)
        return 220;
    if (length == 5)
        return 210;
    return 200;
}

void DrawTestCard(TCanvas &c, const QString &callsign)
{
    // Black ground and the grey field; the field's outline takes whatever
    // pen width an earlier card left.
    c.SetBrushColour(kBlack);
    c.SetPenColour(kBlack);
    c.FillRect(0, 0, 512, 384);
    PenAndBrush(c, QColor(127, 127, 127));
    c.Rectangle(8, 34, 505, 374);

    // The white grid.
    PenAndBrush(c, kWhite);
    c.SetPenStyle(TPenStyle::Solid);
    c.SetPenWidth(4);
    for (int k = 0; k < 12; ++k) {
        const int y = 33 + 31 * k;
        c.MoveTo(8, y);
        c.LineTo(504, y);
    }
    for (int k = 0; k < 15; ++k) {
        const int x = 33 + 32 * k;
        c.MoveTo(x, 34);
        c.LineTo(x, 374);
    }

    // Edge markers on all four sides.
    PenAndBrush(c, kWhite);
    for (int k = 0; k < 8; ++k)
        c.Rectangle(35 + 64 * k, 23, 35 + 64 * k + 30, 33);
    for (int k = 0; k < 8; ++k)
        c.Rectangle(35 + 64 * k, 375, 35 + 64 * k + 30, 383);
    for (int k = 0; k < 6; ++k)
        c.Rectangle(0, 35 + 62 * k, 7, 35 + 62 * k + 29);
    for (int k = 0; k < 5; ++k)
        c.Rectangle(507, 66 + 62 * k, 512, 66 + 62 * k + 29);

    // Colour row and grey row.
    const QColor colours[6] = {{199, 199, 0}, {0, 199, 199}, {0, 199, 0},
                               {199, 0, 199}, {199, 0, 0},   {0, 0, 199}};
    for (int k = 1; k <= 6; ++k) {
        PenAndBrush(c, colours[k - 1]);
        c.Rectangle(64 * k + 3, 97, 64 * k + 64, 156);
    }
    for (int k = 0; k < 6; ++k) {
        PenAndBrush(c, QColor(51 * k, 51 * k, 51 * k));
        c.Rectangle(64 * k + 67, 190, 64 * k + 128, 249);
    }

    // Resolution wedges, pitch falling from 16 to 2 pixels.
    c.SetPenWidth(1);
    Bars(c, 65, 16, 18, 4, false, 281, 343);
    Bars(c, 129, 13, 15, 6, false, 281, 343);
    Bars(c, 193, 10, 12, 8, true, 281, 343);
    Bars(c, 254, 7, 9, 10, true, 281, 343);
    Bars(c, 318, 4, 6, 18, false, 281, 343);
    Bars(c, 385, 2, 2, 32, true, 281, 343);

    // Black boxes (pen and brush are black from the last wedge bar), then white ones.
    c.SetPenWidth(4);
    c.Rectangle(197, 37, 319, 61);
    c.Rectangle(161, 347, 190, 371);
    c.Rectangle(197, 347, 355, 371);
    c.Rectangle(193, 68, 197, 92);
    PenAndBrush(c, kWhite);
    c.Rectangle(161, 64, 190, 92);
    c.Rectangle(197, 64, 355, 92);

    // Five concentric circles.
    c.SetBrushStyle(TBrushStyle::Clear);
    const struct {
        QColor colour;
        int inset;
    } rings[5] = {{kWhite, 0}, {QColor(255, 0, 0), 4}, {QColor(0, 255, 0), 8}, {QColor(0, 0, 255), 12},
                  {kBlack, 16}};
    for (const auto &r : rings) {
        c.SetPenColour(r.colour);
        c.Ellipse(126 + r.inset, 90 + r.inset, 388 - r.inset, 352 - r.inset);
    }

    // The callsign in the black band.
    TCanvasFont &font = c.Font();
    font.Name = QStringLiteral("Arial");
    font.Bold = true;
    font.Italic = font.Underline = font.StrikeOut = false;
    font.Size = 20;
    font.Colour = kWhite;
    c.SetBrushStyle(TBrushStyle::Clear);
    c.TextOut(CallsignLeft(int(callsign.size())), 34, callsign);

    // The hidden letters: near-white on white, near-black on black.
    c.SetBrushStyle(TBrushStyle::Solid);
    font.Colour = QColor(239, 239, 239);
    c.SetBrushColour(kWhite);
    c.TextOut(406, 206, QStringLiteral("W"));
    font.Colour = QColor(16, 16, 16);
    c.SetBrushColour(kBlack);
    c.TextOut(86, 206, QStringLiteral("B"));
}

void DrawGreyScale(TCanvas &c)
{
    // Bottom 383, not 384: with a 1-pixel pen the last row keeps what it had.
    GreySteps(c, 383);
}

void DrawResolutionBars(TCanvas &c)
{
    Bars(c, 0, 16, 90, 8, true, 0, 383);
    Bars(c, 128, 8, 82, 16, true, 0, 383);
    Bars(c, 256, 4, 78, 32, true, 0, 383);
    Bars(c, 384, 2, 76, 64, true, 0, 383);
}

void DrawColourBars(TCanvas &c)
{
    const QColor colours[8] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                               {255, 0, 255},   {255, 0, 0},   {0, 0, 255},   {0, 0, 0}};
    for (int k = 0; k < 8; ++k) {
        c.SetBrushColour(colours[k]);
        c.FillRect(64 * k, 0, 64 * k + 138, 384);
    }
}

void AddGreyScaleStrip(TCanvas &c)
{
    GreySteps(c, 23);
}
