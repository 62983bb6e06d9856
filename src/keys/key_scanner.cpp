// Reads keys the way fgets and fscanf read them, but from one buffer without a library call per
// character. Formatted input pushes back at most one character, so a malformed token stays consumed up
// to the character that broke it; the readers below reproduce that byte for byte.
#include "keys/key_scanner.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

namespace {

bool Is_Space(int c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
bool Is_Digit(int c) {
    return c >= '0' && c <= '9';
}
bool Is_Hex_Digit(int c) {
    return Is_Digit(c) || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f');
}
int Lower(int c) {
    return (c >= 'A' && c <= 'Z') ? c | 0x20 : c;
}

// Drops every CR that a LF follows in the same chunk; returns the new size.
std::size_t Fold_Crlf(unsigned char* data, std::size_t size) {
    auto* cr = static_cast<unsigned char*>(std::memchr(data, '\r', size));
    if (cr == nullptr) return size;
    std::size_t out = static_cast<std::size_t>(cr - data);
    for (std::size_t in = out; in < size; ++in) {
        if (data[in] != '\r' || in + 1 == size || data[in + 1] != '\n') data[out++] = data[in];
    }
    return out;
}

// Loads the next chunk. A CR ending a chunk is held back until the next byte tells whether it
// starts a CR LF pair. Returns false, and sets the sticky end-of-file flag, when nothing is left.
bool Refill(KeyScanner& s) {
    s.TailSize = std::min(s.Size, kScannerTailSize);
    std::memcpy(s.Tail, s.Buffer + s.Size - s.TailSize, s.TailSize);
    s.Before += s.Size;
    s.Pos = s.Size = 0;
    while (s.Size == 0) {
        if (s.AtEof) return false;
        const std::size_t held = s.PendingCr ? 1 : 0;
        if (held != 0) s.Buffer[0] = '\r';
        const std::size_t got = std::fread(s.Buffer + held, 1, kScannerBufferSize - held, s.File);
        // A failed read ends the stream for the reader, which refuses it rather than take it for the end.
        if (got < kScannerBufferSize - held && std::ferror(s.File)) s.AtEof = s.ReadFailed = true;
        std::size_t size = held + got;
        s.PendingCr = got > 0 && s.Buffer[size - 1] == '\r';
        if (s.PendingCr) --size;
        if (got == 0 && held == 0) s.AtEof = true;
        s.Size = Fold_Crlf(s.Buffer, size);
    }
    return true;
}

// The next character without consuming it, or -1 at end of file.
inline int Peek(KeyScanner& s) {
    if (s.Pos == s.Size && !Refill(s)) return -1;
    return s.Buffer[s.Pos];
}

// Consumes the character Peek just returned.
inline void Advance(KeyScanner& s) {
    if (s.Buffer[s.Pos++] == '\n') ++s.Line;
}

// Consumes the letters of `rest` case-insensitively. The first letter that does not match is
// consumed too and fails the conversion.
bool Match_Word(KeyScanner& s, const char* rest) {
    for (; *rest != '\0'; ++rest) {
        const int c = Peek(s);
        if (c < 0) return false;
        Advance(s);
        if (Lower(c) != *rest) return false;
    }
    return true;
}

// "inf", "infinity" or "nan" once the sign is read and `first` ('i' or 'n') is next. No "(chars)"
// is read after "nan": they stay unread, and every NaN is the default quiet one.
bool Scan_Special(KeyScanner& s, int first, bool negative, float* out) {
    Advance(s);
    if (Lower(first) == 'n') {
        if (!Match_Word(s, "an")) return false;
        *out = std::bit_cast<float>(negative ? 0xffc00000u : 0x7fc00000u);
        return true;
    }
    if (!Match_Word(s, "nf")) return false;
    if (Lower(Peek(s)) == 'i') {
        Advance(s);
        if (!Match_Word(s, "nity")) return false;
    }
    *out = negative ? -std::numeric_limits<float>::infinity() : std::numeric_limits<float>::infinity();
    return true;
}

// How far a "%f" conversion has got in a number after its sign. The exponent letter needs a digit before
// it, the exponent's sign must follow the letter directly, "0x" right after the sign switches to
// hex, and the first byte that fits nowhere ends the token and stays unread.
struct NumberShape {
    std::size_t Length = 0; // bytes taken after the sign
    bool Hex = false, Digit = false, Dot = false, Exponent = false;
    int Last = 0;
};

// Takes `c` into the number if it extends it; false if it ends it.
bool Extend(NumberShape& n, int c) {
    const int exponent = n.Hex ? 'p' : 'e';
    if (n.Length == 1 && n.Last == '0' && Lower(c) == 'x') {
        n.Hex = true;
        n.Digit = false; // that '0' is no digit of the number: "0xp" is no number
    } else if (Is_Digit(c) || (n.Hex && !n.Exponent && Is_Hex_Digit(c))) {
        n.Digit = true;
    } else if (n.Exponent && (c == '+' || c == '-') && Lower(n.Last) == exponent) {
    } else if (n.Digit && !n.Exponent && Lower(c) == exponent) {
        n.Exponent = n.Dot = true;
    } else if (!n.Dot && c == '.') {
        n.Dot = true;
    } else {
        return false;
    }
    ++n.Length;
    n.Last = c;
    return true;
}

// Takes bytes from [p, end) into the number while they extend it; returns where it ends (`end`
// when the number may go on past it). Runs of digits, most of any number, skip the full rules.
const char* Extend_Over(NumberShape& n, const char* p, const char* end) {
    while (p < end) {
        const char* digits = p;
        while (digits < end && Is_Digit(*digits)) {
            ++digits;
        }
        if (digits != p) {
            n.Digit = true;
            n.Length += static_cast<std::size_t>(digits - p);
            n.Last = digits[-1];
            p = digits;
        } else if (Extend(n, static_cast<unsigned char>(*p))) {
            ++p;
        } else {
            break;
        }
    }
    return p;
}

// Exact powers of ten as doubles: 10^22 is the largest that double holds exactly.
constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                   1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// digits x 10^exponent rounded to the nearest float, where one double operation gets there:
// with at most 2^53 and 10^22 both operands are exact, so the quotient or product is the exact value
// rounded once, to double, and rounding that on to float gives the exact value's float unless the
// double fell on a halfway point between two floats. False then, and for larger operands.
bool Exact_Float(std::uint64_t digits, int exponent, bool negative, float* out) {
    if (digits > (std::uint64_t{1} << 53) || exponent < -22 || exponent > 22) return false;
    const double magnitude = exponent < 0 ? static_cast<double>(digits) / kPowersOfTen[-exponent]
                                          : static_cast<double>(digits) * kPowersOfTen[exponent];
    // The 29 bits that float drops, holding exactly one half.
    constexpr std::uint64_t kDropped = (std::uint64_t{1} << 29) - 1;
    if ((std::bit_cast<std::uint64_t>(magnitude) & kDropped) == std::uint64_t{1} << 28) return false;
    const float value = static_cast<float>(magnitude);
    *out = negative ? -value : value;
    return true;
}

// The common number, read and converted in one pass where it lies: a sign, digits with at most one
// point, and an exponent with digits, 19 digits at most, ending inside the buffer. Anything else is
// left unread (false) to the general path, which reads the same token when this one takes it.
bool Scan_Plain_Decimal(KeyScanner& s, float* out) {
    const unsigned char* p = s.Buffer + s.Pos;
    const unsigned char* const end = s.Buffer + s.Size;
    const bool negative = p != end && *p == '-';
    if (p != end && (*p == '-' || *p == '+')) ++p;
    const unsigned char* const first = p;
    std::uint64_t digits = 0;
    for (; p != end && Is_Digit(*p); ++p)
        digits = digits * 10 + static_cast<std::uint64_t>(*p - '0');
    std::ptrdiff_t count = p - first;
    if (count == 1 && *first == '0' && p != end && Lower(*p) == 'x') return false; // hex
    int exponent = 0;
    if (p != end && *p == '.') {
        const unsigned char* const fraction = ++p;
        for (; p != end && Is_Digit(*p); ++p)
            digits = digits * 10 + static_cast<std::uint64_t>(*p - '0');
        exponent = -static_cast<int>(p - fraction);
        count += p - fraction;
    }
    if (count == 0 || count > 19) return false;
    if (p != end && Lower(*p) == 'e') {
        ++p;
        const bool negativeExponent = p != end && *p == '-';
        if (p != end && (*p == '+' || *p == '-')) ++p;
        const unsigned char* const exponentDigits = p;
        int written = 0;
        for (; p != end && Is_Digit(*p) && p - exponentDigits < 4; ++p)
            written = written * 10 + (*p - '0');
        if (p == exponentDigits || (p != end && Is_Digit(*p))) return false;
        exponent += negativeExponent ? -written : written;
    }
    if (p == end || !Exact_Float(digits, exponent, negative, out)) return false;
    s.Pos = static_cast<std::size_t>(p - s.Buffer);
    return true;
}

// Stores the value of the token `text` (sign included), or fails on "-", ".", "0x" and such. A token
// that is not a whole number stores the value of its longest prefix that is, so "1e+" is 1 and "0x." 0.
bool Finish(const char* text, std::size_t length, const NumberShape& n, float* out) {
    if (n.Hex ? n.Length == 2 : !n.Digit) return false;
    float value = 0.0f;
    const char* first = text[0] == '+' ? text + 1 : text;
    if (n.Hex || std::from_chars(first, text + length, value).ec != std::errc{}) {
        // hex, overflow and underflow: strtof is exact there and, as this program never calls
        // setlocale, it reads in the "C" locale
        value = std::strtof(std::string(text, length).c_str(), nullptr);
    }
    *out = value;
    return true;
}

// Scan_Float byte by byte through Peek, for a token that runs into the next chunk and for words.
bool Scan_Float_Slow(KeyScanner& s, float* out) {
    std::string token;
    int c = Peek(s);
    if (c == '+' || c == '-') {
        token += static_cast<char>(c);
        Advance(s);
        c = Peek(s);
    }
    if (Lower(c) == 'i' || Lower(c) == 'n') return Scan_Special(s, c, token == "-", out);
    NumberShape shape;
    for (; Extend(shape, c); c = Peek(s)) {
        token += static_cast<char>(c);
        Advance(s);
    }
    return Finish(token.data(), token.size(), shape, out);
}

// Where the number about to be read begins, for Scan_Token_Word.
void Mark_Token(KeyScanner& s) {
    s.TokenStart = s.Before + s.Pos;
    s.TokenLine = s.Line;
}

// Byte `at` (counted as TokenStart is) when the scanner still holds it, else -1.
int Held_Byte(const KeyScanner& s, std::uint64_t at) {
    if (at >= s.Before) return at - s.Before < s.Size ? s.Buffer[at - s.Before] : -1;
    return s.Before - at <= s.TailSize ? s.Tail[s.TailSize - (s.Before - at)] : -1;
}

} // namespace

void Scanner_Open(KeyScanner& scanner, std::FILE* file) {
    scanner.File = file;
    scanner.Size = scanner.Pos = scanner.TailSize = 0;
    scanner.Before = scanner.TokenStart = 0;
    scanner.TokenLine = 1;
    scanner.AtEof = std::feof(file) != 0;
    scanner.ReadFailed = false;
    scanner.PendingCr = false;
    scanner.Line = 1;
}

std::int32_t Scan_Line(KeyScanner& s, char* out, std::int32_t capacity) {
    if (capacity <= 0) return 0;
    const std::size_t room = static_cast<std::size_t>(capacity) - 1;
    std::size_t stored = 0;
    while (stored < room && Peek(s) >= 0) {
        const unsigned char* from = s.Buffer + s.Pos;
        const std::size_t avail = std::min(room - stored, s.Size - s.Pos);
        const void* lf = std::memchr(from, '\n', avail);
        const std::size_t take =
            lf ? static_cast<std::size_t>(static_cast<const unsigned char*>(lf) - from) + 1 : avail;
        std::memcpy(out + stored, from, take);
        stored += take;
        s.Pos += take;
        if (lf) {
            ++s.Line;
            break;
        }
    }
    if (stored == 0 && room > 0) return 0; // end of file: out stays as it was, as with fgets
    out[stored] = '\0';
    return static_cast<std::int32_t>(stored);
}

bool Scan_Float(KeyScanner& s, float* out) {
    Scan_Skip_Space(s);
    Mark_Token(s);
    if (Scan_Plain_Decimal(s, out)) return true;
    if (Peek(s) < 0) return false;
    // A token that ends inside the buffer is read and converted where it lies.
    const char* start = reinterpret_cast<const char*>(s.Buffer + s.Pos);
    const char* end = reinterpret_cast<const char*>(s.Buffer + s.Size);
    NumberShape shape;
    const char* p = Extend_Over(shape, start + (*start == '+' || *start == '-'), end);
    if (p == end || (shape.Length == 0 && (Lower(*p) == 'i' || Lower(*p) == 'n'))) {
        return Scan_Float_Slow(s, out);
    }
    s.Pos += static_cast<std::size_t>(p - start);
    return Finish(start, static_cast<std::size_t>(p - start), shape, out);
}

bool Scan_Int(KeyScanner& s, std::int32_t* out) {
    Scan_Skip_Space(s);
    Mark_Token(s);
    int c = Peek(s);
    const bool negative = c == '-';
    if (c == '+' || c == '-') {
        Advance(s);
        c = Peek(s);
    }
    if (!Is_Digit(c)) return false;
    // The count is converted in the 64-bit range, clamped to it, and keeps its low 32 bits:
    // 2147483648 reads as INT32_MIN, and any longer overflow as -1 (or 0 when negative).
    constexpr std::uint64_t kStopAt = 1'000'000'000'000'000'000u; // times 10 is past any long
    std::uint64_t magnitude = 0;
    bool overflow = false;
    for (; Is_Digit(c); c = Peek(s)) {
        overflow = overflow || magnitude >= kStopAt;
        if (!overflow) magnitude = magnitude * 10 + static_cast<std::uint64_t>(c - '0');
        Advance(s);
    }
    const std::uint64_t limit = negative ? std::uint64_t{1} << 63 : (std::uint64_t{1} << 63) - 1;
    if (overflow || magnitude > limit) magnitude = limit;
    const std::uint64_t bits = negative ? 0 - magnitude : magnitude;
    *out = static_cast<std::int32_t>(static_cast<std::uint32_t>(bits));
    return true;
}

void Scan_Skip_Space(KeyScanner& s) {
    do {
        const unsigned char* p = s.Buffer + s.Pos;
        const unsigned char* const end = s.Buffer + s.Size;
        for (; p != end && Is_Space(*p); ++p) {
            if (*p == '\n') ++s.Line;
        }
        s.Pos = static_cast<std::size_t>(p - s.Buffer);
        if (p != end) return;
    } while (Refill(s));
}

bool Scan_At_Eof(const KeyScanner& scanner) {
    return scanner.AtEof;
}

std::string Scan_Token_Word(const KeyScanner& s) {
    const auto word_byte = [&](std::uint64_t at) {
        const int c = Held_Byte(s, at);
        return c >= 0 && !Is_Space(c);
    };
    std::uint64_t first = s.TokenStart, end = s.TokenStart;
    while (first > 0 && word_byte(first - 1))
        --first;
    while (word_byte(end))
        ++end;
    std::string word;
    if (first > 0 && Held_Byte(s, first - 1) < 0) word = "...";
    for (std::uint64_t at = first; at < end; ++at)
        word += static_cast<char>(Held_Byte(s, at));
    // The word may go on in the chunk not read yet.
    if (end == s.Before + s.Size && !s.AtEof && end != first) word += "...";
    return word;
}
