// The skeleton check: each row a skeleton built by the fixture writer, the bones of a key text, the
// accumulation root, and the findings the check returns (each its bone, then its text).
#include <gtest/gtest.h>

#include <map>
#include <sstream>

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

// The node text --nodes writes for a skeleton, then its problem lines: each row the node blocks (of the
// types "NiNode", "NiBone", "BSFurnitureMarkerNode" by Type) and the text.
struct NodesRow {
    std::string Name;
    std::vector<Node> Nodes;
    std::string Lines; // past the format line
    std::vector<std::uint16_t> Type{};
    std::size_t Cut = 0; // the first body cut to this many bytes (0: whole)
};

const std::string kHead = "Nodes: name, parent, translation x y z, rotation w x y z, scale\n",
                  kChain =
                      "\"Root\" \"\" 0 0 10 1 0 0 0 1\n\"Mid\" \"Root\" 5 0 0 0.70710677 0 0 0.70710677 1\n"
                      "\"Tip\" \"Mid\" 2 0 0 1 0 0 0 1\n";
std::string Problem(const std::string& node, int block, const std::string& text) {
    return "\t- Node '" + node + "' (block " + std::to_string(block) + " 'NiNode'): " + text + "\n";
}
const std::string kQuarterZ = " 0 0 0 0.70710677 0 0 0.70710677 1\n";

const NodesRow kNodesRows[] = {
    {"the identity and quarter turns about Z, X and Y, the rows of R",
     {{0},
      {1, {}, {0, -1, 0, 1, 0, 0, 0, 0, 1}},
      {2, {}, {1, 0, 0, 0, 0, -1, 0, 1, 0}},
      {3, {}, {0, 0, 1, 0, 1, 0, -1, 0, 0}}},
     "\"a\" \"\" 0 0 0 1 0 0 0 1\n\"b\\\"\" \"\"" + kQuarterZ +
         "\"c\" \"\" 0 0 0 0.70710677 0.70710677 0 0 1\n"
         "\"d\" \"\" 0 0 0 0.70710677 0 0.70710677 0 1\n"},
    {"no rotation: the nearest, the negative of a mirror, or the identity with a problem line",
     {{0, {}, {0, -2, 0, 1, 0, 0, 0, 0, 1}},
      {1, {}, {0, 1, 0, -1, 0, 0, 0, 0, -1}},
      {2, {}, {0, 0, 0, 0, 0, 0, 0, 0, 0}}},
     "\"a\" \"\"" + kQuarterZ + "\"b\\\"\" \"\"" + kQuarterZ + "\"c\" \"\" 0 0 0 1 0 0 0 1\n" +
         Problem("a", 0, "its rotation rows are not orthonormal: written as the nearest rotation") +
         Problem("b\"", 1,
                 "its rotation is a mirror (its determinant is negative): written as the rotation nearest "
                 "its negative") +
         Problem("c", 2, "its rotation rows are singular or not finite: written as the identity")},
    {"its body cut, or a child past the blocks: skipped, what only it held a root; a node of other kinds",
     {{.Name = 0, .Children = {1, 3}},
      {.Name = 1, .Children = {2, -1}},
      {.Name = 2},
      {.Name = 3, .Children = {4}}},
     "\"b\\\"\" \"\" 0 0 0 1 0 0 0 1\n" +
         Problem("a", 0,
                 "it does not hold the layout read here (its fields run past its end): skipped; the nodes "
                 "only it "
                 "holds are roots") +
         Problem(
             "d", 3,
             "it does not hold the layout read here (a child is past the blocks): skipped; the nodes only it "
             "holds are roots"),
     {0, 1, 2, 0},
     64},
    {"held by several nodes: the first is its parent; by one below it: none",
     {{.Name = 0, .Children = {1}},
      {.Name = 1, .Children = {0, 2}},
      {.Name = 2},
      {.Name = 3, .Children = {2}}},
     "\"a\" \"\" 0 0 0 1 0 0 0 1\n\"b\\\"\" \"a\" 0 0 0 1 0 0 0 1\n\"c\" \"b\\\"\" 0 0 0 1 0 0 0 1\n"
     "\"d\" \"\" 0 0 0 1 0 0 0 1\n" +
         Problem("a", 0,
                 "it is held as a child by Node 'b\"' (block 1 'NiNode'), which is itself or below it: not "
                 "taken as its parent") +
         Problem("c", 2,
                 "it is a child of Node 'd' (block 3 'NiNode') too: its parent is the first that holds it, "
                 "'b\"'")},
};

