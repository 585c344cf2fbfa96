#include "stack/FocusStack.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "imaging/DibImage.h"

// All work happens on OpenCV views of the frames' own bottom-up rows, that is on the pictures upside down; the
// centre lies on the flip's axis, so only the sign of dy differs from the top-down alignment callers see.

namespace {

// Alignment works on at most this width, and down to a coarsest level at least this small side.
constexpr int kAlignWidth = 1024;
constexpr int kCoarsestSide = 32;
// Both pictures are smoothed alike before comparing, so that one frame's sharp detail does not pull.
constexpr double kAlignSmoothing = 1.0;
// Share of the picture left out at each border: the frames' shifts and scale bring the border in.
constexpr double kAlignInset = 0.1;
constexpr int kMaxIterations = 40;
// An aligned frame correlates with the reference at least this well at the coarsest level.
constexpr double kMinCorrelation = 0.2;
// and varies by at least this much (levels, root mean square).
constexpr double kMinSpread = 0.5;
constexpr double kSettledPx = 5e-3;
// Fusion: detail levels down to a coarsest side of at least this, activity over this window, choice
// smoothed by a median of this size.
constexpr int kFuseCoarsestSide = 24;
constexpr int kActivityWindow = 5;
constexpr int kChoiceMedian = 5;
// Frames are resampled bicubically for fusing: bilinear softens fine detail at half-pixel shifts.
constexpr int kResample = cv::INTER_CUBIC;
// The colour pyramids are 16-bit integers, levels scaled by this (half the memory and time of floats; the
// coarsest level of 64 frames still fits once converted for the sum).
constexpr double kFixedPoint = 4.0;

cv::Mat view(const DibImage& image)
{
    return cv::Mat(image.height(), image.width(), image.bitsPerPixel() == 8 ? CV_8UC1 : CV_8UC3,
        const_cast<uint8_t*>(image.bits()), size_t(image.stride()));
}

cv::Mat lightness(const cv::Mat& pixels)
{
    cv::Mat grey, out;
    if (pixels.channels() == 3)
        cv::cvtColor(pixels, grey, cv::COLOR_BGR2GRAY);
    else
        grey = pixels;
    grey.convertTo(out, CV_32F);
    return out;
}

bool usable(const DibImage& f) { return !f.isEmpty() && (f.bitsPerPixel() == 8 || f.bitsPerPixel() == 24); }

bool sameKind(const DibImage& a, const DibImage& b)
{
    return a.width() == b.width() && a.height() == b.height() && a.bitsPerPixel() == b.bitsPerPixel();
}

// The affine matrix that maps output pixels to frame pixels for warpAffine's inverse map, at a level whose
// pixels are factor full-size pixels, for output pixels starting at origin.
cv::Matx23d warpMatrix(const FrameAlignment& a, cv::Point2d centre, double factor, cv::Point origin = {})
{
    const double s = a.scale;
    const double cx = centre.x / factor, cy = centre.y / factor;
    return { s, 0, cx * (1 - s) + a.dx / factor + s * origin.x, 0, s, cy * (1 - s) + a.dy / factor + s * origin.y };
}

// One level of the alignment pyramid: the smoothed lightness and, for the reference, the steepest-descent
// images over the compared part and the inverse of their Gauss-Newton matrix (translation, scale, offset).
struct AlignLevel {
    cv::Mat image;
    cv::Rect part;
    cv::Mat jx, jy, js;
    cv::Matx44d inverse;
    double factor = 1.0;
};

std::vector<AlignLevel> alignPyramid(const cv::Mat& light, bool reference, cv::Point2d centre)
{
    std::vector<AlignLevel> levels;
    cv::Mat image = light;
    double factor = 1.0;
    while (image.cols > kAlignWidth) {
        cv::Mat down;
        cv::pyrDown(image, down);
        image = down;
        factor *= 2;
    }
    cv::Mat smooth;
    cv::GaussianBlur(image, smooth, cv::Size(), kAlignSmoothing);
    for (;;) {
        AlignLevel level;
        level.image = smooth;
        level.factor = factor;
        levels.push_back(level);
        if (std::min(smooth.cols, smooth.rows) / 2 < kCoarsestSide)
            break;
        cv::Mat down;
        cv::pyrDown(smooth, down);
        smooth = down;
        factor *= 2;
    }
    if (!reference)
        return levels;
    for (AlignLevel& level : levels) {
        const int insetX = int(level.image.cols * kAlignInset) + 2, insetY = int(level.image.rows * kAlignInset) + 2;
        level.part = cv::Rect(insetX, insetY, level.image.cols - 2 * insetX, level.image.rows - 2 * insetY);
        cv::Mat gx, gy;
        cv::Sobel(level.image, gx, CV_32F, 1, 0, 3, 1.0 / 8);
        cv::Sobel(level.image, gy, CV_32F, 0, 1, 3, 1.0 / 8);
        level.jx = gx(level.part).clone();
        level.jy = gy(level.part).clone();
        level.js.create(level.part.size(), CV_32F);
        const double cx = centre.x / level.factor, cy = centre.y / level.factor;
        for (int y = 0; y < level.part.height; ++y) {
            const float* px = level.jx.ptr<float>(y);
            const float* py = level.jy.ptr<float>(y);
            float* ps = level.js.ptr<float>(y);
            const double ry = level.part.y + y - cy;
            for (int x = 0; x < level.part.width; ++x)
                ps[x] = float(px[x] * (level.part.x + x - cx) + py[x] * ry);
        }
        const cv::Mat* j[3] = { &level.jx, &level.jy, &level.js };
        cv::Matx44d h;
        for (int a = 0; a < 3; ++a) {
            for (int b = a; b < 3; ++b)
                h(a, b) = h(b, a) = j[a]->dot(*j[b]);
            h(a, 3) = h(3, a) = cv::sum(*j[a])[0];
        }
        h(3, 3) = double(level.part.area());
        level.inverse = h.inv(cv::DECOMP_CHOLESKY);
    }
    return levels;
}

// Inverse compositional Gauss-Newton at one level from a; the remaining mean squared difference, or a negative
// value when the search ran away (or was stopped).
double refine(const AlignLevel& r, const AlignLevel& frame, cv::Point2d centre, FrameAlignment& a, double& bias,
    const std::function<bool()>& stop)
{
    const cv::Mat target = r.image(r.part);
    const double radius = std::hypot(r.part.width, r.part.height) / 2;
    cv::Mat warped, error;
    for (int iteration = 0;; ++iteration) {
        if (stop && stop())
            return -1.0;
        cv::warpAffine(frame.image, warped, warpMatrix(a, centre, r.factor, r.part.tl()), r.part.size(),
            cv::INTER_LINEAR | cv::WARP_INVERSE_MAP, cv::BORDER_REPLICATE);
        cv::subtract(warped, target, error);
        error -= bias;
        if (iteration == kMaxIterations)
            return error.dot(error) / double(r.part.area());
        const cv::Vec4d g(r.jx.dot(error), r.jy.dot(error), r.js.dot(error), cv::sum(error)[0]);
        const cv::Vec4d d = r.inverse * g;
        const double sd = 1.0 + d[2];
        if (!std::isfinite(sd) || sd <= 0.5)
            return -1.0;
        // The new warp is the old one after the inverse of the step.
        a.dx -= a.scale * d[0] * r.factor / sd;
        a.dy -= a.scale * d[1] * r.factor / sd;
        a.scale /= sd;
        bias += d[3];
        if (!(a.scale > 0.7 && a.scale < 1.4))
            return -1.0;
        if (std::hypot(d[0], d[1]) + std::abs(d[2]) * radius < kSettledPx)
            return error.dot(error) / double(r.part.area());
    }
}

// Whether the frame, aligned by a, shows what the reference shows: the correlation of the two at the coarsest
// level, where a difference in focus hardly shows, but another scene (or none) does.
bool alike(const AlignLevel& r, const AlignLevel& frame, cv::Point2d centre, const FrameAlignment& a)
{
    cv::Mat warped;
    cv::warpAffine(frame.image, warped, warpMatrix(a, centre, r.factor, r.part.tl()), r.part.size(),
        cv::INTER_LINEAR | cv::WARP_INVERSE_MAP, cv::BORDER_REPLICATE);
    cv::Mat target = r.image(r.part) - cv::mean(r.image(r.part));
    warped -= cv::mean(warped);
    // A frame without contrast (a hand over the lens) has nothing to align by, whatever its rounding leaves.
    const double spread = cv::norm(warped) / std::sqrt(double(r.part.area()));
    const double norms = cv::norm(target) * cv::norm(warped);
    return spread >= kMinSpread && target.dot(warped) / norms >= kMinCorrelation;
}

// Coarse to fine. At the coarsest level the search starts both from no shift and from phase correlation's
// guess (which a large difference in focus can mislead), and goes on from the closer match.
bool align(const std::vector<AlignLevel>& ref, const std::vector<AlignLevel>& frame, cv::Point2d centre,
    FrameAlignment& out, const std::function<bool()>& stop)
{
    const AlignLevel& coarse = ref.back();
    cv::Mat window;
    cv::createHanningWindow(window, coarse.image.size(), CV_32F);
    // Copies: phaseCorrelate multiplies its inputs by the window in place when their size needs no padding, and
    // the reference's levels are shared by every frame's alignment.
    const cv::Point2d shift = cv::phaseCorrelate(coarse.image.clone(), frame.back().image.clone(), window);
    FrameAlignment a, guessed { shift.x * coarse.factor, shift.y * coarse.factor, 1.0 };
    double bias = 0.0, guessedBias = 0.0;
    const double still = refine(coarse, frame.back(), centre, a, bias, stop);
    const double moved = refine(coarse, frame.back(), centre, guessed, guessedBias, stop);
    if (moved >= 0 && (still < 0 || moved < still)) {
        a = guessed;
        bias = guessedBias;
    } else if (still < 0) {
        return false;
    }
    for (size_t l = ref.size() - 1; l-- > 0;)
        if (refine(ref[l], frame[l], centre, a, bias, stop) < 0)
            return false;
    if (!std::isfinite(a.dx) || !std::isfinite(a.dy) || !alike(coarse, frame.back(), centre, a))
        return false;
    out = a;
    return true;
}

FrameAlignment topDown(FrameAlignment a)
{
    a.dy = -a.dy;
    return a;
}

cv::Point2d centreOf(const DibImage& f) { return { (f.width() - 1) / 2.0, (f.height() - 1) / 2.0 }; }

// Detail levels 0..n-2 and the coarsest level n-1; false when stopped.
bool laplacianPyramid(const cv::Mat& image, int levels, std::vector<cv::Mat>& pyramid,
    const std::function<bool()>& stop)
{
    pyramid.assign(size_t(levels), cv::Mat());
    cv::Mat g = image;
    for (int k = 0; k + 1 < levels; ++k) {
        if (stop())
            return false;
        cv::Mat down, up;
        cv::pyrDown(g, down);
        cv::pyrUp(down, up, g.size());
        cv::subtract(g, up, pyramid[size_t(k)]);
        g = down;
    }
    pyramid.back() = g;
    return !stop();
}

int fuseLevels(cv::Size size)
{
    int levels = 1;
    for (int side = std::min(size.width, size.height); side / 2 >= kFuseCoarsestSide; side = (side + 1) / 2)
        ++levels;
    return levels;
}

// Runs work(i) for i in [0, count) on all cores while the calling thread reports progress; false when the
// work was stopped or failed.
bool runParallel(int count, const std::function<void(int)>& work, const std::function<bool()>& stop,
    const std::function<void()>& tick)
{
    std::atomic<int> next { 0 };
    std::atomic<int> running { 0 };
    std::mutex mutex;
    std::condition_variable finished;
    const int workers = std::max(1, std::min<int>(count, int(std::thread::hardware_concurrency())));
    std::vector<std::thread> threads;
    running = workers;
    for (int w = 0; w < workers; ++w)
        threads.emplace_back([&] {
            for (int i; !stop() && (i = next++) < count;)
                work(i);
            std::lock_guard<std::mutex> lock(mutex);
            --running;
            finished.notify_all();
        });
    {
        std::unique_lock<std::mutex> lock(mutex);
        while (running > 0) {
            finished.wait_for(lock, std::chrono::milliseconds(20));
            lock.unlock();
            tick();
            lock.lock();
        }
    }
    for (std::thread& t : threads)
        t.join();
    tick();
    return !stop();
}

} // namespace

