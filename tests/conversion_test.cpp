// The conversion table: each row a template and a key text (or none: the template is loaded and
// written alone), the console text the stages print and the output they write, byte for byte
// (empty for a refused run). Expected files come from the fixture writer, not from the product.
#include <gtest/gtest.h>

#include <cctype>
#include <optional>

#include "capacities.h"
#include "support/fixtures.h"

namespace {

struct Row {
    std::string Name;
    ByteString Template;
    std::optional<std::string> Keys;
    std::string Console;
    ByteString Output;
};

const std::string kLoading = "\n[Load_from_File___All_NIF_Blocks] Loading NIF header: ";
const std::string kKeys = "Loading ANIMATION KEYS from 'keys.txt' to Memory: ";
const std::string kConverted = kLoading + "<done>\n" + kKeys + "<done>\n\n";
const std::string kStringsFull =
    "\n[Append_String_to_Header] ERROR: Variable 'Header_NumStrings=256' is out of "
    "limits!\n";

Bone One_Key(const std::string& name, Key key = {0.5f, 1, 2, 3, 1, 0, 0, 0, 1}) {
    return {name, {key}};
}

std::vector<Bone> No_Keys(int bones) {
    std::vector<Bone> result;
    for (int b = 0; b < bones; ++b)
        result.push_back({"B" + std::to_string(b), {}});
    return result;
}

// A conversion whose key text the fixture writes and whose output it builds.
Row Converts(std::string name, const TemplateLayout& layout, bool euler, float duration,
             const std::vector<Bone>& bones) {
    return {std::move(name), Build_Template(layout), Key_Text(euler, duration, bones), kConverted,
            Build_Template(Animated(layout, euler, duration, bones))};
}

// A hand-written key text that the reader must see as `bones`.
Row Reads(std::string name, const std::string& keys, bool euler, float duration,
          const std::vector<Bone>& bones) {
    Row row = Converts(std::move(name), Example_Template(), euler, duration, bones);
    row.Keys = keys;
    return row;
}

Row Refuses(std::string name, const ByteString& templateBytes, const std::string& keys, std::string console) {
    return {std::move(name), templateBytes, keys, std::move(console), {}};
}

Row Template_Refused(std::string name, const ByteString& templateBytes, const std::string& message) {
    return Refuses(std::move(name), templateBytes, "", kLoading + message);
}

Row Copies(std::string name, const TemplateLayout& layout, const TemplateLayout& written) {
    return {std::move(name), Build_Template(layout), std::nullopt, kLoading + "<done>\n",
            Build_Template(written)};
}

template <typename Change>
TemplateLayout With(TemplateLayout layout, Change change) {
    change(layout);
    return layout;
}

ByteString Cut(ByteString bytes, std::size_t drop) {
    bytes.resize(bytes.size() - drop);
    return bytes;
}

// The header fields before the short strings.
Bytes Header_Start(std::uint32_t numBlocks) {
    return Bytes()
        .raw("NIF File Format, Version 20.2.0.7\n")
        .raw(ByteString{7, 0, 2, 20, 1})
        .u32s({12, numBlocks, 83});
}

// A header given field by field up to the block types, for what the layout cannot express.
ByteString Raw_Header(std::uint32_t numBlocks, const std::string& creator, std::uint16_t numTypes,
                      const Bytes& rest) {
    return Header_Start(numBlocks)
        .short_string(creator)
        .short_string("")
        .short_string("")
        .u16(numTypes)
        .raw(rest.Data)
        .Data;
}

std::string Limit(const char* operation, const std::string& field, const std::string& tail = "limits!") {
    return "\n[" + std::string(operation) + "] ERROR: Variable '" + field + "' is out of " + tail + "\n";
}

std::string Holds(const std::string& field, const char* what) {
    return "\n[Load_from_File___Header] ERROR: Variable '" + field + "' holds a " + what + "!\n";
}

std::string Ends_Inside(const char* operation, const std::string& field, int got, int needed) {
    return "\n[" + std::string(operation) + "] ERROR: The file ends inside '" + field + "' (" +
           std::to_string(got) + " of its " + std::to_string(needed) + " bytes are there)!\n";
}

std::string Crlf(const std::string& text) {
    std::string crlf;
    for (char c : text)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return crlf;
}

// Every table of the container at its capacity, and the largest texts.
TemplateLayout Full_Template() {
    TemplateLayout layout;
    for (std::uint32_t i = 0; i < kMaxBlockTypes; ++i)
        layout.BlockTypes.push_back("T" + std::to_string(i));
    layout.BlockTypeIndex.assign(kMaxBlocks, 255);
    layout.Bodies.assign(kMaxBlocks, ByteString{9});
    for (std::uint32_t i = 0; i + 1 < kMaxStrings; ++i)
        layout.Strings.push_back("S" + std::to_string(i));
    layout.Strings.push_back(std::string(kTextEntrySize - 1, 's'));
    layout.MaxStringLength = kTextEntrySize;
    layout.ShortStrings = {std::string(kTextEntrySize - 2, 'c'), "", "abc"};
    layout.Roots.assign(kMaxRoots, 1023);
    return layout;
}

std::vector<Row> Rows() {
    const std::string oneKey = Key_Text(false, 2, {One_Key("A")});
    const TemplateLayout example = Example_Template(), empty, rich = Rich_Template();
    const ByteString valid = Build_Template(rich);
    const std::string zero(1, '\0');
    const auto oneBody = [](std::uint32_t size) {
        return With(Example_Template(), [size](TemplateLayout& l) {
            l.BlockTypes = {"T"};
            l.Bodies = {ByteString(size, 7)};
        });
    };
    const Bytes noStrings = Bytes().u32s({0, 0, 0});
    TemplateLayout crowded = example; // room for "start" and nothing more
    for (int i = 0; i < 254; ++i)
        crowded.Strings.push_back("s" + std::to_string(i));
    std::string keys1536 = "Quaternions\n2\n" + Name_Line("A") + "1536\n";
    std::vector<Key> keys(kMaxKeys);
    for (std::size_t k = 0; k < keys.size(); ++k) {
        keys[k] = {static_cast<float>(k), 0, 0, 0, 1, 0, 0, 0, 1};
        keys1536 += std::to_string(k) + " 0 0 0 1 0 0 0 1\n";
    }
    std::vector<Row> rows = {
        // Conversions, their blocks, types and strings byte for byte.
        Converts("one quaternion key over the example", example, false, 2, {One_Key("A")}),
        Converts("one Euler key", example, true, 2, {One_Key("A", {0.75f, 1, 2, 3, 0, 10, 20, 30, 1})}),
        Converts("two bones over an empty template", empty, false, 2, {One_Key("A"), One_Key("B")}),
        Converts("one record converts no bone", example, false, 1, {}),
        Converts("no keys", example, false, 1, {{"A", {}}}),
        Converts("no Euler keys", example, true, 1, {{"A", {}}}),
        Converts("types and strings of the template reused, names always added",
                 With(example,
                      [](TemplateLayout& l) {
                          l.BlockTypes = {"NiNode", "NiTransformData"};
                          l.Strings = {"end", "A", "NPC Root [Root]"};
                      }),
                 false, 2, {One_Key("A")}),
        Converts("the first exact accumulation root",
                 With(empty,
                      [](TemplateLayout& l) {
                          l.Strings = {"x", "NPC Root [Root]", "NPC Root [Root]"};
                      }),
                 false, 2, {One_Key("A")}),
        Converts("no exact accumulation root: the first string",
                 With(empty,
                      [](TemplateLayout& l) {
                          l.Strings = {"npc root [root]", "NPC Root [Root] "};
                      }),
                 false, 2, {One_Key("A")}),
        Converts("a bone names the accumulation root", empty, false, 2, {One_Key("NPC Root [Root]")}),
        Converts("a stale maximum string length",
                 With(rich, [](TemplateLayout& l) { l.MaxStringLength = 3; }), false, 2, {One_Key("A")}),
        Converts("251 bones fill the string table", example, false, 1, No_Keys(251)),
        Converts("1536 keys", example, false, 2, {{"A", keys}}),
        // How the key reader takes a text.
        Reads("both words: nine numbers, then eight over all but w",
              "Quaternions and Euler\n2\n" + Name_Line("B") +
                  "1\n1 2 3 4 5 6 7 8 9\n11 12 13 14 16 17 18 19\n" + Name_Line("End") + "0\n",
              false, 2, {{"B", {{11, 12, 13, 14, 5, 16, 17, 18, 19}}}}),
        Reads("CR LF line ends", Crlf(oneKey), false, 2, {One_Key("A")}),
        Reads("number forms, and a malformed one that stops its bone",
              "Quaternions\n1e1\n\n  \t" + Name_Line("B") +
                  "2\n-1.5e2 +3 .5 5. -0 1E-2 2e+1 -.25 7\n1 2 x3 4 5 6 "
                  "7 8 9 and more\n0\n",
              false, 10,
              {{"B", {{-150, 3, 0.5f, 5, -0.0f, 0.01f, 20, -0.25f, 7}, {1, 2, 0, 0, 0, 0, 0, 0, 0}}}}),
        Reads("a name line without its two last characters",
              "Quaternions\n2\nBone name: \"Pelvis\n0\n" + Name_Line("End") + "0\n", false, 2,
              {{"Pelv", {}}}),
        Reads("a format line longer than 255 characters",
              "Quaternions" + std::string(244, ' ') + "7\n" + Name_Line("A") + "0\n" + Name_Line("End") +
                  "0\n",
              false, 7, {{"A", {}}}),
        Reads("1536 keys as written by hand", keys1536 + Name_Line("End") + "0\n", false, 2, {{"A", keys}}),
        // The template alone: copied, or refused with the message that says where.
        Copies("every table in use", rich, rich),
        Copies("every table at its capacity", Full_Template(), Full_Template()),
        Copies("a stale maximum string length is raised",
               With(rich, [](TemplateLayout& l) { l.MaxStringLength = 3; }), rich),
        Copies("bytes after the footer are dropped",
               With(rich,
                    [](TemplateLayout& l) {
                        l.Trailing = {9, 9};
                    }),
               rich),
        Copies("no footer: one with no roots", With(rich, [](TemplateLayout& l) { l.HasFooter = false; }),
               With(rich, [](TemplateLayout& l) { l.Roots.clear(); })),
        Copies("the largest body the writer takes", oneBody(kMaxBlockSize - 1), oneBody(kMaxBlockSize - 1)),
        {"the largest body the reader takes",
         Build_Template(oneBody(kMaxBlockSize)),
         std::nullopt,
         kLoading + "<done>\n" + Limit("Write_All_NIF_Block_to_File", "NifBlocks[0].Size=5242880"),
         {}},
        Template_Refused("an empty file", {},
                         "\n[Load_from_File___All_NIF_Blocks] ERROR: Unsupported NIF file (support version "
                         "'20.2.0.7' only)!\n"),
        Template_Refused("another version",
                         Build_Template(With(example, [](TemplateLayout& l) { l.Version[0] = 4; })),
                         "\n[Load_from_File___All_NIF_Blocks] ERROR: Unsupported NIF file (support version "
                         "'20.2.0.7' only)!\n"),
        Template_Refused("1025 blocks", Raw_Header(1025, "", 0, {}),
                         Limit("Load_from_File___Header", "Header_NumBlocks=1025")),
        Template_Refused("257 block types", Raw_Header(0, "", 257, {}),
                         Limit("Load_from_File___Header", "Header_NumBlockTypes=257")),
        Template_Refused("257 strings", Raw_Header(0, "", 0, Bytes().u32s({257, 10})),
                         Limit("Load_from_File___Header", "Header_NumStrings=257")),
        Template_Refused("maximum string length 257", Raw_Header(0, "", 0, Bytes().u32s({0, 257})),
                         Limit("Load_from_File___Header", "Header_MaxStringLength=257", "limits (256)!")),
        Template_Refused("257 roots",
                         Build_Template(With(example, [](TemplateLayout& l) { l.Roots.assign(257, 0); })),
                         Limit("Load_from_File___NiFooter", "NiFooter_NumRoots=257")),
        Template_Refused("a body of 0x500001 bytes",
                         Raw_Header(1, "", 1, Bytes().sized("T").u16(0).u32(0x500001).raw(noStrings.Data)),
                         Limit("Load_from_File___All_NIF_Blocks", "Header_BlockSize[0]=5242881")),
        Template_Refused("a type name of 256 bytes",
                         Raw_Header(0, "", 1, Bytes().sized(std::string(256, 't'))),
                         Limit("Load_from_File___Header", "Header_BlockTypes[0] length=256")),
        Template_Refused("a string of 256 bytes", Raw_Header(0, "", 0, Bytes().u32s({1, 256, 256})),
                         Limit("Load_from_File___Header", "Header_Strings[0] length=256")),
        Template_Refused("a short string of 255 bytes without its zero",
                         Header_Start(0).u8(255).raw(std::string(255, 'c')).Data,
                         Limit("Load_from_File___Header", "Header_Creator length=255")),
        Template_Refused("groups", Raw_Header(0, "", 0, Bytes().u32s({0, 0, 1})),
                         Limit("Load_from_File___Header", "Header_NumGroups=1")),
        Template_Refused("a line feed in a short string", Raw_Header(0, "a\nb", 0, noStrings),
                         Holds("Header_Creator", "line feed")),
        Template_Refused("a zero byte before a short string's end",
                         Raw_Header(0, "ab" + zero + "c", 0, noStrings),
                         Holds("Header_Creator", "zero byte")),
        Template_Refused("a line feed in a type name",
                         Raw_Header(0, "", 1, Bytes().sized("Ni\nNode").raw(noStrings.Data)),
                         Holds("Header_BlockTypes[0]", "line feed")),
        Template_Refused("a zero byte in a type name",
                         Raw_Header(0, "", 1, Bytes().sized(zero + "T").raw(noStrings.Data)),
                         Holds("Header_BlockTypes[0]", "zero byte")),
        Template_Refused("a zero byte in a string",
                         Raw_Header(0, "", 0, Bytes().u32s({2, 3}).sized("ab").sized("a" + zero + "b")),
                         Holds("Header_Strings[1]", "zero byte")),
        Template_Refused(
            "a header line without a line feed",
            Build_Template(With(example, [](TemplateLayout& l) { l.HeaderLine = std::string(511, 'N'); })),
            "\n[Load_from_File___All_NIF_Blocks] ERROR: The header line is not one line of text (a zero "
            "byte, or no line feed in its first 511 bytes)!\n"),
        Template_Refused("a block type index past the types",
                         Build_Template(With(rich, [](TemplateLayout& l) { l.BlockTypeIndex[2] = 2; })),
                         Limit("Load_from_File___All_NIF_Blocks", "Header_BlockTypeIndex[2]=2",
                               "limits (2 block types)!")),
        Template_Refused("a header cut short", Cut(Build_Template(example), 10),
                         Ends_Inside("Load_from_File___All_NIF_Blocks", "Header_Strings[0]", 13, 15)),
        Template_Refused("a body cut short", Cut(valid, 13),
                         Ends_Inside("Load_from_File___All_NIF_Blocks", "NifBlocks[2]", 299, 300)),
        Template_Refused("a root count cut short", Cut(valid, 10),
                         Ends_Inside("Load_from_File___NiFooter", "NiFooter_NumRoots", 2, 4)),
        Template_Refused("a root cut short", Cut(valid, 1),
                         Ends_Inside("Load_from_File___NiFooter", "NiFooter_Roots[1]", 3, 4)),
        // Key files the driver or the key reader refuses.
        Refuses("no bone record", valid, "Quaternions\n2\n",
                kLoading + "<done>\n" + kKeys +
                    "<done>\n\nERROR: Cannot load Animation keys without errors!\n"),
        Refuses("neither format", valid, "Keyframes\n2\n" + Name_Line("A") + "-5\n",
                kLoading + "<done>\n" + kKeys +
                    "<done>\n\nERROR: Animation data format don't recognized !\n"),
        Refuses(
            "301 records", valid, Key_Text(false, 1, No_Keys(300)),
            kLoading + "<done>\n" + kKeys +
                "\n[Load_from_File___Animation_Keys] ERROR: Line 603, bone record 301: the file holds more "
                "than the 300 records that fit!\n\nERROR: Cannot load Animation keys without errors!\n"),
        Refuses("1537 keys", valid, "Quaternions\n2\n" + Name_Line("A") + "1537\n",
                kLoading + "<done>\n" + kKeys +
                    "\n[Load_from_File___Animation_Keys] ERROR: Line 4, bone record 1: Variable "
                    "'NumKeys=1537' is "
                    "out of limits (0 to 1536)!\n\nERROR: Cannot load Animation keys without errors!\n"),
        Refuses(
            "a negative key count", valid, "Euler\n2\n" + Name_Line("A") + "0\n" + Name_Line("B") + "-2\n",
            kLoading + "<done>\n" + kKeys +
                "\n[Load_from_File___Animation_Keys] ERROR: Line 6, bone record 2: Variable 'NumKeys=-2' is "
                "out of limits (0 to 1536)!\n\nERROR: Cannot load Animation keys without errors!\n"),
        Refuses(
            "a short name line", valid, "Quaternions\n2\nshort name\n0\n",
            kLoading + "<done>\n" + kKeys +
                "\n[Load_from_File___Animation_Keys] ERROR: Line 3, bone record 1: the name line holds 11 "
                "characters, fewer than the 15 it needs!\n\nERROR: Cannot load Animation keys without "
                "errors!\n"),
        // Tables that the new blocks, types and strings overfill.
        Refuses("299 bones: no room for their names", Build_Template(example),
                Key_Text(false, 1, No_Keys(299)), kConverted + kStringsFull),
        Refuses("252 bones: no room for their controller type", Build_Template(example),
                Key_Text(false, 1, No_Keys(252)),
                kConverted + Limit("Create_New_String_in_Header", "Header_NumStrings=256")),
        Refuses("no room for \"end\"", Build_Template(crowded), oneKey,
                kConverted +
                    "\n[Create_New_String_in_Header] ERROR: Variable 'Header_NumStrings=256' is out of "
                    "limits!\n"),
        Refuses("no room for a block",
                Build_Template(With(example,
                                    [](TemplateLayout& l) {
                                        l.BlockTypes = {"T"};
                                        l.Bodies.assign(kMaxBlocks - 1, {});
                                    })),
                oneKey, kConverted + "\n[AllocateRAM_forNifBlock] ERROR: Number of NIF block is too big !\n"),
        Refuses("no room for a block type",
                Build_Template(With(Full_Template(),
                                    [](TemplateLayout& l) {
                                        l.Bodies.clear();
                                        l.Strings = {};
                                    })),
                oneKey, kConverted + Limit("AddNewNodeToHeader", "Header_NumBlockTypes=256")),
    };
    return rows;
}

void PrintTo(const Row& row, std::ostream* out) {
    *out << row.Name;
}

class Conversion : public testing::TestWithParam<Row> {};

TEST_P(Conversion, PrintsAndWritesWhatItMust) {
    const Row& row = GetParam();
    testing::internal::CaptureStdout();
    const Stages stages = Convert(row.Template, row.Keys ? &*row.Keys : nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), row.Console);
    EXPECT_EQ(stages.Result < 0, row.Output.empty());
    EXPECT_TRUE(stages.Output == row.Output)
        << stages.Output.size() << " bytes written, " << row.Output.size() << " expected";
    EXPECT_EQ(Table_Fault(), "");
}

