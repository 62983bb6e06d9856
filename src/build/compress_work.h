// The bone in hand that the three files of --compress share, and the steps one of them calls in another.
// Internal to build/: its keys, the fit of one count of control points, the values as written.
#pragma once

#include <cstdint>

#include "capacities.h"
#include "kf/spline.h"

struct BoneFit; // build/compress.h's, not included: compress.cpp includes this header

namespace compress_work {

// A key's values in one row: translation x y z, rotation w x y z, scale; each channel's first slot.
inline constexpr int kValues = 8;
inline constexpr std::uint32_t kSlot[kSplineChannels] = {0, 3, 7};
// A fit is judged against its bound made this much smaller, so that an evaluation of the same curve that
// rounds otherwise still finds every key within the bound itself.
inline constexpr double kMargin = 1 - 1e-4;

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
// compress.cpp: the one bone in hand.
extern Work W;

// compress.cpp: whether key k lies within the bound of `value` (a channel's values, from its first slot).
bool Key_Within(SplineChannel channel, std::uint32_t k, const double* value);

// compress_fit.cpp: the weights and factored normal equations of keys `from` to `to` - 1 over `count`
// control points from `base`; false when these keys cannot support them.
bool Factor_Normal_Equations(std::uint32_t points, std::uint32_t from, std::uint32_t to, std::uint32_t base,
                             std::uint32_t count);
// compress_fit.cpp: the control values that best fit `columns` values of `targets` from row `first`, into
// W.Control, on the factor in hand.
template <std::uint32_t columns>
void Solve(const double (*targets)[kMaxKeys], std::uint32_t first);
extern template void Solve<1>(const double (*targets)[kMaxKeys], std::uint32_t first);
extern template void Solve<3>(const double (*targets)[kMaxKeys], std::uint32_t first);
extern template void Solve<4>(const double (*targets)[kMaxKeys], std::uint32_t first);
// compress_fit.cpp: `control` (a value's control points) at key k.
double At_Key(const double* control, std::uint32_t k);
// compress_fit.cpp: W.Targets of keys `from` to `to` - 1, the rotation's keys scaled by the fitted curve's
// signed length there; sets W.LengthSpread.
void Scale_Directions(std::uint32_t from, std::uint32_t to);
// compress_fit.cpp: the curve of `points` control points fitted and written; its worst error over the bound
// (at most 1 when within it), infinite when it cannot be fitted or written.
double Try_Points(std::uint32_t points, bool across = false);
// compress_fit.cpp: whether packing some animated channel into 16 bits would take more than half its bound.
bool Too_Wide_to_Pack();

// compress_search.cpp: the smallest count of control points whose curve, placed into BuiltSplineData and
// `fit`, meets the bound; 0 when none does.
std::uint32_t Search_Points(BoneFit& fit, const float* times);

} // namespace compress_work
