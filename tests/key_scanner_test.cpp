// The scanner must read a key file exactly as glibc's fgets/fscanf would: same values to the bit,
// same bytes consumed, same end-of-file flag. The tables pin the awkward forms down with values
// measured against glibc; the differential test replays random inputs through glibc itself.
#include "keys/key_scanner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr std::uint32_t kUntouchedFloat = 0x7fa5a5a5u; // a NaN no conversion produces
constexpr std::int32_t kUntouchedInt = 777;
constexpr std::int32_t kLineCapacity = 256;

std::uint32_t Bits(float value) {
    return std::bit_cast<std::uint32_t>(value);
}

// Printable form of test bytes for failure messages; long inputs show their head and tail.
std::string Escape(const std::string& bytes) {
    if (bytes.size() > 200) {
        return Escape(bytes.substr(0, 60)) + "..." + Escape(bytes.substr(bytes.size() - 120));
    }
    std::string out;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7f) {
            out += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", byte);
            out += hex;
        }
    }
    return out;
}

// A file holding bytes that the test wrote itself; removed when the test is done with it.
class TempFile {
  public:
    explicit TempFile(const std::string& bytes = {}) {
        static int counter = 0;
        const auto* test = testing::UnitTest::GetInstance()->current_test_info();
        Path = testing::TempDir() + "key_scanner_" + test->test_suite_name() + "_" + test->name() + "_" +
               std::to_string(++counter);
        Write(bytes);
    }
    ~TempFile() { std::remove(Path.c_str()); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    // A new file each time: ext4 flushes a file that was truncated and rewritten in place when it
    // is closed, which slowed the differential test down a lot.
    void Write(const std::string& bytes) const {
        std::remove(Path.c_str());
        Put(bytes, "wb");
    }
    void Append(const std::string& bytes) const { Put(bytes, "ab"); }
    std::FILE* Open() const { return std::fopen(Path.c_str(), "r"); }

  private:
    void Put(const std::string& bytes, const char* mode) const {
        std::FILE* file = std::fopen(Path.c_str(), mode);
        ASSERT_NE(file, nullptr) << Path;
        EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
        std::fclose(file);
    }
    std::string Path;
};

// A scanner over its own FILE; the scanner is on the heap because of its buffer, and left
// uninitialised (new without "()") so that Scanner_Open has to set up every field it reads.
struct ScannedFile {
    explicit ScannedFile(const TempFile& file) : File(file.Open()), Scanner(new KeyScanner) {
        Scanner_Open(*Scanner, File);
    }
    ~ScannedFile() { std::fclose(File); }
    ScannedFile(const ScannedFile&) = delete;
    ScannedFile& operator=(const ScannedFile&) = delete;

    std::FILE* File;
    std::unique_ptr<KeyScanner> Scanner;
};

// Bytes of the file the scanner has consumed; valid while the file holds no CR LF pair.
long Consumed(const KeyScanner& s) {
    return std::ftell(s.File) - static_cast<long>(s.Size - s.Pos) - (s.PendingCr ? 1 : 0);
}

std::string Read_Rest(KeyScanner& s) {
    std::string rest;
    char line[1024];
    for (std::int32_t n; (n = Scan_Line(s, line, static_cast<std::int32_t>(sizeof line))) > 0;) {
        rest.append(line, static_cast<std::size_t>(n));
    }
    return rest;
}

std::string Spaces(std::size_t count) {
    return std::string(count, ' ');
}

// ---------------------------------------------------------------------------------------------
// Table-driven cases

enum class Op { Line, Float, Int, Space, Pattern };

struct Step {
    Op Kind;
    bool Ok;            // a value was stored / a line was returned
    std::uint32_t Bits; // the float's bits or the int's value
    std::string Text;   // the line read
};

Step F(std::uint32_t bits) {
    return {Op::Float, true, bits, {}};
}
Step D(std::int32_t value) {
    return {Op::Int, true, static_cast<std::uint32_t>(value), {}};
}
Step L(std::string text) {
    return {Op::Line, !text.empty(), 0, std::move(text)};
}
const Step kFloatFails{Op::Float, false, 0, {}};
const Step kIntFails{Op::Int, false, 0, {}};
const Step kSpace{Op::Space, true, 0, {}};

struct Case {
    std::string Input;
    std::vector<Step> Steps;
    bool Eof;              // feof after the steps
    std::string Rest;      // what is still unread
    std::int32_t Line = 1; // line of the next unread character
};

void Run_Step(KeyScanner& s, const Step& step) {
    switch (step.Kind) {
    case Op::Float: {
        float value = std::bit_cast<float>(kUntouchedFloat);
        EXPECT_EQ(Scan_Float(s, &value), step.Ok);
        EXPECT_EQ(Bits(value), step.Ok ? step.Bits : kUntouchedFloat) << std::hex << Bits(value);
        break;
    }
    case Op::Int: {
        std::int32_t value = kUntouchedInt;
        EXPECT_EQ(Scan_Int(s, &value), step.Ok);
        EXPECT_EQ(value, step.Ok ? static_cast<std::int32_t>(step.Bits) : kUntouchedInt);
        break;
    }
    case Op::Line: {
        char line[kLineCapacity];
        std::memset(line, 'Z', sizeof line);
        const std::int32_t n = Scan_Line(s, line, kLineCapacity);
        EXPECT_EQ(Escape(std::string(line, static_cast<std::size_t>(n))), Escape(step.Text));
        EXPECT_EQ(line[n], n > 0 ? '\0' : 'Z') << "terminated when a line was read, untouched otherwise";
        break;
    }
    case Op::Space:
        Scan_Skip_Space(s);
        break;
    case Op::Pattern:
        ADD_FAILURE() << "the tables have no pattern steps";
        break;
    }
}

void Run_Cases(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        SCOPED_TRACE("input \"" + Escape(c.Input) + "\"");
        TempFile file(c.Input);
        ScannedFile scanned(file);
        KeyScanner& s = *scanned.Scanner;
        for (std::size_t i = 0; i < c.Steps.size(); ++i) {
            SCOPED_TRACE("step " + std::to_string(i));
            Run_Step(s, c.Steps[i]);
        }
        EXPECT_EQ(Scan_At_Eof(s), c.Eof);
        EXPECT_EQ(s.Line, c.Line);
        EXPECT_EQ(Escape(Read_Rest(s)), Escape(c.Rest));
    }
}

