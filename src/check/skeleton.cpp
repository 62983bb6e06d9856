// The skeleton table and its check. Each node block is read by kf/'s node reader, then again for its
// children, which give each node its parent; the check compares names byte for byte and proposes the
// close ones, and compares the size of the animation's offsets with the skeleton's.
#include "check/skeleton.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string_view>

#include "check/problems.h"
#include "keys/anim_keys.h"
#include "kf/nodes.h"
#include "nif/nif_document.h"

SkeletonNode SkeletonNodes[kMaxSkeletonNodes];
std::uint32_t NumSkeletonNodes;

namespace {

NodeRecord Node; // the node being read into the table

// A finding on one line: a name holding a line end is written with a space there.
std::string One_Line(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    return text;
}

// "Node 'NAME' (block 3 'NiNode')".
std::string Node_Label(const SkeletonNode& node) {
    return "Node '" + std::string(node.Name) + "' (" + Block_Label(node.Block) + ")";
}

// What the node text writes for a rotation matrix that is no rotation, by NodeTurn.
constexpr const char* kTurnOutcomes[] = {
    "", "its rotation rows are not orthonormal: written as the nearest rotation",
    "its rotation is a mirror (its determinant is negative): written as the rotation nearest its negative",
    "its rotation rows are singular or not finite: written as the identity"};

// Node block `block` into the table. A body that does not add up to the node fields, or whose children
// run past the blocks, still names its node when it holds its name, the first field; its pose is not
// taken.
SkeletonNode Read_Node(std::int32_t block, std::vector<std::string>& findings) {
    SkeletonNode node{};
    node.Block = block;
    node.Parent = -1;
    ByteReader in = Open_Block_Reader(block);
    Load_from_Memory___NiNode(in, Node, Header_UserVersion2);
    for (std::uint32_t c = 0; in.Fault == nullptr && c < Node.Children.Count; ++c) {
        if (Node.Children.Links[c] < -1 || Node.Children.Links[c] >= std::int64_t{Header_NumBlocks})
            Fail(in, "a child is past the blocks");
    }
    const char* name = in.Size >= 4 ? String_at(Node.Name) : nullptr;
    if (name != nullptr) std::snprintf(node.Name, sizeof node.Name, "%s", name);
    if (in.Fault != nullptr) {
        findings.push_back(Node_Label(node) + ": it does not hold the layout read here (" + in.Fault +
                           "): skipped; the nodes only it holds are roots");
        return node;
    }
    node.HasOffset = true;
    std::copy(std::begin(Node.Translation), std::end(Node.Translation), node.Offset);
    node.Scale = Node.Scale;
    node.Turn = Node_Rotation(Node.Rotation, node.Rotation);
    node.HasRotation = node.Turn == NodeTurn::Rotation;
    if (node.Turn == NodeTurn::None) node.Rotation[0] = 1; // the rest of the identity is the zero fill
    if (!node.HasRotation)
        findings.push_back(Node_Label(node) + ": " + kTurnOutcomes[static_cast<int>(node.Turn)]);
    if (std::strpbrk(node.Name, "\n\r") != nullptr)
        findings.push_back(Node_Label(node) + ": its name holds a line feed: written as a space");
    return node;
}

// True when node `below` is node `node` or lies in its subtree.
bool Is_Within(std::int32_t below, std::int32_t node) {
    for (std::int32_t n = below; n >= 0; n = SkeletonNodes[n].Parent) {
        if (n == node) return true;
    }
    return false;
}

// Each node's parent: the first node, in file order, whose children list holds it. A link that would
// close a loop is not taken. `nodeOfBlock` gives each block's node of the table, -1 for other blocks.
void Take_Parents(const std::vector<std::int32_t>& nodeOfBlock, std::vector<std::string>& findings) {
    for (std::int32_t n = 0; n < static_cast<std::int32_t>(NumSkeletonNodes); ++n) {
        if (!SkeletonNodes[n].HasOffset) continue;
        ByteReader in = Open_Block_Reader(SkeletonNodes[n].Block);
        Load_from_Memory___NiNode(in, Node, Header_UserVersion2);
        for (std::uint32_t c = 0; c < Node.Children.Count; ++c) {
            const std::int32_t link = Node.Children.Links[c];
            const std::int32_t child = link < 0 ? -1 : nodeOfBlock[static_cast<std::size_t>(link)];
            if (child < 0 || !SkeletonNodes[child].HasOffset || SkeletonNodes[child].Parent == n) continue;
            SkeletonNode& node = SkeletonNodes[child];
            if (node.Parent >= 0) {
                findings.push_back(Node_Label(node) + ": it is a child of " + Node_Label(SkeletonNodes[n]) +
                                   " too: its parent is the first that holds it, '" +
                                   SkeletonNodes[node.Parent].Name + "'");
            } else if (Is_Within(n, child)) {
                findings.push_back(Node_Label(node) + ": it is held as a child by " +
                                   Node_Label(SkeletonNodes[n]) +
                                   ", which is itself or below it: not taken as its parent");
            } else {
                node.Parent = n;
            }
        }
    }
}

// A parent the node text names by a name another node has too, or by none, reads back as another node or
// as no parent: each such parent is named once.
void Note_Unclear_Parents(std::vector<std::string>& findings) {
    std::vector<bool> told(NumSkeletonNodes);
    for (std::uint32_t n = 0; n < NumSkeletonNodes; ++n) {
        const std::int32_t p = SkeletonNodes[n].Parent;
        if (p < 0 || told[static_cast<std::size_t>(p)]) continue;
        told[static_cast<std::size_t>(p)] = true;
        const SkeletonNode& parent = SkeletonNodes[p];
        if (parent.Name[0] == '\0') {
            findings.push_back(
                Node_Label(parent) +
                ": it holds nodes but has no name: their parent is written as \"\", as a root's");
            continue;
        }
        for (std::uint32_t o = 0; o < NumSkeletonNodes; ++o) {
            const SkeletonNode& other = SkeletonNodes[o];
            if (&other != &parent && other.HasOffset && std::strcmp(other.Name, parent.Name) == 0) {
                findings.push_back(Node_Label(parent) + ": it holds nodes, and " + Node_Label(other) +
                                   " has its name too: their parent's name names two nodes");
                break;
            }
        }
    }
}

// `name` without what a mistype or another tool's copy most often changes: case, spaces, and a
// numbered suffix (".001") at its end.
std::string Loose(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    if (dot != std::string_view::npos && dot + 1 < name.size() &&
        name.find_first_not_of("0123456789", dot + 1) == std::string_view::npos)
        name = name.substr(0, dot);
    std::string loose;
    for (char c : name) {
        if (c != ' ') loose += (c >= 'A' && c <= 'Z') ? static_cast<char>(c | 0x20) : c;
    }
    return loose;
}

// Names as close as this many edits are proposed; three of them at most.
constexpr int kMaxEdits = 3;
constexpr std::size_t kMaxNearNames = 3;

// The edit distance (insertions, deletions, substitutions) of `a` and `b` when at most `limit`, else
// limit + 1. Only cells within `limit` of the diagonal can hold such a distance, and a row whose cells
// all pass it ends the count. `b` is a string-table entry, shorter than kTextEntrySize.
int Edits_Within(std::string_view a, std::string_view b, int limit) {
    const int far = limit + 1;
    const std::size_t slack = static_cast<std::size_t>(limit);
    if (b.size() >= kTextEntrySize || a.size() > b.size() + slack || b.size() > a.size() + slack) return far;
    // What both share at their start and end costs no edit: names of one family differ in a few bytes.
    while (!a.empty() && !b.empty() && a.front() == b.front())
        a.remove_prefix(1), b.remove_prefix(1);
    while (!a.empty() && !b.empty() && a.back() == b.back())
        a.remove_suffix(1), b.remove_suffix(1);
    const int m = static_cast<int>(a.size()), n = static_cast<int>(b.size());
    int rows[2][kTextEntrySize + 1];
    int* before = rows[0];
    int* row = rows[1];
    for (int j = 0; j <= n; ++j)
        before[j] = std::min(j, far);
    for (int i = 1; i <= m; ++i) {
        const int low = std::max(1, i - limit), high = std::min(n, i + limit);
        row[low - 1] = low == 1 ? std::min(i, far) : far;
        int least = row[low - 1];
        for (int j = low; j <= high; ++j) {
            const int substitute =
                before[j - 1] + (a[static_cast<std::size_t>(i - 1)] != b[static_cast<std::size_t>(j - 1)]);
            row[j] = std::min({substitute, before[j] + 1, row[j - 1] + 1, far});
            least = std::min(least, row[j]);
        }
        if (high < n) row[high + 1] = far;
        if (least > limit) return far;
        std::swap(before, row);
    }
    return before[n];
}

bool Listed(const std::vector<const char*>& names, const char* name) {
    return std::any_of(names.begin(), names.end(), [&](const char* n) { return std::strcmp(n, name) == 0; });
}

// The skeleton's names close to `name`: first those equal to it but for case, spaces and a numbered
// suffix, then up to three within kMaxEdits edits, nearest first (ties in skeleton order). `looseNames`
// holds Loose of each node's name.
std::vector<const char*> Close_Names(const char* name, const std::vector<std::string>& looseNames) {
    const std::string loose = Loose(name);
    std::vector<const char*> close;
    for (std::uint32_t n = 0; n < NumSkeletonNodes; ++n) {
        const char* other = SkeletonNodes[n].Name;
        if (other[0] != '\0' && !Listed(close, other) && looseNames[n] == loose) close.push_back(other);
    }
    std::vector<std::pair<int, const char*>> near;
    for (std::uint32_t n = 0; n < NumSkeletonNodes; ++n) {
        const char* other = SkeletonNodes[n].Name;
        const int edits = other[0] == '\0' ? kMaxEdits + 1 : Edits_Within(name, other, kMaxEdits);
        if (edits <= kMaxEdits) near.push_back({edits, other});
    }
    std::stable_sort(near.begin(), near.end(),
                     [](const auto& x, const auto& y) { return x.first < y.first; });
    const std::size_t loosely = close.size();
    for (const auto& [edits, other] : near) {
        if (close.size() - loosely == kMaxNearNames) break;
        if (!Listed(close, other)) close.push_back(other);
    }
    return close;
}

// "did you mean 'A', 'B' or 'C'?", or that none is close.
std::string Proposal(const char* name, const std::vector<std::string>& looseNames) {
    const std::vector<const char*> close = Close_Names(name, looseNames);
    if (close.empty()) return "no node of it has a name close to it";
    std::string text = "did you mean ";
    for (std::size_t i = 0; i < close.size(); ++i)
        text += std::string(i == 0 ? "" : i + 1 == close.size() ? " or " : ", ") + "'" + close[i] + "'";
    return text + "?";
}

// `value` rounded to two significant digits, written without an exponent: 70, 0.14, 9.8, 1200.
std::string Two_Digits(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2g", value);
    const double rounded = std::strtod(text, nullptr);
    if (!(rounded > 0) || rounded > 1e40) return text;
    const int decimals = std::max(0, 1 - static_cast<int>(std::floor(std::log10(rounded))));
    std::snprintf(text, sizeof text, "%.*f", decimals, rounded);
    return text;
}

double Length(double x, double y, double z) {
    return std::sqrt(x * x + y * y + z * z);
}

// A bone's ratio of the mean length of its key translations to its skeleton offset.
struct Ratio {
    double Value, Moves, Offset;
    std::int32_t Bone;
};

// Below this ratio a bone is taken not to move (a rotation-only animation, or rounding noise): it says
// nothing about units. Units that differ by as much as millimetres and metres stay well above it.
constexpr double kStillRatio = 1e-4;
// Outside these ratios the median bone says the animation is in other units.
constexpr double kLowestRatio = 1.0 / 3, kHighestRatio = 3;

// The ratio of each bone that holds keys and whose node has an offset longer than a thousandth of the
// skeleton's longest, and moves.
std::vector<Ratio> Unit_Ratios() {
    double longest = 0;
    for (std::uint32_t n = 0; n < NumSkeletonNodes; ++n) {
        const float* offset = SkeletonNodes[n].Offset;
        if (SkeletonNodes[n].HasOffset) longest = std::max(longest, Length(offset[0], offset[1], offset[2]));
    }
    std::vector<Ratio> ratios;
    for (std::int32_t b = 0; b < NumAnimBones; ++b) {
        const AnimBone& bone = AnimBones[b];
        const SkeletonNode* node = Find_Skeleton_Node(bone.Name);
        if (bone.NumKeys <= 0 || node == nullptr || !node->HasOffset) continue;
        const double offset = Length(node->Offset[0], node->Offset[1], node->Offset[2]);
        if (!(offset > longest / 1000)) continue;
        double sum = 0;
        for (std::int32_t k = 0; k < bone.NumKeys; ++k)
            sum += Length(bone.Keys[k].PosX, bone.Keys[k].PosY, bone.Keys[k].PosZ);
        const double moves = sum / bone.NumKeys;
        if (std::isfinite(moves) && moves / offset >= kStillRatio)
            ratios.push_back({moves / offset, moves, offset, b});
    }
    return ratios;
}

void Check_Units(std::vector<SkeletonFinding>& findings) {
    std::vector<Ratio> ratios = Unit_Ratios();
    if (ratios.empty()) return;
    std::stable_sort(ratios.begin(), ratios.end(),
                     [](const Ratio& x, const Ratio& y) { return x.Value < y.Value; });
    const Ratio& median = ratios[(ratios.size() - 1) / 2];
    if (median.Value >= kLowestRatio && median.Value <= kHighestRatio) return;
    const bool smaller = median.Value < 1;
    findings.push_back({-1, "the animation's offsets are about " +
                                Two_Digits(smaller ? 1 / median.Value : median.Value) + " times " +
                                (smaller ? "smaller" : "larger") + " than the skeleton's (bone '" +
                                AnimBones[median.Bone].Name + "' moves " + Two_Digits(median.Moves) +
                                " from its parent, the skeleton's is " + Two_Digits(median.Offset) +
                                "): the animation may be in other units"});
}

} // namespace

