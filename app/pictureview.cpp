#include "app/pictureview.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {
constexpr int kGripSize = 6;
}

TPictureView::TPictureView(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    Marching.setInterval(150);
    connect(&Marching, &QTimer::timeout, this, [this] {
        DashOffset = (DashOffset + 1) % 8;
        update();
    });
}

void TPictureView::Assign(const QImage &picture)
{
    Display = picture.convertToFormat(QImage::Format_RGB888);
    Selection = Clip(Selection);
    update();
}

void TPictureView::SetZoom(double percent)
{
    ZoomPercent = std::clamp(percent, 1.0, 10000.0);
    SetViewOrigin(Origin);
    update();
}

void TPictureView::SetViewOrigin(QPoint origin)
{
    const double scale = ZoomPercent / 100.0;
    const int maxX = std::max(0, int(std::ceil(Display.width() - width() / scale)));
    const int maxY = std::max(0, int(std::ceil(Display.height() - height() / scale)));
    Origin = QPoint(std::clamp(origin.x(), 0, maxX), std::clamp(origin.y(), 0, maxY));
    update();
}

QRect TPictureView::Clip(const QRect &r) const
{
    return r.normalized().intersected(Display.rect());
}

void TPictureView::Select(const QRect &rect)
{
    Selection = Clip(rect);
    if (Selection.isEmpty())
        Marching.stop();
    else
        Marching.start();
    update();
    emit SelectionChanged();
}

void TPictureView::Deselect()
{
    Select(QRect());
}

bool TPictureView::ZoomToSelection()
{
    const QRect sel = Selection;
    if (sel.isEmpty() || sel.left() < 0 || sel.top() < 0 || sel.width() < 2 || sel.height() < 2)
        return false;
    Deselect();
    const double z = std::min(100.0 * height() / sel.height(), 100.0 * width() / sel.width());
    ZoomPercent = z;
    const double scale = z / 100.0;
    const QPointF centre = QRectF(sel).center();
    SetViewOrigin(QPoint(int(std::lround(centre.x() - width() / scale / 2)),
                         int(std::lround(centre.y() - height() / scale / 2))));
    return true;
}

QPoint TPictureView::ViewToPicture(QPoint v) const
{
    const double scale = ZoomPercent / 100.0;
    return QPoint(int(std::floor(v.x() / scale)) + Origin.x(),
                  int(std::floor(v.y() / scale)) + Origin.y());
}

QPoint TPictureView::PictureToView(QPoint p) const
{
    const double scale = ZoomPercent / 100.0;
    return QPoint(int(std::lround((p.x() - Origin.x()) * scale)),
                  int(std::lround((p.y() - Origin.y()) * scale)));
}

QRect TPictureView::ViewRectOf(const QRect &r) const
{
    return QRect(PictureToView(r.topLeft()), PictureToView(r.bottomRight() + QPoint(1, 1)) - QPoint(1, 1));
}

QImage TPictureView::Rendered() const
{
    if (Display.isNull())
        return Display;
    if (std::abs(ZoomPercent - 100.0) < 1e-9 && Origin.isNull())
        return Display.copy();
    QImage out(Display.size(), QImage::Format_RGB888);
    out.fill(Qt::black);
    QPainter p(&out);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const double scale = ZoomPercent / 100.0;
    p.scale(scale, scale);
    p.translate(-Origin);
    p.drawImage(0, 0, Display);
    return out;
}

void TPictureView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    if (!Display.isNull()) {
        p.save();
        const double scale = ZoomPercent / 100.0;
        // Linear filtering for zoomed display, as the view promises.
        p.setRenderHint(QPainter::SmoothPixmapTransform, std::abs(scale - 1.0) > 1e-9);
        p.scale(scale, scale);
        p.translate(-Origin);
        p.drawImage(0, 0, Display);
        p.restore();
    }
    if (!Selection.isEmpty()) {
        const QRect r = ViewRectOf(Selection);
        QPen black(Qt::black, 1, Qt::CustomDashLine);
        black.setDashPattern({4, 4});
        black.setDashOffset(DashOffset);
        p.setPen(QPen(Qt::white, 1));
        p.drawRect(r);
        p.setPen(black);
        p.drawRect(r);
        p.setPen(Qt::black);
        for (const QPoint c : {r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight()})
            p.fillRect(QRect(c - QPoint(kGripSize / 2, kGripSize / 2), QSize(kGripSize, kGripSize)), Qt::white);
    }
    if (PaintHook)
        PaintHook(p);
}

int TPictureView::GripAt(QPoint v) const
{
    if (Selection.isEmpty())
        return -1;
    const QRect r = ViewRectOf(Selection);
    const QPoint corners[4] = {r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight()};
    for (int i = 0; i < 4; ++i)
        if ((v - corners[i]).manhattanLength() <= kGripSize)
            return i;
    return -1;
}

void TPictureView::mousePressEvent(QMouseEvent *e)
{
    const QPoint v = e->position().toPoint();
    if (MouseSelects && e->button() == Qt::LeftButton) {
        DragStart = ViewToPicture(v);
        DragStartRect = Selection;
        DragGrip = GripAt(v);
        if (DragGrip >= 0)
            DragMode = Drag::Resize;
        else if (Selection.contains(DragStart))
            DragMode = Drag::Move;
        else {
            DragMode = Drag::Create;
            if (!Selection.isEmpty())
                Deselect();
        }
    }
    emit MouseDown(e->button(), e->modifiers(), v.x(), v.y());
}

void TPictureView::mouseMoveEvent(QMouseEvent *e)
{
    const QPoint v = e->position().toPoint();
    if (DragMode != Drag::None && (e->buttons() & Qt::LeftButton)) {
        const QPoint p = ViewToPicture(v);
        switch (DragMode) {
        case Drag::Create:
            Select(QRect(DragStart, p));
            break;
        case Drag::Move: {
            QRect r = DragStartRect.translated(p - DragStart);
            // Keep the size while moving; the borders stop it.
            r.moveLeft(std::clamp(r.left(), 0, std::max(0, Display.width() - r.width())));
            r.moveTop(std::clamp(r.top(), 0, std::max(0, Display.height() - r.height())));
            Select(r);
            break;
        }
        case Drag::Resize: {
            QRect r = DragStartRect;
            if (DragGrip == 0) r.setTopLeft(p);
            if (DragGrip == 1) r.setTopRight(p);
            if (DragGrip == 2) r.setBottomLeft(p);
            if (DragGrip == 3) r.setBottomRight(p);
            Select(r);
            break;
        }
        case Drag::None:
            break;
        }
    }
    emit MouseMove(e->modifiers(), v.x(), v.y());
}

void TPictureView::mouseReleaseEvent(QMouseEvent *e)
{
    const QPoint v = e->position().toPoint();
    if (DragMode == Drag::Create && Selection.width() < 2 && Selection.height() < 2)
        Deselect(); // a click without a drag leaves no selection
    DragMode = Drag::None;
    emit MouseUp(e->button(), e->modifiers(), v.x(), v.y());
}
