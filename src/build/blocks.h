// The road out: the new blocks of the output, built from the bone table and the sequence settings into
// the document, each block kind's record filled and handed to its writer in kf/.
#pragma once

#include <cstdint>

#include "build/compress.h"
#include "kf/controller_sequence.h"
#include "kf/text_keys.h"
#include "kf/transform_data.h"

// The working records of the road out, one of each block kind the converter writes: each holds the
// block last appended.
extern TransformData BuiltTransformData;
extern TransformInterpolator BuiltInterpolator;
extern TextKeyExtraData BuiltTextKeys;
extern ControllerSequence BuiltSequence;

// What --compress made of the bones of the last build: how many became curves, poses or stayed keys
// (and of those, how many no curve could serve), and how many bytes fewer the output has than it would
// have with keys for every bone.
struct CompressionSummary {
    std::int32_t Curves, Poses, Keys, Unserved;
    std::int64_t BytesSaved;
};
extern CompressionSummary BuiltCompression;

// The first entry of the whole string table that names the accumulation root; 0 when none does.
std::int32_t Find_Accum_Root_Name();

// Appends every new block, type and string to the document, the sequence as the sequence settings
// say; with Compression enabled and quaternion keys, the bones as curves where they serve. 0, or -3
// after the failing message.
std::int32_t Create_All_KF_Blocks();

// The working records back to the zero-filled state of program start.
void Reset_Built_Blocks();