constexpr std::uint32_t kOne = 0x3f800000, kInf = 0x7f800000, kNegInf = 0xff800000;
constexpr std::uint32_t kNan = 0x7fc00000, kNegNan = 0xffc00000;

TEST(KeyScannerFloat, PartialTokensConsumeWhatGlibcConsumes) {
    Run_Cases({
        {"-", {kFloatFails}, true, ""},
        {"-x", {kFloatFails}, false, "x"},
        {"+", {kFloatFails}, true, ""},
        {"+.", {kFloatFails}, true, ""},
        {"+.x", {kFloatFails}, false, "x"},
        {".", {kFloatFails}, true, ""},
        {".e5", {kFloatFails}, false, "e5"},
        {"+-1", {kFloatFails}, false, "-1"},
        {"-.5", {F(0xbf000000)}, true, ""},
        {"1.", {F(kOne)}, true, ""},
        {"1.x", {F(kOne)}, false, "x"},
        {"1e", {F(kOne)}, true, ""},
        {"1ex", {F(kOne)}, false, "x"},
        {"1e+", {F(kOne)}, true, ""},
        {"1e-x", {F(kOne)}, false, "x"},
        {"1e+-3", {F(kOne)}, false, "-3"},
        {"1e5-3", {F(0x47c35000)}, false, "-3"},
        {"1e\n5", {F(kOne)}, false, "\n5"},
        {"1.5e", {F(0x3fc00000)}, true, ""},
        {"1.e3", {F(0x447a0000)}, true, ""},
        {"1E5", {F(0x47c35000)}, true, ""},
        {"1e5e", {F(0x47c35000)}, false, "e"},
        {"1.5.3", {F(0x3fc00000), F(0x3e99999a)}, true, ""},
        {"1-2", {F(kOne), F(0xc0000000)}, true, ""},
        {"0e", {F(0)}, true, ""},
        {"00x1", {F(0)}, false, "x1"},
        {"+0", {F(0)}, true, ""},
        {"-0", {F(0x80000000)}, true, ""},
    });
}

TEST(KeyScannerFloat, HexFloats) {
    Run_Cases({
        {"0x", {kFloatFails}, true, ""},
        {"0x ", {kFloatFails}, false, " "},
        {"0xp", {kFloatFails}, false, "p"},
        {"0xg", {kFloatFails}, false, "g"},
        {"-0x", {kFloatFails}, true, ""},
        {"-0xp", {kFloatFails}, false, "p"},
        {"0x.", {F(0)}, true, ""},
        {"0x.p", {F(0)}, false, "p"},
        {"0x1p", {F(kOne)}, true, ""},
        {"0x1p+", {F(kOne)}, true, ""},
        {"0x1.8p3", {F(0x41400000)}, true, ""},
        {"0X1.8P3x", {F(0x41400000)}, false, "x"},
        {"0x1e+3", {F(0x41f00000)}, false, "+3"},
        {"0x1p3.5", {F(0x41000000)}, false, ".5"},
        {"0x.8", {F(0x3f000000)}, true, ""},
        {"+0x10", {F(0x41800000)}, true, ""},
        {"0x1P-126", {F(0x00800000)}, true, ""},
        {"0x1p-149", {F(0x00000001)}, true, ""},
        {"0x1p-150", {F(0)}, true, ""},
        {"0x1.000001p0", {F(kOne)}, true, ""},
        {"0x1.000003p0", {F(0x3f800002)}, true, ""},
        {"-0x1p128", {F(kNegInf)}, true, ""},
    });
}

TEST(KeyScannerFloat, InfinityAndNan) {
    Run_Cases({
        {"i", {kFloatFails}, true, ""},
        {"in", {kFloatFails}, true, ""},
        {"inx", {kFloatFails}, false, ""},
        {"in\n5", {kFloatFails}, false, "5", 2},
        {"inf", {F(kInf)}, true, ""},
        {"INF", {F(kInf)}, true, ""},
        {"infx", {F(kInf)}, false, "x"},
        {"infi", {kFloatFails}, true, ""},
        {"infinit", {kFloatFails}, true, ""},
        {"infinitx", {kFloatFails}, false, ""},
        {"infinity", {F(kInf)}, false, ""},
        {"INFINITYx", {F(kInf)}, false, "x"},
        {"-inf", {F(kNegInf)}, true, ""},
        {"+Inf", {F(kInf)}, true, ""},
        {"-i", {kFloatFails}, true, ""},
        {"n", {kFloatFails}, true, ""},
        {"na", {kFloatFails}, true, ""},
        {"nax", {kFloatFails}, false, ""},
        {"nan", {F(kNan)}, false, ""},
        {"NaN", {F(kNan)}, false, ""},
        {"nan(123)", {F(kNan)}, false, "(123)"},
        {"nan(", {F(kNan)}, false, "("},
        {"nanx", {F(kNan)}, false, "x"},
        {"-nan", {F(kNegNan)}, false, ""},
        {"+nan", {F(kNan)}, false, ""},
        {"-NANq", {F(kNegNan)}, false, "q"},
    });
}

