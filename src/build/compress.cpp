// The fit of one bone's curve. For a count of control points, the least-squares fit over the keys is
// one banded system, solved for every channel at once; a rotation is fitted as directions (its samples
// scaled by the length the curve fitted so far has there, and fitted again), since a curve's rotation is
// normalised after evaluation. The control values are then packed (or rounded to floats) and the curve
// judged at every key as written. The first count that passes is searched for from below, so that the
// count is the smallest that meets the bound.
#include "build/compress.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

#include "keys/anim_keys.h"
#include "kf/basis.h"

CompressionSettings Compression;
BoneFit BoneFits[kMaxBoneRecords];
SplineData BuiltSplineData;

namespace {

// A key's values in one row: translation x y z, rotation w x y z, scale; each channel's first slot.
constexpr int kValues = 8;
constexpr std::uint32_t kSlot[kSplineChannels] = {0, 3, 7};
// A fit is judged against its bound made this much smaller, so that an evaluation of the same curve that
// rounds otherwise still finds every key within the bound itself.
constexpr double kMargin = 1 - 1e-4;
// Refits of a rotation's directions: the third changes the curve by far less than the bound.
constexpr int kDirectionRounds = 3;
// The same across (Fit_Directions), which comes closer with each round on keys far from a curve's own.
constexpr int kAcrossRounds = 8;
// Keeps the normal equations solvable where keys leave a control point without support: a pull towards
// a straight line through its neighbours, far too weak to move a supported fit.
constexpr double kSmoothing = 1e-9;

// The bone in hand.
struct Work {
    std::uint32_t Keys;
    double Times[kMaxKeys];           // each key's time as a fraction from start (0) to stop (1)
    double Values[kValues][kMaxKeys]; // each key's values, rotations unit and in one hemisphere
    bool Animated[kSplineChannels];
    bool Sorted;       // the keys' times never fall
    bool LengthSpread; // the rotation last fitted has at some key less than half its longest length
    bool Packed;       // control values in 16 bits; else as floats
    double Limit[kSplineChannels]; // position and scale: the bound; rotation: cos(bound / 2)
    // For the count in hand: each key's four weights, the banded factor of the normal equations (row i,
    // column i - d at [i][d]), the fitted control values and the values as written.
    std::uint32_t Points, From, To; // control points and keys of the system
    std::uint32_t First[kMaxKeys];
    double Weights[kMaxKeys][4];
    double Factor[kMaxKeys][4];
    double Solution[kMaxKeys][kValues]; // the columns being solved, side by side
    double Targets[kValues][kMaxKeys];
    double Control[kValues][kMaxKeys];
    double Written[kValues][kMaxKeys];
    std::int16_t Codes[kValues][kMaxKeys];
    float Offsets[kSplineChannels], HalfRanges[kSplineChannels];
};
Work W;

float AnimKey::*const kKeySlots[kValues] = {&AnimKey::PosX, &AnimKey::PosY, &AnimKey::PosZ, &AnimKey::RotW,
                                            &AnimKey::RotX, &AnimKey::RotY, &AnimKey::RotZ, &AnimKey::Scale};

// The bone's keys into W: false when a curve cannot hold them (a key outside start to stop, a value
// that is not finite, a rotation of no length).
bool Take_Keys(const AnimBone& bone, float start, float stop) {
    W.Keys = static_cast<std::uint32_t>(std::clamp<std::int32_t>(bone.NumKeys, 0, kMaxKeys));
    for (std::uint32_t k = 0; k < W.Keys; ++k) {
        const AnimKey& key = bone.Keys[k];
        if (!(key.Time >= start && key.Time <= stop)) return false;
        W.Times[k] = (double{key.Time} - start) / (double{stop} - start);
        for (int v = 0; v < kValues; ++v) {
            W.Values[v][k] = key.*kKeySlots[v];
            if (!std::isfinite(W.Values[v][k])) return false;
        }
        const std::uint32_t q = kSlot[kSplineRotation];
        double length = 0, dot = 0;
        for (std::uint32_t j = q; j < q + 4; ++j) {
            length += W.Values[j][k] * W.Values[j][k];
            dot += k > 0 ? W.Values[j][k] * W.Values[j][k - 1] : 0;
        }
        length = std::sqrt(length);
        if (!(length > 0) || !std::isfinite(length)) return false;
        const double scale = (dot < 0 ? -1 : 1) / length; // into the hemisphere of the key before
        for (std::uint32_t j = q; j < q + 4; ++j)
            W.Values[j][k] *= scale;
    }
    return true;
}

// Whether key k lies within the bound of `value` (a channel's values, from its first slot).
bool Key_Within(SplineChannel channel, std::uint32_t k, const double* value) {
    const std::uint32_t first = kSlot[channel];
    if (channel == kSplineRotation) {
        double dot = 0, length = 0;
        for (int j = 0; j < 4; ++j) {
            dot += value[j] * W.Values[first + j][k];
            length += value[j] * value[j];
        }
        // The angle between two rotations is twice that between their unit quaternions, either sign.
        return length >= 1e-12 && std::fabs(dot) >= W.Limit[channel] * std::sqrt(length);
    }
    double distance = 0;
    for (std::uint32_t j = 0; j < kSplineDims[channel]; ++j)
        distance += (value[j] - W.Values[first + j][k]) * (value[j] - W.Values[first + j][k]);
    return std::sqrt(distance) <= W.Limit[channel];
}

// Whether a channel stays within its bound of one value, which `held` (its slots in a row) receives:
// the middle of the keys' range, or for rotations their normalised mean.
bool Still(SplineChannel channel, float (&held)[kValues]) {
    const std::uint32_t first = kSlot[channel];
    double value[4] = {};
    for (std::uint32_t j = 0; j < kSplineDims[channel]; ++j) {
        const double* keys = W.Values[first + j];
        if (channel == kSplineRotation) {
            for (std::uint32_t k = 0; k < W.Keys; ++k)
                value[j] += keys[k];
        } else {
            const auto [low, high] = std::minmax_element(keys, keys + W.Keys);
            value[j] = (*low + *high) / 2;
        }
    }
    if (channel == kSplineRotation) {
        const double length = std::hypot(std::hypot(value[0], value[1]), std::hypot(value[2], value[3]));
        for (double& component : value)
            component = length > 0 ? component / length : 0;
    }
    for (std::uint32_t j = 0; j < kSplineDims[channel]; ++j) {
        held[first + j] = static_cast<float>(value[j]);
        value[j] = held[first + j]; // judged as written
    }
    for (std::uint32_t k = 0; k < W.Keys; ++k) {
        if (!Key_Within(channel, k, value)) return false;
    }
    return true;
}

// ---- the least-squares fit of one count of control points -----------------------------------------

// Each key's weights, and the normal equations factored, of keys `from` to `to` - 1 and the `count`
// control points from `base` that they reach (all keys and all points, but for a look at a few spans).
// False when they cannot be (no count of control points this large is supported by these keys).
bool Factor_Normal_Equations(std::uint32_t points, std::uint32_t from, std::uint32_t to, std::uint32_t base,
                             std::uint32_t count) {
    W.Points = count, W.From = from, W.To = to;
    double(*a)[4] = W.Factor;
    std::memset(a, 0, sizeof(double[4]) * count);
    double sum[4][4] = {}; // of the span in hand, gathered apart from the table
    std::uint32_t span = 0;
    for (std::uint32_t k = from; k <= to; ++k) {
        const BasisWeights basis = Basis_Weights(k < to ? W.Times[k] * (points - 3.0) : 0, points);
        const std::uint32_t first = std::clamp(basis.First, base, base + count - 4) - base;
        if (k == to || first != span) {
            for (int i = 0; i < 4; ++i) {
                for (int j = 0; j <= i; ++j)
                    a[span + i][i - j] += sum[i][j], sum[i][j] = 0;
            }
            if (k == to) break;
            span = first;
        }
        W.First[k] = first;
        std::copy(std::begin(basis.Weight), std::end(basis.Weight), W.Weights[k]);
        for (int i = 0; i < 4; ++i) {
            for (int j = 0; j <= i; ++j)
                sum[i][j] += basis.Weight[i] * basis.Weight[j];
        }
    }
    const double smoothing = kSmoothing * (to - from) / count;
    for (std::uint32_t r = 0; r + 2 < count; ++r) {
        const double row[3] = {1, -2, 1};
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j <= i; ++j)
                a[r + i][i - j] += smoothing * row[i] * row[j];
        }
    }
    // Cholesky in place, row by row: L(i, j) for i - 3 <= j <= i.
    for (std::uint32_t i = 0; i < count; ++i) {
        for (std::uint32_t d = std::min<std::uint32_t>(i, 3); d > 0; --d) {
            const std::uint32_t j = i - d;
            double sum = a[i][d];
            for (std::uint32_t m = d + 1; m <= 3 && m <= i; ++m) // columns i - m shared by rows i and j
                sum -= a[i][m] * a[j][m - d];
            a[i][d] = sum / a[j][0];
        }
        double diagonal = a[i][0];
        for (std::uint32_t d = 1; d <= std::min<std::uint32_t>(i, 3); ++d)
            diagonal -= a[i][d] * a[i][d];
        if (!(diagonal > 1e-12)) return false;
        a[i][0] = std::sqrt(diagonal);
    }
    return true;
}

