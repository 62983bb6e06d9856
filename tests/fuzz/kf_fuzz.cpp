// posewright-keys' readers on a whole .kf: whatever the bytes, every table within its capacity, and
// every key text it writes reads back and is written again unchanged. Each bone sampled from a curve
// holds finite keys, each position and scale between the least and the greatest control value of its
// component, each rotation of length 1.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "fuzz/fuzz.h"
#include "keys/anim_keys.h"
#include "kf/spline.h"
#include "nif/nif_document.h"
#include "sample/read_back.h"

namespace {

// The curve read again here, apart from the road back's own records.
SplineCurve Curve;

template <typename Record>
bool Reads(std::int32_t block, std::int32_t (*load)(ByteReader&, Record&), Record& record) {
    ByteReader in = Open_Block_Reader(block);
    return load(in, record) == 0;
}

// Bone `b`'s keys against Curve: position x y z and scale each within its component's
// control values, an animated rotation of length 1, and every value finite.
void Check_Curve_Keys(std::int32_t b) {
    const SplineChannel channels[] = {kSplineTranslation, kSplineTranslation, kSplineTranslation,
                                      kSplineScale};
    for (std::int32_t k = 0; k < AnimBones[b].NumKeys; ++k) {
        const AnimKey& key = AnimBones[b].Keys[k];
        const float ranged[] = {key.PosX, key.PosY, key.PosZ, key.Scale};
        bool sound = std::isfinite(key.Time);
        for (std::uint32_t slot = 0; slot < 4; ++slot) {
            double low = INFINITY, high = -INFINITY;
            for (std::uint32_t p = 0;
                 Spline_Animated(Curve.Interpolator, channels[slot]) && p < Curve.Basis.NumControlPoints; ++p)
                low = std::min(low, Spline_Control_Value(Curve, channels[slot], p, slot % 3)),
                high = std::max(high, Spline_Control_Value(Curve, channels[slot], p, slot % 3));
            const double slack = 1e-5 * std::max(1.0, std::fabs(double{ranged[slot]}));
            sound = sound && std::isfinite(ranged[slot]) &&
                    (low > high || (ranged[slot] >= low - slack && ranged[slot] <= high + slack));
        }
        const double length = std::sqrt(double{key.RotW} * key.RotW + double{key.RotX} * key.RotX +
                                        double{key.RotY} * key.RotY + double{key.RotZ} * key.RotZ);
        Fuzz_Check(
            sound && (!Spline_Animated(Curve.Interpolator, kSplineRotation) || std::fabs(length - 1) <= 1e-5),
            "bone " + std::to_string(b + 1) + "'s curve gives key " + std::to_string(k + 1) +
                ", which is not finite, outside its control values or of a rotation not of length 1");
    }
}

// Every bone of the sequence just read whose interpolator is a transform curve and that got keys.
void Check_Curves() {
    for (std::int32_t b = 0; b < NumAnimBones; ++b) {
        const std::int32_t interpolator = ReadBack.Sequence.ControlledBlocks[b].Interpolator;
        const char* type = Block_Type_Name(interpolator);
        if (AnimBones[b].NumKeys == 0 || type == nullptr) continue;
        const bool packed = std::strcmp(type, "NiBSplineCompTransformInterpolator") == 0;
        if (!packed && std::strcmp(type, "NiBSplineTransformInterpolator") != 0) continue;
        Fuzz_Check(
            Reads(interpolator,
                  packed ? Load_from_Memory___NiBSplineCompTransformInterpolator
                         : Load_from_Memory___NiBSplineTransformInterpolator,
                  Curve.Interpolator) &&
                Reads(Curve.Interpolator.SplineData, Load_from_Memory___NiBSplineData, Curve.Data) &&
                Reads(Curve.Interpolator.BasisData, Load_from_Memory___NiBSplineBasisData, Curve.Basis),
            "a curve that gave keys does not read again");
        Check_Curve_Keys(b);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> back = Read_Back(ByteString(data, data + size), Check_Curves);
    Check_Tables();
    for (const std::string& text : back) {
        NumAnimBones = Load_Keys(text);
        Fuzz_Check(NumAnimBones >= 0 && Save_Keys() == text, "a written key text does not read back");
    }
    return 0;
}
