// The node text: a skeleton's nodes one a line, as posewright-keys --nodes writes them for the add-on's
// skeleton import. The programs only write it; its reader is the add-on's.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// The first line, which names the format.
inline constexpr const char* kNodeTextFormatLine =
    "Nodes: name, parent, translation x y z, rotation w x y z, scale";

// One node: its name, its parent's ("" for a root), its pose relative to its parent.
struct NodeLine {
    std::string Name, Parent;
    float Translation[3];
    float Rotation[4]; // w x y z, w >= 0
    float Scale;
};

// The whole text: the format line, then `"NAME" "PARENT" TX TY TZ QW QX QY QZ S` for each node, names
// quoted as the sequence file quotes them, numbers as the key text writes them, lines ending in LF.
std::string Node_Text(const std::vector<NodeLine>& nodes);

// Writes Node_Text(`nodes`) to `file`, named `name` in the message. 0, or -3 after its message when a
// write failed.
std::int32_t Save_to_File___Node_Text(std::FILE* file, const char* name, const std::vector<NodeLine>& nodes);
