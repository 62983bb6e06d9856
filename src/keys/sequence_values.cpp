// The values of the sequence file's settings, each reader beside its writer: TEXT, NUMBER, INTEGER.
#include "keys/sequence_values.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "capacities.h"
#include "keys/number_text.h"

std::int64_t Sequence_File_Line;

std::int32_t Refuse(const std::string& what) {
    std::printf("\n[Load_from_File___Sequence_Settings] ERROR: Line %lld: %s!\n",
                static_cast<long long>(Sequence_File_Line), what.c_str());
    return -3;
}

bool At_Blank(const Cursor& in) {
    return in.At != in.End && (*in.At == ' ' || *in.At == '\t');
}

void Skip_Blanks(Cursor& in) {
    while (At_Blank(in))
        ++in.At;
}

bool At_Digit(const Cursor& in) {
    return in.At != in.End && *in.At >= '0' && *in.At <= '9';
}

// The bytes up to the next space, tab or line end.
std::string Word(Cursor& in) {
    const char* start = in.At;
    while (in.At != in.End && !At_Blank(in))
        ++in.At;
    return {start, in.At};
}

std::string Quoted(const std::string& text) {
    std::string quoted(1, '\'');
    quoted += text;
    quoted += '\'';
    return quoted;
}

// TEXT: a double-quoted text, \" and \\ its only escapes, at most kTextEntrySize - 1 bytes unescaped.
std::int32_t Read_Text(Cursor& in, char* text) {
    if (in.At == in.End || *in.At != '"') return Refuse("a text in double quotes is expected");
    ++in.At;
    std::size_t length = 0;
    while (in.At != in.End && *in.At != '"') {
        char c = *in.At++;
        if (c == '\0') return Refuse("the text holds a zero byte");
        if (c == '\\' && in.At != in.End) {
            c = *in.At++;
            if (c != '"' && c != '\\') return Refuse("a backslash in a text goes only before \" or \\");
        }
        if (length == kTextEntrySize - 1)
            return Refuse("the text is longer than the " + std::to_string(kTextEntrySize - 1) +
                          " bytes a text holds");
        text[length++] = c;
    }
    if (in.At == in.End) return Refuse("the text is left open (no closing double quote)");
    ++in.At;
    text[length] = '\0';
    return 0;
}

// NUMBER: [+-]?(D+(.D*)?|.D+)([eE][+-]?D+)?, rounded to the nearest float; not finite is refused.
std::int32_t Read_Number(Cursor& in, float* value) {
    const char* start = in.At;
    const bool negative = in.At != in.End && *in.At == '-';
    if (in.At != in.End && (*in.At == '+' || *in.At == '-')) ++in.At;
    const char* const digits = in.At;
    // The power of ten just above the first digit that is not zero tells an overflow from an underflow.
    std::int64_t magnitude = 0;
    bool significant = false;
    for (; At_Digit(in); ++in.At) {
        significant = significant || *in.At != '0';
        magnitude += significant ? 1 : 0;
    }
    std::size_t count = static_cast<std::size_t>(in.At - digits);
    if (in.At != in.End && *in.At == '.') {
        for (++in.At; At_Digit(in); ++in.At, ++count) {
            if (!significant && *in.At == '0') --magnitude;
            significant = significant || *in.At != '0';
        }
    }
    if (count == 0) return Refuse("a number is expected");
    Cursor exponent = in;
    if (exponent.At != exponent.End && (*exponent.At == 'e' || *exponent.At == 'E')) {
        ++exponent.At;
        const bool down = exponent.At != exponent.End && *exponent.At == '-';
        if (exponent.At != exponent.End && (*exponent.At == '+' || *exponent.At == '-')) ++exponent.At;
        const char* const powerDigits = exponent.At;
        std::int64_t power = 0;
        for (; At_Digit(exponent); ++exponent.At)
            power = std::min<std::int64_t>(power * 10 + (*exponent.At - '0'), 1000000);
        if (exponent.At != powerDigits) {
            in = exponent;
            magnitude += down ? -power : power;
        }
    }
    const auto [end, error] = std::from_chars(*start == '+' ? start + 1 : start, in.At, *value);
    if (error == std::errc::result_out_of_range && magnitude <= 0) {
        *value = negative ? -0.0f : 0.0f;
    } else if (error != std::errc() || end != in.At) {
        return Refuse("the number " + std::string(start, in.At) + " is not finite as a float");
    }
    return 0;
}

// INTEGER: [+-]?D+, from 0 to `largest`.
std::int32_t Read_Integer(Cursor& in, std::uint32_t largest, const char* what, std::uint32_t* value) {
    const char* start = in.At;
    const bool negative = in.At != in.End && *in.At == '-';
    if (in.At != in.End && (*in.At == '+' || *in.At == '-')) ++in.At;
    if (!At_Digit(in)) return Refuse(std::string(what) + " is expected as a whole number");
    std::uint64_t number = 0;
    for (; At_Digit(in); ++in.At)
        number = std::min<std::uint64_t>(number * 10 + static_cast<std::uint64_t>(*in.At - '0'), 1ull << 40);
    if ((negative && number != 0) || number > largest)
        return Refuse(std::string(what) + " " + std::string(start, in.At) + " is outside 0 to " +
                      std::to_string(largest));
    *value = static_cast<std::uint32_t>(number);
    return 0;
}

// ---- writing: the readers' mirrors ---------------------------------------------------------------

void Put_Text(std::string& out, const char* text) {
    out += '"';
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c == '"' || *c == '\\') out += '\\';
        out += *c;
    }
    out += '"';
}

void Put_Number(std::string& out, float value) {
    char text[kMaxFloatText];
    out.append(text, Put_Float(text, value));
}
