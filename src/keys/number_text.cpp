// The shortest text of a float that reads back to the same bits, for the key text and the messages.
#include "keys/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>

char* Put_Float(char* at, float value) {
    // Whole numbers are frequent in key files (scales of 1, offsets of 0). Below 100000 their digits are
    // the shortest form, found without the general search; -0 keeps its sign there.
    if (std::fabs(value) < 100000 && value == std::trunc(value) && !(value == 0 && std::signbit(value)))
        return std::to_chars(at, at + kMaxFloatText, static_cast<std::int32_t>(value)).ptr;
    return std::to_chars(at, at + kMaxFloatText, value).ptr;
}