TEST(KeyScannerFloat, RoundsLikeGlibc) {
    const std::string zeros(300, '0');
    Run_Cases({
        {"0.1", {F(0x3dcccccd)}, true, ""},
        {"16777217", {F(0x4b800000)}, true, ""}, // halfway, to even
        {"16777219", {F(0x4b800002)}, true, ""}, // halfway, to even
        {"16777217." + zeros + "1", {F(0x4b800001)}, true, ""},
        {"1" + zeros + "e-300", {F(kOne)}, true, ""},
        {"0." + zeros + "1e302", {F(0x41200000)}, true, ""},
        {std::string(200, '1'), {F(kInf)}, true, ""},
        {"0." + zeros + "1", {F(0)}, true, ""},
        {"3.4028235e38", {F(0x7f7fffff)}, true, ""},
        {"340282356779733661637539395458142568447", {F(0x7f7fffff)}, true, ""},
        {"340282356779733661637539395458142568448", {F(kInf)}, true, ""},
        {"3.40282357e38", {F(kInf)}, true, ""},
        {"1e39", {F(kInf)}, true, ""},
        {"-1e39", {F(kNegInf)}, true, ""},
        {"1.17549435e-38", {F(0x00800000)}, true, ""},
        {"1.1754942e-38", {F(0x007fffff)}, true, ""},
        {"1e-45", {F(0x00000001)}, true, ""},
        {"7.1e-46", {F(0x00000001)}, true, ""},
        {"7e-46", {F(0)}, true, ""},
        {"-1e-46", {F(0x80000000)}, true, ""},
        {"1e-50", {F(0)}, true, ""},
    });
}

// A token split between two chunks must read as if it were whole.
TEST(KeyScannerFloat, TokensAcrossTheChunkBoundary) {
    const std::size_t chunk = kScannerBufferSize;
    Run_Cases({
        {Spaces(chunk - 3) + "1.25e1 ", {F(0x41480000)}, false, " "},
        {Spaces(chunk - 1) + "-0.5", {F(0xbf000000)}, true, ""},
        {Spaces(chunk - 2) + "0x1p4", {F(0x41800000)}, true, ""},
        {Spaces(chunk - 1) + "0xp", {kFloatFails}, false, "p"},
        {Spaces(chunk - 2) + "1e+", {F(kOne)}, true, ""},
        {Spaces(chunk - 1) + "infinity", {F(kInf)}, false, ""},
        {Spaces(chunk - 2) + "-nan(1)", {F(kNegNan)}, false, "(1)"},
        {Spaces(chunk - 100) + std::string(300, '1') + "e-290", {F(0x4e84746c)}, true, ""},
        {Spaces(chunk - 1) + "12 34", {D(12), D(34)}, true, ""},
    });
}

TEST(KeyScannerInt, OverflowKeepsTheLow32BitsOfTheClampedLong) {
    Run_Cases({
        {"2147483647", {D(2147483647)}, true, ""},
        {"2147483648", {D(-2147483647 - 1)}, true, ""},
        {"-2147483648", {D(-2147483647 - 1)}, true, ""},
        {"-2147483649", {D(2147483647)}, true, ""},
        {"4294967295", {D(-1)}, true, ""},
        {"4294967297", {D(1)}, true, ""},
        {"9223372036854775807", {D(-1)}, true, ""},
        {"9223372036854775808", {D(-1)}, true, ""},
        {"-9223372036854775808", {D(0)}, true, ""},
        {"-9223372036854775809", {D(0)}, true, ""},
        {"12345678901234567890123456789012345678901234567890", {D(-1)}, true, ""},
        {std::string("-").append(300, '9'), {D(0)}, true, ""},
        {std::string("-").append(300, '0').append("7"), {D(-7)}, true, ""},
    });
}

TEST(KeyScannerInt, SignsAndStops) {
    Run_Cases({
        {"+5", {D(5)}, true, ""},
        {"-5", {D(-5)}, true, ""},
        {"-0", {D(0)}, true, ""},
        {"007", {D(7)}, true, ""},
        {"0x10", {D(0)}, false, "x10"},
        {"1.5", {D(1)}, false, ".5"},
        {"1e5", {D(1)}, false, "e5"},
        {" \t\n -3x", {D(-3)}, false, "x", 2},
        {"-", {kIntFails}, true, ""},
        {"-x", {kIntFails}, false, "x"},
        {"--1", {kIntFails}, false, "-1"},
        {"- 1", {kIntFails}, false, " 1"},
        {"", {kIntFails}, true, ""},
        {" ", {kIntFails}, true, ""},
    });
}

TEST(KeyScannerSpace, SkipsCLocaleWhiteSpaceAndSetsEofOnlyWhenItRunsOut) {
    Run_Cases({
        {"", {kSpace}, true, ""},
        {"x", {kSpace}, false, "x"},
        {"  \n\t", {kSpace}, true, "", 2},
        {"  \n\tx", {kSpace}, false, "x", 2},
        {"\v\f\r5", {F(0x40a00000)}, true, ""},
        {"5", {F(0x40a00000)}, true, ""},
        {"5 ", {F(0x40a00000)}, false, " "},
        {"  ", {kFloatFails}, true, ""},
        {"\xa0"
         "5",
         {kFloatFails},
         false,
         "\xa0"
         "5"},
        {std::string("\0 5", 3), {kFloatFails, kIntFails}, false, std::string("\0 5", 3)},
    });
}