// The control values that fit `targets` best, of `columns` values of a row from `first`, all at once: the
// sums of each span's keys gather apart from the table, and the columns go through the factor side by
// side, so that no sum waits on the one before it.
template <std::uint32_t columns>
void Solve(const double (*targets)[kMaxKeys], std::uint32_t first) {
    const std::uint32_t points = W.Points;
    double(*x)[kValues] = W.Solution;
    std::memset(x, 0, sizeof(double[kValues]) * points);
    double sum[columns][4] = {};
    std::uint32_t span = W.First[W.From];
    for (std::uint32_t k = W.From; k <= W.To; ++k) {
        if (k == W.To || W.First[k] != span) {
            for (std::uint32_t c = 0; c < columns; ++c) {
                for (int i = 0; i < 4; ++i)
                    x[span + i][c] += sum[c][i], sum[c][i] = 0;
            }
            if (k == W.To) break;
            span = W.First[k];
        }
        const double* w = W.Weights[k];
        for (std::uint32_t c = 0; c < columns; ++c) {
            const double target = targets[first + c][k];
            for (int i = 0; i < 4; ++i)
                sum[c][i] += w[i] * target;
        }
    }
    const double(*l)[4] = W.Factor;
    for (std::uint32_t i = 0; i < points; ++i) {
        for (std::uint32_t d = 1; d <= std::min<std::uint32_t>(i, 3); ++d) {
            for (std::uint32_t c = 0; c < columns; ++c)
                x[i][c] -= l[i][d] * x[i - d][c];
        }
        for (std::uint32_t c = 0; c < columns; ++c)
            x[i][c] /= l[i][0];
    }
    for (std::uint32_t i = points; i-- > 0;) {
        for (std::uint32_t d = 1; d <= 3 && i + d < points; ++d) {
            for (std::uint32_t c = 0; c < columns; ++c)
                x[i][c] -= l[i + d][d] * x[i + d][c];
        }
        for (std::uint32_t c = 0; c < columns; ++c)
            x[i][c] /= l[i][0];
    }
    for (std::uint32_t c = 0; c < columns; ++c) {
        for (std::uint32_t i = 0; i < points; ++i)
            W.Control[first + c][i] = x[i][c];
    }
}

