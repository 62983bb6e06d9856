// The skeleton check: each row a skeleton built by the fixture writer, the bones of a key text, the
// accumulation root, and the findings the check returns (each its bone, then its text).
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "check/skeleton.h"
#include "keys/anim_keys.h"
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

const std::string kHead = "Nodes: name, parent, translation x y z, rotation w x y z, scale\n";

// A node's nine rotation floats, the rows of R, as its line's quaternion: the node note's quarter turns
// about each axis, and half turns, whatever branch of the reading they take; rows not orthonormal as
// the nearest rotation, a mirror as the rotation of its negative, a singular matrix as the identity,
// each with its problem line; and a parent without a name, whose children read as roots.
TEST(NodeText, ReadsTheRotationAsTheRowsOfR) {
    const std::string h = "0.70710677 ", no = "its rotation rows are ";
    constexpr float h45 = 0.70710677f;
    const struct {
        std::array<float, 9> R;
        std::string Quaternion, Problem = "";
    } rows[] = {{{1, 0, 0, 0, 1, 0, 0, 0, 1}, "1 0 0 0 "},
                {{0, -1, 0, 1, 0, 0, 0, 0, 1}, h + "0 0 " + h},
                {{1, 0, 0, 0, 0, -1, 0, 1, 0}, h + h + "0 0 "},
                {{0, 0, 1, 0, 1, 0, -1, 0, 0}, h + "0 " + h + "0 "},
                {{h45, -h45, 0, h45, h45, 0, 0, 0, 1}, "0.9238795 0 0 0.38268343 "}, // 1/8 turn, det below 1
                {{1, 0, 0, 0, -1, 0, 0, 0, -1}, "0 1 0 0 "},
                {{-1, 0, 0, 0, 1, 0, 0, 0, -1}, "0 0 1 0 "},
                {{-0.6f, 0, 0.8f, 0, -1, 0, 0.8f, 0, 0.6f}, "0 0.4472136 0 0.8944272 "}, // about (1, 0, 2)
                {{0, 1, 0, 1, 0, 0, 0, 0, -1}, "0 " + h + h + "0 "},
                {{0, 0, 2, 1, 0, 0, 0, 1, 0}, // a third of a turn about (1, 1, 1), a row made longer
                 "0.5 0.5 0.5 0.5 ",
                 no + "not orthonormal: written as the nearest rotation"},
                {{0, 0, -1, -1, 0, 0, 0, -1, 0},
                 "0.5 0.5 0.5 0.5 ",
                 "its rotation is a mirror (its determinant is negative): written as the rotation nearest "
                 "its negative"},
                {{}, "1 0 0 0 ", no + "singular or not finite: written as the identity"}};
    TemplateLayout layout{.BlockTypes = {"NiNode"}};
    std::string text = kHead, problems;
    for (const auto& row : rows) {
        const std::string block = std::to_string(layout.Bodies.size());
        problems +=
            row.Problem.empty() ? "" : "\t- Node '' (block " + block + " 'NiNode'): " + row.Problem + "\n";
        layout.Bodies.push_back(Node_Body({-1, {}, row.R}));
        text += "\"\" \"\" 0 0 0 " + row.Quaternion + "1\n";
    }
    layout.Bodies[0] = Node_Body({.Name = -1, .Children = {1}}); // a parent without a name
    EXPECT_EQ(
        Nodes_of(Build_Template(layout)),
        text + problems +
            "\t- Node '' (block 0 'NiNode'): it holds nodes but has no name: their parent is written as "
            "\"\", as a root's\n");
}

