// From a controlled block to its bone's keys: node name, interpolator, transform data or curve. Every
// block is read by kf/'s reader of its layout into the road back's own records, and refused, never
// misread, when its bytes do not add up to that layout.
#include "sample/read_back.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "check/problems.h"
#include "keys/anim_keys.h"
#include "nif/nif_document.h"
#include "sample/curve.h"
#include "sample/resample.h"
#include "sample/settings.h"

double Curve_Keys_Per_Second = kDefaultKeysPerSecond;
ReadBackRecords ReadBack;

namespace {

std::string SequenceName;
std::int32_t CurveBones; // of the sequence last read
float CurveTimes[kMaxKeys];

enum Form { kNoRotation, kQuaternions, kEulerAngles };

// The sequence's text-key block, loaded and type-checked once: for the checks of its keys now, and for
// the sequence file after the bones. A block that is not one, or does not read, says so in a problem line.
void Load_Text_Keys() {
    const std::int32_t block = ReadBack.Sequence.TextKeys;
    ReadBack.TextKeys.NumTextKeys = 0;
    ReadBack.TextKeysRead = block == -1;
    if (block == -1) return;
    const char* type = Block_Type_Name(block);
    if (type == nullptr || std::strcmp(type, "NiTextKeyExtraData") != 0) {
        Note(-1, "its text keys are in " + Block_Label(block) + ", not in a NiTextKeyExtraData block");
        return;
    }
    ByteReader in = Open_Block_Reader(block);
    if (Load_from_Memory___NiTextKeyExtraData(in, ReadBack.TextKeys) < 0) {
        Note_Unreadable(-1, block, in.Fault, "its text keys are not checked");
        return;
    }
    ReadBack.TextKeysRead = true;
    Check_Text_Keys(ReadBack.TextKeys, ReadBack.Sequence.StartTime, ReadBack.Sequence.StopTime);
}

// ---- a bone ---------------------------------------------------------------------------------------

// The node name of controlled block b, made to fit its name line.
void Load_Bone_Name(std::int32_t b, std::int32_t index) {
    AnimBone& bone = AnimBones[b];
    const char* name = String_at(index);
    std::snprintf(bone.Name, sizeof bone.Name, "%s", name != nullptr ? name : "");
    if (name == nullptr && index != -1)
        Note(b,
             "its node name is string " + std::to_string(index) + ", which the string table does not hold");
    if (std::strlen(bone.Name) > kMaxBoneNameLength) {
        bone.Name[kMaxBoneNameLength] = '\0';
        Note(b, "its node name is longer than the " + std::to_string(kMaxBoneNameLength) +
                    " bytes a name line holds: written cut");
    }
    if (std::strchr(bone.Name, '\n') != nullptr) {
        std::replace(bone.Name, bone.Name + std::strlen(bone.Name), '\n', ' ');
        Note(b, "its node name holds a line feed: written as a space");
    }
}

// The interpolator's own transform: what a track without keys holds.
AnimKey Interpolator_Pose() {
    return Pose_of(ReadBack.Interpolator.Translation, ReadBack.Interpolator.Rotation,
                   ReadBack.Interpolator.Scale);
}

// Block `index` when it is a `type` that holds its layout; false after a problem line otherwise.
template <typename Record>
bool Load_Block(std::int32_t b, std::int32_t index, const char* type,
                std::int32_t (*load)(ByteReader&, Record&), Record& record) {
    const char* actual = Block_Type_Name(index);
    if (actual == nullptr || std::strcmp(actual, type) != 0) {
        Note(b, std::string(type) + " expected in " + Block_Label(index) + ": written with 0 keys");
        return false;
    }
    ByteReader in = Open_Block_Reader(index);
    if (load(in, record) == 0) return true;
    Note_Unreadable(b, index, in.Fault, "written with 0 keys");
    return false;
}

// Spline interpolators that move something other than a bone's transform, and what they move.
const struct {
    const char* Type;
    const char* What;
} kOtherCurves[] = {
    {"NiBSplineFloatInterpolator", "a float"},  {"NiBSplineCompFloatInterpolator", "a float"},
    {"NiBSplinePoint3Interpolator", "a point"}, {"NiBSplineCompPoint3Interpolator", "a point"},
    {"NiBSplineColorInterpolator", "a colour"}, {"NiBSplineCompColorInterpolator", "a colour"}};

const char* Other_Curve(const char* type) {
    for (const auto& curve : kOtherCurves) {
        if (type != nullptr && std::strcmp(type, curve.Type) == 0) return curve.What;
    }
    return nullptr;
}

// The curve's control points and basis, each of its own block; the points are read once for all the
// curves that share them.
bool Load_Curve_Blocks(std::int32_t b) {
    const std::int32_t data = ReadBack.Curve.Interpolator.SplineData;
    if (data != ReadBack.CurveDataBlock || data < 0) {
        ReadBack.CurveDataBlock = -1;
        if (!Load_Block(b, data, "NiBSplineData", Load_from_Memory___NiBSplineData, ReadBack.Curve.Data))
            return false;
        ReadBack.CurveDataBlock = data;
    }
    return Load_Block(b, ReadBack.Curve.Interpolator.BasisData, "NiBSplineBasisData",
                      Load_from_Memory___NiBSplineBasisData, ReadBack.Curve.Basis);
}

// A bone that moves along a curve: keys sampled from it from the sequence's start to its stop.
Form Load_Curve_Bone(std::int32_t b, std::int32_t interpolator, bool compressed) {
    if (!Load_Block(b, interpolator, Block_Type_Name(interpolator),
                    compressed ? Load_from_Memory___NiBSplineCompTransformInterpolator
                               : Load_from_Memory___NiBSplineTransformInterpolator,
                    ReadBack.Curve.Interpolator) ||
        !Load_Curve_Blocks(b))
        return kNoRotation;
    const float start = ReadBack.Sequence.StartTime, stop = ReadBack.Sequence.StopTime;
    const char* fault = Spline_Fault(ReadBack.Curve);
    if (fault == nullptr && (!std::isfinite(start) || !std::isfinite(stop)))
        fault = "the sequence's start or stop time is not finite, so its curve has no times to be sampled at";
    if (fault != nullptr) {
        Note(b, std::string(fault) + ": written with 0 keys");
        return kNoRotation;
    }
    bool spread = false;
    const std::uint32_t count = Curve_Times(start, stop, Curve_Keys_Per_Second, CurveTimes, spread);
    if (spread)
        Note(b, "its curve would take more than the " + std::to_string(kMaxKeys) + " keys a bone holds at " +
                    Rate_Text(Curve_Keys_Per_Second) + " keys a second: sampled with " +
                    std::to_string(kMaxKeys) + " keys, at " +
                    Rate_Text((kMaxKeys - 1) / (double{stop} - start)) + " keys a second");
    float failed = 0;
    const AnimKey pose = Pose_of(ReadBack.Curve.Interpolator.Translation,
                                 ReadBack.Curve.Interpolator.Rotation, ReadBack.Curve.Interpolator.Scale);
    if (!Fill_Bone_from_Curve(ReadBack.Curve, b, pose, CurveTimes, count, failed)) {
        Note(b, "its rotation curve comes to a length below 1e-6 at " + Number(failed) +
                    " s: written with 0 keys");
        return kNoRotation;
    }
    ++CurveBones;
    return kQuaternions;
}

Form Load_Bone(std::int32_t b) {
    const ControlledBlock& controlled = ReadBack.Sequence.ControlledBlocks[b];
    AnimBones[b].NumKeys = 0;
    Load_Bone_Name(b, controlled.NodeName);
    const std::int32_t interpolator = controlled.Interpolator;
    const char* type = Block_Type_Name(interpolator);
    if (interpolator == -1) return kNoRotation;
    for (const bool compressed : {false, true}) {
        const char* curve =
            compressed ? "NiBSplineCompTransformInterpolator" : "NiBSplineTransformInterpolator";
        if (type != nullptr && std::strcmp(type, curve) == 0)
            return Load_Curve_Bone(b, interpolator, compressed);
    }
    if (const char* what = Other_Curve(type)) {
        Note(b, "its interpolator (" + Block_Label(interpolator) + ") is " + what +
                    " curve, which does not animate a bone's transform: written with 0 keys");
        return kNoRotation;
    }
    if (!Load_Block(b, interpolator, "NiTransformInterpolator", Load_from_Memory___NiTransformInterpolator,
                    ReadBack.Interpolator))
        return kNoRotation;
    const AnimKey pose = Interpolator_Pose();
    if (ReadBack.Interpolator.Data == -1) return kNoRotation;
    if (!Load_Block(b, ReadBack.Interpolator.Data, "NiTransformData", Load_from_Memory___NiTransformData,
                    ReadBack.Data))
        return kNoRotation;
    const std::uint32_t changes = Fill_Bone_from_NiTransformData(b, ReadBack.Data, pose);
    if (changes & kBoneTooManyKeys)
        Note(b, "its tracks have more key times together than the " + std::to_string(kMaxKeys) +
                    " a bone holds: written with 0 keys");
    if (changes & kBoneResampled)
        Note(b, "its tracks have different key times: resampled at every one of them");
    if (changes & kBoneTangentsDropped)
        Note(b, "tangents or tension, bias and continuity that are not zero were dropped: the key text has "
                "no place for them");
    if (ReadBack.Data.RotationType == kKeyXyzRotation) return kEulerAngles;
    return ReadBack.Data.NumRotationKeys != 0 ? kQuaternions : kNoRotation;
}

} // namespace