// `control` (a value's control points) at key k.
double At_Key(const double* control, std::uint32_t k) {
    const double* w = W.Weights[k];
    const double* p = control + W.First[k];
    return w[0] * p[0] + w[1] * p[1] + w[2] * p[2] + w[3] * p[3];
}

// The rotation fitted as directions: the part of the curve across each key's direction is made small,
// its part along it drawn weakly towards `Targets` (signed lengths), as one system of the four values of
// every control point together. Keys on either side of a point where the curve passes near zero point
// opposite ways, and this takes them as they are. False when the system cannot be solved.
constexpr double kAlong = 1e-6;     // the weight of the length against the direction
constexpr std::uint32_t kWide = 16; // values a key's four control points hold
double Coupled[kMaxKeys * 4][kWide];
double CoupledSolution[kMaxKeys * 4];

bool Fit_Directions() {
    const std::uint32_t q = kSlot[kSplineRotation], n = 4 * W.Points;
    std::memset(Coupled, 0, sizeof(double[kWide]) * n);
    std::fill_n(CoupledSolution, n, 0.0);
    for (std::uint32_t k = 0; k < W.Keys; ++k) {
        double m[4][4], u[4];
        for (std::uint32_t j = 0; j < 4; ++j)
            u[j] = W.Values[q + j][k];
        for (std::uint32_t j = 0; j < 4; ++j) {
            for (std::uint32_t l = 0; l < 4; ++l)
                m[j][l] = (j == l) - (1 - kAlong) * u[j] * u[l];
        }
        const double* w = W.Weights[k];
        const std::uint32_t base = 4 * W.First[k];
        for (std::uint32_t a = 0; a < 16; ++a) {
            for (std::uint32_t b = 0; b <= a; ++b)
                Coupled[base + a][a - b] += w[a / 4] * w[b / 4] * m[a % 4][b % 4];
            CoupledSolution[base + a] += kAlong * w[a / 4] * W.Targets[q + a % 4][k];
        }
    }
    const double smoothing = kSmoothing * W.Keys / W.Points;
    for (std::uint32_t i = 0; i < n; ++i)
        Coupled[i][0] += smoothing;
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint32_t reach = std::min(i, kWide - 1);
        for (std::uint32_t d = reach; d > 0; --d) {
            const std::uint32_t j = i - d;
            double sum = Coupled[i][d];
            for (std::uint32_t e = d + 1; e <= reach; ++e)
                sum -= Coupled[i][e] * Coupled[j][e - d];
            Coupled[i][d] = sum / Coupled[j][0];
        }
        double diagonal = Coupled[i][0];
        for (std::uint32_t d = 1; d <= reach; ++d)
            diagonal -= Coupled[i][d] * Coupled[i][d];
        if (!(diagonal > 1e-14)) return false;
        Coupled[i][0] = std::sqrt(diagonal);
    }
    double* x = CoupledSolution;
    for (std::uint32_t i = 0; i < n; ++i) {
        for (std::uint32_t d = 1; d <= std::min(i, kWide - 1); ++d)
            x[i] -= Coupled[i][d] * x[i - d];
        x[i] /= Coupled[i][0];
    }
    for (std::uint32_t i = n; i-- > 0;) {
        for (std::uint32_t d = 1; d < kWide && i + d < n; ++d)
            x[i] -= Coupled[i + d][d] * x[i + d];
        x[i] /= Coupled[i][0];
    }
    for (std::uint32_t i = 0; i < W.Points; ++i) {
        for (std::uint32_t j = 0; j < 4; ++j)
            W.Control[q + j][i] = x[4 * i + j];
    }
    return true;
}

