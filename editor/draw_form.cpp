// The Draw menu and the large view's mouse and paint handlers: free-hand
// strokes, and lines, rectangles and ellipses dragged as an XOR outline and
// drawn for good on release. Free text and paste placement run inside these
// handlers, in the order kept here.
#include "app/sstvform.h"

#include "editor/canvas.h"
#include "editor/setpen.h"

#include <QAction>

void TSSTVForm::FreeHand1Click()
{
    ToolItemClick(FreeHand1);
}

void TSSTVForm::Line1Click()
{
    ToolItemClick(Line1);
}

void TSSTVForm::Rectangle1Click()
{
    ToolItemClick(Rectangle1);
}

void TSSTVForm::Circle1Click()
{
    ToolItemClick(Circle1);
}

// The menu has already toggled the item's check mark: a freshly checked item
// becomes the only tool, an unchecked one leaves no tool.
void TSSTVForm::ToolItemClick(QAction *item)
{
    if (item->isChecked()) {
        for (QAction *other : {FreeHand1, Line1, Rectangle1, Circle1})
            if (other != item)
                other->setChecked(false);
        ImageEnView1->setCursor(Qt::CrossCursor);
    } else {
        ImageEnView1->unsetCursor();
    }
}

void TSSTVForm::SetPen1Click()
{
    SetPen->exec();
    Canvas().SetPenWidth(SetPen->ThicknessValue());
    Canvas().SetPenColour(SetPen->Colour());
}

bool TSSTVForm::ShapeToolChecked() const
{
    return Line1->isChecked() || Rectangle1->isChecked() || Circle1->isChecked();
}

void TSSTVForm::DrawShape(int x1, int y1, int x2, int y2)
{
    TCanvas &c = Canvas();
    if (Line1->isChecked()) {
        c.MoveTo(x1, y1);
        c.LineTo(x2, y2);
    }
    if (Rectangle1->isChecked())
        c.Rectangle(x1, y1, x2, y2);
    if (Circle1->isChecked())
        c.Ellipse(x1, y1, x2, y2);
}

void TSSTVForm::RubberBandTo(int x, int y)
{
    if (!RubberBandActive)
        return;
    TCanvas &c = Canvas();
    c.SetBrushStyle(TBrushStyle::Clear);
    // Either mode restores the pixels when the same outline is drawn again;
    // the choice makes a dark chosen pen show as inverted pixels too.
    c.SetPenMode(SetPen->Colour().blue() < 128 ? TPenMode::NotXor : TPenMode::Xor);
    DrawShape(ShapeStartX, ShapeStartY, ShapeEndX, ShapeEndY);
    ShapeEndX = x;
    ShapeEndY = y;
    DrawShape(ShapeStartX, ShapeStartY, ShapeEndX, ShapeEndY);
}

// View coordinates are used as picture coordinates: the view shows the
// picture at 100 % from its top-left corner.
void TSSTVForm::ImageEnView1MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, int x, int y)
{
    if (FreeHand1->isChecked()) {
        PenDown = true;
        Canvas().MoveTo(x, y);
    }
    if (ShapeToolChecked()) {
        PenDown = true;
        ShapeStartX = ShapeEndX = x;
        ShapeStartY = ShapeEndY = y;
        RubberBandActive = true;
    }
    if (TextPending) {
        PlaceFreeText(x, y);
    } else if (PastePending) {
        PasteMouseDown(x, y);
    }
}

void TSSTVForm::ImageEnView1MouseMove(Qt::KeyboardModifiers, int x, int y)
{
    if (PenDown) {
        if (FreeHand1->isChecked()) {
            ImageEnView1->Deselect();
            Canvas().LineTo(x, y);
            ReloadLargeView();
            UpdateViewSize();
        }
        if (ShapeToolChecked()) {
            ImageEnView1->Deselect();
            RubberBandTo(x, y);
            ReloadLargeView();
            UpdateViewSize();
        }
    }
    LastPointerX = x;
    LastPointerY = y;
    if (TextPending) {
        // The repaint draws the preview at the new position, without trails.
        UpdateViewSize();
    } else if (PastePending) {
        PastePreviewAt(x, y);
    }
}

void TSSTVForm::ImageEnView1MouseUp(Qt::MouseButton, Qt::KeyboardModifiers, int, int)
{
    PenDown = false;
    if (!ShapeToolChecked())
        return;
    ImageEnView1->Deselect();
    RubberBandActive = false;
    TCanvas &c = Canvas();
    c.SetPenMode(TPenMode::Copy);
    c.SetPenStyle(TPenStyle::Solid);
    c.SetPenWidth(SetPen->ThicknessValue());
    c.SetPenColour(SetPen->Colour());
    DrawShape(ShapeStartX, ShapeStartY, ShapeEndX, ShapeEndY);
    ReloadLargeView();
    UpdateViewSize();
}

void TSSTVForm::ImageEnView1Paint(QPainter &painter)
{
    if (TextPending) {
        DrawTextPreview(painter, LastPointerX, LastPointerY);
    } else if (PastePending) {
        DrawPastePreview(painter, LastPointerX, LastPointerY);
    }
}
