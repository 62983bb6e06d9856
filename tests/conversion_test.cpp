// The conversion table: each row a template and a key text (or none: the template is loaded and
// written alone), the console text the stages print and the output they write, byte for byte
// (empty for a refused run). Expected files come from the fixture writer, not from the product. Then
// the writer's own bounds: the bytes it reserves for a record, and none written past them.
#include <gtest/gtest.h>

#include "capacities.h"
#include "kf/transform_data.h"
#include "nif/le.h"
#include "support/fixtures.h"

namespace {

struct Row {
    std::string Name;
    ByteString Template;
    std::optional<std::string> Keys;
    std::string Console;
    ByteString Output;
    std::optional<std::string> Sequence{}; // named "keys.sequence.txt"
};

const std::string kLoading = "\n[Load_from_File___All_NIF_Blocks] Loading NIF header: ";
const std::string kKeys = kLoading + "<done>\nLoading ANIMATION KEYS from 'keys.txt' to Memory: ";
const std::string kConverted = kKeys + "<done>\n\n";

Bone One_Key(const std::string& name, Key key = {0.5f, 1, 2, 3, 1, 0, 0, 0, 1}) {
    return {name, {key}};
}

// A conversion whose key text (unless given) the fixture writes and whose output it builds.
Row Converts(std::string name, const TemplateLayout& layout, bool euler, float duration,
             const std::vector<Bone>& bones, std::optional<std::string> keys = std::nullopt) {
    return {std::move(name), Build_Template(layout), keys ? *keys : Key_Text(euler, duration, bones),
            kConverted, Build_Template(Animated(layout, euler, duration, bones))};
}

// `row`, the converter warning `warnings` ("Line N, bone record ...") after it: its output unchanged.
Row Warns(Row row, const std::vector<std::string>& warnings) {
    for (const std::string& warning : warnings)
        row.Console += "WARNING: Line " + warning + "\n";
    return row;
}

Row Refuses(std::string name, const ByteString& templateBytes, const std::string& keys, std::string console) {
    return {std::move(name), templateBytes, keys, std::move(console), {}};
}

// A template refused with `message` after the loader's first words.
Row Refused(std::string name, const ByteString& templateBytes, const std::string& message) {
    return {std::move(name), templateBytes, "", kLoading + message, {}};
}

// The template alone: copied, or refused with `refusal` once read.
Row Copies(std::string name, const TemplateLayout& layout, const std::string& refusal = "") {
    return {std::move(name), Build_Template(layout), std::nullopt, kLoading + "<done>\n" + refusal,
            refusal.empty() ? Build_Template(layout) : ByteString{}};
}

// The example template with these strings, types and bodies (one of `size` bytes of type "T").
TemplateLayout Example(std::vector<std::string> strings, std::vector<std::string> types = {}, int size = -1) {
    TemplateLayout layout{.BlockTypes = size < 0 ? std::move(types) : std::vector<std::string>{"T"},
                          .Strings = std::move(strings)};
    if (size >= 0) layout.Bodies = {ByteString(static_cast<std::size_t>(size), 7)};
    return layout;
}

template <typename Change>
ByteString With(TemplateLayout layout, Change change) {
    change(layout);
    return Build_Template(layout);
}

std::string Limit(const char* operation, const std::string& field, const std::string& tail = "limits!") {
    return "\n[" + std::string(operation) + "] ERROR: Variable '" + field + "' is out of " + tail + "\n";
}
std::string Keys_Refused(int line, const std::string& what) {
    return kKeys + "\n[Load_from_File___Animation_Keys] ERROR: Line " + std::to_string(line) + ", " + what +
           "\n\nERROR: Cannot load Animation keys without errors!\n";
}

// Every table of the container at its capacity, and the largest texts.
TemplateLayout Full_Template() {
    TemplateLayout layout;
    layout.ShortStrings = {std::string(kTextEntrySize - 2, 'c'), "", "abc"};
    layout.BlockTypes.assign(kMaxBlockTypes, "T");
    layout.BlockTypeIndex.assign(kMaxBlocks, 255);
    layout.Bodies.assign(kMaxBlocks, ByteString{9});
    layout.Strings.assign(kMaxStrings - 1, "S");
    layout.Strings.push_back(std::string(kTextEntrySize - 1, 's'));
    layout.MaxStringLength = kTextEntrySize;
    layout.Roots.assign(256, 1023);
    return layout;
}

std::vector<Row> Rows() {
    const std::string oneKey = Key_Text(false, 2, {One_Key("A")}), zero(1, '\0'),
                      end = Name_Line("End") + "0\n", still = "0 0 0 0 1 0 0 0 1\n";
    const TemplateLayout example = Example_Template(), empty, rich = Rich_Template();
    const ByteString valid = Build_Template(rich);
    const std::string unsupported = "\n[Load_from_File___All_NIF_Blocks] ERROR: Unsupported NIF file "
                                    "(support version '20.2.0.7' only)!\n";
    // The two warnings on a name of bone record 1 that begins and ends with `what`.
    const auto mistyped = [](const std::string& name, const std::string& what) {
        std::string text;
        for (const char* end : {"start", "end"})
            text += "WARNING: Line 3, bone record 1: the node name '" + name + "' " +
                    (end[0] == 's' ? "begins" : "ends") + " with " + what +
                    ": its name line has a character too many or too few at its " + end + "\n";
        return text;
    };
    const TemplateLayout full = Full_Template(), sequenced = Animated(example, false, 1, {One_Key("A")});
    const Key rest = {0, 0, 0, 0, 1, 0, 0, 0, 1};
    const float inf = std::numeric_limits<float>::infinity();
    const std::string noKeys = ": it has 0 keys: its node is held at the origin, unrotated, in the game",
                      early = "its time 0 s comes no later than the key before's";
    std::vector<Bone> unrotated = Generated_Bones(1, kMaxKeys, false, 3);
    for (Key& key : unrotated[0].Keys)
        std::copy(rest.begin() + 4, rest.end() - 1, key.begin() + 4);
    // Bone NPC Spine whose key 2 begins with `word` at byte `at` of the key text, refused as `shown`.
    const auto notNumber = [&](std::string name, std::size_t at, const std::string& word,
                               const std::string& shown) {
        const std::string head = "Quaternions\n2\n" + Name_Line("NPC Spine") + "2\n" + still;
        return Refuses(std::move(name), valid,
                       head + std::string(at - head.size(), ' ') + word + " 0 0 0 1 0 0 0 1\n" + end,
                       Keys_Refused(6, "bone record 1 'NPC Spine', key 2: '" + shown + "' is not a number!"));
    };
    const std::string
        numbers = "19.0 1.0 0.0 0.0 0.0 1", // key 2 of A read as a name line
        shortCount =
            "Quaternions\n2\n" + Name_Line("A") + "1\n" + still + "0.5 0.0 0.0 19.0 1.0 0.0 0.0 0.0 1.0\n",
        keyLine = "the name line looks like a key line: the key count 1 of bone record 1 (line 3) is likely "
                  "smaller than its keys";
    // A full template whose types are the first `copied` types a conversion adds.
    const auto noTypeRoom = [&](std::string name, std::size_t copied) {
        const std::vector<std::string> types =
            Words("NiTransformData NiTransformInterpolator NiTextKeyExtraData");
        return Refuses(std::move(name),
                       With(full,
                            [&](TemplateLayout& l) {
                                l.Bodies.clear(), l.Strings.clear();
                                std::copy_n(types.begin(), copied, l.BlockTypes.begin());
                            }),
                       oneKey, kConverted + Limit("AddNewNodeToHeader", "Header_NumBlockTypes=256"));
    };
    return {
        // Conversions, their blocks, types and strings byte for byte.
        Converts("one quaternion key over the example", example, false, 2, {One_Key("A")}),
        Warns(Converts("one Euler key, in degrees", example, true, 2,
                       {One_Key("A", {0.75f, 1, 2, 3, 0, 10, 20, 30, 1})}),
              {"5, bone record 1 'A', key 1: an angle of 10 is above 2 pi: radians are read, this looks like "
               "degrees"}),
        Converts("two bones over an empty template: no root name", empty, false, 2,
                 {One_Key("A"), One_Key("B")}),
        Converts("one record converts no bone", example, false, 1, {}),
        Warns(Converts("no Euler keys", example, true, 1, {{"A", {}}}), {"3, bone record 1 'A'" + noKeys}),
        Converts("as many keys as a bone holds, unrotated: no warning", example, false, 52, unrotated),
        // Of each kind three a bone, then a count; the line of each key's first number.
        Warns(Converts("keys that warn", example, false, 1,
                       {{"A", {rest, rest, rest, rest, rest}},
                        {"B", {{0.5f, inf, 0, 0, 1, 0.5f, 0, 0, 1}, {2, 0, 0, 0, -1, 0, 0, 0, 1}}},
                        {"", {}},
                        One_Key("A", rest)}),
              {"6, bone record 1 'A', key 2: " + early, "7, bone record 1 'A', key 3: " + early,
               "8, bone record 1 'A', key 4: " + early,
               "3, bone record 1 'A': 1 more keys come no later than the key before",
               "12, bone record 2 'B', key 1: a value is not finite (inf)",
               "12, bone record 2 'B', key 1: its rotation's length is 1.118034, not 1",
               "13, bone record 2 'B', key 2: its time 2 s comes after the duration",
               "13, bone record 2 'B', key 2: its rotation is in the other hemisphere from the key before's: "
               "the engine turns the long way round",
               "14, bone record 3 '': its node name is empty", "14, bone record 3 ''" + noKeys,
               "16, bone record 4 'A': the node is named by bone 1 too"}),
        Converts("on the edges: a length 0.0009999 off 1, a key at the duration, one at right angles",
                 example, false, 1,
                 {{"A", {{0, 0, 0, 0, 1.0009999f, 0, 0, 0, 1}, {1, 0, 0, 0, 0, 1, 0, 0, 1}}}}),
        Converts("the template's types and strings reused, names always added",
                 Example({"end", "A", "NPC Root [Root]"}, {"NiNode", "NiTransformData"}), false, 2,
                 {One_Key("A")}),
        Converts("the first exact root name",
                 Example({"npc root [root]", "NPC Root [Root] ", "NPC Root [Root]", "NPC Root [Root]"}),
                 false, 2, {One_Key("A")}),
        Converts("the controller type is the first string", Example({"NiTransformController"}), false, 2,
                 {One_Key("A")}),
        // How the key reader takes a text.
        // Quaternions checked, the line of the key's first number.
        Warns(Converts("both words: nine numbers, then eight over all but w; blank lines", example, false, 2,
                       {{"B", {{11, 12, 13, 14, 5, 16, 17, 18, 19}}}},
                       "Quaternions and Euler\n2e0\n\n  \t" + Name_Line("B") +
                           "1\n1 2 3 4 5 6 7 8 9\n11 12 13 14 16 17 18 19\n" + end),
              {"6, bone record 1 'B', key 1: its time 11 s comes after the duration",
               "6, bone record 1 'B', key 1: its rotation's length is 29.899834, not 1"}),
        // The last record is never converted: what it lacks at the file's end changes nothing.
        Converts("a closing record without its count", example, false, 2, {One_Key("A")},
                 Key_Text(false, 2, {One_Key("A")}).substr(0, oneKey.size() - 2)),
        {"a closing record with keys, cut short, and names with a quote too many", Build_Template(example),
         "Euler\n2\n" + std::string("Bone name:  \"A\"; \n0\n") + Name_Line(" End") + "1\n1 2",
         kKeys + "<done>\n" + mistyped("\"A\"", "a double quote") +
             "WARNING: Line 5, bone record 2 ' End' holds 1 keys but is not converted: a key file ends "
             "with one record more than its bones, such as 'End of keys' with 0 keys\n\n"
             "WARNING: Line 3, bone record 1 '\"A\"'" +
             noKeys + "\n",
         Build_Template(Animated(example, true, 2, {{"\"A\"", {}}}))},
        {"a name between a tab and a carriage return", Build_Template(example),
         "Quaternions\n2\n" + Name_Line("\tA\r") + "0\n" + end,
         kKeys + "<done>\n" + mistyped("\tA\r", "white space") + "\nWARNING: Line 3, bone record 1 '\tA\r'" +
             noKeys + "\n",
         Build_Template(Animated(example, false, 2, {{"\tA\r", {}}}))},
        // The template alone: copied, or refused with the message that says where.
        Copies("every table at its capacity", full),
        Copies("the largest body the writer takes", Example({}, {}, kMaxBlockSize - 1)),
        Copies("the largest body the reader takes", Example({}, {}, kMaxBlockSize),
               Limit("Write_All_NIF_Block_to_File", "NifBlocks[0].Size=5242880")),
        Refuses("a .kf given as the key file", ByteString(valid.begin(), valid.end() - 13),
                std::string(valid.begin(), valid.end()),
                kLoading +
                    "\n[Load_from_File___All_NIF_Blocks] ERROR: The file ends inside 'NifBlocks[2]' (299 of "
                    "its 300 bytes are there)!\n\nERROR: The two files look swapped: give the template .kf "
                    "first and the key file second!\n"),
        Refused("another version", With(example, [](TemplateLayout& l) { l.Version[0] = 4; }), unsupported),
        Refused("1025 blocks", With(empty, [](TemplateLayout& l) { l.NumBlocks = 1025; }),
                Limit("Load_from_File___Header", "Header_NumBlocks=1025")),
        Refused("257 block types", With(empty, [](TemplateLayout& l) { l.NumBlockTypes = 257; }),
                Limit("Load_from_File___Header", "Header_NumBlockTypes=257")),
        Refused("257 strings", With(empty, [](TemplateLayout& l) { l.NumStrings = 257; }),
                Limit("Load_from_File___Header", "Header_NumStrings=257")),
        Refused("257 roots", With(example, [](TemplateLayout& l) { l.Roots.assign(257, 0); }),
                Limit("Load_from_File___NiFooter", "NiFooter_NumRoots=257")),
        Refused("a body of 0x500001 bytes", Build_Template(Example({}, {}, kMaxBlockSize + 1)),
                Limit("Load_from_File___All_NIF_Blocks", "Header_BlockSize[0]=5242881")),
        Refused("a string of 256 bytes", Build_Template(Example({std::string(256, 's')})),
                Limit("Load_from_File___Header", "Header_Strings[0] length=256")),
        Refused("a short string of 255 bytes",
                With(example, [](TemplateLayout& l) { l.ShortStrings[0] = std::string(255, 'c'); }),
                Limit("Load_from_File___Header", "Header_Creator length=255")),
        Refused("a zero byte in a string", Build_Template(Example({"ab", "a" + zero + "b"})),
                "\n[Load_from_File___Header] ERROR: Variable 'Header_Strings[1]' holds a zero byte!\n"),
        Refused("a line feed in a type name",
                With(empty, [](TemplateLayout& l) { l.BlockTypes = {"Ni\nNode"}; }),
                "\n[Load_from_File___Header] ERROR: Variable 'Header_BlockTypes[0]' holds a line feed!\n"),
        Refused("a header line without a line feed",
                With(example, [](TemplateLayout& l) { l.HeaderLine = std::string(511, 'N'); }),
                "\n[Load_from_File___All_NIF_Blocks] ERROR: The header line is not one line of text (a zero "
                "byte, or no line feed in its first 511 bytes)!\n"),
        Refused("a block type index past the types",
                With(rich, [](TemplateLayout& l) { l.BlockTypeIndex[0] = 2; }),
                Limit("Load_from_File___All_NIF_Blocks", "Header_BlockTypeIndex[0]=2",
                      "limits (2 block types)!")),
        {"a template without a footer", ByteString(valid.begin(), valid.end() - 12), std::nullopt,
         kLoading + "<done>\n", With(rich, [](TemplateLayout& l) { l.Roots.clear(); })},
        Refused("a root cut short", ByteString(valid.begin(), valid.end() - 1),
                "\n[Load_from_File___NiFooter] ERROR: The file ends inside 'NiFooter_Roots[1]' (3 of its 4 "
                "bytes are there)!\n"),
        // Key files the driver or the key reader refuses.
        Refuses("301 records", valid, Key_Text(false, 1, Generated_Bones(300, 0, false, 0)),
                Keys_Refused(603, "bone record 301: the file holds more than the 300 records that fit!")),
        Refuses("1537 keys", valid, "Quaternions\n2\n" + Name_Line("A") + "1537\n",
                Keys_Refused(4, "bone record 1: Variable 'NumKeys=1537' is out of limits (0 to 1536)!")),
        Refuses(
            "a name line too short", valid, "Euler\n2\nBone name: \"\n",
            Keys_Refused(3, "bone record 1: the name line holds 13 characters, fewer than the 15 it needs!")),
        Refuses("a negative key count", valid,
                "Euler\n2\n" + Name_Line("A") + "0\n" + Name_Line("B") + "-2\n",
                Keys_Refused(6, "bone record 2: Variable 'NumKeys=-2' is out of limits (0 to 1536)!")),
        // Numbers it cannot read in the duration or a converted record: their zeros would collapse the bone.
        // The refused word as the scanner holds it: no more than 64 bytes from a chunk before, "..." for
        // what it no longer or not yet holds.
        notNumber("a decimal comma past the first chunk", 20000, "0,5", "0,5"),
        notNumber("a word from the chunk before", 16304, std::string(90, '1') + ",5",
                  "..." + std::string(74, '1') + ",5"),
        notNumber("a word at the chunk's end", 16382, "0,5", "0,..."),
        Refuses("no format word", valid, "Rotations\n2\n" + end,
                kKeys + "<done>\n\nERROR: Animation data format don't recognized !\n"),
        Refuses("more keys counted than follow", valid,
                "Quaternions\n2\n" + Name_Line("A") + "2\n" + still + Name_Line("B") + "0\n" + end,
                Keys_Refused(6, "bone record 1 'A', key 2: 'Bone' is not a number!")),
        // A key count too small: the key line read as a name line says so.
        Refuses("a key count one too small", valid, shortCount + Name_Line("B") + "0\n" + end,
                Keys_Refused(7, "bone record 2 '" + numbers +
                                    "', key count: 'Bone' is not a number: " + keyLine + "!")),
        {"a key count two too small", Build_Template(example),
         shortCount + "1." + still + end, // the count 1, then a key from ".0"
         kKeys + "<done>\nWARNING: Line 6, bone record 2 '" + numbers + "': " + keyLine + "\n\n",
         Build_Template(Animated(example, false, 2, {One_Key("A", rest), One_Key(numbers, rest)}))},
        // Tables that the new blocks, types and strings overfill.
        Refuses("299 bones: no room for their names", Build_Template(example),
                Key_Text(false, 1, Generated_Bones(299, 0, false, 0)),
                kConverted + Limit("Append_String_to_Header", "Header_NumStrings=256")),
        Refuses("no room for the text key \"end\"",
                With(example, [](TemplateLayout& l) { l.Strings.resize(kMaxStrings - 1, "s"); }), oneKey,
                kConverted + Limit("Create_New_String_in_Header", "Header_NumStrings=256")),
        {"a template holding a sequence", Build_Template(sequenced), oneKey,
         kLoading +
             "<done>\nWARNING: The template 'template.kf' already holds the sequence 'SpecialIdle': the "
             "output holds it beside the new one\nLoading ANIMATION KEYS from 'keys.txt' to Memory: "
             "<done>\n\n",
         Build_Template(Animated(sequenced, false, 2, {One_Key("A")}))},
        Refuses("no room for a block",
                With(Example({}, {"T"}), [](TemplateLayout& l) { l.Bodies.assign(1023, {}); }), oneKey,
                kConverted + "\n[AllocateRAM_forNifBlock] ERROR: Number of NIF block is too big !\n"),
        noTypeRoom("no room for the text keys' block type", 2),
        noTypeRoom("no room for the sequence's block type", 3),
    };
}

// ---- the sequence file ----------------------------------------------------------------------------

const std::string kSequence =
    kKeys + "<done>\nLoading SEQUENCE settings from 'keys.sequence.txt' to Memory: ";
const std::vector<Bone> kTwoBones = {One_Key("A"), One_Key("B")};

// Bones A and B over `layout` with `sequence`, which the output holds as `settings`.
Row Sequenced(std::string name, const std::string& sequence, const SequenceSpec& settings,
              const TemplateLayout& layout = Example_Template()) {
    const ByteString output = Build_Template(Animated(layout, false, 2, kTwoBones, settings));
    return {std::move(name),
            Build_Template(layout),
            Key_Text(false, 2, kTwoBones),
            kSequence + "<done>\n\n",
            output,
            sequence};
}

// `row` refused with `console` printed after the sequence file's loading text.
Row Refused_After(Row row, const std::string& console) {
    row.Console = kSequence + console;
    row.Output.clear();
    return row;
}

// Refused with "Line `where`!"; the row is named by its message.
Row Sequence_Refused(const std::string& sequence, const std::string& where) {
    return Refused_After(Sequenced(where, sequence, {}),
                         "\n[Load_from_File___Sequence_Settings] ERROR: Line " + where +
                             "!\n\nERROR: Cannot load Sequence settings without errors!\n");
}

std::vector<Row> Sequence_Rows() {
    TemplateLayout crowded = Example_Template(); // room for "start", "end", "A" and "B" alone
    crowded.Strings.resize(kMaxStrings - 4, "s");
    const std::string big = "1" + std::string(42, '0') + "e-3"; // 1e39, its power in its digits
    std::string tooMany;
    for (std::uint32_t k = 0; k <= kMaxKeys; ++k)
        tooMany += "Text key 1 \"k\"\n";
    return {
        Sequenced("a name, reverse", "Name \"Attack1\"\nCycle reverse\n", {.Name = "Attack1", .Cycle = 1}),
        Sequenced("a cycle, a frequency, a weight, a start and a stop, each number in its own form",
                  "Cycle 4294967295\nFrequency +1.5\nWeight .25\nStart 5e-1\nStop 17E-1\n",
                  {.Cycle = 4294967295u, .Frequency = 1.5f, .Weight = 0.25f, .Start = 0.5f, .Stop = 1.7f}),
        Sequenced("a root added, cycle loop", "Accumulation root \"Bip01\"\nCycle loop\n", {.Root = "Bip01"}),
        Sequenced(
            "text keys in place of start and end",
            "Text key 0.5 \"Hit\"\nText key 0 \"NPC Root [Root]\"\nText key 1 \"say \\\"hi\\\" \\\\\"\n",
            {.TextKeys = {{{0.5f, "Hit"}, {0, "NPC Root [Root]"}, {1, "say \"hi\" \\"}}}}),
        Sequenced("priorities, the template's first string as the root",
                  "Priority \"B\" +30\nPriority \"A\" -0\nAccumulation root \"NPC Root [Root]\"\n",
                  {.Root = "NPC Root [Root]", .Priorities = {{"B", 30}}}),
        Sequenced("a lone byte-order mark, CR LF, comments, blanks, tabs; underflows of both signs, no root, "
                  "no text keys",
                  "\xEF\xBB\xBF\r\n# for keys.txt\r\n\r\n \t\r\n\tName \t\"Attack1\"  \r\nCycle clamp\r\n"
                  "Start 1e-46\r\nStop -1e-46\r\nAccumulation root none\r\nText keys none",
                  {.Name = "Attack1", .Cycle = 2, .Stop = -0.0f, .NoRoot = true, .TextKeys = {{}}}),
        Refused_After(Sequenced("no room for the name", "\nName \"Attack1\"\n", {}, crowded),
                      "<done>\n\n" + Limit("Create_New_String_in_Header", "Header_NumStrings=256",
                                           "limits (the text on line 2 of 'keys.sequence.txt')!")),
        Sequence_Refused("Name \"A\"\nText key fast \"a\"\n", "2: a number is expected"),
        Sequence_Refused("Frequency " + big + "\n", "1: the number " + big + " is not finite as a float"),
        Sequence_Refused("Cycle -1\n", "1: the cycle type -1 is outside 0 to 4294967295"),
        Sequence_Refused("#" + std::string(kSequenceLineSize - 1, 'x') + "\n#" +
                             std::string(kSequenceLineSize, 'x'),
                         "2: the line is longer than the 1024 bytes read here"),
        Sequence_Refused("Weight\n", "1: 'Weight' is given no value"),
        Sequence_Refused("Name A\n", "1: a text in double quotes is expected"),
        Sequence_Refused("Priority \"G\" 3\n", "1: a priority for 'G', a node the key file does not hold"),
        Sequence_Refused(tooMany, "1537: more text keys than the 1536 the table holds"),
    };
}

class Conversion : public testing::TestWithParam<Row> {};

TEST_P(Conversion, PrintsAndWritesWhatItMust) {
    const Row& row = GetParam();
    testing::internal::CaptureStdout();
    const ByteString output =
        Convert(row.Template, row.Keys ? &*row.Keys : nullptr, row.Sequence ? &*row.Sequence : nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), row.Console);
    EXPECT_TRUE(output == row.Output) << output.size() << " bytes written, " << row.Output.size();
    EXPECT_EQ(Table_Fault(), "");
}

