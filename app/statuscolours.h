#pragma once
// The window system's named colours as the program's layout uses them, and
// the one way a field shows a coloured text: green for work under way or
// success, blue for a finished send or the idle state, red for failure.
#include <QColor>
#include <QString>

class QLineEdit;
class QWidget;

namespace Colours {
inline const QColor Silver{192, 192, 192};
inline const QColor InfoTip{255, 255, 225};
inline const QColor Cream{255, 251, 240};
inline const QColor SkyBlue{166, 202, 240};
inline const QColor MoneyGreen{192, 220, 192};
inline const QColor InactiveBorder{212, 208, 200};
inline const QColor Highlight{10, 36, 106};
inline const QColor Green{0, 128, 0};
inline const QColor Fuchsia{255, 0, 255};
} // namespace Colours

// Text colour of labels, edits and buttons alike.
void SetTextColour(QWidget *widget, const QColor &colour);
void ShowStatus(QLineEdit *field, const QString &text, const QColor &colour);

// Copies a picture onto another from the top-left corner, pixels replaced.
class QImage;
void DrawPictureAt00(QImage &target, const QImage &source);
