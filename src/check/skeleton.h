// The skeleton an animation plays on: the names, poses and parents of its nodes, taken from a .nif read
// into the document before the template (which then replaces it), the check of the bone table against
// them, and the nodes as the lines of the node text. Nothing of the skeleton reaches a .kf.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "capacities.h"
#include "keys/node_text.h"
#include "kf/nodes.h"

// A node's pose relative to its parent, in the sense of a key's: the pose a bone keeps where the animation
// holds none.
struct SkeletonNode {
    char Name[kTextEntrySize]; // "" for a node without a name
    float Offset[3];           // translation relative to its parent
    float Rotation[4];         // w x y z, w >= 0
    float Scale;
    bool HasOffset;   // the body adds up to the node fields: its offset and scale stand
    bool HasRotation; // and its rotation matrix is a rotation (Turn), else Rotation is the nearest one
    NodeTurn Turn;
    std::int32_t Block;  // of the document it was read from
    std::int32_t Parent; // the node of this table whose children list holds it, -1: a root
};
extern SkeletonNode SkeletonNodes[kMaxSkeletonNodes];
extern std::uint32_t NumSkeletonNodes;

// The first node named `name` exactly, null when none is (nodes without a name are no match).
const SkeletonNode* Find_Skeleton_Node(const char* name);

// Copies the nodes of the document as it stands (the skeleton just loaded) into the skeleton table, and
// says what in them is not as the node text writes it, each a sentence without a line end: a node
// block that does not add up (its children become roots), a rotation matrix that is none, a node held
// as a child by several nodes (the first is its parent) or by one it holds itself (not its parent).
std::vector<std::string> Take_Skeleton_from_Document();

// The nodes of the table whose blocks add up, in table order, as lines of the node text.
std::vector<NodeLine> Skeleton_Node_Lines();

// One finding of the check: the bone it is about (-1: the accumulation root, or the units) and its text,
// a sentence without the leading "WARNING: " and without a line end.
struct SkeletonFinding {
    std::int32_t Bone;
    std::string Text;
};

// The check of the bone table (AnimBones[0..NumAnimBones)) against the skeleton table: each bone whose
// node the skeleton lacks, with its close names; the accumulation root `root` (nullptr when none) when
// the skeleton lacks it; and the animation's offsets when they look to be in other units than the
// skeleton's. `skeleton` is the skeleton's file name for the texts. Prints nothing.
std::vector<SkeletonFinding> Check_Against_Skeleton(const char* skeleton, const char* root);

// Back to the zero-filled state of program start.
void Reset_Skeleton();
