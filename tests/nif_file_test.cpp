#include <gtest/gtest.h>

#include <string>

#include "nif/nif_document.h"
#include "nif/nif_file.h"
#include "support/fixtures.h"
#include "support/template_writer.h"

namespace {

const char* const kLoading = "\n[Load_from_File___All_NIF_Blocks] Loading NIF header: ";

class NifFile : public testing::Test {
  protected:
    void SetUp() override { Reset_All_Tables(); }
    void TearDown() override {
        for (std::FILE** file : {&InputKfFile, &OutputKfFile}) {
            if (*file != nullptr) std::fclose(*file);
            *file = nullptr;
        }
    }

    // Loads `bytes` as the template; returns the result and leaves the console text in Console.
    std::int32_t Load(const std::vector<std::uint8_t>& bytes) {
        InputKfFile = File_With(bytes);
        std::int32_t result = 0;
        Console = Console_Of([&] { result = Load_from_File___All_NIF_Blocks(); });
        return result;
    }

    std::vector<std::uint8_t> Write() {
        OutputKfFile = std::tmpfile();
        std::int32_t result = 0;
        Console = Console_Of([&] { result = Write_All_NIF_Block_to_File(); });
        EXPECT_EQ(result, 0) << Console;
        return Contents_Of(OutputKfFile);
    }