TEST(KeyScannerLine, ReadsLikeFgets) {
    const std::string longLine(300, 'x');
    Run_Cases({
        {"", {L("")}, true, ""},
        {"abc", {L("abc")}, true, ""},
        {"abc\n", {L("abc\n")}, false, "", 2},
        {"\n\n", {L("\n"), L("\n"), L("")}, true, "", 3},
        {std::string("a\0b\nc", 5), {L(std::string("a\0b\n", 4))}, false, "c", 2},
        {longLine + "\n", {L(longLine.substr(0, 255)), L(longLine.substr(255) + "\n")}, false, "", 2},
        {std::string(255, 'y'), {L(std::string(255, 'y'))}, false, ""}, // full buffer: no look ahead
        {"1 2\nnext line\n3", {F(kOne), L(" 2\n"), L("next line\n"), D(3)}, true, "", 3},
    });
}

TEST(KeyScannerLine, CapacityEdges) {
    struct Row {
        std::string Input;
        std::int32_t Capacity;
        std::int32_t Stored;
        std::string Buffer; // expected start of the buffer, 'Z' where untouched
        bool Eof;
    };
    const std::vector<Row> rows = {
        {"abc", 0, 0, "ZZ", false}, // nothing stored, nothing read
        {"abc", 1, 0, std::string("\0Z", 2), false},
        {"", 1, 0, std::string("\0Z", 2), false},
        {"abc", 2, 1, std::string("a\0Z", 3), false},
        {"abc", 4, 3, std::string("abc\0", 4), false},
        {"abc", 5, 3, std::string("abc\0", 4), true},
        {"", 5, 0, "ZZ", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE("\"" + row.Input + "\" capacity " + std::to_string(row.Capacity));
        TempFile file(row.Input);
        ScannedFile scanned(file);
        char line[16];
        std::memset(line, 'Z', sizeof line);
        EXPECT_EQ(Scan_Line(*scanned.Scanner, line, row.Capacity), row.Stored);
        EXPECT_EQ(Escape(std::string(line, row.Buffer.size())), Escape(row.Buffer));
        EXPECT_EQ(Scan_At_Eof(*scanned.Scanner), row.Eof);
    }
}

TEST(KeyScannerText, CrLfReadsAsLf) {
    Run_Cases({
        {"a\r\nb\r\n", {L("a\n"), L("b\n")}, false, "", 3},
        {"a\rb\n", {L("a\rb\n")}, false, "", 2},
        {"\r\r\n", {L("\r\n")}, false, "", 2},
        {"1\r\n\r\n2", {F(kOne), F(0x40000000)}, true, "", 3},
        {"5\r", {F(0x40a00000)}, false, "\r"},
        {"5\r", {F(0x40a00000), kSpace}, true, ""},
        {"\r", {L("\r")}, true, ""},
    });
}

TEST(KeyScannerText, CrLfAcrossTheChunkBoundary) {
    const std::size_t chunk = kScannerBufferSize;
    Run_Cases({
        // the CR is the last byte of the first chunk, the LF the first of the next
        {Spaces(chunk - 6) + "12345\r\n7", {F(0x4640e400), L("\n"), F(0x40e00000)}, true, "", 2},
        {Spaces(chunk - 1) + "\r\nx", {kSpace}, false, "x", 2},
        {Spaces(chunk - 1) + "\r\n", {L(Spaces(255))}, false, Spaces(chunk - 256) + "\n"},
        {Spaces(chunk - 2) + "7\r\n8", {F(0x40e00000), L("\n"), D(8)}, true, "", 2},
        {Spaces(chunk - 2) + "\r\r\n5", {F(0x40a00000)}, true, "", 2},
        // a lone CR at the boundary stays a CR
        {Spaces(chunk - 1) + "\r5", {F(0x40a00000)}, true, ""},
        {Spaces(chunk - 2) + "5\r", {F(0x40a00000)}, false, "\r"},
        {Spaces(chunk - 1) + "\r", {kFloatFails}, true, ""},
        {Spaces(chunk - 1) + "\rx\n", {kSpace}, false, "x\n"},
    });
}

// Every line of a file whose CR LF pairs fall on and around the chunk boundary.
TEST(KeyScannerText, LinesAcrossTheChunkBoundary) {
    for (std::size_t crAt = kScannerBufferSize - 2; crAt <= kScannerBufferSize + 1; ++crAt) {
        SCOPED_TRACE("CR at " + std::to_string(crAt));
        std::string crlf, lf;
        for (std::size_t row = 0; crlf.size() < crAt; ++row) {
            const std::size_t length = std::min<std::size_t>(100 + row % 50, crAt - crlf.size());
            crlf += std::string(length, 'a') + "\r\n";
            lf += std::string(length, 'a') + "\n";
        }
        ASSERT_EQ(crlf[crAt], '\r');
        TempFile file(crlf + "tail");
        ScannedFile scanned(file);
        std::string read;
        char line[kLineCapacity];
        for (std::int32_t n; (n = Scan_Line(*scanned.Scanner, line, kLineCapacity)) > 0;) {
            read.append(line, static_cast<std::size_t>(n));
        }
        EXPECT_EQ(read, lf + "tail");
        EXPECT_EQ(scanned.Scanner->Line,
                  static_cast<std::int32_t>(std::count(lf.begin(), lf.end(), '\n')) + 1);
        EXPECT_TRUE(Scan_At_Eof(*scanned.Scanner));
    }
}

TEST(KeyScannerEof, IsStickyOnceSet) {
    TempFile file("1");
    ScannedFile scanned(file);
    KeyScanner& s = *scanned.Scanner;
    float value = 0.0f;
    ASSERT_TRUE(Scan_Float(s, &value));
    ASSERT_TRUE(Scan_At_Eof(s));
    file.Append(" 2\n3\n");
    EXPECT_FALSE(Scan_Float(s, &value));
    char line[8];
    EXPECT_EQ(Scan_Line(s, line, static_cast<std::int32_t>(sizeof line)), 0);
    Scan_Skip_Space(s);
    EXPECT_TRUE(Scan_At_Eof(s));
}

TEST(KeyScannerOpen, StartsAtTheCurrentPositionAndTakesOverTheEofFlag) {
    TempFile file("skip 1.5\n2");
    std::FILE* f = file.Open();
    ASSERT_NE(f, nullptr);
    char skipped[6];
    ASSERT_EQ(std::fread(skipped, 1, 5, f), 5u);
    std::unique_ptr<KeyScanner> s(new KeyScanner);
    Scanner_Open(*s, f);
    float value = 0.0f;
    EXPECT_TRUE(Scan_Float(*s, &value));
    EXPECT_EQ(value, 1.5f);
    std::int32_t number = 0;
    EXPECT_TRUE(Scan_Int(*s, &number));
    EXPECT_EQ(number, 2);
    EXPECT_EQ(s->Line, 2);
    EXPECT_TRUE(Scan_At_Eof(*s));

    Scanner_Open(*s, f); // the FILE has hit its end: a new scanner sees that at once
    EXPECT_TRUE(Scan_At_Eof(*s));
    std::fclose(f);
}

// ---------------------------------------------------------------------------------------------
// Differential test against glibc

class Random {
  public:
    explicit Random(std::uint64_t seed) : Engine(seed) {}
    std::size_t Below(std::size_t n) { return static_cast<std::size_t>(Engine() % n); }
    bool Chance(std::size_t percent) { return Below(100) < percent; }
    template <std::size_t N>
    const char* Pick(const char* const (&items)[N]) {
        return items[Below(N)];
    }
    std::uint64_t Next() { return Engine(); }

  private:
    std::mt19937_64 Engine;
};

std::string Digits(Random& r, std::size_t count, const char* alphabet = "0123456789") {
    const std::size_t size = std::strlen(alphabet);
    std::string digits;
    for (std::size_t i = 0; i < count; ++i) {
        digits += alphabet[r.Below(size)];
    }
    return digits;
}

std::string Sign(Random& r) {
    return r.Chance(30) ? (r.Chance(50) ? "-" : "+") : "";
}

// The pieces are appended one statement at a time so that every compiler draws the same numbers.
std::string Decimal(Random& r) {
    std::string s = Sign(r);
    s += Digits(r, r.Below(r.Chance(3) ? 300 : 9));
    if (r.Chance(50)) {
        s += '.';
        s += Digits(r, r.Below(r.Chance(3) ? 300 : 10));
    }
    if (r.Chance(30)) {
        s += r.Chance(50) ? 'e' : 'E';
        s += Sign(r);
        s += Digits(r, r.Below(4));
    }
    return s;
}

std::string Hex(Random& r) {
    std::string s = Sign(r);
    s += r.Chance(50) ? "0x" : "0X";
    s += Digits(r, r.Below(9), "0123456789abcdefABCDEF");
    if (r.Chance(40)) {
        s += '.';
        s += Digits(r, r.Below(8), "0123456789abcdef");
    }
    if (r.Chance(60)) {
        s += r.Chance(50) ? 'p' : 'P';
        s += Sign(r);
        s += Digits(r, r.Below(4));
    }
    return s;
}

std::string Printed(Random& r) {
    const float value = std::bit_cast<float>(static_cast<std::uint32_t>(r.Next()));
    const char* formats[] = {"%.9g", "%a", "%.3f", "%g", "%.17e"};
    char text[80];
    std::snprintf(text, sizeof text, r.Pick(formats), static_cast<double>(value));
    return text;
}

std::string Fragment(Random& r) {
    static const char* const kWords[] = {"inf",
                                         "INF",
                                         "Infinity",
                                         "infinit",
                                         "infx",
                                         "in",
                                         "i",
                                         "nan",
                                         "NaN",
                                         "nan(123)",
                                         "nan(",
                                         "-nan",
                                         "+inf",
                                         "na",
                                         "nax",
                                         "n",
                                         "-",
                                         "+",
                                         ".",
                                         "+.",
                                         "-.",
                                         "1e",
                                         "1e+",
                                         "1E-",
                                         "0x",
                                         "0xp",
                                         "0x.",
                                         "0X1P",
                                         "00x1",
                                         "--1",
                                         "+-2",
                                         "2147483648",
                                         "-2147483649",
                                         "4294967297",
                                         "9223372036854775808",
                                         "-9223372036854775809",
                                         "0x1p-149",
                                         "0x1.000001p0",
                                         "1e-46",
                                         "7e-46",
                                         "3.4028236e38",
                                         "1e39",
                                         "16777217"};
    static const char* const kGarbage[] = {"x", "#",  ",",    ";",    "(",  ")",  "abc", "e",
                                           "p", "E+", "\x80", "\xff", "\v", "\f", "\r ", "\r\t"};
    const std::size_t kind = r.Below(100);
    if (kind < 35) return Decimal(r);
    if (kind < 45) return Printed(r);
    if (kind < 53) return Hex(r);
    if (kind < 70) return r.Pick(kWords);
    if (kind < 80) return r.Chance(15) ? std::string(1, '\0') : r.Pick(kGarbage);
    if (kind < 90) { // a key line
        std::string line;
        for (int i = 0; i < 9; ++i) {
            if (i > 0) line += ' ';
            line += Decimal(r);
        }
        line += '\n';
        return line;
    }
    if (kind < 93) return std::string(200 + r.Below(200), r.Chance(50) ? 'x' : '7'); // a long line
    return std::to_string(static_cast<std::int64_t>(r.Next()) >> r.Below(64));
}

std::string Input(Random& r) {
    static const char* const kSeparators[] = {" ", "  ", "\t", "\n", "\n\n", " \n ", "\r\t", "\n\t\n"};
    std::string text;
    for (std::size_t n = r.Below(25); n > 0; --n) {
        text += Fragment(r);
        if (r.Chance(70)) text += r.Pick(kSeparators);
    }
    // glibc keeps CR LF as two bytes here, so the LF files carry lone CRs only
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == '\r' && text[i + 1] == '\n') text[i] = ' ';
    }
    return text;
}

