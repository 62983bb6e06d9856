// The options both programs take before their files, parsed in one place: each program says which it
// accepts, and an argument that is none of those is the first file.
#pragma once

#include <cstdint>

struct Options {
    const char* Output = nullptr;   // -o, --output: the converter's output
    const char* Sequence = nullptr; // --sequence: the sequence file
    const char* Skeleton = nullptr; // --skeleton: the .nif the animation plays on
    double Rate = 30;               // --rate: keys a second sampled from a curve, 1 to 1000
    // --compress or --compress=P,R,S: bones as curves within these bounds (position, rotation, scale)
    bool Compress = false;
    double CompressBounds[3] = {0.01, 0.001, 0.001};
};

// Which options a program accepts.
inline constexpr std::uint32_t kOptionOutput = 1;
inline constexpr std::uint32_t kOptionSequence = 2;
inline constexpr std::uint32_t kOptionRate = 4;
inline constexpr std::uint32_t kOptionSkeleton = 8;
inline constexpr std::uint32_t kOptionCompress = 16;

// Takes the options among `accepted` that come before the files. The index of the first file, or -1
// after an ERROR line (an option without its value, a rate that is not one, bounds that are not).
int Take_Options(int argc, const char* const* argv, std::uint32_t accepted, Options& options);
