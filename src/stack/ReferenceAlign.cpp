#include "stack/ReferenceAlign.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

#include "imaging/DibImage.h"

namespace {

// The coarse search works on copies reduced by this factor; the refinement on a full-resolution crop of at
// most this side, centred on the reference.
constexpr int kCoarseFactor = 4;
constexpr int kCropSide = 512;
constexpr int kMinSide = 64;

// The top-left width x height part of the picture as top-down lightness in floats.
cv::Mat lightnessOf(const DibImage& image, cv::Size size)
{
    const cv::Mat rows(image.height(), image.width(), image.bitsPerPixel() == 8 ? CV_8UC1 : CV_8UC3,
        const_cast<uint8_t*>(image.bits()), size_t(image.stride()));
    // The rows are stored bottom-up: the top-left part is the last rows'.
    const cv::Mat part = rows(cv::Rect(0, image.height() - size.height, size.width, size.height));
    cv::Mat grey, flipped, out;
    if (part.channels() == 3)
        cv::cvtColor(part, grey, cv::COLOR_BGR2GRAY);
    else
        grey = part;
    cv::flip(grey, flipped, 0);
    flipped.convertTo(out, CV_32F);
    return out;
}

// The shift of b against a under a Hann window. Copies go in: phaseCorrelate multiplies its inputs by the
// window in place when their size needs no padding.
cv::Point2d correlate(const cv::Mat& a, const cv::Mat& b, double* response)
{
    cv::Mat window;
    cv::createHanningWindow(window, a.size(), CV_32F);
    return cv::phaseCorrelate(a.clone(), b.clone(), window, response);
}

} // namespace

std::optional<ReferenceShift> AlignReference(const DibImage& reference, const DibImage& live)
{
    const auto usable = [](const DibImage& f) {
        return !f.isEmpty() && (f.bitsPerPixel() == 8 || f.bitsPerPixel() == 24);
    };
    if (!usable(reference) || !usable(live))
        return std::nullopt;
    const cv::Size size(std::min(reference.width(), live.width()), std::min(reference.height(), live.height()));
    if (size.width < kMinSide || size.height < kMinSide)
        return std::nullopt;
    const cv::Mat ref = lightnessOf(reference, size);
    const cv::Mat cur = lightnessOf(live, size);

    // Coarse: the whole pictures, reduced, find shifts up to a quarter of a side.
    cv::Mat refSmall, curSmall;
    const cv::Size small(size.width / kCoarseFactor, size.height / kCoarseFactor);
    cv::resize(ref, refSmall, small, 0, 0, cv::INTER_AREA);
    cv::resize(cur, curSmall, small, 0, 0, cv::INTER_AREA);
    double coarseResponse = 0.0;
    const cv::Point2d coarse = correlate(refSmall, curSmall, &coarseResponse) * double(kCoarseFactor);
    if (!std::isfinite(coarse.x) || !std::isfinite(coarse.y))
        return std::nullopt;

    // Fine: a crop of the reference against the live crop the coarse shift points to, at full resolution.
    const int cw = std::min(kCropSide, size.width / 2);
    const int ch = std::min(kCropSide, size.height / 2);
    const int rx = (size.width - cw) / 2;
    const int ry = (size.height - ch) / 2;
    const int lx = std::clamp(rx + int(std::lround(coarse.x)), 0, size.width - cw);
    const int ly = std::clamp(ry + int(std::lround(coarse.y)), 0, size.height - ch);
    double response = 0.0;
    const cv::Point2d fine = correlate(ref(cv::Rect(rx, ry, cw, ch)), cur(cv::Rect(lx, ly, cw, ch)), &response);
    if (!std::isfinite(fine.x) || !std::isfinite(fine.y))
        return std::nullopt;
    return ReferenceShift { { lx - rx + fine.x, ly - ry + fine.y }, response };
}