// White space that ends just before the chunk boundary, so the tokens after it straddle it.
std::string Padding(Random& r) {
    std::string pad(kScannerBufferSize - r.Below(48), ' ');
    for (std::size_t n = r.Below(4); n > 0; --n) {
        pad[r.Below(pad.size())] = r.Chance(50) ? '\n' : '\t';
    }
    return pad;
}

std::string Crlf(const std::string& lf) {
    std::string crlf;
    for (std::size_t from = 0, end; from < lf.size(); from = end + 1) {
        end = std::min(lf.find('\n', from), lf.size());
        crlf.append(lf, from, end - from);
        if (end < lf.size()) crlf += "\r\n";
    }
    return crlf;
}

// What one operation returned and stored; values not stored keep their "untouched" marks.
struct Result {
    int Count = 0; // values converted, or bytes stored by a line read
    std::array<std::uint32_t, 9> Values{};
    std::string LineBuffer;
    bool operator==(const Result&) const = default;
};

void PrintTo(const Result& result, std::ostream* out) {
    *out << "count " << result.Count << ", values" << std::hex;
    for (const std::uint32_t value : result.Values) {
        *out << ' ' << value;
    }
    *out << std::dec << ", line \"" << Escape(result.LineBuffer.substr(0, result.LineBuffer.find('Z')))
         << '"';
}

