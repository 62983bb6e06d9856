// The fit of one count of control points: the banded least-squares system, and the values as written.
// The system is solved for every channel at once; a rotation is fitted as directions (its samples scaled
// by the length the curve fitted so far has there, and fitted again), since a curve's rotation is
// normalised after evaluation. The curve is then judged at every key as written.
#include "build/compress_work.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>
#include <utility>

#include "build/compress.h"
#include "kf/basis.h"

namespace compress_work {

namespace {

// Refits of a rotation's directions: the third changes the curve by far less than the bound.
constexpr int kDirectionRounds = 3;
// The same across (Fit_Directions), which comes closer with each round on keys far from a curve's own.
constexpr int kAcrossRounds = 8;
// Keeps the normal equations solvable where keys leave a control point without support: a pull towards
// a straight line through its neighbours, far too weak to move a supported fit.
constexpr double kSmoothing = 1e-9;

} // namespace

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

template void Solve<1>(const double (*targets)[kMaxKeys], std::uint32_t first);
template void Solve<3>(const double (*targets)[kMaxKeys], std::uint32_t first);
template void Solve<4>(const double (*targets)[kMaxKeys], std::uint32_t first);

// `control` (a value's control points) at key k.
double At_Key(const double* control, std::uint32_t k) {
    const double* w = W.Weights[k];
    const double* p = control + W.First[k];
    return w[0] * p[0] + w[1] * p[1] + w[2] * p[2] + w[3] * p[3];
}

namespace {

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

} // namespace

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

namespace {

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

} // namespace

// The error of the curve of `points` control points as Worst_Error gives it (`across`: its rotation
// fitted as Fit_Channels says); infinite when it cannot be fitted or written.
double Try_Points(std::uint32_t points, bool across) {
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

} // namespace compress_work
