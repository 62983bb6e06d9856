// The road back: one controller sequence of the document to the bone table and the sequence settings,
// its blocks read into the road back's own records, with the problems found on the way.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sample/records.h"

// Keys a second sampled from a bone's curve, from its sequence's start to its stop: the rate games
// animate at, unless the driver sets another.
inline constexpr double kDefaultKeysPerSecond = 30;
extern double Curve_Keys_Per_Second;

// Every controller sequence of the document, in block order.
std::vector<std::int32_t> Sequence_Blocks();

// Reads controller sequence `block` into the bone table: AnimBones and NumAnimBones (one bone per
// controlled block that animates a node's transform; the others are left out with a problem line),
// AnimDuration (its stop time) and the format flag of its rotations; then its bones' checks and its
// settings. A bone that cannot be read gets 0 keys and a problem line; a pose without keys becomes one
// key, the parts it holds no value for taken from the skeleton table when it holds the node. 0, or -3
// when the sequence block itself does not hold its layout (a problem line says so).
std::int32_t Load_Sequence_Keys(std::int32_t block);

// The name of the sequence last read, "" when it has none.
const std::string& Sequence_Name();

// How many bones of the sequence last read were sampled from their curves.
std::int32_t Curve_Bones();
// How many bones of the sequence last read had tracks of their own key times, resampled at the union of
// them: linear blends there lose nothing, so this is not a problem.
std::int32_t Resampled_Bones();

// A rate of keys a second in its shortest text ("30", "29.97").
std::string Rate_Text(double rate);

// Back to the state of program start.
void Reset_Read_Back();
