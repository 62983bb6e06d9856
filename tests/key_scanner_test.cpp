// The scanner must read a key file exactly as glibc's fgets/fscanf would: same values to the bit, same
// end-of-file flag, the same line count, with CR LF read as LF. The inputs are generated; glibc itself
// reads them beside the scanner.
#include "keys/key_scanner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "support/fixtures.h"

namespace {

constexpr std::uint32_t kUntouchedFloat = 0x7fa5a5a5u; // a NaN no conversion produces
constexpr std::int32_t kUntouchedInt = 777, kLineCapacity = 256;

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// One operation, told by a letter: f "%f", d "%d", s " ", l fgets into 256 bytes and 0 to 2 fgets
// into that many, through glibc (`s` null) or through the scanner `s` over `file`. Its outcome as
// text: a float's bits in hex, an int in decimal, "-" for a failed conversion that left its target
// alone, and the bytes a line read stored plus the byte after them (its terminator, or the 'Z' that
// was there before).
std::string Apply(char op, std::FILE* file, KeyScanner* s) {
    float value = std::bit_cast<float>(kUntouchedFloat);
    std::int32_t number = kUntouchedInt;
    bool ok = false;
    if (op == 'f') ok = s ? Scan_Float(*s, &value) : std::fscanf(file, "%f", &value) == 1;
    if (op == 'd') ok = s ? Scan_Int(*s, &number) : std::fscanf(file, "%d", &number) == 1;
    if (op == 's') s ? Scan_Skip_Space(*s) : (void)std::fscanf(file, " ");
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08x", std::bit_cast<std::uint32_t>(value));
    if (op == 'f') return ok ? hex : std::bit_cast<std::uint32_t>(value) == kUntouchedFloat ? "-" : "touched";
    if (op == 'd') return ok ? std::to_string(number) : number == kUntouchedInt ? "-" : "touched";
    if (op == 's') return "s";
    std::string line(kLineCapacity, 'Z');
    const long before = s ? 0 : std::ftell(file);
    const std::int32_t capacity = op == 'l' ? kLineCapacity : op - '0';
    if (s) return line.substr(0, static_cast<std::size_t>(Scan_Line(*s, line.data(), capacity)) + 1);
    const bool read = std::fgets(line.data(), capacity, file) != nullptr;
    return line.substr(0, read ? static_cast<std::size_t>(std::ftell(file) - before) + 1 : 1);
}

// ---------------------------------------------------------------------------------------------
// Differential test against glibc

struct Random {
    std::mt19937_64 Engine;
    std::size_t Below(std::size_t n) { return static_cast<std::size_t>(Engine() % n); }
    bool Chance(std::size_t percent) { return Below(100) < percent; }
    template <typename T>
    const T& Pick(const std::vector<T>& items) {
        return items[Below(items.size())];
    }
};

// Words, partial tokens and numbers at the edges of the conversions: the fast path's 19 digits and
// 2^53, the exact powers of ten up to 10^22, denormals, the overflow threshold, %d overflow.
const std::vector<std::string> kForms = Words(
    "inf INF Infinity -INFINITY infinit infx in i nan NaN NAN nan(123) nan( -nan +inf na nax n - + . +. -. "
    "1e 1e+ 1E- 1e-x 0x 0xp -0xp 0x. 0X1P 0x1p- 00x1 --1 +-2 2147483647 2147483648 -2147483649 "
    "4294967297 9223372036854775807 9223372036854775808 -9223372036854775809 -9223372036854775808 "
    "9007199254740993 9007199254740993e-22 9007199254740992e22 1e22 1e23 1e-22 1e-23 4.7e-22 "
    "1234567890123456789e-22 12345678901234567890 18446744073709551617 1844674407.3709551617e10 "
    "98765432109876543210e-25 1e0000000000000000000000000000005 1e-0000000000000000000000000000005 "
    "1e2147483648 1e-2147483649 0e99999999999 1e-99999999999999999999 1.401298464324817e-45 "
    "7.006492321624085e-46 7.006492321624086e-46 7e-46 1e-46 1.1754942e-38 1.17549435e-38 3.4028235e38 "
    "3.40282357e38 340282356779733661637539395458142568447 340282356779733661637539395458142568448 "
    "1e39 -1e400 0x1p-149 0x1p-150 0x1.8p-149 0x1.000001p0 0x1.0000011p0 0x1.000003p0 0x1.ffffffp127 "
    "0x1.fffffe8p127 0x0.000002p-126 0xABCDEF.abcdefp-10 0xffffffffffffffffffffffffffffffffffffff");
const std::vector<std::string> kGarbage = {"x",    "#",    ",",    "(",  "e",  "p",  "E+",
                                           "\x80", "\xa0", "\xff", "\v", "\f", "\r", std::string(1, '\0')};
const std::vector<std::string> kSeparators = {" ", "  ", "\t", "\n", "\n\n", " \n ", "\r\t", "\n\t\n"};

std::string Digits(Random& r, std::size_t count, const char* alphabet = "0123456789") {
    std::string digits;
    for (std::size_t i = 0; i < count; ++i)
        digits += alphabet[r.Below(std::strlen(alphabet))];
    return digits;
}

std::string Sign(Random& r) {
    return r.Chance(30) ? (r.Chance(50) ? "-" : "+") : "";
}

// A decimal or hexadecimal number with or without its parts: sign, digits before and after the
// point, exponent letter, sign and digits. The pieces are appended one statement at a time so that
// every compiler draws the same numbers.
std::string Number(Random& r, bool hex) {
    static const std::vector<std::size_t> kLengths = {0, 1, 2, 3, 5, 8, 9, 19, 20, 60, 300};
    const char* const digits = hex ? "0123456789abcdefABCDEF" : "0123456789";
    std::string s = Sign(r);
    if (hex) s += r.Chance(50) ? "0x" : "0X";
    s += Digits(r, hex ? r.Below(9) : r.Pick(kLengths), digits);
    if (r.Chance(50)) {
        s += '.';
        s += Digits(r, hex ? r.Below(8) : r.Pick(kLengths), digits);
    }
    if (r.Chance(hex ? 60 : 30)) {
        s += (hex ? "pP" : "eE")[r.Below(2)];
        s += Sign(r);
        s += Digits(r, r.Below(r.Chance(10) ? 25 : 4));
    }
    return s;
}

// A text at or just beside the halfway point between two neighbouring floats, where a conversion
// that rounds twice or stops reading digits too early picks the wrong one.
std::string Halfway(Random& r) {
    static const std::vector<std::uint32_t> kEdges = {0x4b7fffffu, 0x4b800000u, 0x7f7ffffeu, 0x7f7fffffu, 0,
                                                      1,           0x007fffffu, 0x00800000u, 0x3f800000u};
    auto bits = static_cast<std::uint32_t>(r.Engine()) & 0x7f7fffffu;
    if (r.Chance(30)) bits = r.Chance(50) ? r.Pick(kEdges) : bits & 0x007fffffu;
    const float low = std::bit_cast<float>(bits), high = std::nextafter(low, HUGE_VALF);
    // exact in double; past the largest float the next step up is 2^128
    const double halfway = (static_cast<double>(low) + (std::isinf(high) ? 0x1p128 : high)) / 2;
    char text[512];
    const std::size_t form = r.Below(6);
    if (form >= 3) { // rounded, mostly to the 16 to 18 digits that a double may not tell from the halfway
                     // point, or with the point among the digits as a key file writes it
        static const std::vector<int> kPrecisions = {5, 8, 15, 15, 15, 16, 16, 16, 16, 16, 16, 17, 18};
        std::snprintf(text, sizeof text, form < 5 ? "%.*e" : "%.*f",
                      form < 5 ? r.Pick(kPrecisions) : static_cast<int>(r.Below(40)), halfway);
        return text;
    }
    std::snprintf(text, sizeof text, "%.119e", halfway); // all the digits it has
    std::string exact = text;
    const std::size_t e = exact.find('e');
    std::string digits = exact.substr(0, exact.find_last_not_of('0', e - 1) + 1);
    if (form == 1) digits += "000000000000000000001";
    if (form == 2) {
        --digits[digits.find_last_not_of('.')];
        digits += "99999999999999999999";
    }
    return digits + exact.substr(e);
}

std::string Fragment(Random& r) {
    const std::size_t kind = r.Below(13);
    if (kind < 2) return Number(r, false);
    if (kind < 3) return Number(r, true);
    if (kind < 6) return r.Pick(kForms);
    if (kind < 9) return Halfway(r);
    if (kind < 10) return r.Pick(kGarbage);
    if (kind < 11) { // a key line
        std::string line = Number(r, false);
        for (int i = 1; i < 9; ++i)
            line += ' ' + (r.Chance(50) ? Number(r, false) : Halfway(r));
        return line + '\n';
    }
    if (kind < 12) return std::string(200 + r.Below(200), r.Chance(50) ? 'x' : '7'); // past fgets' 255
    return std::to_string(static_cast<std::int64_t>(r.Engine()) >> r.Below(64));
}

std::string Input(Random& r) {
    std::string text;
    for (std::size_t n = r.Below(25); n > 0; --n) {
        text += Fragment(r);
        if (r.Chance(70)) text += r.Pick(kSeparators);
    }
    return text;
}

// White space that ends at or just before the chunk boundary, so that the tokens after it, or a
// CR LF pair it ends with in the CR LF copy, straddle the boundary.
std::string Padding(Random& r) {
    std::string pad(kScannerBufferSize + 2 - (r.Chance(50) ? r.Below(4) : r.Below(48)), ' ');
    for (std::size_t i = pad.size() - 4; i < pad.size(); ++i)
        pad[i] = " \n\n\r"[r.Below(4)];
    return pad;
}

// glibc reads the text; the scanner reads its CR LF copy, every line end a CR LF pair, which it must
// read as glibc reads the LF. After the random operations lines are read to the end.
TEST(KeyScannerDifferential, MatchesGlibcOperationByOperation) {
    Random r{std::mt19937_64(20240611)};
    auto crlf = std::make_unique<KeyScanner>();
    for (int iteration = 0; iteration < 3000; ++iteration) {
        const bool padded = r.Chance(10), linesOnly = padded && r.Chance(50);
        std::string text = (padded ? Padding(r) : "") + Input(r), crlfText;
        for (std::size_t from = 0, to; from < text.size(); from = to + 1) {
            to = std::min(text.find('\n', from), text.size());
            crlfText.append(text, from, to - from).append(to < text.size() ? "\r\n" : "");
        }
        const File libc(fmemopen(text.data(), text.size(), "r"), std::fclose),
            crlfFile(fmemopen(crlfText.data(), crlfText.size(), "r"), std::fclose);
        ASSERT_TRUE(libc && crlfFile);
        Scanner_Open(*crlf, crlfFile.get());
        long before = 0;
        std::int32_t line = 1;
        for (std::size_t i = 0, n = 1 + r.Below(40); i < n || !std::feof(libc.get()); ++i) {
            // padding is skipped first, so that the tokens after it straddle the boundary, or read by
            // lines, so that the CR LF pairs at its end do
            const char op = i >= n || linesOnly ? 'l'
                            : padded && i == 0  ? "fds"[r.Below(3)]
                                                : "l22ffffffdds"[r.Below(12)];
            const std::string expected = Apply(op, libc.get(), nullptr);
            const long position = std::ftell(libc.get());
            const bool eof = std::feof(libc.get()) != 0;
            line += static_cast<std::int32_t>(std::count(text.data() + before, text.data() + position, '\n'));
            before = position;
            EXPECT_EQ(Apply(op, crlfFile.get(), crlf.get()), expected);
            EXPECT_EQ(Scan_At_Eof(*crlf), eof);
            EXPECT_EQ(crlf->Line, line);
            if (HasFailure()) break;
        }
        ASSERT_FALSE(HasFailure()) << "iteration " << iteration << ", input ending \""
                                   << text.substr(text.size() - std::min<std::size_t>(text.size(), 400))
                                   << '"';
    }
}

} // namespace
