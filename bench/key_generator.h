// Key files for the benchmark: smooth motion written with the 6 to 7 significant digits an exporter
// writes, so that the reader parses numbers of realistic length.
#pragma once

#include <cstdint>
#include <string>

enum class KeyFormat { Quaternion, Euler };

struct KeyFileShape {
    std::int32_t Bones; // converted bones; one closing record without keys follows them
    std::int32_t Keys;  // keys of every converted bone
    KeyFormat Format;
};

// Writes the key file to `path`; the same shape always gives the same bytes. False when it cannot.
bool Write_Key_File(const std::string& path, const KeyFileShape& shape);
