#include "edges/EdgeProfile.h"

#include <algorithm>
#include <cmath>

#include "imaging/DibImage.h"

namespace {

double lightness(uint8_t r, uint8_t g, uint8_t b)
{
    return (std::max({r, g, b}) + std::min({r, g, b})) * 0.5;
}

} // namespace

LightnessSampler::LightnessSampler(const DibImage& image)
{
    if (image.isEmpty() || (image.bitsPerPixel() != 8 && image.bitsPerPixel() != 24))
        return;
    m_Bits = image.bits();
    m_Width = image.width();
    m_Height = image.height();
    m_Stride = image.stride();
    m_Bytes = image.bytesPerPixel();
    if (m_Bytes == 1) {
        for (int i = 0; i < 256; ++i) {
            const RgbQuad& q = image.colorTable()[i];
            m_Table[i] = lightness(q.red, q.green, q.blue);
        }
    }
}

bool LightnessSampler::inside(PicturePoint p) const
{
    return m_Bits && p.x >= 0.0 && p.x <= m_Width && p.y >= 0.0 && p.y <= m_Height;
}

double LightnessSampler::at(PicturePoint p) const
{
    // Pixel centres sit at i + 0.5; held between the outermost centres, the border pixels reach the edge.
    const double u = std::clamp(p.x - 0.5, 0.0, double(m_Width - 1));
    const double v = std::clamp(p.y - 0.5, 0.0, double(m_Height - 1));
    const int32_t x0 = int32_t(u), y0 = int32_t(v);
    const double fx = u - x0, fy = v - y0;
    const int32_t x1 = x0 + (x0 + 1 < m_Width), y1 = y0 + (y0 + 1 < m_Height);
    // Top-down rows are stored bottom-up.
    const uint8_t* r0 = m_Bits + ptrdiff_t(m_Stride) * (m_Height - 1 - y0);
    const uint8_t* r1 = m_Bits + ptrdiff_t(m_Stride) * (m_Height - 1 - y1);
    double a, b, c, d;
    if (m_Bytes == 1) {
        a = m_Table[r0[x0]], b = m_Table[r0[x1]], c = m_Table[r1[x0]], d = m_Table[r1[x1]];
    } else {
        auto l = [](const uint8_t* px) { return lightness(px[2], px[1], px[0]); };
        a = l(r0 + 3 * x0), b = l(r0 + 3 * x1), c = l(r1 + 3 * x0), d = l(r1 + 3 * x1);
    }
    const double top = a + fx * (b - a);
    const double bottom = c + fx * (d - c);
    return top + fy * (bottom - top);
}

EdgeProfile SampleProfile(const DibImage& image, PicturePoint from, PicturePoint to, double halfWidth)
{
    EdgeProfile profile;
    profile.origin = from;
    const LightnessSampler sampler(image);
    const double dx = to.x - from.x;
    const double dy = to.y - from.y;
    const double length = std::hypot(dx, dy);
    // Nothing inside the picture lies farther apart than width + height, which bounds both loops below.
    const double reach = double(image.width()) + image.height() + 2.0;
    if (!std::isfinite(length) || !sampler.inside(from) || !(halfWidth <= reach))
        return profile;
    if (length > 0.0)
        profile.direction = {dx / length, dy / length};
    const PicturePoint u = profile.direction;
    const PicturePoint across{-u.y, u.x};
    const int half = halfWidth > 0.0 ? int(std::floor(halfWidth)) : 0;
    const int steps = int(std::min(std::floor(length), reach)) + 1;
    profile.values.reserve(size_t(steps));
    for (int i = 0; i < steps; ++i) {
        const PicturePoint c = profile.pointAt(i);
        // The picture and the cross line are convex: both ends inside keeps every sample inside.
        if (!sampler.inside({c.x - half * across.x, c.y - half * across.y}) ||
            !sampler.inside({c.x + half * across.x, c.y + half * across.y}))
            break;
        double sum = 0.0;
        for (int j = -half; j <= half; ++j)
            sum += sampler.at({c.x + j * across.x, c.y + j * across.y});
        profile.values.push_back(sum / (2 * half + 1));
    }
    return profile;
}

bool ClipToPicture(const DibImage& image, PicturePoint& a, PicturePoint& b, double margin)
{
    // Liang-Barsky against the picture shrunk by the margin (and a hair, so rounding keeps the ends inside).
    const double m = margin + 1e-9;
    const double lo[2] = {m, m};
    const double hi[2] = {image.width() - m, image.height() - m};
    const double p0[2] = {a.x, a.y};
    const double d[2] = {b.x - a.x, b.y - a.y};
    double t0 = 0.0, t1 = 1.0;
    for (int k = 0; k < 2; ++k) {
        if (!std::isfinite(p0[k]) || !std::isfinite(d[k]) || lo[k] > hi[k])
            return false;
        if (d[k] == 0.0) {
            if (p0[k] < lo[k] || p0[k] > hi[k])
                return false;
            continue;
        }
        double ta = (lo[k] - p0[k]) / d[k];
        double tb = (hi[k] - p0[k]) / d[k];
        if (ta > tb)
            std::swap(ta, tb);
        t0 = std::max(t0, ta);
        t1 = std::min(t1, tb);
    }
    if (t0 > t1)
        return false;
    const PicturePoint start{a.x + t0 * d[0], a.y + t0 * d[1]};
    b = {a.x + t1 * d[0], a.y + t1 * d[1]};
    a = start;
    return true;
}
