#include "editor/setpen.h"

#include <QColorDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

TSetPen *SetPen = nullptr;

TSetPen::TSetPen(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Pen Select"));
    setFixedSize(201, 161);
    PenThickness = new QLabel(QStringLiteral("PenThickness"), this);
    PenThickness->setGeometry(16, 16, 80, 16);
    Thickness = new QSpinBox(this);
    Thickness->setGeometry(104, 12, 57, 22);
    Thickness->setRange(1, 100);
    Thickness->setValue(3);
    Thickness->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    connect(Thickness, &QSpinBox::editingFinished, this, [this] { ThicknessValue(); });
    Button1 = new QPushButton(QStringLiteral("Pen Colour"), this);
    Button1->setGeometry(48, 56, 105, 25);
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn1->setGeometry(56, 112, 89, 33);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    ColorDialog1 = new QColorDialog(this);
    ColorDialog1->setOption(QColorDialog::DontUseNativeDialog);
    ColorDialog1->setCurrentColor(PenColour);
}

int TSetPen::ThicknessValue()
{
    bool number = false;
    Thickness->text().trimmed().toInt(&number);
    if (!number)
        Thickness->setValue(1);
    else
        Thickness->interpretText();
    return Thickness->value();
}

void TSetPen::Button1Click()
{
    ColorDialog1->setCurrentColor(PenColour);
    if (ColorDialog1->exec() == QDialog::Accepted)
        PenColour = ColorDialog1->selectedColor();
}
