// Numbers as the key text writes them: the shortest text that reads back to the same float.
#pragma once

// Room one float's text may take ("-1.17549435e-38" is the longest).
inline constexpr int kMaxFloatText = 16;

// Writes `value` at `at` (kMaxFloatText bytes of room, no terminator); returns the end of the text.
char* Put_Float(char* at, float value);