// The rotation's targets of keys `from` to `to` - 1: each key scaled by the length the curve fitted so
// far has there, in the curve's hemisphere there (where the curve passes near zero, its direction turns
// about, and so must the keys'); LengthSpread says whether that length halves somewhere.
void Scale_Directions(std::uint32_t from, std::uint32_t to) {
    const std::uint32_t q = kSlot[kSplineRotation];
    double shortest = std::numeric_limits<double>::infinity(), longest = 0;
    for (std::uint32_t k = from; k < to; ++k) {
        double length = 0, dot = 0;
        for (std::uint32_t j = q; j < q + 4; ++j) {
            const double value = At_Key(W.Control[j], k);
            length += value * value, dot += value * W.Values[j][k];
        }
        length = std::sqrt(length);
        shortest = std::min(shortest, length), longest = std::max(longest, length);
        for (std::uint32_t j = q; j < q + 4; ++j)
            W.Targets[j][k] = W.Values[j][k] * std::copysign(length, dot);
    }
    W.LengthSpread = shortest < longest / 2;
}

// Each animated channel fitted. A rotation is fitted as directions: its keys scaled by the length the
// curve fitted so far has at each (in the curve's hemisphere there) and fitted again; `across` fits them
// as Fit_Directions does, slower, for keys sampled where a curve's length falls and rises fast.
void Fit_Channels(bool across) {
    const std::uint32_t q = kSlot[kSplineRotation];
    if (W.Animated[kSplineTranslation]) Solve<3>(W.Values, kSlot[kSplineTranslation]);
    if (W.Animated[kSplineScale]) Solve<1>(W.Values, kSlot[kSplineScale]);
    if (!W.Animated[kSplineRotation]) return;
    for (std::uint32_t j = q; j < q + 4; ++j)
        std::copy_n(W.Values[j], W.Keys, W.Targets[j]);
    if (!across || !Fit_Directions()) Solve<4>(W.Values, q);
    for (int round = 0; round < (across ? kAcrossRounds : kDirectionRounds); ++round) {
        Scale_Directions(0, W.Keys);
        if (across) {
            if (!Fit_Directions()) return;
        } else {
            Solve<4>(W.Targets, q);
        }
    }
}

