#include "editor/adjust.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

cv::Mat ToMat(const QImage &img)
{
    const QImage rgb = img.convertToFormat(QImage::Format_RGB888);
    return cv::Mat(rgb.height(), rgb.width(), CV_8UC3, const_cast<uchar *>(rgb.constBits()),
                   size_t(rgb.bytesPerLine()))
        .clone();
}

QImage FromMat(const cv::Mat &m)
{
    cv::Mat rgb = m;
    if (m.type() == CV_8UC1)
        cv::cvtColor(m, rgb, cv::COLOR_GRAY2RGB);
    QImage out(rgb.cols, rgb.rows, QImage::Format_RGB888);
    for (int y = 0; y < rgb.rows; ++y)
        std::copy_n(rgb.ptr<uchar>(y), size_t(rgb.cols) * 3, out.scanLine(y));
    return out;
}

bool Usable(const QImage &src)
{
    return !src.isNull() && src.width() > 0 && src.height() > 0;
}

// Floating RGB in 0 .. 1.
cv::Mat ToFloat(const QImage &src)
{
    cv::Mat f;
    ToMat(src).convertTo(f, CV_32FC3, 1.0 / 255.0);
    return f;
}

QImage FromFloat(const cv::Mat &f)
{
    cv::Mat m;
    f.convertTo(m, CV_8UC3, 255.0);
    return FromMat(m);
}

float WrapHue(float h)
{
    h = std::fmod(h, 360.0f);
    return h < 0 ? h + 360.0f : h;
}

// Moves a quadrant-ordered frequency array so that zero frequency lands at
// (cols / 2, rows / 2), or back.
cv::Mat Centred(const cv::Mat &m, bool forward)
{
    cv::Mat out(m.size(), m.type());
    const int w = m.cols, h = m.rows;
    const int sx = forward ? w / 2 : w - w / 2, sy = forward ? h / 2 : h - h / 2;
    const size_t px = m.elemSize();
    for (int y = 0; y < h; ++y) {
        const uchar *from = m.ptr<uchar>(y);
        uchar *to = out.ptr<uchar>((y + sy) % h);
        for (int x = 0; x < w; ++x)
            std::copy_n(from + x * px, px, to + ((x + sx) % w) * px);
    }
    return out;
}

cv::Mat Remapped(const cv::Mat &src, const cv::Mat &mapX, const cv::Mat &mapY)
{
    cv::Mat out;
    cv::remap(src, out, mapX, mapY, cv::INTER_LINEAR, cv::BORDER_REPLICATE);
    return out;
}

} // namespace

QImage AdjustContrast(const QImage &src, int contrast, int brightness)
{
    if (!Usable(src))
        return {};
    const double alpha = 1.0 + std::clamp(contrast, -100, 100) / 100.0;
    cv::Mat out;
    ToMat(src).convertTo(out, CV_8UC3, alpha, 128.0 * (1.0 - alpha) + std::clamp(brightness, -255, 255));
    return FromMat(out);
}

QImage AdjustHsv(const QImage &src, int hueDegrees, int saturationPercent, int valuePercent)
{
    if (!Usable(src))
        return {};
    cv::Mat hsv;
    cv::cvtColor(ToFloat(src), hsv, cv::COLOR_RGB2HSV);
    const float s = std::max(0, 100 + saturationPercent) / 100.0f;
    const float v = std::max(0, 100 + valuePercent) / 100.0f;
    hsv.forEach<cv::Vec3f>([&](cv::Vec3f &p, const int *) {
        p[0] = WrapHue(p[0] + float(hueDegrees));
        p[1] = std::clamp(p[1] * s, 0.0f, 1.0f);
        p[2] = std::clamp(p[2] * v, 0.0f, 1.0f);
    });
    cv::Mat rgb;
    cv::cvtColor(hsv, rgb, cv::COLOR_HSV2RGB);
    return FromFloat(rgb);
}

QImage AdjustHsl(const QImage &src, int hueDegrees, int saturationPercent, int lightnessPercent)
{
    if (!Usable(src))
        return {};
    cv::Mat hls;
    cv::cvtColor(ToFloat(src), hls, cv::COLOR_RGB2HLS);
    const float s = std::max(0, 100 + saturationPercent) / 100.0f;
    const float l = std::clamp(lightnessPercent, -100, 100) / 100.0f;
    hls.forEach<cv::Vec3f>([&](cv::Vec3f &p, const int *) {
        p[0] = WrapHue(p[0] + float(hueDegrees));
        p[1] = l >= 0 ? p[1] + (1.0f - p[1]) * l : p[1] * (1.0f + l);
        p[2] = std::clamp(p[2] * s, 0.0f, 1.0f);
    });
    cv::Mat rgb;
    cv::cvtColor(hls, rgb, cv::COLOR_HLS2RGB);
    return FromFloat(rgb);
}

