// From a controlled block to its bone's keys: node name, interpolator, transform data, curve or a pose
// alone, a pose's parts that hold none from the skeleton table. Every block is read by kf/'s reader of
// its layout into the road back's own records, and refused, never misread, when its bytes do not add up
// to that layout. A controlled block that animates no transform, or has nothing to pose its node by, is
// no bone; a problem line says so.
#include "sample/read_back.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "check/problems.h"
#include "keys/anim_keys.h"
#include "nif/nif_document.h"
#include "sample/curve.h"
#include "sample/pose.h"
#include "sample/resample.h"
#include "sample/settings.h"

double Curve_Keys_Per_Second = kDefaultKeysPerSecond;
ReadBackRecords ReadBack;

namespace {

std::string SequenceName;
std::int32_t CurveBones;     // of the sequence last read
std::int32_t ResampledBones; // of the sequence last read
float CurveTimes[kMaxKeys];

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

// What making a node name fit its name line changed, told once its bone is kept.
constexpr std::uint32_t kNameUnheld = 1, kNameCut = 2, kNameLineFeed = 4;

// The node name string `index` into bone n, made to fit its name line; what that changed.
std::uint32_t Take_Bone_Name(std::int32_t n, std::int32_t index) {
    AnimBone& bone = AnimBones[n];
    const char* name = String_at(index);
    std::snprintf(bone.Name, sizeof bone.Name, "%s", name != nullptr ? name : "");
    std::uint32_t changed = name == nullptr && index != -1 ? kNameUnheld : 0;
    if (std::strlen(bone.Name) > kMaxBoneNameLength) {
        bone.Name[kMaxBoneNameLength] = '\0';
        changed |= kNameCut;
    }
    if (std::strchr(bone.Name, '\n') != nullptr) {
        std::replace(bone.Name, bone.Name + std::strlen(bone.Name), '\n', ' ');
        changed |= kNameLineFeed;
    }
    return changed;
}

void Note_Bone_Name(std::int32_t n, std::int32_t index, std::uint32_t changed) {
    if (changed & kNameUnheld)
        Note(n,
             "its node name is string " + std::to_string(index) + ", which the string table does not hold");
    if (changed & kNameCut)
        Note(n, "its node name is longer than the " + std::to_string(kMaxBoneNameLength) +
                    " bytes a name line holds: written cut");
    if (changed & kNameLineFeed) Note(n, "its node name holds a line feed: written as a space");
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

// The interpolators that animate a node's transform: keys, then a curve, a packed curve.
constexpr const char* kTransformInterpolators[] = {
    "NiTransformInterpolator", "NiBSplineTransformInterpolator", "NiBSplineCompTransformInterpolator"};

// Whether a controlled block animates something other than its node's transform: its controller type
// names another controller, or its interpolator `type` is of another kind (a link past the blocks is
// damage, told when the bone is read).
bool Animates_Other(const ControlledBlock& controlled, const char* type) {
    const char* controller = String_at(controlled.ControllerType);
    if (controller != nullptr && std::strcmp(controller, "NiTransformController") != 0) return true;
    return type != nullptr &&
           std::none_of(std::begin(kTransformInterpolators), std::end(kTransformInterpolators),
                        [type](const char* own) { return std::strcmp(type, own) == 0; });
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
    const SplineInterpolator& own = ReadBack.Curve.Interpolator;
    std::uint32_t still = 0; // the channels not animated, which take the pose
    for (const auto& [channel, part] : {std::pair{kSplineTranslation, kPoseTranslation},
                                        {kSplineRotation, kPoseRotation},
                                        {kSplineScale, kPoseScale}})
        still |= Spline_Animated(own, channel) ? 0 : part;
    const AnimKey pose = Bone_Pose(b, own.Translation, own.Rotation, own.Scale, still);
    if (!Fill_Bone_from_Curve(ReadBack.Curve, b, pose, CurveTimes, count, failed)) {
        Note(b, "its rotation curve comes to a length below 1e-6 at " + Number(failed) +
                    " s: written with 0 keys");
        return kNoRotation;
    }
    ++CurveBones;
    return kQuaternions;
}

// No track of `data` holds a key.
bool Tracks_Empty(const TransformData& data) {
    const bool angles = data.RotationType == kKeyXyzRotation;
    return data.Translations.NumKeys == 0 && data.Scales.NumKeys == 0 &&
           (angles || data.NumRotationKeys == 0) &&
           std::all_of(std::begin(data.XYZRotations), std::end(data.XYZRotations),
                       [angles](const FloatKeyGroup& group) { return !angles || group.NumKeys == 0; });
}

// A bone whose interpolator holds no keys: one key of its pose, when it holds any value.
Form Load_Pose_Bone(std::int32_t c, std::int32_t n, std::int32_t interpolator) {
    const TransformInterpolator& own = ReadBack.Interpolator;
    if (std::none_of(std::begin(own.Translation), std::end(own.Translation), Holds_Value) &&
        !std::all_of(std::begin(own.Rotation), std::end(own.Rotation), Holds_Value) &&
        !Holds_Value(own.Scale))
        return Hold_Still(c, n,
                          "its interpolator (" + Block_Label(interpolator) + ") holds no keys and no pose");
    return One_Key(n, Bone_Pose(n, own.Translation, own.Rotation, own.Scale, kPoseParts));
}

// A bone of transform data: its tracks resampled to one time line where they differ.
Form Load_Keys_Bone(std::int32_t b) {
    const TransformData& data = ReadBack.Data;
    std::uint32_t used = data.Translations.NumKeys == 0 ? kPoseTranslation : 0;
    used |= (data.Scales.NumKeys == 0 ? kPoseScale : 0) |
            (data.RotationType != kKeyXyzRotation && data.NumRotationKeys == 0 ? kPoseRotation : 0);
    const TransformInterpolator& own = ReadBack.Interpolator;
    const AnimKey pose = Bone_Pose(b, own.Translation, own.Rotation, own.Scale, used);
    const std::uint32_t changes = Fill_Bone_from_NiTransformData(b, data, pose);
    if (changes & kBoneTooManyKeys)
        Note(b, "its tracks have more key times together than the " + std::to_string(kMaxKeys) +
                    " a bone holds: written with 0 keys");
    else if (changes & kBoneResampled)
        ++ResampledBones;
    if (changes & kBoneTangentsDropped)
        Note(b, "tangents or tension, bias and continuity that are not zero were dropped: the key text has "
                "no place for them");
    if (data.RotationType == kKeyXyzRotation) return kEulerAngles;
    return data.NumRotationKeys != 0 ? kQuaternions : kNoRotation;
}

// Controlled block c into bone n, whose name is taken.
Form Load_Bone(std::int32_t c, std::int32_t n) {
    const ControlledBlock& controlled = ReadBack.Sequence.ControlledBlocks[c];
    AnimBones[n].NumKeys = 0;
    const std::int32_t interpolator = controlled.Interpolator;
    const char* type = Block_Type_Name(interpolator);
    if (Animates_Other(controlled, type)) {
        const char* controller = String_at(controlled.ControllerType);
        const std::string controllerText =
            controller != nullptr ? std::string("'").append(controller) + "'" : "none";
        Note(-1, "controlled block " + std::to_string(c + 1) + " (node '" + AnimBones[n].Name +
                     "', controller type " + controllerText + ", interpolator " +
                     (interpolator == -1 ? "none" : Block_Label(interpolator)) +
                     ") does not animate a node's transform: left out of the key text");
        return kLeftOut;
    }
    if (interpolator == -1) return Hold_Still(c, n, "it has no interpolator");
    for (const bool compressed : {false, true}) {
        if (type != nullptr && std::strcmp(type, kTransformInterpolators[compressed ? 2 : 1]) == 0)
            return Load_Curve_Bone(n, interpolator, compressed);
    }
    if (!Load_Block(n, interpolator, "NiTransformInterpolator", Load_from_Memory___NiTransformInterpolator,
                    ReadBack.Interpolator))
        return kNoRotation;
    const std::int32_t data = ReadBack.Interpolator.Data;
    if (data != -1 &&
        !Load_Block(n, data, "NiTransformData", Load_from_Memory___NiTransformData, ReadBack.Data))
        return kNoRotation;
    if (data != -1 && !Tracks_Empty(ReadBack.Data)) return Load_Keys_Bone(n);
    const Form pose = Load_Pose_Bone(c, n, interpolator);
    return pose == kNoRotation && data != -1 && ReadBack.Data.RotationType == kKeyXyzRotation ? kAnglePose
                                                                                              : pose;
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
    CurveBones = ResampledBones = 0;
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

    // One bone per controlled block that animates a transform; the controlled blocks of the others are
    // dropped from the record, so that controlled block b is bone b's.
    Form forms[kMaxControlledBlocks] = {};
    Form form = kNoRotation;
    bool anglePoses = false;
    ControlledBlock* blocks = ReadBack.Sequence.ControlledBlocks;
    for (std::uint32_t c = 0; c < ReadBack.Sequence.NumControlledBlocks; ++c) {
        const std::int32_t n = NumAnimBones;
        const std::uint32_t renamed = Take_Bone_Name(n, blocks[c].NodeName);
        forms[n] = Load_Bone(static_cast<std::int32_t>(c), n);
        if (forms[n] == kLeftOut) continue;
        Note_Bone_Name(n, blocks[c].NodeName, renamed);
        blocks[n] = blocks[c];
        anglePoses = anglePoses || forms[n] == kAnglePose;
        if (form == kNoRotation && forms[n] != kAnglePose) form = forms[n];
        ++NumAnimBones;
    }
    if (form == kNoRotation && anglePoses) form = kEulerAngles;
    ReadBack.Sequence.NumControlledBlocks = static_cast<std::uint32_t>(NumAnimBones);
    // The key text has one rotation form, that of the first bone with rotations; a bone without any
    // takes its pose's in that form.
    for (std::int32_t b = 0; b < NumAnimBones; ++b) {
        const bool keyless = forms[b] == kNoRotation || forms[b] == kAnglePose;
        if (keyless && form == kEulerAngles) Take_Angles(b);
        if (!keyless && forms[b] != form) {
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

std::int32_t Resampled_Bones() {
    return ResampledBones;
}

std::string Rate_Text(double rate) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", rate);
    return text;
}

void Reset_Read_Back() {
    SequenceName.clear();
    CurveBones = ResampledBones = 0;
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
