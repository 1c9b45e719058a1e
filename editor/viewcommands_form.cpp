// The View menu: zoom to a selection and back, and the two rulers. While a
// view is zoomed its flag makes UpdateViewSize take the editing menus away.
#include "app/sstvform.h"

#include <QAction>
#include <QRadioButton>
#include <QTableWidget>

void TSSTVForm::ZoomFit1Click()
{
    TPictureView *view = ImageEnView1;
    if (SmallPic->isChecked()) {
        SmallZoomed = false;
        view = ImageEnView2;
    } else {
        LargeZoomed = false;
    }
    view->Deselect();
    view->SetZoom(100);
    view->SetViewOrigin(QPoint(0, 0));
    UpdateViewSize();
}

void TSSTVForm::ZoomSelected1Click()
{
    // Without a usable selection the zoom stays, but the flag is set all
    // the same.
    if (SmallPic->isChecked()) {
        SmallZoomed = true;
        ImageEnView2->ZoomToSelection();
    } else {
        LargeZoomed = true;
        ImageEnView1->ZoomToSelection();
    }
    UpdateViewSize();
    ImageEnView1->Deselect();
}

void TSSTVForm::Ruler1Click()
{
    // The hidden ruler is the state: the menu may or may not have toggled
    // the check mark already.
    const bool show = RulerBox1->isHidden();
    RulerBox1->setVisible(show);
    RulerBox2->setVisible(show);
    Ruler1->setChecked(show);
    // The narrower list makes room for the vertical ruler.
    CallList1->resize(show ? 245 : 258, CallList1->height());
}
