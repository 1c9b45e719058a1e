#pragma once
// The adjustments offered by the preview dialog's pages. Each is a pure
// function from a 24-bit picture and its settings to a new 24-bit picture of
// the same size; the source is never changed. A null source gives a null
// result.
#include <QImage>
#include <QRect>

#include <array>

// Contrast in per cent (-100 flat grey .. 0 unchanged .. 100 doubled around
// mid grey), then brightness added (-255 .. 255).
QImage AdjustContrast(const QImage &src, int contrast, int brightness);

// Hue turned by degrees, saturation and value scaled by (100 + percent) / 100.
QImage AdjustHsv(const QImage &src, int hueDegrees, int saturationPercent, int valuePercent);

// Hue turned by degrees; saturation scaled by (100 + percent) / 100;
// lightness moved toward white (positive) or black (negative) by percent.
QImage AdjustHsl(const QImage &src, int hueDegrees, int saturationPercent, int lightnessPercent);

// An amount added to each channel (-255 .. 255).
QImage AdjustRgb(const QImage &src, int red, int green, int blue);

// A typed 3 by 3 kernel, a divisor (0 counts as 1) and a bias added after
// the division; edges repeat the border pixels.
QImage UserFilter(const QImage &src, const std::array<int, 9> &kernel, int divisor, int bias);

// Histogram equalisation of each channel, or of the luminance only (colours
// keep their balance).
QImage Equalize(const QImage &src, bool luminanceOnly);

// The spectrum as a picture: the logarithm of the magnitude of the discrete
// Fourier transform of the luminance, zero frequency in the centre, scaled
// to 0 .. 255 grey.
QImage FftSpectrum(const QImage &src);
// Each channel transformed, the frequencies in region (spectrum picture
// pixels, zero frequency in the centre) kept and the rest cleared, or the
// region cleared and the rest kept, then transformed back.
QImage FftFilter(const QImage &src, const QRect &region, bool keepRegion);

// Lit as a relief whose heights are the luminance: light from azimuth
// degrees (0 from the right, 90 from the top) at elevation degrees above the
// picture; depth scales the relief (1 .. 20).
QImage BumpMap(const QImage &src, int azimuthDegrees, int elevationDegrees, int depth);

// A magnifying lens centred on (cx, cy) with the radius in pixels;
// refraction above 1 magnifies the middle (1 leaves the picture unchanged).
QImage Lens(const QImage &src, int cx, int cy, int radius, double refraction);

// Pixels shifted along a sine: amplitude and wavelength in pixels, phase in
// degrees; horizontal waves move pixels up and down along x, vertical waves
// move them left and right along y.
QImage Wave(const QImage &src, int amplitude, int wavelength, int phaseDegrees, bool horizontal, bool vertical);

enum class TMorphOp { Erode, Dilate, Open, Close };
// A square window of size pixels (odd, 1 .. 31), repeated iterations times.
QImage Morph(const QImage &src, TMorphOp op, int size, int iterations);

// Turned by degrees (counter-clockwise) about the centre, same size, the
// uncovered corners in background.
QImage Rotate(const QImage &src, double degrees, QRgb background);
