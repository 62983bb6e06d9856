// The road out: every new block of the output, appended in its fixed order from the bone table and the
// sequence settings. Per bone a transform-data block and its interpolator, then the text keys and the
// one controller sequence that binds every interpolator to its bone's node name. With --compress, the
// curves' one shared data block and a basis block for each count of control points come first, then
// each bone's interpolator (and a bone that stays keys, its transform data). Every failure of the
// assembly has printed its message when a negative result comes back.
#include "build/blocks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
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
CompressionSummary BuiltCompression;

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

// ---- the bones as curves -------------------------------------------------------------------------

// The bytes a block adds to the file beside its body: its type index and its size in the header.
constexpr std::int64_t kBlockEntryBytes = 6;

// The bytes of the type names in the header from entry `first` on.
static std::int64_t Type_Name_Bytes(std::uint32_t first) {
    std::int64_t bytes = 0;
    for (std::uint32_t i = first; i < Header_NumBlockTypes; ++i)
        bytes += 4 + static_cast<std::int64_t>(std::strlen(Header_BlockTypes[i]));
    return bytes;
}

// The bytes bone b's keys would take, blocks and header entries.
static std::int64_t Keys_Bytes(std::int32_t b) {
    Fill_NiTransformData_from_Bone(b);
    return Calculate_Size___NiTransformData(BuiltTransformData) + kInterpolatorSize + 2 * kBlockEntryBytes;
}

// A still bone: its interpolator holds the pose and has no data.
static std::int32_t Append_Pose(std::int32_t b) {
    if (AddNewNodeToHeader("NiTransformInterpolator") < 0) return -3;
    const SplineInterpolator& pose = BoneFits[b].Interpolator;
    std::copy(std::begin(pose.Translation), std::end(pose.Translation),
              std::begin(BuiltInterpolator.Translation));
    std::copy(std::begin(pose.Rotation), std::end(pose.Rotation), std::begin(BuiltInterpolator.Rotation));
    BuiltInterpolator.Scale = pose.Scale;
    BuiltInterpolator.Data = -1;
    AnimBones[b].InterpolatorBlock = Append_Block(
        kInterpolatorSize, [] { return Save_to_Memory___NiTransformInterpolator(BuiltInterpolator); });
    return AnimBones[b].InterpolatorBlock < 0 ? -3 : 0;
}

static std::int32_t Append_Curve(std::int32_t b, std::int32_t dataBlock, std::int32_t basisBlock) {
    static SplineInterpolator curve; // the one the writer serialises
    curve = BoneFits[b].Interpolator;
    curve.SplineData = dataBlock;
    curve.BasisData = basisBlock;
    const bool packed = curve.Compressed;
    if (AddNewNodeToHeader(packed ? "NiBSplineCompTransformInterpolator" : "NiBSplineTransformInterpolator") <
        0)
        return -3;
    AnimBones[b].InterpolatorBlock =
        packed ? Append_Block(kSplineCompInterpolatorSize,
                              [] { return Save_to_Memory___NiBSplineCompTransformInterpolator(curve); })
               : Append_Block(kSplineInterpolatorSize,
                              [] { return Save_to_Memory___NiBSplineTransformInterpolator(curve); });
    return AnimBones[b].InterpolatorBlock < 0 ? -3 : 0;
}

// The curves' shared blocks, data and one basis per count of control points, into `basisBlocks`
// (indexed by count). The data block's index, -1 when no bone is a curve; -3 after a failure.
static std::int32_t Append_Shared_Curve_Blocks(std::int32_t (&basisBlocks)[kMaxKeys]) {
    std::fill(std::begin(basisBlocks), std::end(basisBlocks), -1);
    for (std::int32_t b = 0; b < NumAnimBones; ++b) {
        if (BoneFits[b].Form == BoneForm::Curve) basisBlocks[BoneFits[b].Points] = 0;
    }
    if (std::find(std::begin(basisBlocks), std::end(basisBlocks), 0) == std::end(basisBlocks)) return -1;
    if (AddNewNodeToHeader("NiBSplineData") < 0) return -3;
    const std::int32_t dataBlock = Append_Block(Calculate_Size___NiBSplineData(BuiltSplineData), [] {
        return Save_to_Memory___NiBSplineData(BuiltSplineData);
    });
    if (dataBlock < 0) return -3;
    BuiltCompression.BytesSaved -= Calculate_Size___NiBSplineData(BuiltSplineData) + kBlockEntryBytes;
    for (std::uint32_t points = 0; points < kMaxKeys; ++points) {
        if (basisBlocks[points] < 0) continue;
        static SplineBasisData basis;
        basis.NumControlPoints = points;
        if (AddNewNodeToHeader("NiBSplineBasisData") < 0) return -3;
        basisBlocks[points] =
            Append_Block(kSplineBasisSize, [] { return Save_to_Memory___NiBSplineBasisData(basis); });
        if (basisBlocks[points] < 0) return -3;
        BuiltCompression.BytesSaved -= kSplineBasisSize + kBlockEntryBytes;
    }
    return dataBlock;
}

