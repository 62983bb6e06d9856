// A bone's pose from an interpolator's own values, the skeleton's rest for the parts that hold none.
#include "sample/pose.h"

#include <algorithm>
#include <string>

#include "check/problems.h"
#include "check/skeleton.h"
#include "sample/records.h"
#include "sample/resample.h"

std::uint32_t Rest_of(std::int32_t n, AnimKey& rest) {
    rest = {};
    rest.RotW = rest.Scale = 1;
    const SkeletonNode* node = Find_Skeleton_Node(AnimBones[n].Name);
    std::uint32_t given = 0;
    if (node != nullptr && node->HasOffset && std::all_of(node->Offset, node->Offset + 3, Holds_Value) &&
        Holds_Value(node->Scale)) {
        rest.PosX = node->Offset[0], rest.PosY = node->Offset[1], rest.PosZ = node->Offset[2];
        rest.Scale = node->Scale;
        given |= kPoseTranslation | kPoseScale;
    }
    if (node != nullptr && node->HasRotation) {
        rest.RotW = node->Rotation[0], rest.RotX = node->Rotation[1], rest.RotY = node->Rotation[2],
        rest.RotZ = node->Rotation[3];
        given |= kPoseRotation;
    }
    return given;
}

void Note_At_Rest(std::int32_t n, std::uint32_t parts) {
    const struct {
        std::uint32_t Part;
        const char* Text;
    } kParts[] = {{kPoseTranslation, "translation: written at rest (0)"},
                  {kPoseRotation, "rotation: written at rest (the identity)"},
                  {kPoseScale, "scale: written at rest (1)"}};
    for (const auto& [part, text] : kParts) {
        if (parts & part)
            Note(n, std::string("its pose holds no ") + text +
                        "; --skeleton with a skeleton that holds the node takes the skeleton's");
    }
}

AnimKey Bone_Pose(std::int32_t n, const float (&translation)[3], const float (&rotation)[4], float scale,
                  std::uint32_t used) {
    AnimKey rest;
    const std::uint32_t given = Rest_of(n, rest);
    std::uint32_t none = 0;
    const AnimKey pose = Pose_of(translation, rotation, scale, rest, none);
    Note_At_Rest(n, none & used & ~given);
    return pose;
}

Form One_Key(std::int32_t n, const AnimKey& pose) {
    AnimBones[n].Keys[0] = pose;
    AnimBones[n].Keys[0].Time = ReadBack.Sequence.StartTime;
    AnimBones[n].NumKeys = 1;
    return kNoRotation;
}

Form Hold_Still(std::int32_t c, std::int32_t n, const std::string& why) {
    if (Find_Skeleton_Node(AnimBones[n].Name) == nullptr) {
        Note(-1, "controlled block " + std::to_string(c + 1) + " (node '" + AnimBones[n].Name + "'): " + why +
                     ": left out of the key text; --skeleton with a skeleton that holds the node writes one "
                     "key of its pose");
        return kLeftOut;
    }
    Note(n, why + ": written as one key of the skeleton's pose");
    AnimKey rest;
    Note_At_Rest(n, kPoseParts & ~Rest_of(n, rest));
    return One_Key(n, rest);
}

void Take_Angles(std::int32_t b) {
    for (std::int32_t k = 0; k < AnimBones[b].NumKeys; ++k) {
        AnimKey& key = AnimBones[b].Keys[k];
        float angles[3];
        Xyz_Angles(key.RotW, key.RotX, key.RotY, key.RotZ, angles);
        key.RotW = 0, key.RotX = angles[0], key.RotY = angles[1], key.RotZ = angles[2];
    }
}
