#include <gtest/gtest.h>

#include <vector>

#include "keys/anim_keys.h"
#include "kf/transform_data.h"
#include "nif/nif_document.h"
#include "support/fixtures.h"
#include "support/template_writer.h"

namespace {

// Converts bone 0 and returns its body, checking that the size computation agrees with it.
std::vector<std::uint8_t> Body_Of_Bone0() {
    Fill_NiTransformData_from_Bone(0);
    const std::uint32_t size = Calculate_Size___NiTransformData();
    EXPECT_EQ(AllocateRAM_forNifBlock(0, static_cast<std::int32_t>(size)), 0);
    EXPECT_EQ(Save_to_Memory___NiTransformData(), 0);
    EXPECT_EQ(NifBlocks[0].Size, size);
    return {NifBlocks[0].Data.get(), NifBlocks[0].Data.get() + NifBlocks[0].Size};
}

void Set_Bone0(std::int32_t numKeys, bool quaternion, bool euler) {
    Reset_All_Tables();
    IsQuaternionFormat = quaternion;
    IsEulerFormat = euler;
    AnimBones[0].NumKeys = numKeys;
}

TEST(TransformData, WorkedExamplesByteForByte) {
    const float t = 0.75f;
    struct Case {
        const char* Name;
        std::int32_t Keys;
        bool Quaternion, Euler;
        Bytes Expected;
    };
    const Bytes quaternion{One_Quaternion_Key_Body(t)};
    // clang-format off
    const Case cases[] = {
        {"one quaternion key", 1, true, false, quaternion},
        {"both words take the quaternion path", 1, true, true, quaternion},
        {"one Euler key", 1, false, true,
         Bytes()
             .u32s({1, 4})                                    // one rotation key, XYZ rotation
             .u32s({1, 2}).f32s({t, 10, 0, 0})                // X: count, quadratic, time, angle, tangents
             .u32s({1, 2}).f32s({t, 20, 0, 0})                // Y
             .u32s({1, 2}).f32s({t, 30, 0, 0})                // Z
             .u32s({1, 1}).f32s({t, 1, 2, 3})                 // translation
             .u32s({1, 2}).f32s({t, 1, 0, 0})},               // scale
        {"no quaternion keys", 0, true, false, Bytes().u32s({0, 0, 0})},
        {"no Euler keys", 0, false, true, Bytes().u32s({1, 4, 0, 0, 0, 0, 0})},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Set_Bone0(c.Keys, c.Quaternion, c.Euler);
        AnimBones[0].Keys[0] = {t, 1, 2, 3, 1, 10, 20, 30, 1};
        if (c.Quaternion) AnimBones[0].Keys[0] = {t, 1, 2, 3, 1, 0, 0, 0, 1};
        EXPECT_EQ(Body_Of_Bone0(), c.Expected.Data);
    }
}

TEST(TransformData, SizesFollowTheKeyCount) {
    for (std::int32_t n : {1, 2, 100, 1536}) {
        Set_Bone0(n, true, false);
        EXPECT_EQ(Body_Of_Bone0().size(), 24u + 52u * n);
        Set_Bone0(n, false, true);
        EXPECT_EQ(Body_Of_Bone0().size(), 48u + 80u * n);
    }
}

} // namespace
