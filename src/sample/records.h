// The road back's own records: one of each block kind it reads, apart from the working records of the
// road out, filled by kf/'s readers and cleared by Reset_Read_Back.
#pragma once

#include <cstdint>

#include "kf/controller_sequence.h"
#include "kf/spline.h"
#include "kf/text_keys.h"
#include "kf/transform_data.h"

// The blocks of the sequence last read, each as its reader left it.
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