INSTANTIATE_TEST_SUITE_P(Table, Conversion, testing::ValuesIn(Rows()), [](const auto& info) {
    std::string name;
    for (char c : info.param.Name)
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
});

} // namespace

namespace {

// Generated key files of both forms, every kind of float among their values, converted and read back:
// the same text but for the wording of the format line, and so the same file once converted again.
TEST(RoundTrip, GeneratedKeyFilesReadBackToTheirText) {
    const auto body = [](const std::string& text) { return text.substr(text.find('\n')); };
    for (unsigned seed = 0; seed < 60; ++seed) {
        const bool euler = seed % 2 == 1;
        const auto bones =
            Generated_Bones(1 + static_cast<int>(seed % 5), static_cast<int>(seed % 7), euler, seed);
        const std::string text = Key_Text(euler, 1.5f, bones);
        const Stages stages =
            Convert(Build_Template(seed % 3 != 0 ? Rich_Template() : Example_Template()), &text);
        ASSERT_EQ(stages.Result, 0) << "seed " << seed;
        const KeyTexts back = Read_Back(stages.Output);
        ASSERT_EQ(back.Texts.size(), 1u) << "seed " << seed;
        EXPECT_EQ(body(back.Texts[0]), body(text)) << "seed " << seed;
    }
}

} // namespace
