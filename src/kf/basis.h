// The weights of an open uniform cubic B-spline: degree 3, N control points, the knots
// clamp(i - 3, 0, N - 3) for i = 0 .. N + 3, so that the curve starts at its first control point and
// ends at its last. No tables: the weights of one parameter at a time.
#pragma once

#include <cstdint>

struct BasisWeights {
    std::uint32_t First; // the first of the four control points that take part
    double Weight[4];    // theirs, in order; they sum to 1 and none is negative
};

// The weights at parameter `u`, held to [0, N - 3], of a curve of `points` control points (at least 4).
// The last span is closed: u = N - 3 takes points N - 4 to N - 1.
BasisWeights Basis_Weights(double u, std::uint32_t points);