// The least and the largest of the first `count` values of every component of `channel` in `rows`.
std::pair<double, double> Range(const double (*rows)[kMaxKeys], int channel, std::uint32_t count) {
    double low = std::numeric_limits<double>::infinity(), high = -low;
    for (std::uint32_t v = kSlot[channel]; v < kSlot[channel] + kSplineDims[channel]; ++v) {
        const auto [least, most] = std::minmax_element(rows[v], rows[v] + count);
        low = std::min(low, *least), high = std::max(high, *most);
    }
    return {low, high};
}

// The control values as they will be written: each channel packed with its offset and half range, or
// rounded to floats. False when a value cannot be written finite.
bool Write_Control() {
    constexpr double kLargest = std::numeric_limits<float>::max();
    for (int channel = 0; channel < kSplineChannels; ++channel) {
        if (!W.Animated[channel]) continue;
        const auto [low, high] = Range(W.Control, channel, W.Points);
        if (!(std::fabs(low) <= kLargest && std::fabs(high) <= kLargest)) return false;
        const auto offset = static_cast<float>(low / 2 + high / 2);
        const auto half = static_cast<float>(high / 2 - low / 2);
        if (W.Packed && !(std::fabs(double{offset}) + half <= kLargest)) return false;
        W.Offsets[channel] = offset, W.HalfRanges[channel] = half;
        for (std::uint32_t j = 0; j < kSplineDims[channel]; ++j) {
            const std::uint32_t v = kSlot[channel] + j;
            for (std::uint32_t i = 0; i < W.Points; ++i) {
                if (!W.Packed) {
                    W.Written[v][i] = static_cast<float>(W.Control[v][i]);
                    continue;
                }
                const double code = half > 0 ? std::round((W.Control[v][i] - offset) / half * 32767) : 0;
                W.Codes[v][i] = static_cast<std::int16_t>(std::clamp(code, -32767.0, 32767.0));
                W.Written[v][i] = double{offset} + double{half} * W.Codes[v][i] / 32767.0;
            }
        }
    }
    return true;
}

// How far the curve as written strays from the keys: the largest over the channels of its error at any
// key over its bound (made smaller by the margin). At most 1 when it meets the bound.
double Worst_Error() {
    double distance = 0, cosine = 1, scale = 0; // the cosine of half the angle between two rotations
    for (std::uint32_t k = 0; k < W.Keys; ++k) {
        if (W.Animated[kSplineTranslation]) {
            double sum = 0;
            for (std::uint32_t v = 0; v < 3; ++v) {
                const double error = At_Key(W.Written[v], k) - W.Values[v][k];
                sum += error * error;
            }
            distance = std::max(distance, sum);
        }
        if (W.Animated[kSplineRotation]) {
            double dot = 0, length = 0;
            for (std::uint32_t v = 3; v < 7; ++v) {
                const double value = At_Key(W.Written[v], k);
                dot += value * W.Values[v][k], length += value * value;
            }
            cosine = std::min(cosine, length >= 1e-12 ? std::fabs(dot) / std::sqrt(length) : 0.0);
        }
        if (W.Animated[kSplineScale])
            scale = std::max(scale, std::fabs(At_Key(W.Written[7], k) - W.Values[7][k]));
    }
    return std::max({std::sqrt(distance) / W.Limit[kSplineTranslation],
                     2 * std::acos(cosine) / (Compression.Bounds[kSplineRotation] * kMargin),
                     scale / W.Limit[kSplineScale]});
}