Result Untouched() {
    Result result;
    result.Values.fill(kUntouchedFloat);
    result.LineBuffer.assign(kLineCapacity, 'Z');
    return result;
}

constexpr const char* kPattern = "%f %f %f %f %f %f %f %f %f\n";

// `before` is the file's position before the operation, which tells how many bytes fgets stored.
Result Run_Libc(Op op, std::FILE* file, long before) {
    Result result = Untouched();
    std::array<float, 9> v;
    for (float& f : v) {
        f = std::bit_cast<float>(kUntouchedFloat);
    }
    std::int32_t number = static_cast<std::int32_t>(kUntouchedFloat);
    switch (op) {
    case Op::Line:
        if (std::fgets(result.LineBuffer.data(), kLineCapacity, file) != nullptr) {
            result.Count = static_cast<int>(std::ftell(file) - before);
        }
        break;
    case Op::Float:
        result.Count = std::fscanf(file, "%f", &v[0]) == 1;
        break;
    case Op::Int:
        result.Count = std::fscanf(file, "%d", &number) == 1;
        v[0] = std::bit_cast<float>(number);
        break;
    case Op::Space:
        (void)std::fscanf(file, " ");
        break;
    case Op::Pattern:
        result.Count = std::max(
            0, std::fscanf(file, kPattern, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8]));
        break;
    }
    std::transform(v.begin(), v.end(), result.Values.begin(), Bits);
    return result;
}

Result Run_Scanner(Op op, KeyScanner& s) {
    Result result = Untouched();
    std::array<float, 9> v;
    for (float& f : v) {
        f = std::bit_cast<float>(kUntouchedFloat);
    }
    std::int32_t number = static_cast<std::int32_t>(kUntouchedFloat);
    switch (op) {
    case Op::Line:
        result.Count = Scan_Line(s, result.LineBuffer.data(), kLineCapacity);
        break;
    case Op::Float:
        result.Count = Scan_Float(s, &v[0]);
        break;
    case Op::Int:
        result.Count = Scan_Int(s, &number);
        v[0] = std::bit_cast<float>(number);
        break;
    case Op::Space:
        Scan_Skip_Space(s);
        break;
    case Op::Pattern: // the first failed conversion ends it; the trailing "\n" applies only after all nine
        for (std::size_t i = 0; i < v.size(); ++i) {
            if (i > 0) Scan_Skip_Space(s);
            if (!Scan_Float(s, &v[i])) break;
            ++result.Count;
        }
        if (result.Count == 9) Scan_Skip_Space(s);
        break;
    }
    std::transform(v.begin(), v.end(), result.Values.begin(), Bits);
    return result;
}

const char* Name(Op op) {
    static const char* const kNames[] = {"fgets", "%f", "%d", "\" \"", "pattern"};
    return kNames[static_cast<int>(op)];
}

