#include "edges/EdgeFinder.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "edges/SmallSolve.h"
#include "imaging/DibImage.h"

// How an edge is located between samples.
//
// Fitted: the gradient of the profile smoothed by a Gaussian (sigma 1 px) is found at its sample maximum, then
// placed by a Gaussian through the logarithms of the three samples there: a blurred edge's gradient is close to
// a Gaussian, for which this is exact, while the parabola through the same three samples is pulled towards the
// middle sample by up to a tenth of a pixel. Three samples still carry the noise of three samples only, so the
// position is then refined by a least-squares fit of a blurred step (level + contrast x normal CDF((t - c) / s))
// to every profile sample within about three blurs of the edge: all of them vote for the position, the model is
// symmetric about c so its residual mismatch (pixel area, interpolation) does not move it, and the fit is
// kept only when it converges near the Gaussian's estimate. The benchmark (bench_EdgeAccuracyBench) compares
// both with the parabola.
namespace {

enum class Locator { Fitted, Parabola };

constexpr double kSmoothSigma = 1.0;

// Derivative of a Gaussian: d[i] = sum_j w[j] (v[i + j] - v[i - j]), scaled so a ramp of slope s gives s.
std::vector<double> gradientOf(const std::vector<double>& v, Locator locator)
{
    const int n = int(v.size());
    std::vector<double> d(v.size(), 0.0);
    if (locator == Locator::Parabola) {
        for (int i = 1; i + 1 < n; ++i)
            d[i] = (v[i + 1] - v[i - 1]) * 0.5;
        return d;
    }
    constexpr int kTaps = 3;
    std::array<double, kTaps + 1> w{};
    double norm = 0.0;
    for (int j = 1; j <= kTaps; ++j) {
        w[j] = j * std::exp(-j * j / (2 * kSmoothSigma * kSmoothSigma));
        norm += 2 * j * w[j];
    }
    auto at = [&](int i) { return v[std::clamp(i, 0, n - 1)]; };
    for (int i = 0; i < n; ++i) {
        double s = 0.0;
        for (int j = 1; j <= kTaps; ++j)
            s += w[j] * (at(i + j) - at(i - j));
        d[i] = s / norm;
    }
    return d;
}

// Offset of the vertex of the parabola through (-1, a), (0, b), (1, c), and its height.
void parabolaPeak(double a, double b, double c, double& offset, double& peak)
{
    const double curve = a - 2 * b + c;
    offset = curve < 0.0 ? std::clamp(0.5 * (a - c) / curve, -0.5, 0.5) : 0.0;
    peak = b - 0.25 * (a - c) * offset;
}

double normalCdf(double z) { return 0.5 * std::erfc(-z * M_SQRT1_2); }

// Least-squares blurred step over samples [lo, hi], started at position c and blur s (Levenberg-Marquardt on
// level, contrast, position, blur). Returns whether it converged to a step of the given sign near c.
bool fitStep(const std::vector<double>& v, int lo, int hi, int sign, double& c, double s)
{
    // Level and contrast for the starting position and blur, by linear least squares.
    double s11 = 0, s1p = 0, spp = 0, sv = 0, spv = 0;
    for (int i = lo; i <= hi; ++i) {
        const double p = normalCdf((i - c) / s);
        s11 += 1;
        s1p += p;
        spp += p * p;
        sv += v[i];
        spv += p * v[i];
    }
    const double det = s11 * spp - s1p * s1p;
    if (!(std::abs(det) > 1e-12))
        return false;
    std::array<double, 4> q{(spp * sv - s1p * spv) / det, (s11 * spv - s1p * sv) / det, c, s};
    auto cost = [&](const std::array<double, 4>& t) {
        double e = 0.0;
        for (int i = lo; i <= hi; ++i) {
            const double r = v[i] - (t[0] + t[1] * normalCdf((i - t[2]) / t[3]));
            e += r * r;
        }
        return e;
    };
    double e = cost(q);
    double lambda = 1e-3;
    bool converged = false;
    for (int iter = 0; iter < 20 && !converged; ++iter) {
        std::array<std::array<double, 5>, 4> m{};
        for (int i = lo; i <= hi; ++i) {
            const double z = (i - q[2]) / q[3];
            const double p = normalCdf(z);
            const double g = std::exp(-0.5 * z * z) * 0.3989422804014327 * q[1] / q[3];
            const std::array<double, 4> j{1.0, p, -g, -g * z};
            const double r = v[i] - (q[0] + q[1] * p);
            for (int a = 0; a < 4; ++a) {
                for (int b = 0; b < 4; ++b)
                    m[a][b] += j[a] * j[b];
                m[a][4] += j[a] * r;
            }
        }
        for (; lambda < 1e12; lambda *= 10) {
            auto damped = m;
            for (int a = 0; a < 4; ++a)
                damped[a][a] *= 1.0 + lambda;
            std::array<double, 4> step{};
            if (!SolveSmall<4>(damped, step))
                return false;
            std::array<double, 4> t{q[0] + step[0], q[1] + step[1], q[2] + step[2], q[3] + step[3]};
            if (!(t[3] > 0.05))
                continue;
            const double et = cost(t);
            if (et <= e) {
                converged = std::abs(step[2]) < 1e-4 && std::abs(step[3]) < 1e-3; // far below the noise
                q = t;
                e = et;
                lambda = std::max(lambda * 0.1, 1e-9);
                break;
            }
        }
        if (lambda >= 1e12)
            converged = true; // no step lowers the cost: at the minimum
    }
    if (!(std::abs(q[2] - c) <= 1.0) || !(q[3] < hi - lo) || q[1] * sign <= 0.0)
        return false;
    c = q[2];
    return true;
}

// Every edge, or only the one with the largest gradient sample (the fit is the costly part: a circle's radii
// each want one).
std::vector<Edge> findEdges(const EdgeProfile& profile, double threshold, EdgePolarity polarity, Locator locator,
                            bool strongestOnly = false)
{
    std::vector<Edge> edges;
    const std::vector<double>& v = profile.values;
    const int n = int(v.size());
    if (n < 3 || !std::isfinite(threshold))
        return edges;
    const std::vector<double> d = gradientOf(v, locator);
    // Every maximum of the gradient's size, the weak ones too: they bound the samples a stronger edge's fit uses.
    std::vector<int> peaks;
    for (int i = 1; i + 1 < n; ++i) {
        const double a = std::abs(d[i]);
        if (a > std::abs(d[i - 1]) && a >= std::abs(d[i + 1]) && a >= 0.5 * threshold && a > 0.0)
            peaks.push_back(i);
    }
    auto wanted = [&](int i) {
        return std::abs(d[i]) >= threshold && !(polarity == EdgePolarity::Rising && d[i] < 0.0) &&
               !(polarity == EdgePolarity::Falling && d[i] > 0.0);
    };
    size_t strongest = peaks.size();
    for (size_t k = 0; k < peaks.size(); ++k)
        if (wanted(peaks[k]) && (strongest == peaks.size() || std::abs(d[peaks[k]]) > std::abs(d[peaks[strongest]])))
            strongest = k;
    for (size_t k = 0; k < peaks.size(); ++k) {
        const int i = peaks[k];
        const int sign = d[i] > 0.0 ? 1 : -1;
        if (!wanted(i) || (strongestOnly && k != strongest))
            continue;
        const double a = std::abs(d[i - 1]), b = std::abs(d[i]), c = std::abs(d[i + 1]);
        double offset, strength;
        parabolaPeak(a, b, c, offset, strength);
        double along = i + offset;
        if (locator == Locator::Fitted && d[i - 1] * sign > 0.0 && d[i + 1] * sign > 0.0) {
            const double la = std::log(a), lb = std::log(b), lc = std::log(c);
            double logPeak;
            parabolaPeak(la, lb, lc, offset, logPeak);
            along = i + offset;
            strength = std::exp(logPeak);
            // The Gaussian's width, less the smoothing, starts the step's blur.
            const double curve = la - 2 * lb + lc;
            const double spread = curve < 0.0 ? -1.0 / curve : 1.0;
            const double blur = std::sqrt(std::clamp(spread - kSmoothSigma * kSmoothSigma, 0.09, 100.0));
            const int reach = int(std::ceil(3.0 * blur + 2.0));
            int lo = std::max(0, i - reach), hi = std::min(n - 1, i + reach);
            if (k > 0)
                lo = std::max(lo, (peaks[k - 1] + i + 1) / 2);
            if (k + 1 < peaks.size())
                hi = std::min(hi, (peaks[k + 1] + i) / 2);
            double fitted = along;
            if (hi - lo >= 4 && fitStep(v, lo, hi, sign, fitted, blur))
                along = fitted;
        }
        edges.push_back({along, profile.pointAt(along), strength, sign});
    }
    return edges;
}

} // namespace

std::vector<Edge> FindEdgesInProfile(const EdgeProfile& profile, double threshold, EdgePolarity polarity)
{
    return findEdges(profile, threshold, polarity, Locator::Fitted);
}

std::vector<Edge> FindEdges(const DibImage& image, const EdgeSearch& search)
{
    return FindEdgesInProfile(SampleProfile(image, search.from, search.to, search.halfWidth), search.threshold,
                              search.polarity);
}

std::vector<Edge> FindEdgesParabola(const DibImage& image, const EdgeSearch& search)
{
    return findEdges(SampleProfile(image, search.from, search.to, search.halfWidth), search.threshold,
                     search.polarity, Locator::Parabola);
}

std::optional<Edge> StrongestEdge(const DibImage& image, const EdgeSearch& search)
{
    const std::vector<Edge> edges = findEdges(SampleProfile(image, search.from, search.to, search.halfWidth),
                                              search.threshold, search.polarity, Locator::Fitted, true);
    if (edges.empty())
        return std::nullopt;
    return edges[0];
}
