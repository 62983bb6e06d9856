#include "keys/number_text.h"

#include <charconv>

char* Put_Float(char* at, float value) {
    return std::to_chars(at, at + kMaxFloatText, value).ptr;
}
