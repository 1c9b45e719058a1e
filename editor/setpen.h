#pragma once
// The pen dialog "Pen Select": thickness and colour of the drawing pen.
#include <QColor>
#include <QDialog>

class QColorDialog;
class QLabel;
class QPushButton;
class QSpinBox;

class TSetPen : public QDialog {
    Q_OBJECT
public:
    explicit TSetPen(QWidget *parent = nullptr);

    void Button1Click(); // "Pen Colour"

    // The thickness shown, 1 to 100; a box left with no number reads as 1.
    int ThicknessValue();
    QColor Colour() const { return PenColour; }

    QLabel *PenThickness = nullptr;
    QSpinBox *Thickness = nullptr;
    QPushButton *Button1 = nullptr;
    QColorDialog *ColorDialog1 = nullptr;
    QPushButton *BitBtn1 = nullptr;

private:
    QColor PenColour = QColor(0, 0, 0);
};

extern TSetPen *SetPen;