const SkeletonNode* Find_Skeleton_Node(const char* name) {
    for (std::uint32_t n = 0; n < NumSkeletonNodes; ++n) {
        if (SkeletonNodes[n].Name[0] != '\0' && std::strcmp(SkeletonNodes[n].Name, name) == 0)
            return &SkeletonNodes[n];
    }
    return nullptr;
}

std::vector<std::string> Take_Skeleton_from_Document() {
    std::vector<std::string> findings;
    std::vector<std::int32_t> nodeOfBlock(Header_NumBlocks, -1);
    NumSkeletonNodes = 0;
    for (std::uint32_t b = 0; b < Header_NumBlocks && NumSkeletonNodes < kMaxSkeletonNodes; ++b) {
        if (!Is_Node_Type(Block_Type_Name(static_cast<std::int32_t>(b)))) continue;
        nodeOfBlock[b] = static_cast<std::int32_t>(NumSkeletonNodes);
        SkeletonNodes[NumSkeletonNodes++] = Read_Node(static_cast<std::int32_t>(b), findings);
    }
    Take_Parents(nodeOfBlock, findings);
    Note_Unclear_Parents(findings);
    std::transform(findings.begin(), findings.end(), findings.begin(), One_Line);
    return findings;
}

std::vector<NodeLine> Skeleton_Node_Lines() {
    std::vector<NodeLine> lines;
    for (std::uint32_t n = 0; n < NumSkeletonNodes; ++n) {
        const SkeletonNode& node = SkeletonNodes[n];
        if (!node.HasOffset) continue;
        NodeLine& line = lines.emplace_back();
        line.Name = One_Line(node.Name);
        line.Parent = node.Parent < 0 ? "" : One_Line(SkeletonNodes[node.Parent].Name);
        std::copy_n(node.Offset, 3, line.Translation);
        std::copy_n(node.Rotation, 4, line.Rotation);
        line.Scale = node.Scale;
    }
    return lines;
}

