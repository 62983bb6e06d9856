// A bone on a spline curve into the bone table: why a curve cannot be sampled, the curve at a time, the
// times it is sampled at, and a bone's keys from it.
#pragma once

#include <cstdint>

#include "capacities.h"
#include "keys/anim_keys.h"
#include "kf/spline.h"

// Why `curve` cannot be evaluated: too few control points, a channel past its values, a control value
// that is not finite once unpacked, times that bound no span; null when it can be. The text stays until
// the next call.
const char* Spline_Fault(const SplineCurve& curve);

// `curve` at `time` (held to its start and stop) into `key`'s position, rotation and scale; the
// channels that are not animated keep what `key` holds. The rotation is normalised; false, with the key
// unchanged, when it comes to a length below 1e-6. Only for a curve Spline_Fault passed.
bool Spline_At(const SplineCurve& curve, float time, AnimKey& key);

// The key times of a curve sampled from `start` to `stop` at `rate` keys a second: the float nearest to
// start + k / rate while before `stop`, then `stop` itself. More than kMaxKeys of them are kMaxKeys
// spread evenly from start to stop, and `spread` says so. Their count; both times must be finite.
std::uint32_t Curve_Times(float start, float stop, double rate, float (&times)[kMaxKeys], bool& spread);

// Sets bone `bone` of AnimBones from `curve`, which Spline_Fault passed, at `count` times: channels that
// are not animated from `pose`, each rotation in the hemisphere of the one before. False, with the time
// in `failed`, when a rotation cancels out there.
bool Fill_Bone_from_Curve(const SplineCurve& curve, std::int32_t bone, const AnimKey& pose,
                          const float* times, std::uint32_t count, float& failed);

// The fault text back to the state of program start.
void Reset_Curve_Fault();