INSTANTIATE_TEST_SUITE_P(Table, Conversion, testing::ValuesIn(Rows()), Row_Name);
INSTANTIATE_TEST_SUITE_P(Sequences, Conversion, testing::ValuesIn(Sequence_Rows()), Row_Name);

// The writer reserves for a transform-data record the bytes its body takes, key type by key type, and
// writes nothing past what it reserved.
TEST(Writer, ReservesWhatABodyTakesAndWritesNoMore) {
    for (const Tracks& tracks : {Tracks{.Rotations = {3, {{0, 1}}}, .Translations = {1, {{0, 1, 2, 3}}}},
                                 Tracks{.Rotations = {1, {{0, 1}}}}, Tracks{.Scales = {2, {{0, 1}}}},
                                 Tracks{.Angles = {{3, {{0, 1}}}, {2, {{0, 1}}}, {1, {{0, 1}}}}}}) {
        const ByteString body = Transform_Data(tracks);
        ByteReader in{body.data(), static_cast<std::uint32_t>(body.size()), 0, nullptr};
        static TransformData record;
        ASSERT_EQ(Load_from_Memory___NiTransformData(in, record), 0);
        EXPECT_EQ(Calculate_Size___NiTransformData(record), body.size());
    }
    std::uint8_t bytes[8] = {};
    ByteWriter out{bytes, 5, 0, false};
    // After a word, the byte fills it; neither the next byte nor the next word fits.
    Write_u32(out, 0), Write_u8(out, 7), Write_u8(out, 9), Write_u32(out, 0xFFFFFFFFu);
    EXPECT_TRUE(out.Overflow && out.Pos == 5 && bytes[4] == 7 && bytes[5] == 0);
}

} // namespace
