// The options both programs take before their files, parsed in one place: each program says which it
// accepts, and the first argument that does not begin with '-' is the first file.
#pragma once

#include <cstdint>

struct Options {
    const char* Output = nullptr;   // -o, --output: the converter's output
    const char* Sequence = nullptr; // --sequence: the sequence file
    const char* Skeleton = nullptr; // --skeleton: the .nif the animation plays on
    double Rate = 30;               // --rate: keys a second sampled from a curve, 1 to 1000
    bool Nodes = false;             // --nodes: posewright-keys writes a skeleton's nodes as text
    bool Template = false;          // --template: posewright-keys writes a .kf's empty template
    bool Help = false;              // --help, -h or /?
    bool Version = false;           // --version
    // --compress or --compress=P,R,S: bones as curves within these bounds (position, rotation, scale)
    bool Compress = false;
    double CompressBounds[3] = {0.01, 0.001, 0.001};
};

// Which options a program accepts.
inline constexpr std::uint32_t kOptionOutput = 1;
inline constexpr std::uint32_t kOptionSequence = 2;
inline constexpr std::uint32_t kOptionRate = 4;
inline constexpr std::uint32_t kOptionSkeleton = 8;
// Each makes posewright-keys do another job on its files, and takes no other option.
inline constexpr std::uint32_t kOptionNodes = 16;
inline constexpr std::uint32_t kOptionTemplate = 32;
// The converter's bones as compressed curves.
inline constexpr std::uint32_t kOptionCompress = 64;

// Takes the options among `accepted` that come before the files, and help and version, which every
// program takes; "--" ends them, so that a file whose name begins with '-' can follow. The index of the
// first file; with help or the version asked for, nothing more is checked. Otherwise -1 after an ERROR
// line: an argument before the files that begins with '-' and is no option taken, an option without its
// value, a rate that is not one, bounds that are not, another option beside --nodes or --template.
int Take_Options(int argc, const char* const* argv, std::uint32_t accepted, Options& options);