TEST(KeyScannerDifferential, MatchesGlibcOperationByOperation) {
    Random r(20240611);
    TempFile lfFile, crlfFile;
    for (int iteration = 0; iteration < 3000; ++iteration) {
        const bool padded = r.Chance(5);
        const std::string text = (padded ? Padding(r) : "") + Input(r);
        lfFile.Write(text);
        crlfFile.Write(Crlf(text));
        std::FILE* libc = lfFile.Open();
        ASSERT_NE(libc, nullptr);
        ScannedFile lf(lfFile), crlf(crlfFile);
        std::string ops;
        long before = 0; // glibc's position before the operation; the text up to it has line - 1 LFs
        std::int32_t line = 1;
        for (std::size_t n = 1 + r.Below(30), i = 0; i < n; ++i) {
            static const Op kOps[] = {Op::Line, Op::Line,  Op::Float, Op::Float,   Op::Float,  Op::Int,
                                      Op::Int,  Op::Space, Op::Space, Op::Pattern, Op::Pattern};
            static const Op kSkippingOps[] = {Op::Float, Op::Int, Op::Space};
            const Op op = padded && i == 0 ? kSkippingOps[r.Below(3)] : kOps[r.Below(std::size(kOps))];
            ops += std::string(ops.empty() ? "" : ", ") + Name(op);

            const Result expected = Run_Libc(op, libc, before);
            const long position = std::ftell(libc);
            const bool eof = std::feof(libc) != 0;
            line +=
                static_cast<std::int32_t>(std::count(text.begin() + before, text.begin() + position, '\n'));
            before = position;

            EXPECT_EQ(Run_Scanner(op, *lf.Scanner), expected);
            EXPECT_EQ(Scan_At_Eof(*lf.Scanner), eof);
            EXPECT_EQ(Consumed(*lf.Scanner), position);
            EXPECT_EQ(lf.Scanner->Line, line);
            // the CR LF file must read exactly as the LF file does in glibc
            EXPECT_EQ(Run_Scanner(op, *crlf.Scanner), expected) << "CR LF file";
            EXPECT_EQ(Scan_At_Eof(*crlf.Scanner), eof) << "CR LF file";
            EXPECT_EQ(crlf.Scanner->Line, line) << "CR LF file";
            if (HasFailure()) break;
        }
        std::fclose(libc);
        ASSERT_FALSE(HasFailure()) << "iteration " << iteration << ", input \"" << Escape(text) << "\", ops "
                                   << ops;
    }
}

// ---------------------------------------------------------------------------------------------
// Number forms that a fast conversion gets wrong first, each read by glibc and by the scanner

// The decimal text of a double, exact to `digits` significant digits (glibc prints exactly).
std::string Printed_Exactly(double value, int digits) {
    char text[512];
    std::snprintf(text, sizeof text, "%.*e", digits - 1, value);
    return text;
}

// Texts at and beside the halfway point between `low` and the next float up, where a conversion
// that rounds twice, or stops reading digits too early, picks the wrong neighbour.
void Add_Halfway_Forms(std::vector<std::string>& forms, float low, Random& r) {
    const float high = std::nextafter(low, std::numeric_limits<float>::infinity());
    // Exact in double: a float halfway point needs one bit more than a float holds. Past the
    // largest float the next step up is 2^128, where values start to round to infinity.
    const double next = std::isinf(high) ? 0x1p128 : static_cast<double>(high);
    const double halfway = (static_cast<double>(low) + next) / 2;
    const std::string exact = Printed_Exactly(halfway, 120);
    const std::size_t mantissaEnd = exact.find('e');
    const std::string exponent = exact.substr(mantissaEnd);
    std::string digits = exact.substr(0, mantissaEnd);
    while (digits.back() == '0')
        digits.pop_back();
    forms.push_back(digits + exponent);
    forms.push_back(digits + "000000000000000000000001" + exponent); // just above the halfway point
    std::string below = digits;
    for (std::size_t i = below.size() - 1; below[i] == '0' || below[i] == '.'; --i)
        below[i] = below[i] == '.' ? '.' : '9';
    --below[below.find_last_not_of("9.")];
    forms.push_back(below + "999999999999999999" + exponent); // just below it
    for (const int precision : {6, 8, 9, 10, 12, 15, 16, 17, 18, 19, 20, 25}) {
        forms.push_back(Printed_Exactly(halfway, precision));
    }
    // The same value with its point moved into the digits, as a key file writes it.
    char fixed[512];
    std::snprintf(fixed, sizeof fixed, "%.*f", static_cast<int>(r.Below(30)), halfway);
    forms.push_back(fixed);
}