class NodeText : public testing::TestWithParam<NodesRow> {};

TEST_P(NodeText, WritesEachNodeAsItsLine) {
    const NodesRow& row = GetParam();
    TemplateLayout layout{.BlockTypes = {"NiNode", "NiBone", "BSFurnitureMarkerNode"},
                          .BlockTypeIndex = row.Type,
                          .Strings = {"a", "b\"", "c", "d"}};
    for (const Node& node : row.Nodes)
        layout.Bodies.push_back(Node_Body(node));
    if (row.Cut != 0) layout.Bodies.front().resize(row.Cut);
    EXPECT_EQ(Nodes_of(Build_Template(layout)), kHead + row.Lines);
}

INSTANTIATE_TEST_SUITE_P(Table, NodeText, testing::ValuesIn(kNodesRows), Row_Name);

// The chain of the node note under each header the skeleton check reads (flags of 16 bits, properties and
// effects held or not): the same text, whose poses composed apart from the product (world = parent · (t, R,
// s), R turning v as q v q*) put the nodes where the note says.
TEST(NodeText, PutsTheChainWhereTheNoteSays) {
    using Vector = std::array<double, 3>;
    const auto cross = [](const Vector& a, const Vector& b) {
        return Vector{a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    };
    struct World {
        Vector At;
        std::array<double, 4> Q; // w x y z
        double S;
    };
    for (const auto& [scale, version2, tip] : {std::tuple{1.0f, 83u, Vector{5, 2, 10}},
                                               {2.0f, 26u, Vector{5, 4, 10}},
                                               {1.0f, 34u, Vector{5, 2, 10}},
                                               {1.0f, 130u, Vector{5, 2, 10}}}) {
        const std::string text = Nodes_of(Chain_Skeleton(scale, version2, 2));
        if (scale == 1) {
            EXPECT_EQ(text, kHead + kChain) << version2;
        }
        std::map<std::string, World> world = {{"", {{0, 0, 0}, {1, 0, 0, 0}, 1}}};
        std::istringstream lines(text.substr(kHead.size()));
        std::string name, parent;
        Vector t;
        std::array<double, 4> q;
        double s;
        while (lines >> std::quoted(name) >> std::quoted(parent) >> t[0] >> t[1] >> t[2] >> q[0] >> q[1] >>
               q[2] >> q[3] >> s) {
            const World& up = world.at(parent);
            const Vector u = {up.Q[1], up.Q[2], up.Q[3]}, ut = cross(u, t), uut = cross(u, ut);
            World& w = world[name];
            for (int i = 0; i < 3; ++i)
                w.At[i] = up.At[i] + up.S * (t[i] + 2 * up.Q[0] * ut[i] + 2 * uut[i]);
            const auto& [a, b] = std::pair{up.Q, q};
            w.Q = {a[0] * b[0] - a[1] * b[1] - a[2] * b[2] - a[3] * b[3],
                   a[0] * b[1] + a[1] * b[0] + a[2] * b[3] - a[3] * b[2],
                   a[0] * b[2] - a[1] * b[3] + a[2] * b[0] + a[3] * b[1],
                   a[0] * b[3] + a[1] * b[2] - a[2] * b[1] + a[3] * b[0]};
            w.S = up.S * s;
        }
        for (const auto& [node, at] :
             {std::pair{"Root", Vector{0, 0, 10}}, {"Mid", Vector{5, 0, 10}}, {"Tip", tip}})
            for (int i = 0; i < 3; ++i)
                EXPECT_NEAR(world.at(node).At[i], at[i], 1e-6) << node << " " << version2 << " " << i;
    }
}

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
        EXPECT_EQ(Node_Rotation(row.R, q) == NodeTurn::Rotation, !row.Quaternion.empty());
        for (std::size_t i = 0; i < row.Quaternion.size(); ++i)
            EXPECT_NEAR(q[i], row.Quaternion[i], 1e-7) << row.R[0] << row.R[1] << row.R[3] << ", part " << i;
    }
}

} // namespace