std::vector<std::int32_t> Sequence_Blocks() {
    std::vector<std::int32_t> blocks;
    for (std::int32_t i = 0; i < static_cast<std::int32_t>(Header_NumBlocks); ++i) {
        const char* type = Block_Type_Name(i);
        if (type != nullptr && std::strcmp(type, "NiControllerSequence") == 0) blocks.push_back(i);
    }
    return blocks;
}

std::int32_t Load_Sequence_Keys(std::int32_t block) {
    NumAnimBones = 0;
    CurveBones = 0;
    SequenceLabel = "Sequence in " + Block_Label(block);
    ByteReader in = Open_Block_Reader(block);
    if (Load_from_Memory___NiControllerSequence(in, ReadBack.Sequence) < 0) {
        Note_Unreadable(-1, block, in.Fault, "skipped");
        return -3;
    }
    const char* name = String_at(ReadBack.Sequence.Name);
    SequenceName = name != nullptr ? name : "";
    if (name != nullptr) SequenceLabel = "Sequence '" + SequenceName + "'";
    AnimDuration = ReadBack.Sequence.StopTime;
    Load_Text_Keys();

    NumAnimBones = static_cast<std::int32_t>(ReadBack.Sequence.NumControlledBlocks);
    Form forms[kMaxControlledBlocks] = {};
    Form form = kNoRotation;
    for (std::int32_t b = 0; b < NumAnimBones; ++b) {
        forms[b] = Load_Bone(b);
        if (form == kNoRotation) form = forms[b];
    }
    // The key text has one rotation form, that of the first bone with rotations.
    for (std::int32_t b = 0; b < NumAnimBones; ++b) {
        if (forms[b] != kNoRotation && forms[b] != form) {
            AnimBones[b].NumKeys = 0;
            Note(b, std::string("its rotations are ") + (form == kQuaternions ? "angles" : "quaternions") +
                        ", the sequence's are not: written with 0 keys");
        }
    }
    IsEulerFormat = form == kEulerAngles;
    IsQuaternionFormat = !IsEulerFormat;
    for (std::int32_t b = 0; b < NumAnimBones; ++b)
        Check_Bone(b);
    Load_Sequence_Settings();
    return 0;
}

const std::string& Sequence_Name() {
    return SequenceName;
}

std::int32_t Curve_Bones() {
    return CurveBones;
}

std::string Rate_Text(double rate) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", rate);
    return text;
}

void Reset_Read_Back() {
    SequenceName.clear();
    CurveBones = 0;
    Curve_Keys_Per_Second = kDefaultKeysPerSecond;
    std::memset(&ReadBack.Sequence, 0, sizeof ReadBack.Sequence);
    std::memset(&ReadBack.TextKeys, 0, sizeof ReadBack.TextKeys);
    ReadBack.TextKeysRead = false;
    std::memset(&ReadBack.Interpolator, 0, sizeof ReadBack.Interpolator);
    std::memset(&ReadBack.Data, 0, sizeof ReadBack.Data);
    // The control values past the counts are never read.
    std::memset(&ReadBack.Curve.Interpolator, 0, sizeof ReadBack.Curve.Interpolator);
    ReadBack.Curve.Data.NumFloatControlPoints = ReadBack.Curve.Data.NumCompactControlPoints = 0;
    ReadBack.Curve.Basis = {};
    ReadBack.CurveDataBlock = -1;
    Reset_Curve_Fault();
}