std::vector<std::string> Number_Forms() {
    std::vector<std::string> forms = {
        // signs, and a point with digits on one side only
        "5",
        "+5",
        "-5",
        ".5",
        "+.5",
        "-.5",
        "5.",
        "+5.",
        "-5.",
        "0.",
        "-0.",
        ".0",
        "-.0",
        "+0",
        "-0",
        "00005",
        "-000.000",
        "0.000000000000000000000000000000000000000000000000001",
        // exponents with and without sign or digits
        "1e5",
        "1E5",
        "1e+5",
        "1e-5",
        "1e+05",
        "1e-05",
        "1e",
        "1e+",
        "1e-",
        "1E",
        ".5e1",
        "5.e-1",
        "1e0000000000000000000000000000005",
        "1e-0000000000000000000000000000005",
        "1e2147483648",
        "1e-2147483649",
        "1e99999999999999999999",
        "1e-99999999999999999999",
        "0e99999999999",
        // the edges of the one-division conversion: 2^53 digits, exponents of +-22
        "9007199254740992",
        "9007199254740993",
        "9007199254740993e-22",
        "9007199254740992e22",
        "1e22",
        "1e23",
        "1e-22",
        "1e-23",
        "4.7e22",
        "4.7e-22",
        "1234567890123456789",
        "12345678901234567890",
        "1234567890123456789e-22",
        "0.1234567890123456789",
        "123456.789012345678901",
        "98765432109876543210",
        "18446744073709551617",
        "1844674407.3709551617e10",
        "98765432109876543210e-25",
        "0.00098765432109876543210",
        // long digit strings
        std::string(400, '9'),
        "0." + std::string(400, '9'),
        std::string(400, '0') + "1",
        "1." + std::string(400, '0') + "1",
        "0." + std::string(60, '0') + "1e60",
        std::string(60, '1') + "e-60",
        // denormals, the smallest of them, and the way down to zero
        "1.4e-45",
        "1.401298464324817e-45",
        "7.006492321624085e-46",
        "7.006492321624086e-46",
        "7.00649232162408e-46",
        "2.1e-45",
        "1.1754942e-38",
        "1.17549421e-38",
        "1.1754943e-38",
        "1.175494350822287507968736537222245677818665556772087521508751706278417259454727172851560467"
        "1e-38",
        "1e-46",
        "1e-50",
        "-1e-50",
        "1e-400",
        "-1e-400",
        // the edge of overflow
        "3.4028234e38",
        "3.4028235e38",
        "3.40282356e38",
        "3.40282357e38",
        "3.4028236e38",
        "340282356779733661637539395458142568447",
        "340282356779733661637539395458142568448",
        "340282356779733661637539395458142568448.0000000001",
        "1e39",
        "-1e39",
        "1e309",
        "-1e400",
        // infinity and NaN
        "inf",
        "INF",
        "-inf",
        "+Inf",
        "infinity",
        "-Infinity",
        "nan",
        "NaN",
        "-nan",
        "+NAN",
        // hexadecimal floats
        "0x1p0",
        "0x1P-149",
        "0x1p-150",
        "0x1.8p-149",
        "0x1.000001p0",
        "0x1.0000011p0",
        "0x1.000003p0",
        "-0x1.fffffep127",
        "0x1.ffffffp127",
        "0x1.fffffe8p127",
        "0x.8p1",
        "0X1.8P3",
        "0x1p+4",
        "0x10",
        "0x1p",
        "0x1p-",
        "0x0.000002p-126",
        "0xABCDEF.abcdefp-10",
        "0x" + std::string(40, 'f'),
    };
    Random r(20240612);
    // Halfway points of floats of every kind: any, denormal, about 2^24, and the largest.
    for (int i = 0; i < 300; ++i)
        Add_Halfway_Forms(forms, std::bit_cast<float>(static_cast<std::uint32_t>(r.Next()) & 0x7f7fffffu), r);
    for (int i = 0; i < 60; ++i)
        Add_Halfway_Forms(forms, std::bit_cast<float>(static_cast<std::uint32_t>(r.Below(0x800000))), r);
    for (std::uint32_t bits : {0x4b7ffffeu, 0x4b7fffffu, 0x4b800000u, 0x4b800001u, 0x7f7ffffeu, 0x7f7fffffu,
                               0x00000000u, 0x00000001u, 0x007fffffu, 0x00800000u, 0x3f800000u})
        Add_Halfway_Forms(forms, std::bit_cast<float>(bits), r);
    // Floats printed short and long, with random signs.
    for (int i = 0; i < 400; ++i) {
        const float value = std::bit_cast<float>(static_cast<std::uint32_t>(r.Next()) & 0x7fffffffu);
        if (std::isnan(value)) continue;
        forms.push_back(Printed_Exactly(value, 1 + static_cast<int>(r.Below(12))));
    }
    for (std::string& form : forms) {
        if (r.Chance(20) && form[0] != '-' && form[0] != '+') form.insert(0, 1, '-');
    }
    return forms;
}

// Every form in turn, each with the white space after it that a key file may have. A failed
// conversion leaves its stopping character unread, so both readers then skip one byte.
TEST(KeyScannerDifferential, NumberFormsMatchGlibc) {
    const std::vector<std::string> forms = Number_Forms();
    Random r(20240613);
    static const char* const kSeparators[] = {" ", "\n", "\t", " \n"};
    std::string text;
    std::vector<std::size_t> starts;
    for (const std::string& form : forms) {
        starts.push_back(text.size());
        text += form + r.Pick(kSeparators);
    }
    TempFile file(text);
    std::FILE* libc = file.Open();
    ASSERT_NE(libc, nullptr);
    ScannedFile scanned(file);
    KeyScanner& s = *scanned.Scanner;
    for (std::size_t read = 0; std::ftell(libc) < static_cast<long>(text.size()) && read < 4 * forms.size();
         ++read) {
        const long at = std::ftell(libc);
        const std::size_t next =
            std::min(text.find_first_not_of(" \n\t", static_cast<std::size_t>(at)), text.size() - 1);
        const std::size_t form = static_cast<std::size_t>(
            std::upper_bound(starts.begin(), starts.end(), next) - starts.begin() - 1);
        SCOPED_TRACE("form \"" + Escape(forms[form]) + "\" from byte " + std::to_string(at));
        float expected = std::bit_cast<float>(kUntouchedFloat), value = expected;
        const bool converted = std::fscanf(libc, "%f", &expected) == 1;
        ASSERT_EQ(Scan_Float(s, &value), converted);
        ASSERT_EQ(Bits(value), Bits(expected)) << std::hex << Bits(value) << " instead of " << Bits(expected);
        ASSERT_EQ(Consumed(s), std::ftell(libc));
        ASSERT_EQ(Scan_At_Eof(s), std::feof(libc) != 0);
        if (!converted) {
            char skipped[2];
            ASSERT_EQ(Scan_Line(s, skipped, 2), std::fgetc(libc) == EOF ? 0 : 1);
        }
    }
    std::fclose(libc);
}

} // namespace
