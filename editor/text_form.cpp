// The Text menu: callsign, header, footer and free text on the working
// picture. None of them stores the picture into the transmit page.
#include "app/sstvform.h"

#include "app/ansitext.h"
#include "app/setupdlg.h"
#include "editor/addtext.h"
#include "editor/canvas.h"

#include <QAction>
#include <QLineEdit>

namespace {
QString Ansi(const QString &text)
{
    return AnsiToString(StringToAnsi(text));
}
} // namespace

void TSSTVForm::AddCallsign1Click()
{
    TCanvas &c = Canvas();
    c.SetBrushColour(QColor(0, 0, 255));
    TCanvasFont &f = c.Font();
    f.Colour = QColor(255, 255, 0);
    f.Name = QStringLiteral("Arial");
    f.Bold = true;
    f.Italic = f.Underline = f.StrikeOut = false;
    f.Size = 16;
    c.TextOut(0, 0, SetupDlg ? Ansi(SetupDlg->EditCall->text()) : QString());
    ReloadLargeView();
    UpdateViewSize();
}

void TSSTVForm::AddHeader1Click()
{
    TCanvas &c = Canvas();
    c.SetBrushColour(AddText->BackgroundColour());
    c.SetBrushStyle(TBrushStyle::Solid);
    c.SetFont(AddText->TextFont());
    c.TextOut(0, 0, SetupDlg ? Ansi(SetupDlg->EditHeader->text()) : QString());
    ReloadLargeView();
    UpdateViewSize();
}

void TSSTVForm::AddFooter1Click()
{
    TCanvas &c = Canvas();
    c.SetBrushColour(AddText->BackgroundColour());
    c.SetBrushStyle(TBrushStyle::Solid);
    c.SetFont(AddText->TextFont());
    c.TextOut(0, 350, SetupDlg ? Ansi(SetupDlg->EditFooter->text()) : QString());
    ReloadLargeView();
    UpdateViewSize();
}

void TSSTVForm::AddText1Click()
{
    // Free-hand drawing stops; other tools and the cursor stay as they are.
    PenDown = false;
    FreeHand1->setChecked(false);
    if (AddText->exec() != QDialog::Accepted)
        return;
    Canvas().SetBrushColour(AddText->BackgroundColour());
    Canvas().SetFont(AddText->TextFont());
    TextPending = true;
}

// The press that places armed free text.
void TSSTVForm::PlaceFreeText(int x, int y)
{
    TextPending = false;
    TCanvas &c = Canvas();
    c.SetBrushColour(AddText->BackgroundColour());
    c.SetBrushStyle(AddText->ClearBackground() ? TBrushStyle::Clear : TBrushStyle::Solid);
    c.SetFont(AddText->TextFont());
    c.TextOut(x, y, AddText->Text());
    ReloadLargeView();
    UpdateViewSize();
}

// The armed text drawn on the view only, never into the picture.
void TSSTVForm::DrawTextPreview(QPainter &painter, int x, int y)
{
    const bool clear = AddText->ClearBackground();
    DrawTextCell(painter, x, y, AddText->Text(), AddText->TextFont(),
                 clear ? TBrushStyle::Clear : TBrushStyle::Solid,
                 clear ? QColor(255, 255, 255) : AddText->BackgroundColour());
}