QImage AdjustRgb(const QImage &src, int red, int green, int blue)
{
    if (!Usable(src))
        return {};
    cv::Mat out;
    ToMat(src).convertTo(out, CV_16SC3);
    out += cv::Scalar(red, green, blue);
    out.convertTo(out, CV_8UC3);
    return FromMat(out);
}

QImage UserFilter(const QImage &src, const std::array<int, 9> &kernel, int divisor, int bias)
{
    if (!Usable(src))
        return {};
    cv::Mat k(3, 3, CV_32F);
    for (int i = 0; i < 9; ++i)
        k.at<float>(i / 3, i % 3) = float(kernel[size_t(i)]);
    cv::Mat sum, out;
    cv::filter2D(ToMat(src), sum, CV_32F, k, cv::Point(-1, -1), 0, cv::BORDER_REPLICATE);
    sum.convertTo(out, CV_8UC3, 1.0 / (divisor == 0 ? 1 : divisor), bias);
    return FromMat(out);
}

QImage Equalize(const QImage &src, bool luminanceOnly)
{
    if (!Usable(src))
        return {};
    cv::Mat m = ToMat(src);
    std::vector<cv::Mat> planes;
    if (luminanceOnly) {
        cv::Mat ycc;
        cv::cvtColor(m, ycc, cv::COLOR_RGB2YCrCb);
        cv::split(ycc, planes);
        cv::equalizeHist(planes[0], planes[0]);
        cv::merge(planes, ycc);
        cv::cvtColor(ycc, m, cv::COLOR_YCrCb2RGB);
    } else {
        cv::split(m, planes);
        for (cv::Mat &p : planes)
            cv::equalizeHist(p, p);
        cv::merge(planes, m);
    }
    return FromMat(m);
}

QImage FftSpectrum(const QImage &src)
{
    if (!Usable(src))
        return {};
    cv::Mat grey, f, spectrum;
    cv::cvtColor(ToMat(src), grey, cv::COLOR_RGB2GRAY);
    grey.convertTo(f, CV_32F);
    cv::dft(f, spectrum, cv::DFT_COMPLEX_OUTPUT);
    std::vector<cv::Mat> parts;
    cv::split(spectrum, parts);
    cv::Mat mag;
    cv::magnitude(parts[0], parts[1], mag);
    mag += 1.0f;
    cv::log(mag, mag);
    mag = Centred(mag, true);
    cv::Mat out;
    cv::normalize(mag, mag, 0, 255, cv::NORM_MINMAX);
    mag.convertTo(out, CV_8U);
    return FromMat(out);
}

QImage FftFilter(const QImage &src, const QRect &region, bool keepRegion)
{
    if (!Usable(src))
        return {};
    const cv::Mat m = ToMat(src);
    // The mask is drawn in spectrum picture pixels, then moved to the
    // transform's own order.
    cv::Mat mask(m.rows, m.cols, CV_32F, cv::Scalar(keepRegion ? 0.0f : 1.0f));
    const QRect r = region.normalized().intersected(QRect(0, 0, m.cols, m.rows));
    if (!r.isEmpty())
        mask(cv::Rect(r.x(), r.y(), r.width(), r.height())).setTo(keepRegion ? 1.0f : 0.0f);
    mask = Centred(mask, false);
    cv::Mat mask2;
    cv::merge(std::vector<cv::Mat>{mask, mask}, mask2);

    std::vector<cv::Mat> planes;
    cv::split(m, planes);
    for (cv::Mat &p : planes) {
        cv::Mat f, spectrum, back;
        p.convertTo(f, CV_32F);
        cv::dft(f, spectrum, cv::DFT_COMPLEX_OUTPUT);
        spectrum = spectrum.mul(mask2);
        cv::idft(spectrum, back, cv::DFT_SCALE | cv::DFT_REAL_OUTPUT);
        back.convertTo(p, CV_8U);
    }
    cv::Mat out;
    cv::merge(planes, out);
    return FromMat(out);
}