    std::string Console;
};

TemplateLayout Rich_Template() {
    TemplateLayout layout;
    layout.ShortStrings = {"abc", "", "exporter"};
    layout.BlockTypes = {"NiNode", "NiSequenceStreamHelper"};
    layout.BlockTypeIndex = {1, 0, 0};
    layout.Bodies = {{1, 2, 3}, {}, std::vector<std::uint8_t>(300, 0xAB)};
    layout.Strings = {"Bip01", "NPC Root [Root]", "with\nline feed"};
    layout.Roots = {0, 2};
    return layout;
}

TEST_F(NifFile, RoundTripsByteForByte) {
    struct Case {
        const char* Name;
        TemplateLayout Layout;
    };
    TemplateLayout maxLength = Example_Template();
    maxLength.MaxStringLength = 200; // carried as loaded, not recomputed
    TemplateLayout big = Rich_Template();
    big.Bodies.push_back(std::vector<std::uint8_t>(0x500000 - 1, 7));
    big.BlockTypeIndex.push_back(0);
    const Case cases[] = {{"example", Example_Template()},
                          {"rich", Rich_Template()},
                          {"max length", maxLength},
                          {"largest writable body", big}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Reset_All_Tables();
        TearDown();
        const auto bytes = Build_Template(c.Layout);
        ASSERT_EQ(Load(bytes), 0) << Console;
        EXPECT_EQ(Console, std::string(kLoading) + "<done>\n");
        EXPECT_EQ(Write(), bytes);
    }
}

// Tools that append names without raising the declared maximum wrote such templates: only that field
// changes, to the longest string's length.
TEST_F(NifFile, StaleMaximumStringLengthIsWrittenCorrected) {
    TemplateLayout stale = Rich_Template();
    stale.MaxStringLength = 3;
    ASSERT_EQ(Load(Build_Template(stale)), 0) << Console;
    EXPECT_EQ(Write(), Build_Template(Rich_Template()));
}

TEST_F(NifFile, FooterIsOptionalAndTrailingBytesAreDropped) {
    TemplateLayout layout = Rich_Template();
    const auto expected = Build_Template(layout);
    layout.Trailing = {9, 9, 9, 9, 9};
    ASSERT_EQ(Load(Build_Template(layout)), 0);
    EXPECT_EQ(Write(), expected);

    Reset_All_Tables();
    TearDown();
    layout.Trailing.clear();
    layout.HasFooter = false;
    ASSERT_EQ(Load(Build_Template(layout)), 0);
    layout.HasFooter = true;
    layout.Roots.clear();
    EXPECT_EQ(Write(), Build_Template(layout)); // a footer with no roots
}

TEST_F(NifFile, ShortStringsReadAndWriteInTheirOwnForm) {
    TemplateLayout layout;
    layout.ShortStrings = {"abc", "", ""};
    ASSERT_EQ(Load(Build_Template(layout)), 0);
    EXPECT_STREQ(Header_Creator, "abc");
    const auto out = Write();
    const std::size_t at = layout.HeaderLine.size() + 4 + 1 + 12;
    EXPECT_EQ(std::vector<std::uint8_t>(out.begin() + at, out.begin() + at + 9),
              (std::vector<std::uint8_t>{4, 'a', 'b', 'c', 0, 1, 0, 1, 0}));
}

// The header fields before the short strings.
Bytes Header_Start(std::uint32_t numBlocks) {
    Bytes out;
    out.raw("NIF File Format, Version 20.2.0.7\n")
        .u8(7)
        .u8(0)
        .u8(2)
        .u8(20)
        .u8(1)
        .u32(12)
        .u32(numBlocks)
        .u32(83);
    return out;
}

// A template whose header fields are given one by one, for the cases the layout-like writer can't make.
std::vector<std::uint8_t> Raw_Template(std::uint32_t numBlocks, std::uint16_t numTypes, const Bytes& types,
                                       const Bytes& rest) {
    return Header_Start(numBlocks)
        .short_string("")
        .short_string("")
        .short_string("")
        .u16(numTypes)
        .raw(types.Data)
        .raw(rest.Data)
        .Data;
}

struct LoadCase {
    const char* Name;
    std::vector<std::uint8_t> Bytes;
    std::int32_t Result;
    const char* Message;
};

std::vector<std::uint8_t> With(TemplateLayout layout, void (*change)(TemplateLayout&)) {
    change(layout);
    return Build_Template(layout);
}

std::vector<std::uint8_t> Cut(std::vector<std::uint8_t> bytes, std::size_t drop) {
    bytes.resize(bytes.size() - drop);
    return bytes;
}

TEST_F(NifFile, LoaderRefusesWhatItCannotHoldOrCopy) {
    Bytes noTypes, counts;
    const auto valid = Build_Template(Rich_Template());
    const std::size_t footer = 12; // count and two roots
    std::vector<std::uint8_t> longShort = Build_Template(Example_Template());
    const auto creator = [](const std::string& text) { return Header_Start(0).short_string(text).Data; };
    const Bytes noStrings = Bytes().u32(0).u32(0).u32(0);
    const std::string zero(1, '\0');
    const LoadCase cases[] = {
        // A short string or type name is read the way lines are, so its read stops after a line feed and
        // the rest would be read as the fields that follow; every text is kept up to its first zero byte,
        // so one with a zero inside would be written back shorter.
        {"line feed inside a short string", creator("a\nb"), -3,
         "\n[Load_from_File___Header] ERROR: Variable 'Header_Creator' holds a line feed!\n"},
        {"line feed ending a short string", creator("ab\n"), -3,
         "\n[Load_from_File___Header] ERROR: Variable 'Header_Creator' holds a line feed!\n"},
        {"zero byte inside a short string", creator("a" + zero + "b"), -3,
         "\n[Load_from_File___Header] ERROR: Variable 'Header_Creator' holds a zero byte!\n"},
        {"line feed in a type name", Raw_Template(0, 2, Bytes().sized("NiNode").sized("Ni\nNode"), noStrings),
         -3, "\n[Load_from_File___Header] ERROR: Variable 'Header_BlockTypes[1]' holds a line feed!\n"},
        {"zero byte in a type name", Raw_Template(0, 1, Bytes().sized(zero + "NiNode"), noStrings), -3,
         "\n[Load_from_File___Header] ERROR: Variable 'Header_BlockTypes[0]' holds a zero byte!\n"},
        {"zero byte in a string",
         Raw_Template(0, 0, Bytes(), Bytes().u32(2).u32(3).sized("ab").sized("a" + zero + "b")), -3,
         "\n[Load_from_File___Header] ERROR: Variable 'Header_Strings[1]' holds a zero byte!\n"},
        {"empty file",
         {},
         -1,
         "\n[Load_from_File___All_NIF_Blocks] ERROR: Unsupported NIF file (support version '20.2.0.7' "
         "only)!\n"},
        {"other version",
         With(Example_Template(),
              [](TemplateLayout& s) {
                  s.Version = {4, 0, 2, 20};
              }),
         -1,
         "\n[Load_from_File___All_NIF_Blocks] ERROR: Unsupported NIF file (support version '20.2.0.7' "
         "only)!\n"},
        {"1025 blocks", Raw_Template(1025, 0, noTypes, counts), -3,
         "\n[Load_from_File___Header] ERROR: Variable 'Header_NumBlocks=1025' is out of limits!\n"},
        {"257 block types", Raw_Template(0, 257, noTypes, counts), -3,
         "\n[Load_from_File___Header] ERROR: Variable 'Header_NumBlockTypes=257' is out of limits!\n"},
        {"type name of 256 bytes", Raw_Template(0, 1, Bytes().u32(256).raw(std::string(256, 'x')), counts),
         -3,
         "\n[Load_from_File___Header] ERROR: Variable 'Header_BlockTypes[0] length=256' is out of limits!\n"},
        {"257 strings", Raw_Template(0, 0, noTypes, Bytes().u32(257).u32(10)), -3,
         "\n[Load_from_File___Header] ERROR: Variable 'Header_NumStrings=257' is out of limits!\n"},
        {"max length 257", Raw_Template(0, 0, noTypes, Bytes().u32(0).u32(257)), -3,
         "\n[Load_from_File___Header] ERROR: Variable 'Header_MaxStringLength=257' is out of limits "
         "(256)!\n"},
        {"string of 256 bytes", Raw_Template(0, 0, noTypes, Bytes().u32(1).u32(256).u32(256)), -3,
         "\n[Load_from_File___Header] ERROR: Variable 'Header_Strings[0] length=256' is out of limits!\n"},
        {"groups", Raw_Template(0, 0, noTypes, Bytes().u32(0).u32(0).u32(1).u32(0)), -3,
         "\n[Load_from_File___Header] ERROR: Variable 'Header_NumGroups=1' is out of limits!\n"},
        {"block size 0x500001",
         Raw_Template(1, 1, Bytes().sized("NiNode"), Bytes().u16(0).u32(0x500001).u32(0).u32(0).u32(0)), -3,
         "\n[Load_from_File___All_NIF_Blocks] ERROR: Variable 'Header_BlockSize[0]=5242881' is out of "
         "limits!\n"},
        {"zero byte in the header line",
         With(Example_Template(),
              [](TemplateLayout& s) {
                  s.HeaderLine = std::string("NIF\0File Format, Version 20.2.0.7\n", 34);
              }),
         -3,
         "\n[Load_from_File___All_NIF_Blocks] ERROR: The header line is not one line of text (a zero byte, "
         "or no line feed in its first 511 bytes)!\n"},
        {"header line without a line feed",
         With(Example_Template(), [](TemplateLayout& s) { s.HeaderLine = std::string(511, 'N'); }), -3,
         "\n[Load_from_File___All_NIF_Blocks] ERROR: The header line is not one line of text (a zero byte, "
         "or no line feed in its first 511 bytes)!\n"},
        {"block type index past the types",
         With(Rich_Template(), [](TemplateLayout& s) { s.BlockTypeIndex[2] = 2; }), -3,
         "\n[Load_from_File___All_NIF_Blocks] ERROR: Variable 'Header_BlockTypeIndex[2]=2' is out of limits "
         "(2 block types)!\n"},
        {"header cut short", Cut(Build_Template(Example_Template()), 10), -3,
         "\n[Load_from_File___All_NIF_Blocks] ERROR: The file ends inside 'Header_Strings[0]' (13 of its 15 "
         "bytes are there)!\n"},
        {"body cut short", Cut(valid, footer + 1), -3,
         "\n[Load_from_File___All_NIF_Blocks] ERROR: The file ends inside 'NifBlocks[2]' (299 of its 300 "
         "bytes are there)!\n"},
        {"root count cut short", Cut(valid, footer - 2), -3,
         "\n[Load_from_File___NiFooter] ERROR: The file ends inside 'NiFooter_NumRoots' (2 of its 4 bytes "
         "are there)!\n"},
        {"roots cut short", Cut(valid, 1), -3,
         "\n[Load_from_File___NiFooter] ERROR: The file ends inside 'NiFooter_Roots[1]' (3 of its 4 bytes "
         "are there)!\n"},
        {"257 roots", With(Example_Template(), [](TemplateLayout& s) { s.Roots.assign(257, 0); }), -3,
         "\n[Load_from_File___NiFooter] ERROR: Variable 'NiFooter_NumRoots=257' is out of limits!\n"},
    };
    for (const LoadCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Reset_All_Tables();
        TearDown();
        EXPECT_EQ(Load(c.Bytes), c.Result);
        EXPECT_EQ(Console, std::string(kLoading) + c.Message);
        // A refused count does not stay behind to count its table past the capacity.
        EXPECT_LE(Header_NumBlocks, kMaxBlocks);
        EXPECT_LE(Header_NumBlockTypes, kMaxBlockTypes);
        EXPECT_LE(Header_NumStrings, kMaxStrings);
        EXPECT_LE(NiFooter_NumRoots, kMaxRoots);
    }
}

TEST_F(NifFile, ShortStringThatCannotBeWrittenBackIsRefused) {
    Bytes header = Header_Start(0);
    header.u8(255).raw(std::string(255, 'c'));
    EXPECT_EQ(Load(header.Data), -3);
    EXPECT_EQ(Console, std::string(kLoading) +
                           "\n[Load_from_File___Header] ERROR: Variable 'Header_Creator length=255' is out "
                           "of limits!\n");
}

TEST_F(NifFile, WriterRefusesABodyOfTheReadersLargestSize) {
    ASSERT_EQ(AllocateRAM_forNifBlock(0, 0x500000), 0);
    Header_NumBlocks = 1;
    OutputKfFile = std::tmpfile();
    std::int32_t result = 0;
    EXPECT_EQ(
        Console_Of([&] { result = Write_All_NIF_Block_to_File(); }),
        "\n[Write_All_NIF_Block_to_File] ERROR: Variable 'NifBlocks[0].Size=5242880' is out of limits!\n");
    EXPECT_EQ(result, -3);
}

TEST_F(NifFile, FailedWriteIsReported) {
    OutputKfFile = std::fopen("/dev/full", "wb");
    ASSERT_NE(OutputKfFile, nullptr);
    std::snprintf(OutputKfFileName, sizeof OutputKfFileName, "full.kf");
    ASSERT_EQ(AllocateRAM_forNifBlock(0, 100000), 0);
    Header_NumBlocks = 1;
    std::int32_t result = 0;
    EXPECT_EQ(Console_Of([&] { result = Write_All_NIF_Block_to_File(); }),
              "\n[Write_All_NIF_Block_to_File] ERROR: Cannot write 'full.kf' (disk full or no access)!\n");
    EXPECT_EQ(result, -3);
}

} // namespace
