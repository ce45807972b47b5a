#include "image.h"

#include <algorithm>
#include <cmath>

namespace mk {

Rgba hex(uint32_t v, float a)
{
    return {((v >> 16) & 0xFF) / 255.0f, ((v >> 8) & 0xFF) / 255.0f, (v & 0xFF) / 255.0f, a};
}

Rgba lerp(const Rgba& x, const Rgba& y, float t)
{
    return {x.r + (y.r - x.r) * t, x.g + (y.g - x.g) * t, x.b + (y.b - x.b) * t, x.a + (y.a - x.a) * t};
}

Rgba operator*(const Rgba& c, float k) { return {c.r * k, c.g * k, c.b * k, c.a}; }
Rgba operator+(const Rgba& x, const Rgba& y) { return {x.r + y.r, x.g + y.g, x.b + y.b, x.a}; }

Image::Image(int w, int h, Rgba fill) : w_(w), h_(h), px_(static_cast<size_t>(w) * h, fill) {}

const Rgba& Image::wrapped(int x, int y) const
{
    x %= w_;
    y %= h_;
    if (x < 0) x += w_;
    if (y < 0) y += h_;
    return at(x, y);
}

Rgba Image::sample(float fx, float fy, bool wrap) const
{
    fx -= 0.5f;
    fy -= 0.5f;
    const int x0 = static_cast<int>(std::floor(fx));
    const int y0 = static_cast<int>(std::floor(fy));
    const float tx = fx - x0, ty = fy - y0;
    auto get = [&](int x, int y) -> const Rgba& {
        if (wrap) return wrapped(x, y);
        return at(std::clamp(x, 0, w_ - 1), std::clamp(y, 0, h_ - 1));
    };
    const Rgba top = lerp(get(x0, y0), get(x0 + 1, y0), tx);
    const Rgba bottom = lerp(get(x0, y0 + 1), get(x0 + 1, y0 + 1), tx);
    return lerp(top, bottom, ty);
}

void Image::blend(int x, int y, const Rgba& c, float k)
{
    if (x < 0 || y < 0 || x >= w_ || y >= h_) return;
    const float sa = std::clamp(c.a * k, 0.0f, 1.0f);
    if (sa <= 0) return;
    Rgba& d = at(x, y);
    const float oa = sa + d.a * (1 - sa);
    if (oa <= 0) {
        d = {0, 0, 0, 0};
        return;
    }
    d.r = (c.r * sa + d.r * d.a * (1 - sa)) / oa;
    d.g = (c.g * sa + d.g * d.a * (1 - sa)) / oa;
    d.b = (c.b * sa + d.b * d.a * (1 - sa)) / oa;
    d.a = oa;
}

void Image::addLight(int x, int y, const Rgba& c, float k)
{
    if (x < 0 || y < 0 || x >= w_ || y >= h_ || k <= 0) return;
    Rgba& d = at(x, y);
    d.r += c.r * k;
    d.g += c.g * k;
    d.b += c.b * k;
    d.a = std::min(1.0f, d.a + k * c.a);
}

void Image::drawOver(const Image& src, int dx, int dy, float opacity)
{
    for (int y = 0; y < src.height(); ++y)
        for (int x = 0; x < src.width(); ++x) blend(dx + x, dy + y, src.at(x, y), opacity);
}

Image resample(const Image& src, int w, int h)
{
    Image out(w, h);
    const float sx = static_cast<float>(src.width()) / w;
    const float sy = static_cast<float>(src.height()) / h;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (sx <= 1.0f && sy <= 1.0f) {
                out.at(x, y) = src.sample((x + 0.5f) * sx, (y + 0.5f) * sy);
                continue;
            }
            // Box average over the footprint; alpha-weighted colour so that
            // transparent texels do not darken edges.
            const float fx0 = x * sx, fx1 = (x + 1) * sx, fy0 = y * sy, fy1 = (y + 1) * sy;
            const int ix0 = static_cast<int>(fx0), iy0 = static_cast<int>(fy0);
            const int ix1 = std::min(src.width() - 1, static_cast<int>(std::ceil(fx1)) - 1);
            const int iy1 = std::min(src.height() - 1, static_cast<int>(std::ceil(fy1)) - 1);
            double r = 0, g = 0, b = 0, a = 0, wsum = 0;
            for (int yy = iy0; yy <= iy1; ++yy) {
                const float wy = std::min<float>(yy + 1, fy1) - std::max<float>(yy, fy0);
                for (int xx = ix0; xx <= ix1; ++xx) {
                    const float wx = std::min<float>(xx + 1, fx1) - std::max<float>(xx, fx0);
                    const Rgba& c = src.at(xx, yy);
                    const double wgt = static_cast<double>(wx) * wy;
                    r += c.r * c.a * wgt;
                    g += c.g * c.a * wgt;
                    b += c.b * c.a * wgt;
                    a += c.a * wgt;
                    wsum += wgt;
                }
            }
            Rgba c{0, 0, 0, 0};
            if (a > 1e-9) c = {float(r / a), float(g / a), float(b / a), float(a / wsum)};
            out.at(x, y) = c;
        }
    }
    return out;
}

