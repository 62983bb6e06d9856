// The one form of a limit refusal, shared by every operation that checks a count, a size or an index.
#pragma once

#include <cstdint>
#include <string>

// Prints "\n[operation] ERROR: Variable 'field=value' is out of limits!\n", the value as a signed 32-bit
// number (4294967295 prints as -1); a `note` such as "256" goes in parentheses after "limits".
// Returns -3, the code the caller passes up.
std::int32_t Report_Out_Of_Limits(const char* operation, const std::string& field, std::uint32_t value,
                                  const std::string& note = "");

// A table entry's field name: Indexed("Header_BlockSize", 3) is "Header_BlockSize[3]".
std::string Indexed(const char* table, std::uint32_t index);
