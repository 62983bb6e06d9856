// The skeleton an animation plays on: the names and offsets of its nodes, taken from a .nif read into
// the document before the template (which then replaces it), and the check of the bone table against
// them. Nothing of the skeleton reaches an output.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "capacities.h"

// A node's pose relative to its parent, in the sense of a key's: the pose a bone keeps where the animation
// holds none.
struct SkeletonNode {
    char Name[kTextEntrySize]; // "" for a node without a name
    float Offset[3];           // translation relative to its parent
    float Rotation[4];         // w x y z, w >= 0
    float Scale;
    bool HasOffset;   // the body holds every node field: its offset and scale stand
    bool HasRotation; // and its rotation matrix is a rotation
};
extern SkeletonNode SkeletonNodes[kMaxSkeletonNodes];
extern std::uint32_t NumSkeletonNodes;

// The first node named `name` exactly, null when none is (nodes without a name are no match).
const SkeletonNode* Find_Skeleton_Node(const char* name);

// Copies the nodes of the document as it stands (the skeleton just loaded) into the skeleton table.
void Take_Skeleton_from_Document();

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