namespace {

void boxLine(const float* in, float* out, int n, int stride, int r, bool wrap)
{
    // Running sum over 2r+1 samples; edges clamp or wrap.
    auto get = [&](int i) {
        if (wrap) {
            i %= n;
            if (i < 0) i += n;
        } else {
            i = std::clamp(i, 0, n - 1);
        }
        return in[static_cast<size_t>(i) * stride];
    };
    double sum = 0;
    for (int i = -r; i <= r; ++i) sum += get(i);
    const double inv = 1.0 / (2 * r + 1);
    for (int i = 0; i < n; ++i) {
        out[static_cast<size_t>(i) * stride] = static_cast<float>(sum * inv);
        sum += get(i + r + 1) - get(i - r);
    }
}

}  // namespace

void blur(Plane& p, int radius, bool wrap)
{
    if (radius <= 0) return;
    std::vector<float> tmp(p.v.size());
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < p.h; ++y)
            boxLine(&p.v[static_cast<size_t>(y) * p.w], &tmp[static_cast<size_t>(y) * p.w], p.w, 1, radius, wrap);
        for (int x = 0; x < p.w; ++x) boxLine(&tmp[x], &p.v[x], p.h, p.w, radius, wrap);
    }
}

void blurImage(Image& img, int radius, bool wrap)
{
    const int w = img.width(), h = img.height();
    Plane ch[4] = {Plane(w, h), Plane(w, h), Plane(w, h), Plane(w, h)};
    for (size_t i = 0; i < img.pixels().size(); ++i) {
        const Rgba& c = img.pixels()[i];
        ch[0].v[i] = c.r * c.a;
        ch[1].v[i] = c.g * c.a;
        ch[2].v[i] = c.b * c.a;
        ch[3].v[i] = c.a;
    }
    for (auto& p : ch) blur(p, radius, wrap);
    for (size_t i = 0; i < img.pixels().size(); ++i) {
        const float a = ch[3].v[i];
        Rgba& c = img.pixels()[i];
        if (a > 1e-6f) c = {ch[0].v[i] / a, ch[1].v[i] / a, ch[2].v[i] / a, a};
        else c = {0, 0, 0, 0};
    }
}

std::vector<uint8_t> toBytes(const Image& img, int channels)
{
    // 4x4 Bayer matrix, thresholds centred on zero.
    static const int bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    std::vector<uint8_t> out(static_cast<size_t>(img.width()) * img.height() * channels);
    size_t o = 0;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            const Rgba& c = img.at(x, y);
            const float d = (bayer[y & 3][x & 3] + 0.5f) / 16.0f - 0.5f;
            const float v[4] = {c.r, c.g, c.b, c.a};
            for (int k = 0; k < channels; ++k) {
                const float q = std::clamp(v[k], 0.0f, 1.0f) * 255.0f + (k < 3 ? d : 0.0f);
                out[o++] = static_cast<uint8_t>(std::clamp(std::lround(q), 0L, 255L));
            }
        }
    }
    return out;
}

}  // namespace mk
