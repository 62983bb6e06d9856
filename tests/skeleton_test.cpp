// The skeleton check: each row a skeleton built by the fixture writer, the bones of a key text, the
// accumulation root, and the findings the check returns, each as its bone and its text.
#include <gtest/gtest.h>

#include "keys/anim_keys.h"
#include "kf/skeleton.h"
#include "support/fixtures.h"

namespace {

using Node = std::pair<std::string, std::array<float, 3>>;

// NiNode blocks, each named by a string of its own; the flags as `userVersion2` asks, the first body cut
// to `cut` bytes (0: whole).
ByteString Skeleton(const std::vector<Node>& nodes, std::uint32_t userVersion2 = 83, std::size_t cut = 0) {
    TemplateLayout layout{.BlockTypes = {"NiNode"}, .UserVersion2 = userVersion2};
    for (const auto& [name, offset] : nodes) {
        layout.Strings.push_back(name);
        layout.Bodies.push_back(Node_Body(static_cast<std::int32_t>(layout.Bodies.size()), offset,
                                          userVersion2 > 26, ByteString(8, 1)));
    }
    if (cut != 0) layout.Bodies[0].resize(cut);
    return Build_Template(layout);
}

// A bone of one key at this position.
Bone At(const std::string& name, float x, float y, float z) {
    return {name, {{0, x, y, z, 1, 0, 0, 0, 1}}};
}

struct Row {
    std::string Name;
    ByteString Skeleton;
    std::vector<Bone> Bones;
    std::vector<std::string> Findings;
    const char* Root = nullptr;
};

void PrintTo(const Row& row, std::ostream* out) {
    *out << row.Name;
}

std::vector<Row> Rows() {
    const ByteString names = Skeleton({{"Spinex2x", {}},
                                       {"Spine", {}},
                                       {"Spine1", {}},
                                       {"Spine3", {}},
                                       {"Spine12", {}},
                                       {"NPC L Thigh [LThg]", {}},
                                       {"npc root [root]", {}}});
    const std::string lacks = "' is not a node of the skeleton 'skeleton.nif': ";
    const std::vector<Node> spine = {{"NPC Root [Root]", {}}, {"NPC Spine", {9.8f, 0, 0}}};
    const std::vector<Bone> small = {At("NPC Root [Root]", 0.5f, 0, 0), At("NPC Spine", 0.14f, 0, 0)};
    const std::string smaller =
        "-1 the animation's offsets are about 70 times smaller than the skeleton's (bone "
        "'NPC Spine' moves 0.14 from its parent, the skeleton's is 9.8): the animation "
        "may be in other units";
    return {
        {"the nearest three within three edits",
         names,
         {At("Spine2", 0, 0, 0)},
         {"0 Line 3, bone 'Spine2" + lacks + "did you mean 'Spine', 'Spine1' or 'Spine3'?"}},
        {"case and spacing",
         names,
         {At("Tail", 0, 0, 0), At("NPC LThigh [lthg]", 0, 0, 0)},
         {"0 Line 3, bone 'Tail" + lacks + "no node of it has a name close to it",
          "1 Line 6, bone 'NPC LThigh [lthg]" + lacks + "did you mean 'NPC L Thigh [LThg]'?"}},
        {"a numbered suffix, and the accumulation root",
         names,
         {At("NPC L Thigh [LThg].001", 0, 0, 0)},
         {"0 Line 3, bone 'NPC L Thigh [LThg].001" + lacks + "did you mean 'NPC L Thigh [LThg]'?",
          "-1 the accumulation root 'NPC Root [Root]" + lacks + "did you mean 'npc root [root]'?"},
         "NPC Root [Root]"},
        {"offsets 70 times smaller", Skeleton(spine), small, {smaller}},
        {"16-bit flags up to user version 26", Skeleton(spine, 26), small, {smaller}},
        {"offsets in the skeleton's units", Skeleton(spine), {At("NPC Spine", 0, 9, 3)}, {}},
        {"a rotation-only animation",
         Skeleton(spine),
         {At("NPC Root [Root]", 0, 0, 0), At("NPC Spine", 0, 0, 0)},
         {}},
        {"a body too short for its offset",
         Skeleton({{"NPC Spine", {9.8f, 0, 0}}}, 83, 22),
         small,
         {"0 Line 3, bone 'NPC Root [Root]" + lacks + "no node of it has a name close to it"}},
        {"a body too short for its name",
         Skeleton({{"NPC Spine", {}}}, 83, 3),
         {At("NPC Spine", 0, 0, 0)},
         {"0 Line 3, bone 'NPC Spine" + lacks + "no node of it has a name close to it"}},
    };
}

class SkeletonCheck : public testing::TestWithParam<Row> {};

TEST_P(SkeletonCheck, FindsWhatItMust) {
    const Row& row = GetParam();
    testing::internal::CaptureStdout();
    NumAnimBones = Load_Keys(Key_Text(false, 1, row.Bones));
    ASSERT_EQ(Load_Skeleton(row.Skeleton), 0);
    testing::internal::GetCapturedStdout();
    testing::internal::CaptureStdout();
    std::vector<std::string> findings;
    for (const SkeletonFinding& finding : Check_Against_Skeleton("skeleton.nif", row.Root))
        findings.push_back(std::to_string(finding.Bone) + " " + finding.Text);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(findings, row.Findings);
}

INSTANTIATE_TEST_SUITE_P(Table, SkeletonCheck, testing::ValuesIn(Rows()),
                         Row_Name<testing::TestParamInfo<Row>>);

} // namespace
