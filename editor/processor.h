#pragma once
// The picture processor of the large view: it works on one target picture at
// a time (the working picture, or the view's display copy together with the
// view's selection), keeps one undo copy, and carries the cut colour. It knows
// no widget and no clipboard: callers hand clipboard pictures in and take
// them out.
#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>

#include <array>
#include <functional>

// A 3 by 3 convolution kernel, row by row.
using TKernel3 = std::array<std::array<int, 3>, 3>;

// Convolution with a 3 by 3 kernel and an integer divisor, per colour
// channel: neighbours beyond an edge are the edge pixel itself, the weighted
// sum is divided with truncation toward zero and limited to 0 to 255. Every
// value comes from the unchanged picture. A divisor of 0 counts as 1.
QImage Convolve3(const QImage &picture, const TKernel3 &kernel, int divisor);

// The Sharpen kernel: only horizontal detail is sharpened.
inline constexpr TKernel3 kSharpenKernel = {{{0, 0, 0}, {-1, 5, -1}, {0, 0, 0}}};
inline constexpr int kSharpenDivisor = 3;

class TPictureProcessor {
public:
    // Maps a view pixel to a display copy pixel (identity at 100 % zoom).
    using TViewMapping = std::function<QPoint(QPoint)>;

    // The working picture: every operation covers the whole picture.
    void AttachPicture(QImage *picture);
    // The view's display copy: the view's selection (display copy pixels) is
    // seen, and paste points are view pixels.
    void AttachDisplay(QImage *display, std::function<QRect()> selection, TViewMapping viewToPicture);

    QImage *Target() const { return Current; }
    bool TargetsDisplay() const { return OnDisplay; }
    // The selection as the processor sees it: empty unless on the display
    // copy, cut at the target's borders.
    QRect Selection() const;

    bool HasUndo() const { return !UndoCopy.isNull(); }
    const QImage &UndoPicture() const { return UndoCopy; }
    // Replaces the undo copy with a copy of the target.
    void SaveUndo();
    // Copies the undo copy into the current target, keeping the undo copy.
    // Nothing without an undo copy or a target.
    void Undo();

    QColor CutColour = Qt::black;

    // Whether the filter and the preview dialog may run: a 24-bit target.
    bool Is24Bit() const;
    // The preview dialog also needs 2 pixels in width or height.
    bool CanPreview() const;

    // Each of these takes the undo copy first and covers the whole target.
    // They return whether they ran.
    bool Filter(const TKernel3 &kernel, int divisor);
    bool Negative();
    bool FlipHorizontal();
    bool FlipVertical();
    bool Fill(const QColor &colour);
    // The adjusted picture of the preview dialog replaces the target.
    bool ApplyResult(const QImage &result);

    // The selected rectangle, or the whole target without a selection.
    QImage CopySelection() const;
    // With a selection: returns it (for the clipboard) and fills it with the
    // cut colour, after taking the undo copy. Without one: a null picture,
    // nothing changed, no undo copy.
    QImage CutSelection();
    // Fills the selection with the cut colour; the undo copy is taken even
    // without a selection, which leaves the target unchanged.
    void ClearSelection();
    // Draws clip unscaled with its top-left corner at (x, y), clipped to the
    // target; on the display copy (x, y) is a view pixel. A null clip (no
    // picture on the clipboard) changes nothing and takes no undo copy.
    bool PasteAt(const QImage &clip, int x, int y);
    // With a selection: clip stretched into it; without: clip replaces the
    // whole target, size included. A null clip changes nothing.
    bool PasteStretched(const QImage &clip);

private:
    QImage *Current = nullptr;
    bool OnDisplay = false;
    std::function<QRect()> DisplaySelection;
    TViewMapping ViewToPicture;
    QImage UndoCopy;
};

// Draws clip onto picture with its top-left corner at (x, y), clipped.
void DrawClipped(QImage &picture, const QImage &clip, int x, int y);
