#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "keys/anim_keys.h"
#include "kf/sequence.h"
#include "nif/nif_document.h"
#include "support/fixtures.h"
#include "support/template_writer.h"

namespace {

class Sequence : public testing::Test {
  protected:
    void SetUp() override { Reset_All_Tables(); }

    // Bones with one quaternion key each, over a document that so far holds the given strings.
    void Set_Bones(const std::vector<std::string>& names, float duration = 2.0f) {
        IsQuaternionFormat = 1;
        AnimDuration = duration;
        NumAnimBones = static_cast<std::int32_t>(names.size());
        for (std::size_t b = 0; b < names.size(); ++b) {
            std::snprintf(AnimBones[b].Name, sizeof AnimBones[b].Name, "%s", names[b].c_str());
            AnimBones[b].NumKeys = 1;
            AnimBones[b].Keys[0] = {0.5f, 1, 2, 3, 1, 0, 0, 0, 1};
        }
    }

    void Add_Strings(const std::vector<std::string>& texts) {
        for (const std::string& text : texts) {
            std::snprintf(Header_Strings[Header_NumStrings++], kTextEntrySize, "%s", text.c_str());
        }
    }

    static std::vector<std::string> Strings() { return {Header_Strings, Header_Strings + Header_NumStrings}; }
    static std::vector<std::string> Types() {
        return {Header_BlockTypes, Header_BlockTypes + Header_NumBlockTypes};
    }
    static std::vector<std::uint8_t> Body(std::uint32_t block) {
        return {NifBlocks[block].Data.get(), NifBlocks[block].Data.get() + NifBlocks[block].Size};
    }
    static std::vector<std::uint16_t> Type_Indices() {
        return {Header_BlockTypeIndex, Header_BlockTypeIndex + Header_NumBlocks};
    }

    std::int32_t Append() {
        std::int32_t result = 0;
        Console = Console_Of([&] { result = Create_All_KF_Blocks(); });
        return result;
    }

    std::string Console;
};

TEST_F(Sequence, TwoBonesOverAnEmptyTemplate) {
    Set_Bones({"A", "B"}, 2.0f);
    ASSERT_EQ(Append(), 0);
    EXPECT_EQ(Console, "");
    EXPECT_EQ(Header_NumBlocks, 6u);
    EXPECT_EQ(Type_Indices(), (std::vector<std::uint16_t>{0, 1, 0, 1, 2, 3}));
    EXPECT_EQ(Strings(),
              (std::vector<std::string>{"start", "end", "A", "B", "SpecialIdle", "NiTransformController"}));
    EXPECT_EQ(AnimBones[0].InterpolatorBlock, 1);
    EXPECT_EQ(AnimBones[1].InterpolatorBlock, 3);
    EXPECT_EQ(Body(1), Bytes().f32s({0, 0, 0, 1, 0, 0, 0, 1}).i32(0).Data);
    EXPECT_EQ(Body(3).size(), 36u);
    EXPECT_EQ(Body(4), Bytes().i32s({-1, 2}).f32(0).i32(0).f32(2.0f).i32(1).Data);
    // clang-format off
    const Bytes sequence = Bytes()
                               .i32(4).u32s({2, 1})                              // name, count, grow by
                               .i32s({1, -1}).u8(0).i32s({2, -1, 5, -1, -1})    // bone A
                               .i32s({3, -1}).u8(0).i32s({3, -1, 5, -1, -1})    // bone B
                               .f32(1).i32(4).u32(0).f32s({1, 0, 2.0f}).i32s({-1, 0}).u16(0);
    // clang-format on
    EXPECT_EQ(Body(5), sequence.Data);
    EXPECT_EQ(sequence.Data.size(), 104u);
}

TEST_F(Sequence, OneBoneOverAnEmptyTemplate) {
    Set_Bones({"A"});
    ASSERT_EQ(Append(), 0);
    EXPECT_EQ(Types(), (std::vector<std::string>{"NiTransformData", "NiTransformInterpolator",
                                                 "NiTextKeyExtraData", "NiControllerSequence"}));
    EXPECT_EQ(Type_Indices(), (std::vector<std::uint16_t>{0, 1, 2, 3}));
    const std::vector<std::uint32_t> sizes{NifBlocks[0].Size, NifBlocks[1].Size, NifBlocks[2].Size,
                                           NifBlocks[3].Size};
    EXPECT_EQ(sizes, (std::vector<std::uint32_t>{76, 36, 24, 75}));
    EXPECT_EQ(Strings(),
              (std::vector<std::string>{"start", "end", "A", "SpecialIdle", "NiTransformController"}));
}

TEST_F(Sequence, ZeroBonesAddOnlyTextKeysAndTheSequence) {
    Set_Bones({});
    ASSERT_EQ(Append(), 0);
    EXPECT_EQ(Types(), (std::vector<std::string>{"NiTextKeyExtraData", "NiControllerSequence"}));
    EXPECT_EQ(Strings(), (std::vector<std::string>{"start", "end", "SpecialIdle"}));
    EXPECT_EQ(Body(1).size(), 46u);
}

TEST_F(Sequence, TemplateEntriesAreReusedButBoneNamesAlwaysAdded) {
    std::snprintf(Header_BlockTypes[0], kTextEntrySize, "NiNode");
    std::snprintf(Header_BlockTypes[1], kTextEntrySize, "NiTransformData");
    Header_NumBlockTypes = 2;
    Add_Strings({"end", "A"});
    Set_Bones({"A"});
    ASSERT_EQ(Append(), 0);
    EXPECT_EQ(Type_Indices(), (std::vector<std::uint16_t>{1, 2, 3, 4}));
    EXPECT_EQ(Strings(),
              (std::vector<std::string>{"end", "A", "start", "A", "SpecialIdle", "NiTransformController"}));
    EXPECT_EQ(AnimBones[0].NameString, 3);
    EXPECT_EQ(Body(2), Bytes().i32s({-1, 2}).f32(0).i32(2).f32(2.0f).i32(0).Data);
}

TEST_F(Sequence, AccumulationRootIsTheFirstExactMatchElseZero) {
    struct Case {
        std::vector<std::string> Template;
        std::vector<std::string> Bones;
        std::int32_t Expected;
    };
    const Case cases[] = {
        {{"x", "NPC Root [Root]", "NPC Root [Root]"}, {"A"}, 1},
        {{"npc root [root]", "NPC Root [Root] "}, {"A"}, 0},
        {{}, {"NPC Root [Root]"}, 2}, // a bone name counts once it is in the table
        {{}, {}, 0},
    };
    for (const Case& c : cases) {
        Reset_All_Tables();
        Add_Strings(c.Template);
        Set_Bones(c.Bones);
        ASSERT_EQ(Append(), 0);
        EXPECT_EQ(NiControllerSequence_AccumRootName, c.Expected);
    }
}

TEST_F(Sequence, FullTablesEndTheAssemblyWithTheirMessage) {
    std::vector<std::string> many;
    for (int i = 0; i < 253; ++i)
        many.push_back("s" + std::to_string(i));
    Add_Strings(many);
    Set_Bones({"A", "B"});
    EXPECT_EQ(Append(), -3);
    EXPECT_EQ(Console,
              "\n[Append_String_to_Header] ERROR: Variable 'Header_NumStrings=256' is out of limits!\n");

    Reset_All_Tables();
    Header_NumBlocks = 1023;
    Set_Bones({"A"});
    EXPECT_EQ(Append(), -3);
    EXPECT_EQ(Console, "\n[AllocateRAM_forNifBlock] ERROR: Number of NIF block is too big !\n");
}

} // namespace
