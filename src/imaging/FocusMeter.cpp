#include "imaging/FocusMeter.h"

#include <algorithm>
#include <cmath>

#include "imaging/DibImage.h"

namespace {

constexpr double kSamples = 32768.0;
constexpr int kBarCells = 10;

int lightness(const uint8_t* p, int bytes)
{
    if (bytes == 1)
        return *p;
    const int hi = std::max({ p[0], p[1], p[2] }), lo = std::min({ p[0], p[1], p[2] });
    return (hi + lo) / 2;
}

} // namespace

Rect VisiblePicturePart(const ViewGeometry& g)
{
    if (g.imageWidth <= 0 || g.imageHeight <= 0)
        return {};
    if (g.zoomIndex <= 0)
        return { 0, 0, g.imageWidth, g.imageHeight };
    const int f = g.factor();
    const int left = std::clamp(int(-g.baiX), 0, g.imageWidth), top = std::clamp(int(-g.baiY), 0, g.imageHeight);
    return { left, top, std::clamp(left + g.deviceWidth() / f + 1, left, g.imageWidth),
        std::clamp(top + g.deviceHeight() / f + 1, top, g.imageHeight) };
}

double FocusScore(const DibImage& picture, const Rect& requested)
{
    if (picture.isEmpty())
        return 0.0;
    // The 3 x 3 neighbourhood of every sample lies inside the picture.
    const Rect part { std::max(requested.left, 1), std::max(requested.top, 1),
        std::min(requested.right, picture.width() - 1), std::min(requested.bottom, picture.height() - 1) };
    if (part.width() <= 0 || part.height() <= 0)
        return 0.0;
    const int step = std::max(1, int(std::ceil(std::sqrt(double(part.width()) * part.height() / kSamples))));
    const int bytes = picture.bytesPerPixel();
    double sum = 0.0;
    int64_t n = 0;
    for (int y = part.top; y < part.bottom; y += step) {
        const uint8_t* up = picture.rowTopDown(y - 1);
        const uint8_t* row = picture.rowTopDown(y);
        const uint8_t* down = picture.rowTopDown(y + 1);
        for (int x = part.left; x < part.right; x += step) {
            const auto at = [&](const uint8_t* r, int dx) { return lightness(r + (x + dx) * bytes, bytes); };
            const int gx = at(up, 1) + 2 * at(row, 1) + at(down, 1) - at(up, -1) - 2 * at(row, -1) - at(down, -1);
            const int gy = at(down, -1) + 2 * at(down, 0) + at(down, 1) - at(up, -1) - 2 * at(up, 0) - at(up, 1);
            sum += double(gx) * gx + double(gy) * gy;
            ++n;
        }
    }
    return n > 0 ? sum / double(n) : 0.0;
}

void FocusMeter::add(double score, const ViewGeometry& geometry)
{
    if (!m_Seen || !(geometry == m_Geometry))
        m_Best = 0.0;
    m_Seen = true;
    m_Geometry = geometry;
    m_Score = score;
    m_Best = std::max(m_Best, score);
}

QString FocusMeter::text(bool japanese) const
{
    if (!m_Seen)
        return {};
    const int filled = m_Best > 0.0 ? int(std::lround(kBarCells * std::min(1.0, m_Score / m_Best))) : 0;
    const QString bar = QString(filled, QChar(0x25AE)) + QString(kBarCells - filled, QChar(0x25AF));
    return QStringLiteral("%1 %2 %3 %4 %5")
        .arg(japanese ? QString::fromUtf8("ピント") : QStringLiteral("focus"))
        .arg(std::lround(m_Score))
        .arg(bar, japanese ? QString::fromUtf8("最良") : QStringLiteral("best"))
        .arg(std::lround(m_Best));
}
