#pragma once
// A picture view with its own display copy, a zoom percentage, scrolling, one
// rectangular selection made with the mouse, and a paint hook for previews.
// It never touches the picture it was filled from: callers copy pictures in
// and out explicitly.
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QTimer>
#include <QWidget>

#include <functional>

class QPainter;

class TPictureView : public QWidget {
    Q_OBJECT
public:
    explicit TPictureView(QWidget *parent = nullptr);

    // The display copy. Mutating it directly is allowed; call update() after.
    QImage &Picture() { return Display; }
    const QImage &Picture() const { return Display; }
    // Replaces the display copy with a 24-bit copy of picture.
    void Assign(const QImage &picture);

    double Zoom() const { return ZoomPercent; }
    void SetZoom(double percent);
    QPoint ViewOrigin() const { return Origin; }
    void SetViewOrigin(QPoint origin);

    // Selection, in picture pixels, cut at the picture's borders.
    bool HasSelection() const { return !Selection.isEmpty(); }
    QRect SelectionRect() const { return Selection; }
    void Select(const QRect &rect);
    void Deselect();
    void SetMouseSelects(bool on) { MouseSelects = on; }
    bool MouseSelectsEnabled() const { return MouseSelects; }

    // Zoom so the selection fills the view and centre it; the selection is
    // removed. Does nothing without a usable selection (at least 2 by 2 with
    // non-negative left and top). Returns whether it zoomed.
    bool ZoomToSelection();

    // The display copy as the view shows it, at picture size: at 100 % a
    // one-to-one copy from the top-left corner.
    QImage Rendered() const;

    QPoint ViewToPicture(QPoint viewPixel) const;
    QPoint PictureToView(QPoint picturePixel) const;

    // Called at the end of every paint with a painter on the view, so callers
    // can draw previews that never reach the display copy.
    std::function<void(QPainter &)> PaintHook;

signals:
    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers mods, int x, int y);
    void MouseMove(Qt::KeyboardModifiers mods, int x, int y);
    void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers mods, int x, int y);
    void SelectionChanged();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    enum class Drag { None, Create, Move, Resize };
    QRect Clip(const QRect &r) const;
    int GripAt(QPoint viewPixel) const;
    QRect ViewRectOf(const QRect &pictureRect) const;

    QImage Display;
    double ZoomPercent = 100.0;
    QPoint Origin; // picture pixel shown at the view's top-left corner
    QRect Selection;
    bool MouseSelects = true;
    Drag DragMode = Drag::None;
    QPoint DragStart;
    QRect DragStartRect;
    int DragGrip = -1;
    int DashOffset = 0;
    QTimer Marching;
};
