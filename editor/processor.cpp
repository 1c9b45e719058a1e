#include "editor/processor.h"

#include <QPainter>

#include <algorithm>

QImage Convolve3(const QImage &picture, const TKernel3 &kernel, int divisor)
{
    const QImage src = picture.convertToFormat(QImage::Format_RGB888);
    if (divisor == 0)
        divisor = 1;
    QImage out(src.size(), QImage::Format_RGB888);
    const int w = src.width(), h = src.height();
    for (int y = 0; y < h; ++y) {
        const uchar *rows[3];
        for (int k = 0; k < 3; ++k)
            rows[k] = src.constScanLine(std::clamp(y + k - 1, 0, h - 1));
        uchar *dst = out.scanLine(y);
        for (int x = 0; x < w; ++x) {
            const int cols[3] = {std::max(x - 1, 0), x, std::min(x + 1, w - 1)};
            for (int ch = 0; ch < 3; ++ch) {
                int s = 0;
                for (int ky = 0; ky < 3; ++ky)
                    for (int kx = 0; kx < 3; ++kx)
                        s += kernel[ky][kx] * rows[ky][cols[kx] * 3 + ch];
                // Integer division truncates toward zero.
                dst[x * 3 + ch] = uchar(std::clamp(s / divisor, 0, 255));
            }
        }
    }
    return out;
}

void DrawClipped(QImage &picture, const QImage &clip, int x, int y)
{
    if (clip.isNull() || picture.isNull())
        return;
    const QImage src = clip.convertToFormat(picture.format());
    const QRect area = QRect(QPoint(x, y), src.size()).intersected(picture.rect());
    if (area.isEmpty())
        return;
    const int bpp = picture.depth() / 8;
    for (int row = area.top(); row <= area.bottom(); ++row) {
        const uchar *from = src.constScanLine(row - y) + (area.left() - x) * bpp;
        std::copy_n(from, area.width() * bpp, picture.scanLine(row) + area.left() * bpp);
    }
}

void TPictureProcessor::AttachPicture(QImage *picture)
{
    Current = picture;
    OnDisplay = false;
    DisplaySelection = {};
    ViewToPicture = {};
}

void TPictureProcessor::AttachDisplay(QImage *display, std::function<QRect()> selection, TViewMapping viewToPicture)
{
    Current = display;
    OnDisplay = true;
    DisplaySelection = std::move(selection);
    ViewToPicture = std::move(viewToPicture);
}

QRect TPictureProcessor::Selection() const
{
    if (!Current || !OnDisplay || !DisplaySelection)
        return {};
    return DisplaySelection().normalized().intersected(Current->rect());
}

void TPictureProcessor::SaveUndo()
{
    if (Current)
        UndoCopy = Current->copy();
}

void TPictureProcessor::Undo()
{
    if (Current && !UndoCopy.isNull())
        *Current = UndoCopy.copy();
}

bool TPictureProcessor::Is24Bit() const
{
    return Current && !Current->isNull() && Current->format() == QImage::Format_RGB888;
}

bool TPictureProcessor::CanPreview() const
{
    return Is24Bit() && (Current->width() >= 2 || Current->height() >= 2);
}

bool TPictureProcessor::Filter(const TKernel3 &kernel, int divisor)
{
    if (!Is24Bit())
        return false;
    SaveUndo();
    *Current = Convolve3(*Current, kernel, divisor);
    return true;
}

bool TPictureProcessor::Negative()
{
    if (!Current || Current->isNull())
        return false;
    SaveUndo();
    Current->invertPixels();
    return true;
}

bool TPictureProcessor::FlipHorizontal()
{
    if (!Current || Current->isNull())
        return false;
    SaveUndo();
    *Current = Current->mirrored(true, false);
    return true;
}

bool TPictureProcessor::FlipVertical()
{
    if (!Current || Current->isNull())
        return false;
    SaveUndo();
    *Current = Current->mirrored(false, true);
    return true;
}

bool TPictureProcessor::Fill(const QColor &colour)
{
    if (!Current || Current->isNull())
        return false;
    SaveUndo();
    Current->fill(colour);
    return true;
}

bool TPictureProcessor::ApplyResult(const QImage &result)
{
    if (!Current || result.isNull())
        return false;
    SaveUndo();
    *Current = result.convertToFormat(QImage::Format_RGB888);
    return true;
}

QImage TPictureProcessor::CopySelection() const
{
    if (!Current)
        return {};
    const QRect sel = Selection();
    return sel.isEmpty() ? Current->copy() : Current->copy(sel);
}

QImage TPictureProcessor::CutSelection()
{
    const QRect sel = Selection();
    if (sel.isEmpty())
        return {};
    const QImage cut = Current->copy(sel);
    SaveUndo();
    QPainter(Current).fillRect(sel, CutColour);
    return cut;
}

void TPictureProcessor::ClearSelection()
{
    if (!Current)
        return;
    SaveUndo();
    const QRect sel = Selection();
    if (!sel.isEmpty())
        QPainter(Current).fillRect(sel, CutColour);
}

bool TPictureProcessor::PasteAt(const QImage &clip, int x, int y)
{
    if (!Current || clip.isNull())
        return false;
    QPoint at(x, y);
    if (OnDisplay && ViewToPicture)
        at = ViewToPicture(at);
    SaveUndo();
    DrawClipped(*Current, clip, at.x(), at.y());
    return true;
}

bool TPictureProcessor::PasteStretched(const QImage &clip)
{
    if (!Current || clip.isNull())
        return false;
    const QRect sel = Selection();
    SaveUndo();
    if (sel.isEmpty()) {
        *Current = clip.convertToFormat(QImage::Format_RGB888);
        return true;
    }
    const QImage scaled = clip.convertToFormat(QImage::Format_RGB888)
                              .scaled(sel.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    DrawClipped(*Current, scaled, sel.left(), sel.top());
    return true;
}
