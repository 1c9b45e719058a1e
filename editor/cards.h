#pragma once
// The test patterns drawn with plain canvas operations on a 512 by 384
// picture. Each one only draws; showing and storing the result is the
// window's business.
#include <QString>

class TCanvas;

// Where the callsign starts on the test card: short callsigns are moved
// right so they sit in the middle of the black band.
int CallsignLeft(int length);

// The test card up to its grey-scale strip, with the callsign in the band.
void DrawTestCard(TCanvas &canvas, const QString &callsign);
// Sixteen grey bands, black to white, over the whole picture.
void DrawGreyScale(TCanvas &canvas);
// Four groups of black and white bars, pitch 16, 8, 4 and 2 pixels.
void DrawResolutionBars(TCanvas &canvas);
// Eight full-height colour bars, 64 pixels each.
void DrawColourBars(TCanvas &canvas);
// The grey scale squeezed into the top rows, over whatever is there.
void AddGreyScaleStrip(TCanvas &canvas);
