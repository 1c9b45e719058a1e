// The Edit menu: clipboard copy, cut and the three pastes (one placed with a
// click in the large view), Fill Selected; and the binding of the edit, image
// and view commands.
#include "app/sstvform.h"

#include "app/guard.h"
#include "editor/processor.h"
#include "editor/ruler.h"

#include <QAction>
#include <QClipboard>
#include <QColorDialog>
#include <QGuiApplication>
#include <QMenu>
#include <QPainter>

namespace {
// A clipboard picture larger than this is not taken: pictures here are
// 512 by 384, and the view keeps a full copy of whatever is pasted.
constexpr int kMaxClipboardSide = 8192;

// The placeholder the window made, replaced by a ruler at the same place.
QWidget *ReplaceWithRuler(QWidget *old, Qt::Orientation orientation)
{
    auto *ruler = new TRuler(orientation, old->parentWidget());
    ruler->setGeometry(old->geometry());
    ruler->hide();
    delete old;
    return ruler;
}
} // namespace

void TSSTVForm::BindEditCommands()
{
    PictureProc = std::make_shared<TPictureProcessor>();
    TargetDisplayCopy();

    ColorDialog1 = new QColorDialog(QColor(0, 0, 0), this);
    ColorDialog1->setOption(QColorDialog::DontUseNativeDialog);

    RulerBox1 = ReplaceWithRuler(RulerBox1, Qt::Horizontal);
    RulerBox2 = ReplaceWithRuler(RulerBox2, Qt::Vertical);
    Ruler1->setCheckable(true);
    Ruler1->setChecked(false);

    const std::pair<QAction *, void (TSSTVForm::*)()> items[] = {
        {Copy2, &TSSTVForm::Copy2Click},
        {Copy1, &TSSTVForm::Copy1Click},
        {Cut1, &TSSTVForm::Cut1Click},
        {Paste1, &TSSTVForm::Paste1Click},
        {PasteAll1, &TSSTVForm::PasteAll1Click},
        {PasteSelected1, &TSSTVForm::PasteSelected1Click},
        {FillSelected1, &TSSTVForm::FillSelected1Click},
        {Undo1, &TSSTVForm::Undo1Click},
        {Sharpen1, &TSSTVForm::Sharpen1Click},
        {Process1, &TSSTVForm::Process1Click},
        {Negative1, &TSSTVForm::Negative1Click},
        {Horizontal1, &TSSTVForm::Horizontal1Click},
        {Vertical1, &TSSTVForm::Vertical1Click},
        {Efects1, &TSSTVForm::Efects1Click},
        {FillFrame1, &TSSTVForm::FillFrame1Click},
        {ZoomFit1, &TSSTVForm::ZoomFit1Click},
        {ZoomSelected1, &TSSTVForm::ZoomSelected1Click},
        {Ruler1, &TSSTVForm::Ruler1Click},
    };
    for (const auto &[action, handler] : items) {
        action->setEnabled(true);
        connect(action, &QAction::triggered, this, Handler(this, handler));
    }
    Flop1->setEnabled(true);

    // The armed paste previews whatever picture the clipboard holds now.
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, [this] {
        if (PastePending)
            PastePreviewPicture = ClipboardPicture();
    });
}

TPictureProcessor &TSSTVForm::Proc()
{
    return *PictureProc;
}

void TSSTVForm::TargetWorkingPicture()
{
    Proc().AttachPicture(&Image1);
}

void TSSTVForm::TargetDisplayCopy()
{
    TPictureView *view = ImageEnView1;
    Proc().AttachDisplay(
        &view->Picture(), [view] { return view->SelectionRect(); },
        [view](QPoint p) { return view->ViewToPicture(p); });
}

void TSSTVForm::DrawViewOntoWorkingPicture()
{
    DrawClipped(Image1, ImageEnView1->Rendered(), 0, 0);
}

QImage TSSTVForm::ClipboardPicture() const
{
    const QImage img = QGuiApplication::clipboard()->image();
    if (img.isNull() || img.width() > kMaxClipboardSide || img.height() > kMaxClipboardSide)
        return {};
    return img.convertToFormat(QImage::Format_RGB888);
}