// Each node's parent is the first node that holds it as a child; a block that does not add up (its body
// cut, a child past the blocks) is skipped and what only it held is a root; a link that would close a loop
// is not taken; a parent whose name another node has too is named; a kind built on a node is a node,
// one whose name only ends in "Node" is not.
TEST(NodeText, TakesTheTreeFromTheChildrenLists) {
    const std::vector<Node> nodes = {{.Name = 0},
                                     {.Name = 1, .Children = {2, -1, 4}},
                                     {.Name = 2, .Children = {1}},
                                     {.Name = 3, .Children = {2}},
                                     {.Name = 4},
                                     {.Name = 5, .Children = {3, 6}}};
    TemplateLayout layout{.BlockTypes = {"NiNode", "NiBone", "BSFurnitureMarkerNode"},
                          .BlockTypeIndex = {0, 1, 0, 0, 2, 0},
                          .Strings = {"a", "b\"", "c", "b\"", "e", "f"}}; // d named as b"
    for (const Node& node : nodes)
        layout.Bodies.push_back(Node_Body(node));
    layout.Bodies[0].resize(64);
    const std::string skipped = "it does not hold the layout read here (",
                      roots = "): skipped; the nodes only it holds are roots\n";
    EXPECT_EQ(
        Nodes_of(Build_Template(layout)),
        kHead + R"("b\"" "" 0 0 0 1 0 0 0 1
"c" "b\"" 0 0 0 1 0 0 0 1
"b\"" "" 0 0 0 1 0 0 0 1
)" +
            "\t- Node 'a' (block 0 'NiNode'): " + skipped + "its fields run past its end" + roots +
            "\t- Node 'f' (block 5 'NiNode'): " + skipped + "a child is past the blocks" + roots +
            "\t- Node 'b\"' (block 1 'NiBone'): it is held as a child by Node 'c' (block 2 'NiNode'), "
            "which is itself or below it: not taken as its parent\n"
            "\t- Node 'c' (block 2 'NiNode'): it is a child of Node 'b\"' (block 3 'NiNode') too: its "
            "parent is the first that holds it, 'b\"'\n"
            "\t- Node 'b\"' (block 1 'NiBone'): it holds nodes, and Node 'b\"' (block 3 'NiNode') has its "
            "name too: their parent's name names two nodes\n");
}

using Quaternion = std::array<double, 4>; // w x y z

Quaternion Times(const Quaternion& a, const Quaternion& b) {
    return {a[0] * b[0] - a[1] * b[1] - a[2] * b[2] - a[3] * b[3],
            a[0] * b[1] + a[1] * b[0] + a[2] * b[3] - a[3] * b[2],
            a[0] * b[2] - a[1] * b[3] + a[2] * b[0] + a[3] * b[1],
            a[0] * b[3] + a[1] * b[2] - a[2] * b[1] + a[3] * b[0]};
}

// The chain of the node note under each header the skeleton check reads (flags of 16 bits, properties and
// effects held or not): its text's poses, composed apart from the product (world = parent · (t, R, s), R
// turning v as q v q*), put the nodes where the note says, its middle node's scale too.
TEST(NodeText, PutsTheChainWhereTheNoteSays) {
    for (const auto& [scale, version2, tip] : {std::tuple{1.0f, 83u, 2.0},
                                               {2.0f, 26u, 4.0},
                                               {1.0f, 34u, 2.0},
                                               {1.0f, 35u, 2.0},
                                               {1.0f, 130u, 2.0}}) {
        struct World {
            Quaternion At, Turn;
            double Scale;
        };
        std::map<std::string, World> world = {{"", {{}, {1, 0, 0, 0}, 1}}};
        std::istringstream lines(Nodes_of(Chain_Skeleton(scale, version2, 2)).substr(kHead.size()));
        std::string name, parent;
        Quaternion t{}, q;
        double s;
        while (lines >> std::quoted(name) >> std::quoted(parent) >> t[1] >> t[2] >> t[3] >> q[0] >> q[1] >>
               q[2] >> q[3] >> s) {
            const World up = world.at(parent);
            const Quaternion turned =
                Times(Times(up.Turn, t), {up.Turn[0], -up.Turn[1], -up.Turn[2], -up.Turn[3]});
            for (int i = 1; i < 4; ++i)
                world[name].At[i] = up.At[i] + up.Scale * turned[i];
            world[name].Turn = Times(up.Turn, q), world[name].Scale = up.Scale * s;
        }
        for (const auto& [node, at] :
             {std::pair{"Root", Quaternion{0, 0, 0, 10}}, {"Mid", {0, 5, 0, 10}}, {"Tip", {0, 5, tip, 10}}}) {
            for (int i = 1; i < 4; ++i)
                EXPECT_NEAR(world.at(node).At[i], at[i], 1e-6) << node << " " << version2;
        }
    }
}

} // namespace