bool AlignFrame(const DibImage& reference, const DibImage& frame, FrameAlignment& alignment)
{
    if (!usable(reference) || !usable(frame) || reference.width() != frame.width()
        || reference.height() != frame.height() || std::min(frame.width(), frame.height()) < 16)
        return false;
    try {
        const cv::Point2d centre = centreOf(frame);
        const auto ref = alignPyramid(lightness(view(reference)), true, centre);
        const auto pyr = alignPyramid(lightness(view(frame)), false, centre);
        FrameAlignment a;
        if (!align(ref, pyr, centre, a, {}))
            return false;
        alignment = topDown(a);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

StackResult FuseFocusStack(const std::vector<DibImage>& frames, DibImage& out, const StackProgress& progress)
{
    const int n = int(frames.size());
    // The choice of frame is kept in 8 bits per coefficient.
    if (n == 0 || n > 255 || !usable(frames[0]))
        return StackResult::Failed;
    for (const DibImage& f : frames)
        if (!usable(f) || !sameKind(f, frames[0]))
            return StackResult::Failed;
    std::atomic<bool> failed { false };
    const std::function<bool()> stop = [&] {
        return failed.load() || (progress.cancel && progress.cancel->load());
    };
    if (stop())
        return StackResult::Cancelled;
    const int total = 2 * n + 1;
    std::atomic<int> done { 0 };
    int reported = -1;
    const auto tick = [&] {
        const int now = done.load();
        if (now != reported && progress.report)
            progress.report(now, total);
        reported = now;
    };
    const int refIndex = n / 2;
    const DibImage& reference = frames[size_t(refIndex)];
    if (n == 1 || std::min(reference.width(), reference.height()) < 16) {
        if (n != 1)
            return StackResult::Failed;
        DibImage copy;
        if (!copy.CreateLike(&reference))
            return StackResult::Failed;
        std::memcpy(copy.bits(), reference.bits(), size_t(reference.byteSize()));
        if (progress.alignments)
            progress.alignments->assign(1, FrameAlignment {});
        out = std::move(copy);
        done = total;
        tick();
        return StackResult::Done;
    }

    try {
        const cv::Point2d centre = centreOf(reference);
        const cv::Size size(reference.width(), reference.height());
        const int levels = fuseLevels(size);
        const auto refPyramid = alignPyramid(lightness(view(reference)), true, centre);
        std::vector<FrameAlignment> alignments(static_cast<size_t>(n));
        std::vector<char> used(static_cast<size_t>(n), 1);
        std::vector<cv::Mat> choice(size_t(levels - 1)), activity(size_t(levels - 1));
        std::vector<std::mutex> levelLocks(static_cast<size_t>(levels));

        // First pass: align, and find for every detail coefficient the frame most active around it.
        const auto choose = [&](int i) {
            try {
                const cv::Mat light = lightness(view(frames[size_t(i)]));
                FrameAlignment a;
                if (i != refIndex && !align(refPyramid, alignPyramid(light, false, centre), centre, a, stop)) {
                    used[size_t(i)] = 0;
                    alignments[size_t(i)] = { 0.0, 0.0, 0.0 };
                    done += 2; // nothing to gather from it either
                    return;
                }
                alignments[size_t(i)] = a;
                cv::Mat warped;
                cv::warpAffine(light, warped, warpMatrix(a, centre, 1.0), size, kResample | cv::WARP_INVERSE_MAP,
                    cv::BORDER_REPLICATE);
                std::vector<cv::Mat> pyramid;
                if (!laplacianPyramid(warped, levels, pyramid, stop))
                    return;
                for (int k = 0; k + 1 < levels; ++k) {
                    cv::Mat act;
                    cv::blur(cv::abs(pyramid[size_t(k)]), act, cv::Size(kActivityWindow, kActivityWindow));
                    std::lock_guard<std::mutex> lock(levelLocks[size_t(k)]);
                    if (activity[size_t(k)].empty()) {
                        activity[size_t(k)] = act;
                        choice[size_t(k)] = cv::Mat(act.size(), CV_8U, cv::Scalar(i));
                        continue;
                    }
                    for (int y = 0; y < act.rows; ++y) {
                        const float* a = act.ptr<float>(y);
                        float* best = activity[size_t(k)].ptr<float>(y);
                        uint8_t* chosen = choice[size_t(k)].ptr<uint8_t>(y);
                        for (int x = 0; x < act.cols; ++x)
                            if (a[x] > best[x]) {
                                best[x] = a[x];
                                chosen[x] = uint8_t(i);
                            }
                    }
                }
                ++done;
            } catch (const std::exception&) {
                failed = true;
            }
        };
        if (!runParallel(n, choose, stop, tick))
            return failed ? StackResult::Failed : StackResult::Cancelled;
        activity.clear();
        for (cv::Mat& c : choice) {
            if (std::min(c.cols, c.rows) < kChoiceMedian)
                continue;
            cv::Mat smoothed;
            cv::medianBlur(c, smoothed, kChoiceMedian);
            c = smoothed;
        }

        // Second pass: each frame's pyramid gives the coefficients it won and its share of the coarsest level.
        std::vector<cv::Mat> fused(static_cast<size_t>(levels));
        for (int k = 0; k + 1 < levels; ++k)
            fused[size_t(k)] = cv::Mat(choice[size_t(k)].size(), CV_16SC(view(reference).channels()), cv::Scalar::all(0));
        const auto gather = [&](int i) {
            if (!used[size_t(i)])
                return;
            try {
                cv::Mat warped, pixels;
                cv::warpAffine(view(frames[size_t(i)]), warped, warpMatrix(alignments[size_t(i)], centre, 1.0), size,
                    kResample | cv::WARP_INVERSE_MAP, cv::BORDER_REPLICATE);
                warped.convertTo(pixels, CV_16S, kFixedPoint);
                warped.release();
                std::vector<cv::Mat> pyramid;
                if (!laplacianPyramid(pixels, levels, pyramid, stop))
                    return;
                pixels.release();
                // Frames win disjoint coefficients, so the detail levels need no lock.
                for (int k = 0; k + 1 < levels; ++k)
                    pyramid[size_t(k)].copyTo(fused[size_t(k)], choice[size_t(k)] == i);
                cv::Mat coarse;
                pyramid.back().convertTo(coarse, CV_32F);
                std::lock_guard<std::mutex> lock(levelLocks.back());
                if (fused.back().empty())
                    fused.back() = coarse;
                else
                    fused.back() += coarse;
                ++done;
            } catch (const std::exception&) {
                failed = true;
            }
        };
        if (!runParallel(n, gather, stop, tick))
            return failed ? StackResult::Failed : StackResult::Cancelled;

        const int fusedFrames = int(std::count(used.begin(), used.end(), 1));
        cv::Mat image = fused.back() / double(fusedFrames);
        for (int k = levels - 2; k >= 0; --k) {
            cv::Mat up, detail;
            cv::pyrUp(image, up, fused[size_t(k)].size());
            fused[size_t(k)].convertTo(detail, CV_32F);
            fused[size_t(k)].release();
            image = up + detail;
            if (stop())
                return failed ? StackResult::Failed : StackResult::Cancelled;
        }
        image *= 1.0 / kFixedPoint;
        if (stop())
            return failed ? StackResult::Failed : StackResult::Cancelled;
        DibImage result;
        if (!result.CreateLike(&reference))
            return StackResult::Failed;
        cv::Mat target = view(result);
        image.convertTo(target, target.type());
        if (target.data != result.bits())
            return StackResult::Failed;
        if (progress.leftOut)
            *progress.leftOut = n - fusedFrames;
        if (progress.alignments) {
            progress.alignments->clear();
            for (const FrameAlignment& a : alignments)
                progress.alignments->push_back(topDown(a));
        }
        out = std::move(result);
        done = total;
        tick();
        return StackResult::Done;
    } catch (const std::exception&) {
        return StackResult::Failed;
    }
}