void TSSTVForm::PutOnClipboard(const QImage &picture)
{
    if (!picture.isNull())
        QGuiApplication::clipboard()->setImage(picture);
}

void TSSTVForm::Copy2Click()
{
    PenDown = false;
    FreeHand1->setChecked(false);
    // The selection is the view's even while the processor points at the
    // working picture; the target itself stays where it is, so an Undo
    // after Copy still undoes the last image command.
    TPictureProcessor view;
    TPictureView *v = ImageEnView1;
    view.AttachDisplay(&v->Picture(), [v] { return v->SelectionRect(); }, {});
    PutOnClipboard(view.CopySelection());
    ImageEnView1->Deselect();
}

void TSSTVForm::Copy1Click()
{
    ImageEnView1->Deselect();
    PutOnClipboard(Proc().CopySelection());
}

void TSSTVForm::Cut1Click()
{
    // On the display copy, so the command sees the selection even right
    // after an image command.
    TargetDisplayCopy();
    Proc().CutColour = QColor(0, 0, 0);
    PutOnClipboard(Proc().CutSelection());
    ImageEnView1->Deselect();
    DrawViewOntoWorkingPicture();
    UpdateViewSize();
    TargetDisplayCopy();
}

void TSSTVForm::FillSelected1Click()
{
    TargetDisplayCopy();
    Proc().CutColour = ColorDialog1Colour;
    Proc().ClearSelection();
    ImageEnView1->Deselect();
    DrawViewOntoWorkingPicture();
    UpdateViewSize();
    TargetDisplayCopy();
}

void TSSTVForm::PasteSelected1Click()
{
    TargetDisplayCopy();
    Proc().PasteStretched(ClipboardPicture());
    ImageEnView1->Deselect();
    DrawViewOntoWorkingPicture();
    TargetDisplayCopy();
    CommitWorkingPicture();
    UpdateViewSize();
}

void TSSTVForm::PasteAll1Click()
{
    TargetWorkingPicture();
    Proc().PasteAt(ClipboardPicture(), 0, 0);
    TargetDisplayCopy();
    CommitWorkingPicture();
    UpdateViewSize();
}

void TSSTVForm::Paste1Click()
{
    ImageEnView1->Deselect();
    PastePending = true;
    PastePreviewPicture = ClipboardPicture();
}

bool TSSTVForm::PasteMouseDown(int x, int y)
{
    if (!PastePending || TextPending)
        return false;
    PastePending = false;
    PastePreviewPicture = QImage();
    TargetWorkingPicture();
    // View pixels are the working picture's pixels (the view shows it at
    // 100 % from its top-left corner).
    Proc().PasteAt(ClipboardPicture(), x, y);
    TargetDisplayCopy();
    CommitWorkingPicture();
    UpdateViewSize();
    return true;
}

// The preview goes into the display copy only, never into the working
// picture, and takes no undo copy: it is refilled at every move.
void TSSTVForm::PastePreviewAt(int x, int y)
{
    if (!PastePending || TextPending)
        return;
    ReloadLargeView();
    const QPoint at = ImageEnView1->ViewToPicture(QPoint(x, y));
    DrawClipped(ImageEnView1->Picture(), PastePreviewPicture, at.x(), at.y());
    UpdateViewSize();
}

void TSSTVForm::DrawPastePreview(QPainter &painter, int x, int y)
{
    if (!PastePending || TextPending || PastePreviewPicture.isNull())
        return;
    const QImage &display = ImageEnView1->Picture();
    const QPoint at = ImageEnView1->ViewToPicture(QPoint(x, y));
    const QRect area = QRect(at, PastePreviewPicture.size()).intersected(display.rect());
    if (area.isEmpty())
        return;
    // Drawn with the painter in view pixels: nothing here asks for a repaint.
    const QPoint topLeft = ImageEnView1->PictureToView(area.topLeft());
    const QPoint bottomRight = ImageEnView1->PictureToView(area.bottomRight() + QPoint(1, 1));
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, ImageEnView1->Zoom() != 100.0);
    painter.drawImage(QRect(topLeft, bottomRight - QPoint(1, 1)), PastePreviewPicture,
                      QRect(area.topLeft() - at, area.size()));
    painter.restore();
}
