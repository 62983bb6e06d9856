// From a controlled block to its bone's keys: node name, interpolator, transform data. Every block is
// read by the mirror of the writer that made it, and refused, never misread, when its bytes do not add
// up to that layout.
#include "kf/read_back.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "keys/anim_keys.h"
#include "keys/sequence_file.h"
#include "kf/problems.h"
#include "kf/resample.h"
#include "kf/sequence.h"
#include "kf/spline.h"
#include "kf/transform_data.h"
#include "nif/nif_document.h"

double Curve_Keys_Per_Second = kDefaultKeysPerSecond;

namespace {

std::string SequenceName;
std::int32_t CurveBones;            // of the sequence last read
std::int32_t LoadedSplineData = -1; // the block NiBSplineData_* holds, read once for all its curves
float CurveTimes[kMaxKeys];

enum Form { kNoRotation, kQuaternions, kEulerAngles };

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
    return Pose_of(NiTransformInterpolator_Translation, NiTransformInterpolator_Rotation,
                   NiTransformInterpolator_Scale);
}

// Block `index` when it is a `type` that holds its layout; false after a problem line otherwise.
bool Load_Block(std::int32_t b, std::int32_t index, const char* type, std::int32_t (*load)(ByteReader&)) {
    const char* actual = Block_Type_Name(index);
    if (actual == nullptr || std::strcmp(actual, type) != 0) {
        Note(b, std::string(type) + " expected in " + Block_Label(index) + ": written with 0 keys");
        return false;
    }
    ByteReader in = Open_Block_Reader(index);
    if (load(in) == 0) return true;
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
    const std::int32_t data = NiBSplineInterpolator_SplineData;
    if (data != LoadedSplineData || data < 0) {
        LoadedSplineData = -1;
        if (!Load_Block(b, data, "NiBSplineData", Load_from_Memory___NiBSplineData)) return false;
        LoadedSplineData = data;
    }
    return Load_Block(b, NiBSplineInterpolator_BasisData, "NiBSplineBasisData",
                      Load_from_Memory___NiBSplineBasisData);
}

// A bone that moves along a curve: keys sampled from it from the sequence's start to its stop.
Form Load_Curve_Bone(std::int32_t b, std::int32_t interpolator, bool compressed) {
    if (!Load_Block(b, interpolator, Block_Type_Name(interpolator),
                    compressed ? Load_from_Memory___NiBSplineCompTransformInterpolator
                               : Load_from_Memory___NiBSplineTransformInterpolator) ||
        !Load_Curve_Blocks(b))
        return kNoRotation;
    const float start = NiControllerSequence_StartTime, stop = NiControllerSequence_StopTime;
    const char* fault = Spline_Fault();
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
    const AnimKey pose = Pose_of(NiBSplineInterpolator_Translation, NiBSplineInterpolator_Rotation,
                                 NiBSplineInterpolator_Scale);
    if (!Fill_Bone_from_Curve(b, pose, CurveTimes, count, failed)) {
        Note(b, "its rotation curve comes to a length below 1e-6 at " + Number(failed) +
                    " s: written with 0 keys");
        return kNoRotation;
    }
    ++CurveBones;
    return kQuaternions;
}

Form Load_Bone(std::int32_t b) {
    const ControlledBlock& controlled = NiControllerSequence_ControlledBlocks[b];
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
    if (!Load_Block(b, interpolator, "NiTransformInterpolator", Load_from_Memory___NiTransformInterpolator))
        return kNoRotation;
    const AnimKey pose = Interpolator_Pose();
    if (NiTransformInterpolator_Data == -1) return kNoRotation;
    if (!Load_Block(b, NiTransformInterpolator_Data, "NiTransformData", Load_from_Memory___NiTransformData))
        return kNoRotation;
    const std::uint32_t changes = Fill_Bone_from_NiTransformData(b, pose);
    if (changes & kBoneTooManyKeys)
        Note(b, "its tracks have more key times together than the " + std::to_string(kMaxKeys) +
                    " a bone holds: written with 0 keys");
    if (changes & kBoneResampled)
        Note(b, "its tracks have different key times: resampled at every one of them");
    if (changes & kBoneTangentsDropped)
        Note(b, "tangents or tension, bias and continuity that are not zero were dropped: the key text has "
                "no place for them");
    if (NiTransformData_RotationType == kKeyXyzRotation) return kEulerAngles;
    return NiTransformData_NumRotationKeys != 0 ? kQuaternions : kNoRotation;
}

// ---- the sequence ---------------------------------------------------------------------------------

// ---- the sequence's own settings, for the sequence file ------------------------------------------

// Copies string `index` into a setting's text (kTextEntrySize bytes). False after a problem line when
// the table lacks it; a line feed, which a line of the sequence file cannot hold, becomes a space.
bool Setting_Text(char* text, std::int32_t index, const std::string& what, const char* outcome) {
    const char* string = String_at(index);
    if (string == nullptr) {
        Note(-1, what + " is string " + std::to_string(index) +
                     ", which the string table does not hold: " + outcome);
        return false;
    }
    std::snprintf(text, kTextEntrySize, "%s", string);
    if (std::strchr(text, '\n') != nullptr) {
        std::replace(text, text + std::strlen(text), '\n', ' ');
        Note(-1, what + " holds a line feed: written as a space");
    }
    return true;
}

