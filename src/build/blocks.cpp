// The road out: every new block of the output, appended in its fixed order from the bone table and the
// sequence settings. Per bone a transform-data block and its interpolator, then the text keys and the
// one controller sequence that binds every interpolator to its bone's node name. Every failure of the
// assembly has printed its message when a negative result comes back.
#include "build/blocks.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>

#include "keys/anim_keys.h"
#include "keys/sequence_file.h"
#include "nif/nif_document.h"

TransformData BuiltTransformData;
TransformInterpolator BuiltInterpolator;
TextKeyExtraData BuiltTextKeys;
ControllerSequence BuiltSequence;

// The tracks a bone shares with every format: position and uniform scale.
static void Fill_Translations_and_Scales(const AnimBone& bone, std::uint32_t count) {
    BuiltTransformData.Translations.NumKeys = count;
    BuiltTransformData.Translations.Interpolation = kKeyLinear;
    BuiltTransformData.Scales.NumKeys = count;
    BuiltTransformData.Scales.Interpolation = kKeyQuadratic;
    for (std::uint32_t k = 0; k < count; ++k) {
        const AnimKey& key = bone.Keys[k];
        Vec3Key& position = BuiltTransformData.Translations.Keys[k];
        position.Time = key.Time;
        position.Value[0] = key.PosX;
        position.Value[1] = key.PosY;
        position.Value[2] = key.PosZ;
        BuiltTransformData.Scales.Keys[k].Time = key.Time;
        BuiltTransformData.Scales.Keys[k].Value = key.Scale;
    }
}

// Sets the working record from bone `b` of AnimBones in the format the key file declared.
static void Fill_NiTransformData_from_Bone(std::int32_t b) {
    const AnimBone& bone = AnimBones[b];
    // The reader refuses other counts; the clamp keeps the tables safe for any caller.
    const std::uint32_t count =
        static_cast<std::uint32_t>(std::clamp<std::int32_t>(bone.NumKeys, 0, kMaxKeys));
    if (IsQuaternionFormat) {
        BuiltTransformData.NumRotationKeys = count;
        BuiltTransformData.RotationType = kKeyQuadratic;
        for (std::uint32_t k = 0; k < count; ++k) {
            const AnimKey& key = bone.Keys[k];
            QuatKey& rotation = BuiltTransformData.QuaternionKeys[k];
            rotation.Time = key.Time;
            rotation.W = key.RotW;
            rotation.X = key.RotX;
            rotation.Y = key.RotY;
            rotation.Z = key.RotZ;
        }
    } else if (IsEulerFormat) {
        BuiltTransformData.NumRotationKeys = 1;
        BuiltTransformData.RotationType = kKeyXyzRotation;
        const float AnimKey::*angles[3] = {&AnimKey::RotX, &AnimKey::RotY, &AnimKey::RotZ};
        for (int axis = 0; axis < 3; ++axis) {
            FloatKeyGroup& group = BuiltTransformData.XYZRotations[axis];
            group.NumKeys = count;
            group.Interpolation = kKeyQuadratic;
            for (std::uint32_t k = 0; k < count; ++k) {
                group.Keys[k].Time = bone.Keys[k].Time;
                group.Keys[k].Value = bone.Keys[k].*angles[axis];
            }
        }
    } else {
        return;
    }
    Fill_Translations_and_Scales(bone, count);
}

// Every block is appended the same way: its type registered first (by the caller, before its record
// takes strings), then its body created at the next index, serialised by `save`, and counted.
// The new block's index, or -3.
template <typename Save>
static std::int32_t Append_Block(std::uint32_t size, Save save) {
    const auto index = static_cast<std::int32_t>(Header_NumBlocks);
    if (AllocateRAM_forNifBlock(index, static_cast<std::int32_t>(size)) < 0 || save() < 0) return -3;
    ++Header_NumBlocks;
    return index;
}

// The transform data of bone b, then its interpolator.
static std::int32_t Append_Bone_Blocks(std::int32_t b) {
    if (AddNewNodeToHeader("NiTransformData") < 0) return -3;
    Fill_NiTransformData_from_Bone(b);
    const std::int32_t dataBlock = Append_Block(Calculate_Size___NiTransformData(BuiltTransformData), [] {
        return Save_to_Memory___NiTransformData(BuiltTransformData);
    });
    if (dataBlock < 0) return -3;

    if (AddNewNodeToHeader("NiTransformInterpolator") < 0) return -3;
    std::fill(std::begin(BuiltInterpolator.Translation), std::end(BuiltInterpolator.Translation), 0.0f);
    const float identity[4] = {1, 0, 0, 0};
    std::copy(std::begin(identity), std::end(identity), std::begin(BuiltInterpolator.Rotation));
    BuiltInterpolator.Scale = 1;
    BuiltInterpolator.Data = dataBlock;
    AnimBones[b].InterpolatorBlock = Append_Block(
        kInterpolatorSize, [] { return Save_to_Memory___NiTransformInterpolator(BuiltInterpolator); });
    return AnimBones[b].InterpolatorBlock < 0 ? -3 : 0;
}

