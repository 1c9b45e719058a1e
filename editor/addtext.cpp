#include "editor/addtext.h"

#include "app/ansitext.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QFontDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TAddText *AddText = nullptr;

namespace {
template <class W>
W *Place(W *w, int x, int y, int width, int height)
{
    w->setGeometry(x, y, width, height);
    return w;
}
} // namespace

TAddText::TAddText(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("AddText"));
    setFixedSize(515, 331);

    Label1 = Place(new QLabel(QStringLiteral("ADD TEXT BOX"), this), 200, 16, 120, 16);
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);

    Edit1 = Place(new QLineEdit(this), 8, 48, 497, 57);
    Button1 = Place(new QPushButton(QStringLiteral("Set Font"), this), 16, 128, 121, 33);
    CheckBox1 = Place(new QCheckBox(QStringLiteral("    CLEAR BACKGROUND"), this), 168, 136, 185, 17);
    Button2 = Place(new QPushButton(QStringLiteral("Set Background Colour"), this), 360, 128, 145, 33);
    Label2 = Place(new QLabel(QStringLiteral("Click in Image to ADD Text"), this), 176, 200, 170, 16);
    BitBtn1 = Place(new QPushButton(QStringLiteral("OK"), this), 216, 256, 89, 33);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });

    FontDialog1 = new QFontDialog(this);
    FontDialog1->setOption(QFontDialog::DontUseNativeDialog);
    FontDialog1->setCurrentFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    // Qt's font dialog has no colour of its own: a button in its effects
    // group chooses the colour that goes with the font.
    for (QGroupBox *group : FontDialog1->findChildren<QGroupBox *>()) {
        if (auto *box = qobject_cast<QVBoxLayout *>(group->layout())) {
            auto *colour = new QPushButton(QStringLiteral("Colour..."), group);
            box->addWidget(colour);
            connect(colour, &QPushButton::clicked, this, [this] {
                QColorDialog d(FontDialogColour, FontDialog1);
                d.setOption(QColorDialog::DontUseNativeDialog);
                if (d.exec() == QDialog::Accepted)
                    FontDialogColour = d.selectedColor();
            });
            break;
        }
    }

    ColorDialog1 = new QColorDialog(this);
    ColorDialog1->setOption(QColorDialog::DontUseNativeDialog);

    TCanvasFont font;
    font.Name = QStringLiteral("Arial");
    font.Bold = true;
    font.Size = 24;
    font.Colour = QColor(0, 0, 255);
    SetTextFont(font);
    Background = QColor(255, 255, 0);
    ColorDialog1->setCurrentColor(Background);
}

void TAddText::SetTextFont(const TCanvasFont &font)
{
    EditFont = font;
    // The box shows the text in that font (smoothed on screen).
    QFont shown = font.ToQFont();
    shown.setStyleStrategy(QFont::PreferDefault);
    Edit1->setFont(shown);
    QPalette pal = Edit1->palette();
    pal.setColor(QPalette::Text, font.Colour);
    Edit1->setPalette(pal);
}

bool TAddText::ClearBackground() const
{
    return CheckBox1->isChecked();
}

QString TAddText::Text() const
{
    return AnsiToString(StringToAnsi(Edit1->text()));
}

void TAddText::Button1Click()
{
    // The dialog opens with its own last choice, not the box's font.
    if (FontDialog1->exec() != QDialog::Accepted)
        return;
    TCanvasFont font = EditFont;
    font.TakeFrom(FontDialog1->selectedFont());
    font.Colour = FontDialogColour;
    SetTextFont(font);
}

void TAddText::Button2Click()
{
    ColorDialog1->setCurrentColor(Background);
    if (ColorDialog1->exec() == QDialog::Accepted)
        Background = ColorDialog1->selectedColor();
}