// The error of the curve of `points` control points as Worst_Error gives it (`across`: its rotation
// fitted as Fit_Channels says); infinite when it cannot be fitted or written.
double Try_Points(std::uint32_t points, bool across = false) {
    if (!Factor_Normal_Equations(points, 0, W.Keys, 0, points))
        return std::numeric_limits<double>::infinity();
    Fit_Channels(across);
    return Write_Control() ? Worst_Error() : std::numeric_limits<double>::infinity();
}

// Whether packing a channel into 16 bits would take more than half its bound: the control values
// span a little more than the keys do, and a packed value is off by up to half a step of its range.
bool Too_Wide_to_Pack() {
    const double reach[kSplineChannels] = {std::sqrt(3.0), 4, 1}; // a step's effect on the error, at most
    for (int channel = 0; channel < kSplineChannels; ++channel) {
        if (!W.Animated[channel]) continue;
        const auto [low, high] = Range(W.Values, channel, W.Keys);
        const double error = reach[channel] * 1.25 * (high - low) / 2 / 65534;
        if (error > Compression.Bounds[channel] / 2) return true;
    }
    return false;
}

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

} // namespace

void Fit_Bone(std::int32_t b, float start, float stop) {
    BoneFit& fit = BoneFits[b];
    fit = {};
    const AnimBone& bone = AnimBones[b];
    if (bone.NumKeys <= 0) return;
    if (!Take_Keys(bone, start, stop)) {
        fit.Reason = KeysReason::OutsideSequence;
        return;
    }
    W.Limit[kSplineTranslation] = Compression.Bounds[kSplineTranslation] * kMargin;
    W.Limit[kSplineRotation] = std::cos(Compression.Bounds[kSplineRotation] * kMargin / 2);
    W.Limit[kSplineScale] = Compression.Bounds[kSplineScale] * kMargin;
    float held[kValues] = {};
    bool animated = false;
    for (int channel = 0; channel < kSplineChannels; ++channel) {
        W.Animated[channel] = !Still(static_cast<SplineChannel>(channel), held);
        animated = animated || W.Animated[channel];
    }
    SplineInterpolator& curve = fit.Interpolator;
    for (int v = 0; v < kValues; ++v) {
        const bool moving = W.Animated[v < 3 ? 0 : v < 7 ? 1 : 2];
        const float value = moving ? bone.Keys[0].*kKeySlots[v] : held[v];
        (v < 3 ? curve.Translation[v] : v < 7 ? curve.Rotation[v - 3] : curve.Scale) = value;
    }
    curve.StartTime = start, curve.StopTime = stop;
    if (!animated) {
        fit.Form = BoneForm::Pose;
        return;
    }
    W.Packed = !Too_Wide_to_Pack();
    float times[kMaxKeys];
    for (std::uint32_t k = 0; k < W.Keys; ++k)
        times[k] = bone.Keys[k].Time;
    // Where packing cannot stay within the bound (a rotation whose curve passes close to zero turns
    // faster than 16 bits follow), floats may.
    if (Search_Points(fit, times) == 0 && W.Packed && fit.Reason == KeysReason::None) {
        W.Packed = false;
        Search_Points(fit, times);
    }
    if (fit.Points == 0) {
        if (fit.Reason == KeysReason::None) fit.Reason = KeysReason::NoCurveBeatsKeys;
        return;
    }
    fit.Form = BoneForm::Curve;
}

void Reset_Compression() {
    // Only the values a build wrote, so that the cost follows the file.
    std::fill_n(BuiltSplineData.FloatControlPoints, BuiltSplineData.NumFloatControlPoints, 0.0f);
    std::fill_n(BuiltSplineData.CompactControlPoints, BuiltSplineData.NumCompactControlPoints,
                std::int16_t{0});
    BuiltSplineData.NumFloatControlPoints = BuiltSplineData.NumCompactControlPoints = 0;
    std::fill(std::begin(BoneFits), std::end(BoneFits), BoneFit{});
}
