// The yardstick of posewright-keys: its number printing by printf("%.9g"), nine significant digits,
// enough for every float to read back, in place of the shortest form.
#include <cstdio>

#include "keys/number_text.h"

char* Put_Float(char* at, float value) {
    return at + std::snprintf(at, kMaxFloatText, "%.9g", static_cast<double>(value));
}