QImage BumpMap(const QImage &src, int azimuthDegrees, int elevationDegrees, int depth)
{
    if (!Usable(src))
        return {};
    const cv::Mat m = ToMat(src);
    cv::Mat grey, height, gx, gy;
    cv::cvtColor(m, grey, cv::COLOR_RGB2GRAY);
    grey.convertTo(height, CV_32F, std::clamp(depth, 1, 20) / 16.0);
    cv::Sobel(height, gx, CV_32F, 1, 0, 3, 1.0 / 8, 0, cv::BORDER_REPLICATE);
    cv::Sobel(height, gy, CV_32F, 0, 1, 3, 1.0 / 8, 0, cv::BORDER_REPLICATE);
    const double az = azimuthDegrees * std::numbers::pi / 180.0;
    const double el = std::clamp(elevationDegrees, 1, 90) * std::numbers::pi / 180.0;
    // The light's direction; y grows downward in the picture.
    const float lx = float(std::cos(el) * std::cos(az)), ly = float(-std::cos(el) * std::sin(az));
    const float lz = float(std::sin(el));
    // A flat area keeps its brightness.
    const float flat = std::max(lz, 0.1f);
    cv::Mat out(m.size(), CV_8UC3);
    for (int y = 0; y < m.rows; ++y) {
        const float *dx = gx.ptr<float>(y), *dy = gy.ptr<float>(y);
        const uchar *from = m.ptr<uchar>(y);
        uchar *to = out.ptr<uchar>(y);
        for (int x = 0; x < m.cols; ++x) {
            const float nx = -dx[x], ny = -dy[x];
            const float len = std::sqrt(nx * nx + ny * ny + 1.0f);
            const float shade = std::max(0.0f, (nx * lx + ny * ly + lz) / len) / flat;
            for (int c = 0; c < 3; ++c)
                to[x * 3 + c] = cv::saturate_cast<uchar>(from[x * 3 + c] * shade);
        }
    }
    return FromMat(out);
}

QImage Lens(const QImage &src, int cx, int cy, int radius, double refraction)
{
    if (!Usable(src))
        return {};
    const cv::Mat m = ToMat(src);
    cv::Mat mapX(m.size(), CV_32F), mapY(m.size(), CV_32F);
    const double r = std::max(1, radius);
    const double power = std::clamp(refraction, 0.2, 10.0) - 1.0;
    for (int y = 0; y < m.rows; ++y)
        for (int x = 0; x < m.cols; ++x) {
            const double dx = x - cx, dy = y - cy;
            const double t = std::sqrt(dx * dx + dy * dy) / r;
            // Inside the lens each pixel comes from nearer the centre.
            const double k = (t < 1.0 && t > 0.0) ? std::pow(t, power) : 1.0;
            mapX.at<float>(y, x) = float(cx + dx * k);
            mapY.at<float>(y, x) = float(cy + dy * k);
        }
    return FromMat(Remapped(m, mapX, mapY));
}

QImage Wave(const QImage &src, int amplitude, int wavelength, int phaseDegrees, bool horizontal, bool vertical)
{
    if (!Usable(src))
        return {};
    const cv::Mat m = ToMat(src);
    cv::Mat mapX(m.size(), CV_32F), mapY(m.size(), CV_32F);
    const double omega = 2.0 * std::numbers::pi / std::max(2, wavelength);
    const double phase = phaseDegrees * std::numbers::pi / 180.0;
    for (int y = 0; y < m.rows; ++y)
        for (int x = 0; x < m.cols; ++x) {
            mapX.at<float>(y, x) = float(x + (vertical ? amplitude * std::sin(omega * y + phase) : 0.0));
            mapY.at<float>(y, x) = float(y + (horizontal ? amplitude * std::sin(omega * x + phase) : 0.0));
        }
    return FromMat(Remapped(m, mapX, mapY));
}

QImage Morph(const QImage &src, TMorphOp op, int size, int iterations)
{
    if (!Usable(src))
        return {};
    size = std::clamp(size | 1, 1, 31);
    const cv::Mat element = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(size, size));
    const int cvOp = op == TMorphOp::Erode  ? cv::MORPH_ERODE
                     : op == TMorphOp::Dilate ? cv::MORPH_DILATE
                     : op == TMorphOp::Open   ? cv::MORPH_OPEN
                                              : cv::MORPH_CLOSE;
    cv::Mat out;
    cv::morphologyEx(ToMat(src), out, cvOp, element, cv::Point(-1, -1), std::clamp(iterations, 1, 20),
                     cv::BORDER_REPLICATE);
    return FromMat(out);
}

QImage Rotate(const QImage &src, double degrees, QRgb background)
{
    if (!Usable(src))
        return {};
    const cv::Mat m = ToMat(src);
    const cv::Point2f centre((m.cols - 1) / 2.0f, (m.rows - 1) / 2.0f);
    const cv::Mat turn = cv::getRotationMatrix2D(centre, degrees, 1.0);
    cv::Mat out;
    cv::warpAffine(m, out, turn, m.size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT,
                   cv::Scalar(qRed(background), qGreen(background), qBlue(background)));
    return FromMat(out);
}
