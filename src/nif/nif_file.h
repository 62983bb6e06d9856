// Reading the template into the document and writing the document out, in mirror pairs that list
// the container's fields in file order.
#pragma once

#include <cstdint>
#include <cstdio>

#include "capacities.h"

// Opened and closed by the driver: the template (binary read) and the output (binary write).
extern std::FILE* InputKfFile;
extern std::FILE* OutputKfFile;
extern char InputKfFileName[kFileNameSize];
extern char OutputKfFileName[kFileNameSize];

// The only version read: 20.2.0.7, bytes in file order.
inline constexpr std::uint8_t kSupportedVersion[4] = {7, 0, 2, 20};

// Parts of the load, on the file it reads.
std::int32_t Load_from_File___Header();   // 0 or -3
std::int32_t Load_from_File___NiFooter(); // 0 or -3

// The template InputKfFile into the document, its messages naming InputKfFileName. 0, -1 (unsupported
// version) or -3.
std::int32_t Load_from_File___All_NIF_Blocks();
// The same load of another .nif (the skeleton), its messages naming `name`.
std::int32_t Load_NIF_File(std::FILE* file, const char* name);

std::int32_t Write_Header();                // 0 or -3
std::int32_t Write_NiFooter();              // 0 or -3
std::int32_t Write_All_NIF_Block_to_File(); // 0 or -3
