// The one form of a limit refusal, and the name of a table entry in it.
#include "nif/report.h"

#include <cstdio>

std::int32_t Report_Out_Of_Limits(const char* operation, const std::string& field, std::uint32_t value,
                                  const std::string& note) {
    const std::string limits = note.empty() ? "limits" : "limits (" + note + ")";
    std::printf("\n[%s] ERROR: Variable '%s=%d' is out of %s!\n", operation, field.c_str(),
                static_cast<std::int32_t>(value), limits.c_str());
    return -3;
}

std::string Indexed(const char* table, std::uint32_t index) {
    return std::string(table) + "[" + std::to_string(static_cast<std::int32_t>(index)) + "]";
}