// A number the sequence file can hold; the default otherwise, after a problem line.
void Setting_Number(SequenceSetting setting, float* slot, float value, const char* what) {
    SequenceSettings_Given[setting] = std::isfinite(value);
    if (std::isfinite(value))
        *slot = value;
    else
        Note(-1,
             std::string("its ") + what + " is " + Number(value) + ": written as the converter's default");
}

// The converter finds the root "NPC Root [Root]" over any template only when a bone carries that name,
// which the converter adds to the strings it searches; any other root is written.
bool Root_Found_by_Default(std::int32_t root) {
    const char* text = String_at(root);
    if (text == nullptr || std::strcmp(text, kAccumRootName) != 0) return false;
    for (std::int32_t b = 0; b < NumAnimBones; ++b) {
        if (std::strcmp(AnimBones[b].Name, kAccumRootName) == 0) return true;
    }
    return false;
}

void Load_Accum_Root_Setting() {
    const std::int32_t root = NiControllerSequence_AccumRootName;
    SequenceSettings_Given[kSettingAccumRoot] = 1;
    if (Root_Found_by_Default(root)) {
        SequenceSettings_Given[kSettingAccumRoot] = 0;
    } else if (root == -1) {
        SequenceSettings_AccumRoot = kAccumRootNone;
    } else if (Setting_Text(SequenceSettings_AccumRootName, root, "its accumulation root",
                            "written as the converter's default")) {
        SequenceSettings_AccumRoot = kAccumRootText;
    }
}

// Every text key of the sequence's text-key block, in the file's order; none without a block.
void Load_Text_Key_Settings() {
    const std::int32_t block = NiControllerSequence_TextKeys;
    NiTextKeyExtraData_NumTextKeys = 0;
    if (block != -1) {
        const char* type = Block_Type_Name(block);
        // A block that is not one, or does not read, has its problem line from the checks.
        if (type == nullptr || std::strcmp(type, "NiTextKeyExtraData") != 0) return;
        ByteReader in = Open_Block_Reader(block);
        if (Load_from_Memory___NiTextKeyExtraData(in) < 0) return;
    }
    for (std::uint32_t k = 0; k < NiTextKeyExtraData_NumTextKeys; ++k) {
        const TextKey& key = NiTextKeyExtraData_TextKeys[k];
        SequenceTextKey& setting = SequenceSettings_TextKeys[SequenceSettings_NumTextKeys];
        const std::string what = "its text key " + std::to_string(k + 1);
        if (!std::isfinite(key.Time))
            Note(-1, what + " is at " + Number(key.Time) + " s: skipped");
        else if (Setting_Text(setting.Text, key.Value, what, "skipped")) {
            setting.Time = key.Time;
            ++SequenceSettings_NumTextKeys;
        }
    }
    SequenceSettings_Given[SequenceSettings_NumTextKeys != 0 ? kSettingTextKey : kSettingTextKeysNone] = 1;
}

// Each node's priority, of its first bone, when it is not 0.
void Load_Priority_Settings() {
    for (std::int32_t b = 0; b < NumAnimBones; ++b) {
        const std::uint8_t priority = NiControllerSequence_ControlledBlocks[b].Priority;
        if (Named_by_Earlier_Bone(b) || priority == 0) continue;
        SequencePriority& setting = SequenceSettings_Priorities[SequenceSettings_NumPriorities++];
        static_assert(sizeof setting.Node == sizeof AnimBones[b].Name);
        std::memcpy(setting.Node, AnimBones[b].Name, sizeof setting.Node);
        setting.Priority = priority;
    }
}

// The settings of the sequence block just read; its bones must be read before.
void Load_Sequence_Settings() {
    Reset_Sequence_Settings();
    SequenceSettings_Loaded = 1;
    SequenceSettings_Given[kSettingName] = Setting_Text(SequenceSettings_Name, NiControllerSequence_Name,
                                                        "its name", "written as the converter's default");
    SequenceSettings_Given[kSettingCycle] = 1;
    SequenceSettings_CycleType = NiControllerSequence_CycleType;
    Setting_Number(kSettingFrequency, &SequenceSettings_Frequency, NiControllerSequence_Frequency,
                   "frequency");
    Setting_Number(kSettingWeight, &SequenceSettings_Weight, NiControllerSequence_Weight, "weight");
    Setting_Number(kSettingStart, &SequenceSettings_StartTime, NiControllerSequence_StartTime, "start time");
    // The key file's duration is the stop time, whatever it holds.
    SequenceSettings_Given[kSettingStop] = 1;
    SequenceSettings_StopTime = NiControllerSequence_StopTime;
    Load_Accum_Root_Setting();
    Load_Text_Key_Settings();
    Load_Priority_Settings();
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
    if (Load_from_Memory___NiControllerSequence(in) < 0) {
        Note_Unreadable(-1, block, in.Fault, "skipped");
        return -3;
    }
    const char* name = String_at(NiControllerSequence_Name);
    SequenceName = name != nullptr ? name : "";
    if (name != nullptr) SequenceLabel = "Sequence '" + SequenceName + "'";
    AnimDuration = NiControllerSequence_StopTime;
    Check_Text_Keys();

    NumAnimBones = static_cast<std::int32_t>(NiControllerSequence_NumControlledBlocks);
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
    LoadedSplineData = -1;
    Curve_Keys_Per_Second = kDefaultKeysPerSecond;
    Reset_Problems();
}