// A text of the sequence settings found in or added to the string table; when the table is full, the
// message names the line of the sequence file that gave it (line 0: a default, no file line).
static std::int32_t Setting_String(const char* text, std::int64_t line) {
    return Create_New_String_in_Header(text, line == 0 ? ""
                                                       : "the text on line " + std::to_string(line) +
                                                             " of '" + SequenceSettingsFileName + "'");
}

// The text keys of the settings, "start" and "end" by default. The text-key block's index, or -3.
static std::int32_t Append_Text_Keys() {
    if (AddNewNodeToHeader("NiTextKeyExtraData") < 0) return -3;
    BuiltTextKeys.Name = -1;
    const SequenceTextKey* keys = nullptr;
    BuiltTextKeys.NumTextKeys = Sequence_Text_Keys(&keys);
    for (std::uint32_t k = 0; k < BuiltTextKeys.NumTextKeys; ++k) {
        const std::int32_t text = Setting_String(keys[k].Text, keys[k].Line);
        if (text < 0) return -3;
        BuiltTextKeys.TextKeys[k] = {keys[k].Time, text};
    }
    return Append_Block(Calculate_Size___NiTextKeyExtraData(BuiltTextKeys),
                        [] { return Save_to_Memory___NiTextKeyExtraData(BuiltTextKeys); });
}

std::int32_t Find_Accum_Root_Name() {
    for (std::uint32_t i = 0; i < Header_NumStrings; ++i) {
        if (std::strcmp(Header_Strings[i], kAccumRootName) == 0) return static_cast<std::int32_t>(i);
    }
    return 0;
}

static std::int32_t Fill_Controlled_Blocks() {
    // More bones than the table holds are left to the serialiser's count check.
    const std::int32_t count = std::min<std::int32_t>(NumAnimBones, kMaxControlledBlocks);
    for (std::int32_t b = 0; b < count; ++b) {
        const std::int32_t controllerType = Create_New_String_in_Header("NiTransformController");
        if (controllerType < 0) return -3;
        BuiltSequence.ControlledBlocks[b] = {AnimBones[b].InterpolatorBlock,
                                             -1,
                                             Sequence_Priority_for(AnimBones[b].Name),
                                             AnimBones[b].NameString,
                                             -1,
                                             controllerType,
                                             -1,
                                             -1};
    }
    return 0;
}

static std::int32_t Append_Controller_Sequence(std::int32_t textKeysBlock) {
    if (AddNewNodeToHeader("NiControllerSequence") < 0) return -3;
    BuiltSequence.Name = Setting_String(SequenceSettings_Name, SequenceSettings_Line[kSettingName]);
    if (BuiltSequence.Name < 0) return -3;
    BuiltSequence.NumControlledBlocks = static_cast<std::uint32_t>(NumAnimBones);
    BuiltSequence.ArrayGrowBy = 1;
    if (Fill_Controlled_Blocks() < 0) return -3;
    BuiltSequence.Weight = SequenceSettings_Weight;
    BuiltSequence.TextKeys = textKeysBlock;
    BuiltSequence.CycleType = SequenceSettings_CycleType;
    BuiltSequence.Frequency = SequenceSettings_Frequency;
    BuiltSequence.StartTime = SequenceSettings_StartTime;
    BuiltSequence.StopTime = Sequence_Stop_Time();
    BuiltSequence.Manager = -1;
    if (SequenceSettings_AccumRoot == kAccumRootText) {
        BuiltSequence.AccumRootName =
            Setting_String(SequenceSettings_AccumRootName, SequenceSettings_Line[kSettingAccumRoot]);
        if (BuiltSequence.AccumRootName < 0) return -3;
    } else {
        BuiltSequence.AccumRootName =
            SequenceSettings_AccumRoot == kAccumRootNone ? -1 : Find_Accum_Root_Name();
    }
    BuiltSequence.NumAnimNoteArrays = 0;
    return Append_Block(Calculate_Size___NiControllerSequence(BuiltSequence),
                        [] { return Save_to_Memory___NiControllerSequence(BuiltSequence); }) < 0
               ? -3
               : 0;
}

std::int32_t Create_All_KF_Blocks() {
    for (std::int32_t b = 0; b < NumAnimBones; ++b) {
        if (Append_Bone_Blocks(b) < 0) return -3;
    }
    const std::int32_t textKeysBlock = Append_Text_Keys();
    if (textKeysBlock < 0) return -3;
    // Each bone gets an entry of its own, even when an equal name is already in the table.
    for (std::int32_t b = 0; b < NumAnimBones; ++b) {
        AnimBones[b].NameString = Append_String_to_Header(AnimBones[b].Name);
        if (AnimBones[b].NameString < 0) return -3;
    }
    return Append_Controller_Sequence(textKeysBlock);
}

void Reset_Built_Blocks() {
    std::memset(&BuiltTransformData, 0, sizeof BuiltTransformData);
    std::memset(&BuiltInterpolator, 0, sizeof BuiltInterpolator);
    std::memset(&BuiltTextKeys, 0, sizeof BuiltTextKeys);
    std::memset(&BuiltSequence, 0, sizeof BuiltSequence);
}
