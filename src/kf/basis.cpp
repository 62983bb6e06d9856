// The Cox-de Boor recurrence over the span's own knots, built up one degree at a time.
#include "kf/basis.h"

#include <algorithm>
#include <cmath>

namespace {

// Knot i of a curve of `points` control points.
double Knot(std::int64_t i, std::uint32_t points) {
    return static_cast<double>(std::clamp<std::int64_t>(i - 3, 0, std::int64_t{points} - 3));
}

} // namespace

BasisWeights Basis_Weights(double u, std::uint32_t points) {
    const double last = points - 3.0;
    u = std::clamp(u, 0.0, last);
    const auto span = static_cast<std::uint32_t>(std::min(std::floor(u), last - 1));
    // Knot s = span + 3 opens the span: t[s] <= u < t[s + 1].
    const std::int64_t s = std::int64_t{span} + 3;
    BasisWeights result{span, {1, 0, 0, 0}};
    double* n = result.Weight;
    double left[4] = {}, right[4] = {};
    for (int j = 1; j <= 3; ++j) {
        left[j] = u - Knot(s + 1 - j, points);
        right[j] = Knot(s + j, points) - u;
        double saved = 0;
        for (int r = 0; r < j; ++r) {
            // Both knots bound the span, so the denominator is at least its length, 1.
            const double share = n[r] / (right[r + 1] + left[j - r]);
            n[r] = saved + right[r + 1] * share;
            saved = left[j - r] * share;
        }
        n[j] = saved;
    }
    return result;
}
