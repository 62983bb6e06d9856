// The layout of a node block: the fields NiNode and every kind built on it begin with, its record and
// reader, which kinds are nodes, and how its nine rotation floats read as a quaternion. The product never
// writes node blocks (a skeleton is only read); their writer is in the test support.
#pragma once

#include <cstdint>

#include "capacities.h"
#include "nif/le.h"

// One list of block links of a node: extra data, properties, children or effects.
struct NodeLinks {
    std::uint32_t Count; // at most kMaxNodeLinks
    std::int32_t Links[kMaxNodeLinks];
};

// A node's fields in file order; a kind built on a node has its own after them, which are not read.
struct NodeRecord {
    std::int32_t Name; // string index, -1: no name
    NodeLinks ExtraData;
    std::int32_t Controller; // block index
    std::uint32_t Flags;     // 16 bits in the file up to user version 2 of 26
    float Translation[3];    // in the parent's space
    float Rotation[9];       // r0 .. r8, the rows of R acting on column vectors
    float Scale;
    NodeLinks Properties; // present only up to user version 2 of 34
    std::int32_t Collision;
    NodeLinks Children; // block indices, -1 entries empty
    NodeLinks Effects;  // present only below user version 2 of 130
};

// Whether blocks of type `type` begin with the node fields: the type names that end in "Node" but two,
// and five whose names do not say so.
bool Is_Node_Type(const char* type);

// Reads the node fields of the body under `in` for the header's user version 2 `userVersion2`. 0, or -3
// when the body is shorter than its fields or a count is more than it can hold (in.Fault says why). The
// bytes of a kind built on a node that follow are left unread.
std::int32_t Load_from_Memory___NiNode(ByteReader& in, NodeRecord& node, std::uint32_t userVersion2);

// How a node's nine rotation floats come to a rotation.
enum class NodeTurn : std::uint8_t {
    Rotation,       // rows orthonormal within 1e-4, determinant positive: the rotation itself
    NotOrthonormal, // the rotation nearest them (their orthogonal polar factor)
    Mirror,         // determinant negative: the rotation nearest their negative
    None,           // singular or not finite: no rotation is near
};

// The rotation `r` of a node as a unit quaternion w x y z with w >= 0, the same rotation a key's quaternion
// gives, and how it came to be; with None, `quaternion` unchanged. Only a Rotation is the node's own: the
// others are damage or a mirrored node, told as such by the caller.
NodeTurn Node_Rotation(const float (&r)[9], float (&quaternion)[4]);
