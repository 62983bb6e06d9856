// --compress: each bone's keys become a cubic B-spline of as few control points as keep every key within
// the bound, packed into 16 bits where that keeps it within too. A bone whose channels all stay within
// their bound of one value becomes a pose, and a bone no curve serves stays keys.
#pragma once

#include <cstdint>

#include "capacities.h"
#include "kf/spline.h"

// What --compress asks for.
struct CompressionSettings {
    bool Enabled;
    double Bounds[kSplineChannels]; // at every key: position in units, rotation angle in radians, scale
};
inline constexpr CompressionSettings kDefaultCompression = {true, {0.01, 0.001, 0.001}};
extern CompressionSettings Compression; // set by the driver; disabled at program start

// How a bone is written.
enum class BoneForm : std::uint8_t { Keys, Pose, Curve };

// Why a bone stays keys, for the transcript.
enum class KeysReason : std::uint8_t { None, OutsideSequence, NoCurveBeatsKeys, DataFull };

struct BoneFit {
    BoneForm Form;
    KeysReason Reason;
    // A curve's interpolator, its handles into BuiltSplineData and its links left to the block builder;
    // a pose's values in its translation, rotation and scale.
    SplineInterpolator Interpolator;
    std::uint32_t Points; // a curve's control points, of each animated channel
};
extern BoneFit BoneFits[kMaxBoneRecords];

// The control values of every curve of the sequence, in the one data block they share.
extern SplineData BuiltSplineData;

// Fits bone `b` of AnimBones (quaternion keys) with a curve from `start` to `stop` into BoneFits[b],
// its control values appended to BuiltSplineData.
void Fit_Bone(std::int32_t b, float start, float stop);

// BuiltSplineData and the fits back to the zero-filled state of program start, after builds that
// filled them by Fit_Bone alone.
void Reset_Compression();
