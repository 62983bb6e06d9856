// The road back: one controller sequence of the document to the bone table and the sequence settings,
// its blocks read into the road back's own records, with the problems found on the way.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kf/controller_sequence.h"
#include "kf/spline.h"
#include "kf/text_keys.h"
#include "kf/transform_data.h"

// The records of the road back, apart from the working records of the road out: the blocks of the
// sequence last read, each as its reader left it.
struct ReadBackRecords {
    ControllerSequence Sequence;
    TextKeyExtraData TextKeys;
    bool TextKeysRead; // the sequence has no text-key block, or TextKeys holds it
    TransformInterpolator Interpolator;
    TransformData Data;
    SplineCurve Curve;
    // The block Curve.Data holds, read once for all the curves that share it; -1 when none.
    std::int32_t CurveDataBlock = -1;
};
extern ReadBackRecords ReadBack;

// Keys a second sampled from a bone's curve, from its sequence's start to its stop: the rate games
// animate at, unless the driver sets another.
inline constexpr double kDefaultKeysPerSecond = 30;
extern double Curve_Keys_Per_Second;

// Every controller sequence of the document, in block order.
std::vector<std::int32_t> Sequence_Blocks();

// Reads controller sequence `block` into the bone table: AnimBones and NumAnimBones (one bone per
// controlled block), AnimDuration (its stop time) and the format flag of its rotations; then its bones'
// checks and its settings. A bone that cannot be read gets 0 keys and a problem line. 0, or -3 when the
// sequence block itself does not hold its layout (a problem line says so).
std::int32_t Load_Sequence_Keys(std::int32_t block);

// The name of the sequence last read, "" when it has none.
const std::string& Sequence_Name();

// How many bones of the sequence last read were sampled from their curves.
std::int32_t Curve_Bones();

// A rate of keys a second in its shortest text ("30", "29.97").
std::string Rate_Text(double rate);

// Back to the state of program start.
void Reset_Read_Back();
