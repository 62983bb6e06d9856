// The skeleton check: each row a skeleton built by the fixture writer, the bones of a key text, the
// accumulation root, and the findings the check returns (each its bone, then its text).
#include <gtest/gtest.h>

#include "check/skeleton.h"
#include "keys/anim_keys.h"
#include "kf/nodes.h"
#include "support/fixtures.h"

namespace {

// NiNode blocks of these names, node n with n extra-data links and 9.8 from its parent over y and z (a
// "Tip..." 0.009), their flags as user version 2 asks; the first body cut to `cut` bytes (0: whole).
ByteString Skeleton(const std::vector<std::string>& names, std::uint32_t version2 = 83, std::size_t cut = 0) {
    TemplateLayout layout{.BlockTypes = {"NiNode"}, .Strings = names, .UserVersion2 = version2};
    for (std::int32_t n = 0; n < static_cast<std::int32_t>(names.size()); ++n) {
        const float far = names[n].starts_with("Tip") ? 0.009f : 9.8f;
        layout.Bodies.push_back(
            Node_Body({.Name = n, .Translation = {0, far * .6f, far * .8f}, .Links = n}, version2));
    }
    if (cut != 0) layout.Bodies[0].resize(cut);
    return Build_Template(layout);
}

// A bone of one key at x along its parent.
Bone At(const std::string& name, float x = 0) {
    return {name, {{0, x, 0, 0, 1, 0, 0, 0, 1}}};
}

const std::string kLacks = "' is not a node of the skeleton 'skeleton.nif': ",
                  kNone = "no node of it has a name close to it";

// The finding for bone `bone` (of one key each, so its name on line 3 + 3 x bone).
std::string Lacks(int bone, const std::string& name, const std::string& why) {
    return std::to_string(bone) + " Line " + std::to_string(3 + 3 * bone) + ", bone '" + name + kLacks + why;
}

struct Row {
    std::string Name;
    ByteString Skeleton;
    std::vector<Bone> Bones;
    std::vector<std::string> Findings;
    const char* Root = nullptr;
};

const std::string kThigh = "did you mean 'NPC L Thigh [LThg]'?";
// The units finding, its example bone 'NPC Head'.
std::string Units(const std::string& factor, const std::string& moves) {
    return "-1 the animation's offsets are about " + factor + " than the skeleton's (bone 'NPC Head' moves " +
           moves + " from its parent, the skeleton's is 9.8): the animation may be in other units";
}
const std::vector<std::string> kBody = {"NPC Root [Root]", "NPC Spine", "NPC Head"};
const std::vector<Bone> kSmall = {At("NPC Spine", 0.0098f), At("NPC Root [Root]", 0.5f),
                                  At("NPC Head", 0.098f)},
                        kTips = {At("A", 24.5f), At("Tip", 1), At("Tip2", 1)};

const Row kRows[] = {
    {"names within three edits nearest first, or that differ in case, spaces or a numbered suffix",
     Skeleton({"NPC L Thigh [LThg]", "NPC L Thigh {LThg}", "Spinex2x", "Spine", "Spine1", "Spine3", "Spine12",
               "azaz root", "Tai\n"}),
     {At("Spine2"), At("NPC LThigh[lthg]"), At("NPC L Thigh [LThg].001"), At("Tail")},
     {Lacks(0, "Spine2", "did you mean 'Spine', 'Spine1' or 'Spine3'?"), Lacks(1, "NPC LThigh[lthg]", kThigh),
      Lacks(2, "NPC L Thigh [LThg].001", kThigh), Lacks(3, "Tail", "did you mean 'Tai '?"),
      "-1 the accumulation root 'AZAZ ROOT" + kLacks + "did you mean 'azaz root'?"},
     "AZAZ ROOT"},
    {"the median of three", Skeleton(kBody), kSmall, {Units("100 times smaller", "0.098")}},
    {"16-bit flags, larger", Skeleton(kBody, 26), {At("NPC Head", 34.3f)}, {Units("3.5 times larger", "34")}},
    {"units within bounds, a bone all but still", Skeleton({"A", "B"}), {At("A", 3.92f), At("B", 5e-4f)}, {}},
    {"offsets under a thousandth of the longest: not counted", Skeleton({"A", "Tip", "Tip2"}), kTips, {}},
    {"a body too short for its offset", Skeleton({"A"}, 83, 22), {At("A", 0.14f)}, {}},
    {"three letters too many past a shared start or too few, a dot without a number",
     Skeleton({"Hand", "xLexgx"}),
     {At("Haxndxx"), At("Leg"), At("H A N D.")},
     {Lacks(0, "Haxndxx", "did you mean 'Hand'?"), Lacks(1, "Leg", "did you mean 'xLexgx'?"),
      Lacks(2, "H A N D.", kNone)}},
    {"a body too short for its name", Skeleton({"A"}, 83, 3), {At("A")}, {Lacks(0, "A", kNone)}},
};

class SkeletonCheck : public testing::TestWithParam<Row> {};

TEST_P(SkeletonCheck, FindsWhatItMust) {
    testing::internal::CaptureStdout();
    NumAnimBones = Load_Keys(Key_Text(false, 1, GetParam().Bones));
    ASSERT_EQ(Load_Skeleton(GetParam().Skeleton), 0);
    testing::internal::GetCapturedStdout();
    testing::internal::CaptureStdout();
    std::vector<std::string> findings;
    for (const SkeletonFinding& finding : Check_Against_Skeleton("skeleton.nif", GetParam().Root))
        findings.push_back(std::to_string(finding.Bone) + " " + finding.Text);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(findings, GetParam().Findings);
}

INSTANTIATE_TEST_SUITE_P(Table, SkeletonCheck, testing::ValuesIn(kRows), Row_Name);

// A node's nine rotation floats, the rows of R, against the quaternion of the same turn; none for a mirror
// or rows that are not orthonormal.
TEST(NodeRotation, ReadsTheRowsOfR) {
    const float h = 0.70710677f;
    const struct {
        float R[9];
        std::vector<float> Quaternion;
    } rows[] = {{{1, 0, 0, 0, 1, 0, 0, 0, 1}, {1, 0, 0, 0}},
                {{0, -1, 0, 1, 0, 0, 0, 0, 1}, {h, 0, 0, h}},
                {{1, 0, 0, 0, 0, -1, 0, 1, 0}, {h, h, 0, 0}},
                {{0, 0, 1, 0, 1, 0, -1, 0, 0}, {h, 0, h, 0}},
                {{1, 0, 0, 0, -1, 0, 0, 0, -1}, {0, 1, 0, 0}},
                {{-1, 0, 0, 0, 1, 0, 0, 0, -1}, {0, 0, 1, 0}},
                {{-1, 0, 0, 0, -1, 0, 0, 0, 1}, {0, 0, 0, 1}},
                {{0, 1, 0, 1, 0, 0, 0, 0, -1}, {0, h, h, 0}},
                {{-1, 0, 0, 0, 1, 0, 0, 0, 1}, {}},
                {{1, 0, 0, 0, 1.001f, 0, 0, 0, 1}, {}}};
    for (const auto& row : rows) {
        float q[4] = {};
        EXPECT_EQ(Node_Rotation(row.R, q), !row.Quaternion.empty());
        for (std::size_t i = 0; i < row.Quaternion.size(); ++i)
            EXPECT_NEAR(q[i], row.Quaternion[i], 1e-7) << row.R[0] << row.R[1] << row.R[3] << ", part " << i;
    }
}

} // namespace