std::vector<SkeletonFinding> Check_Against_Skeleton(const char* skeleton, const char* root) {
    std::vector<SkeletonFinding> findings;
    std::vector<std::string> looseNames;
    for (std::uint32_t n = 0; n < NumSkeletonNodes; ++n)
        looseNames.push_back(Loose(SkeletonNodes[n].Name));
    const std::string lacks = "' is not a node of the skeleton '" + std::string(skeleton) + "': ";
    for (std::int32_t b = 0; b < NumAnimBones; ++b) {
        const AnimBone& bone = AnimBones[b];
        if (Find_Skeleton_Node(bone.Name) != nullptr) continue;
        const std::string line = bone.NameLine > 0 ? "Line " + std::to_string(bone.NameLine) + ", " : "";
        findings.push_back({b, line + "bone '" + bone.Name + lacks + Proposal(bone.Name, looseNames)});
    }
    if (root != nullptr && Find_Skeleton_Node(root) == nullptr)
        findings.push_back(
            {-1, "the accumulation root '" + std::string(root) + lacks + Proposal(root, looseNames)});
    Check_Units(findings);
    for (SkeletonFinding& finding : findings)
        finding.Text = One_Line(finding.Text);
    return findings;
}

void Reset_Skeleton() {
    std::memset(SkeletonNodes, 0, sizeof SkeletonNodes);
    NumSkeletonNodes = 0;
}