// Every bone fitted over the sequence, then the curves' shared blocks and each bone's own blocks.
static std::int32_t Append_Compressed_Bones() {
    BuiltCompression = {};
    const float start = SequenceSettings_StartTime, stop = Sequence_Stop_Time();
    BuiltSplineData.NumFloatControlPoints = BuiltSplineData.NumCompactControlPoints = 0;
    for (std::int32_t b = 0; b < NumAnimBones; ++b) {
        BoneFits[b] = {};
        if (std::isfinite(start) && std::isfinite(stop) && start < stop) Fit_Bone(b, start, stop);
        // The one data block is the curves' capacity: past it the file is refused as other limits are.
        if (BoneFits[b].Reason == KeysReason::DataFull) {
            std::printf("\n[Create_All_KF_Blocks] ERROR: Bone record %d '%s': its curve does not fit the %u "
                        "control values of the one NiBSplineData block beside the curves before it!\n",
                        b + 1, AnimBones[b].Name, kMaxSplineValues);
            return -3;
        }
    }
    const std::uint32_t types = Header_NumBlockTypes;
    static std::int32_t basisBlocks[kMaxKeys];
    const std::int32_t dataBlock = Append_Shared_Curve_Blocks(basisBlocks);
    if (dataBlock == -3) return -3;
    for (std::int32_t b = 0; b < NumAnimBones; ++b) {
        const BoneFit& fit = BoneFits[b];
        std::int32_t result = 0;
        if (fit.Form == BoneForm::Keys) {
            ++BuiltCompression.Keys;
            BuiltCompression.Unserved += fit.Reason == KeysReason::NoCurveBeatsKeys;
            result = Append_Bone_Blocks(b);
        } else {
            BuiltCompression.BytesSaved += Keys_Bytes(b) - kBlockEntryBytes;
            if (fit.Form == BoneForm::Pose) {
                ++BuiltCompression.Poses;
                BuiltCompression.BytesSaved -= kInterpolatorSize;
                result = Append_Pose(b);
            } else {
                ++BuiltCompression.Curves;
                BuiltCompression.BytesSaved -=
                    fit.Interpolator.Compressed ? kSplineCompInterpolatorSize : kSplineInterpolatorSize;
                result = Append_Curve(b, dataBlock, basisBlocks[fit.Points]);
            }
        }
        if (result < 0) return -3;
    }
    // The type names keys alone would have added, against those added here.
    for (const char* type : {"NiTransformData", "NiTransformInterpolator"}) {
        bool known = NumAnimBones == 0;
        for (std::uint32_t i = 0; i < types; ++i)
            known = known || std::strcmp(Header_BlockTypes[i], type) == 0;
        if (!known) BuiltCompression.BytesSaved += 4 + static_cast<std::int64_t>(std::strlen(type));
    }
    BuiltCompression.BytesSaved -= Type_Name_Bytes(types);
    return 0;
}

std::int32_t Create_All_KF_Blocks() {
    if (Compression.Enabled && IsQuaternionFormat) {
        if (Append_Compressed_Bones() < 0) return -3;
    } else {
        for (std::int32_t b = 0; b < NumAnimBones; ++b) {
            if (Append_Bone_Blocks(b) < 0) return -3;
        }
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
    BuiltCompression = {};
    Reset_Compression();
}
