#pragma once
// Pictures and measures shared by the codec tests and the codec benchmark.
#include <QImage>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace codectest {

// A deterministic picture with the statistics of a photograph: detail at
// every scale with falling strength (sum of value-noise octaves), soft
// colour gradients, a few hard edges and a little grain.
inline QImage PhotoLike(int w, int h, uint32_t seed = 12345)
{
    uint32_t state = seed;
    auto rnd = [&state] {
        state = state * 1664525u + 1013904223u;
        return double(state >> 8) / double(1u << 24);
    };
    std::vector<double> plane[3];
    for (auto &p : plane)
        p.assign(size_t(w) * h, 0.0);
    for (int c = 0; c < 3; ++c) {
        for (int cell = 128, amp = 64; cell >= 2; cell /= 2, amp = amp * 6 / 10) {
            const int gw = w / cell + 2, gh = h / cell + 2;
            std::vector<double> grid(size_t(gw) * gh);
            for (double &g : grid)
                g = (rnd() - 0.5) * amp;
            for (int y = 0; y < h; ++y) {
                const double fy = double(y) / cell;
                const int iy = int(fy);
                const double ty = fy - iy, sy = ty * ty * (3 - 2 * ty);
                for (int x = 0; x < w; ++x) {
                    const double fx = double(x) / cell;
                    const int ix = int(fx);
                    const double tx = fx - ix, sx = tx * tx * (3 - 2 * tx);
                    const double a = grid[size_t(iy) * gw + ix], b = grid[size_t(iy) * gw + ix + 1];
                    const double d = grid[size_t(iy + 1) * gw + ix], e = grid[size_t(iy + 1) * gw + ix + 1];
                    plane[c][size_t(y) * w + x] += (a + (b - a) * sx) * (1 - sy) + (d + (e - d) * sx) * sy;
                }
            }
        }
    }
    QImage img(w, h, QImage::Format_RGB888);
    for (int y = 0; y < h; ++y) {
        uchar *line = img.scanLine(y);
        for (int x = 0; x < w; ++x) {
            // Channels share most of their structure, as in real scenes.
            const double luma = plane[0][size_t(y) * w + x];
            double v[3] = {luma + 0.35 * plane[1][size_t(y) * w + x], luma + 0.2 * plane[2][size_t(y) * w + x],
                           luma - 0.3 * plane[1][size_t(y) * w + x]};
            const double sky = 60.0 * y / h;
            v[0] += 110 + 50.0 * x / w - sky;
            v[1] += 120 - sky * 0.5;
            v[2] += 150 - sky;
            // A house-like block and a disc: hard edges.
            if (x > w / 5 && x < w / 2 && y > h / 2 && y < h * 9 / 10) {
                v[0] += 60;
                v[1] += 20;
                v[2] -= 40;
            }
            const double dx = x - w * 0.72, dy = y - h * 0.3;
            if (dx * dx + dy * dy < (h * 0.12) * (h * 0.12)) {
                v[0] += 90;
                v[1] += 80;
                v[2] -= 60;
            }
            for (int c = 0; c < 3; ++c) {
                const double grain = (rnd() - 0.5) * 6;
                line[3 * x + c] = uchar(std::clamp(std::lround(v[c] + grain), 0L, 255L));
            }
        }
    }
    return img;
}

// Peak signal-to-noise ratio in dB over all three channels; 99 for equal
// pictures, 0 for pictures of different sizes.
inline double Psnr(const QImage &a, const QImage &b)
{
    if (a.size() != b.size() || a.isNull())
        return 0;
    const QImage x = a.convertToFormat(QImage::Format_RGB888), y = b.convertToFormat(QImage::Format_RGB888);
    double sum = 0;
    for (int r = 0; r < x.height(); ++r) {
        const uchar *p = x.constScanLine(r), *q = y.constScanLine(r);
        for (int i = 0; i < 3 * x.width(); ++i) {
            const double d = double(p[i]) - q[i];
            sum += d * d;
        }
    }
    const double mse = sum / (3.0 * x.width() * x.height());
    return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

} // namespace codectest
