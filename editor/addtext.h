#pragma once
// The add-text dialog "AddText": the text to write, its font and colour, the
// background colour and whether free text keeps the picture behind it.
#include "editor/canvas.h"

#include <QColor>
#include <QDialog>

class QCheckBox;
class QColorDialog;
class QFontDialog;
class QLabel;
class QLineEdit;
class QPushButton;

class TAddText : public QDialog {
    Q_OBJECT
public:
    explicit TAddText(QWidget *parent = nullptr);

    void Button1Click(); // "Set Font"
    void Button2Click(); // "Set Background Colour"

    // The text style as the Text commands read it.
    const TCanvasFont &TextFont() const { return EditFont; }
    void SetTextFont(const TCanvasFont &font);
    QColor BackgroundColour() const { return Background; }
    bool ClearBackground() const;
    // The text to write, limited to the 8-bit character set.
    QString Text() const;

    QLabel *Label1 = nullptr;
    QLineEdit *Edit1 = nullptr;
    QPushButton *Button1 = nullptr;
    QCheckBox *CheckBox1 = nullptr;
    QPushButton *Button2 = nullptr;
    QLabel *Label2 = nullptr;
    QPushButton *BitBtn1 = nullptr;
    QFontDialog *FontDialog1 = nullptr;
    QColorDialog *ColorDialog1 = nullptr;

private:
    TCanvasFont EditFont;
    QColor Background = QColor(255, 255, 0);
    // The font dialog's own colour choice, kept like its font between uses.
    QColor FontDialogColour = QColor(0, 0, 0);
};

extern TAddText *AddText;
