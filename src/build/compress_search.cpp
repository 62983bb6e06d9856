// The search for the smallest count of control points that meets the bound, and its curve placed.
// Counts are tried from below, so that the count found is the smallest; keys that lie on a curve already
// (read back from one) are recognised by their knots or by a close look at a few spans, and given its count.
#include "build/compress_work.h"

#include <algorithm>
#include <cmath>

#include "build/compress.h"

namespace compress_work {

namespace {

// The curve of W.Points into BuiltSplineData and `fit`, judged again there by the evaluation the road
// back uses. False, with nothing added, when it does not fit in the block or is not within the bound.
bool Place_Curve(BoneFit& fit, const float* times) {
    SplineInterpolator& curve = fit.Interpolator;
    std::uint32_t& count =
        W.Packed ? BuiltSplineData.NumCompactControlPoints : BuiltSplineData.NumFloatControlPoints;
    const std::uint32_t before = count;
    for (int channel = 0; channel < kSplineChannels; ++channel) {
        curve.Handles[channel] = W.Animated[channel] ? count : kSplineNoHandle;
        curve.Offsets[channel] = W.Animated[channel] && W.Packed ? W.Offsets[channel] : 0;
        curve.HalfRanges[channel] = W.Animated[channel] && W.Packed ? W.HalfRanges[channel] : 0;
        for (std::uint32_t i = 0; W.Animated[channel] && i < W.Points; ++i) {
            for (std::uint32_t v = kSlot[channel]; v < kSlot[channel] + kSplineDims[channel]; ++v, ++count) {
                if (count >= kMaxSplineValues) {
                    count = before;
                    fit.Reason = KeysReason::DataFull;
                    return false;
                }
                if (W.Packed) {
                    BuiltSplineData.CompactControlPoints[count] = W.Codes[v][i];
                } else {
                    BuiltSplineData.FloatControlPoints[count] = static_cast<float>(W.Written[v][i]);
                }
            }
        }
    }
    curve.Compressed = W.Packed;
    for (std::uint32_t k = 0; k < W.Keys; ++k) {
        double value[kValues] = {};
        bool within = Spline_Evaluate(curve, BuiltSplineData, W.Points, times[k], value);
        for (int channel = 0; within && channel < kSplineChannels; ++channel)
            within = !W.Animated[channel] ||
                     Key_Within(static_cast<SplineChannel>(channel), k, value + kSlot[channel]);
        if (!within) {
            count = before;
            return false;
        }
    }
    fit.Points = W.Points;
    return true;
}

// Keys sampled from a curve show its knots: within a span the curve is one cubic, whose fourth
// differences vanish, and across a knot they do not. Each key's fourth difference (of the five keys from
// it, over the bound, summed over the values a curve holds unnormalised): a count whose spans leave
// hardly any of them inside one span may be the curve's own.
constexpr double kKnotShare = 0.05;
// Below this many keys a span, too few differences lie inside spans to tell.
constexpr double kKnotKeys = 5;
double Differences[kMaxKeys], DifferenceTotal;

void Take_Differences() {
    const double weights[5] = {1, -4, 6, -4, 1};
    DifferenceTotal = 0;
    for (std::uint32_t k = 0; k + 4 < W.Keys; ++k) {
        Differences[k] = 0;
        for (int channel = 0; channel < kSplineChannels; ++channel) {
            // A rotation's keys are normalised: they show knots only when nothing else does.
            if (channel == kSplineRotation && (W.Animated[kSplineTranslation] || W.Animated[kSplineScale]))
                continue;
            for (std::uint32_t v = kSlot[channel];
                 W.Animated[channel] && v < kSlot[channel] + kSplineDims[channel]; ++v) {
                double difference = 0;
                for (std::uint32_t i = 0; i < 5; ++i)
                    difference += weights[i] * W.Values[v][k + i];
                difference /= Compression.Bounds[channel];
                Differences[k] += difference * difference;
            }
        }
        DifferenceTotal += Differences[k];
    }
}

bool Knots_Fit(std::uint32_t points) {
    const double spans = points - 3.0;
    double inside = 0;
    for (std::uint32_t k = 0; k + 4 < W.Keys; ++k) {
        if (std::floor(W.Times[k] * spans) == std::floor(W.Times[k + 4] * spans) && W.Times[k + 4] < 1)
            inside += Differences[k];
    }
    return inside <= kKnotShare * DifferenceTotal;
}

// Keys sampled from a curve (a game's read back, or this program's own) lie on it: fitted with its own
// count, the keys of a few spans at the middle of the sequence are left with next to no error, and with
// other counts near it they are not. A count passes the look when that error stays within this share of
// the bound, or when too few keys lie there to tell.
constexpr std::uint32_t kLookSpans = 8;
constexpr double kLookShare = 0.25;

bool Looks_Exact(std::uint32_t points) {
    const std::uint32_t spans = points - 3, low = spans > kLookSpans ? (spans - kLookSpans) / 2 : 0;
    const std::uint32_t high = std::min(spans, low + kLookSpans), count = high - low + 3;
    const auto from = static_cast<std::uint32_t>(
        std::lower_bound(W.Times, W.Times + W.Keys, static_cast<double>(low) / spans) - W.Times);
    const auto to = static_cast<std::uint32_t>(
        std::upper_bound(W.Times, W.Times + W.Keys, static_cast<double>(high) / spans) - W.Times);
    if (to < from + count + 4 || !Factor_Normal_Equations(points, from, to, low, count)) return false;
    const std::uint32_t q = kSlot[kSplineRotation];
    if (W.Animated[kSplineTranslation]) Solve<3>(W.Values, kSlot[kSplineTranslation]);
    if (W.Animated[kSplineScale]) Solve<1>(W.Values, kSlot[kSplineScale]);
    if (W.Animated[kSplineRotation]) {
        Solve<4>(W.Values, q);
        Scale_Directions(from, to);
        Solve<4>(W.Targets, q);
    }
    double worst = 0;
    for (std::uint32_t k = from; k < to; ++k) {
        double distance = 0, chord = 0;
        for (std::uint32_t v = 0; v < kValues; ++v) {
            const int channel = v < 3 ? kSplineTranslation : v < 7 ? kSplineRotation : kSplineScale;
            if (!W.Animated[channel]) continue;
            const double error =
                At_Key(W.Control[v], k) - (channel == kSplineRotation ? W.Targets : W.Values)[v][k];
            (channel == kSplineRotation ? chord : distance) += error * error;
            if (channel == kSplineScale)
                worst = std::max(worst, std::fabs(error) / Compression.Bounds[channel]);
        }
        worst = std::max({worst, std::sqrt(distance) / Compression.Bounds[kSplineTranslation],
                          2 * std::sqrt(chord) / Compression.Bounds[kSplineRotation]});
    }
    return worst <= kLookShare;
}

// The count to try after one whose error is `error` times the bound: an error falls about with the
// fourth power of the count, so half the way there that predicts, and at most twice the count; one at a
// time within a tenth of the bound, where the packing's rounding makes the error rise and fall.
std::uint32_t Next_Points(std::uint32_t points, double error) {
    if (error <= 1.1) return points + 1;
    const double step = points * (std::pow(std::min(error, 1e8), 0.25) - 1) / 2;
    return points + std::clamp<std::uint32_t>(static_cast<std::uint32_t>(step), 1, points);
}

// The smallest count of control points from `from` and fewer than the keys whose curve meets the bound;
// 0 when none does. Counts rise in steps that shrink as the error nears the bound, to the first that
// meets it, and every count between it and the last that did not is tried in turn; below that, every
// count whose knots the keys show is tried too.
bool Across; // whether the count Smallest_Points found fits its rotation across

std::uint32_t Smallest_Points(std::uint32_t from) {
    Across = false;
    std::uint32_t found = 0, failed = from - 1;
    for (std::uint32_t points = from; points < W.Keys;) {
        const double error = Try_Points(points);
        if (error <= 1) {
            found = points;
            break;
        }
        failed = points;
        points = Next_Points(points, error);
    }
    for (std::uint32_t points = failed + 1; found != 0 && points < found; ++points) {
        if (Try_Points(points) <= 1) {
            found = points;
            break;
        }
    }
    const std::uint32_t below = found != 0 ? found : W.Keys;
    for (std::uint32_t points = from; W.Sorted && points < below; ++points) {
        // The look at a few spans judges where the differences cannot, and above half the count found:
        // keys that lie on a curve lie off those of counts near it by about the bound.
        const bool dense = (points - 3) * kKnotKeys > W.Keys - 1;
        if (dense ? 2 * points < below || !Looks_Exact(points) : !Knots_Fit(points)) continue;
        if (Try_Points(points) <= 1) return points;
        if (W.Animated[kSplineRotation] && (!dense || W.LengthSpread) && Try_Points(points, true) <= 1) {
            Across = true;
            return points;
        }
    }
    return found;
}

} // namespace

// The count Smallest_Points finds, its curve placed; past one the road back's evaluation judges
// otherwise, the next. 0 when none is.
std::uint32_t Search_Points(BoneFit& fit, const float* times) {
    W.Sorted = std::is_sorted(W.Times, W.Times + W.Keys);
    Take_Differences();
    for (std::uint32_t from = 4;;) {
        const std::uint32_t points = Smallest_Points(from);
        if (points == 0) return 0;
        if (Try_Points(points, Across) <= 1 && Place_Curve(fit, times)) return points;
        if (fit.Reason == KeysReason::DataFull) return 0;
        from = points + 1;
    }
}

} // namespace compress_work
