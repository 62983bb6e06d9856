// The built programs, run in a temporary folder with standard input at end of file: whole transcripts,
// exit statuses and written bytes of every way out, the round trip through posewright-keys, the
// problems it reports, and inputs cut short or with flipped bits.
#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <limits>
#include <optional>

#include "driver/driver.h"
#include "driver/keys_driver.h"
#include "support/fixtures.h"

namespace {

namespace fs = std::filesystem;

const std::string kOpen = "\nTry to open files:\n";
const std::string kLoaded = "\n[Load_from_File___All_NIF_Blocks] Loading NIF header: <done>\n";
const std::string kConverted = "\n\n\t[ Converting Animation to KF format is DONE ! ]\n";
const std::string kReadBack = "\n\t[ Reading KF animation to key text is DONE ! ]\n";
const std::string kTerminated = "\nProgram terminated because of Errors !\n";

std::string Name_Of_Output(const std::string& kf) {
    char name[256];
    return Derive_Output_File_Name(kf.c_str(), name, sizeof name) ? name : "";
}

std::string Ok(const std::string& name) {
    return "\t- '" + name + "' <ok>\n";
}
std::string Not_Found(const std::string& name) {
    return "\t- '" + name + "' was NOT found\n";
}
std::string Opened(const std::string& kf, const std::string& keys) {
    return kOpen + Ok(kf) + Ok(keys) + "\t- '" + Name_Of_Output(kf) + "' <created>\n";
}
std::string Keys_Loaded(const std::string& name) {
    return "Loading ANIMATION KEYS from '" + name + "' to Memory: <done>\n";
}

// The bones of examples/AnimationKeys.txt.
const std::vector<Bone> kExampleBones = {
    {"NPC Root [Root]",
     {{0, 0, 0, 0, 1, 0, 0, 0, 1},
      {0.5f, 0, 0, 2.5f, 0.9962f, 0, 0, 0.0872f, 1},
      {1, 0, 0, 0, 1, 0, 0, 0, 1}}},
    {"NPC Spine",
     {{0, 0, 0, 10, 1, 0, 0, 0, 1},
      {0.5f, 0, 0, 10, 0.9848f, 0.1736f, 0, 0, 1},
      {1, 0, 0, 10, 1, 0, 0, 0, 1}}},
    {"NPC Head", {{0, 0, 0, 25, 1, 0, 0, 0, 1}, {1, 0, 0, 25, 0.9659f, 0, 0.2588f, 0, 1}}},
};

// The key text without its format line, whose wording the writer chooses.
std::string Keys_Body(const std::string& text) {
    return text.substr(text.find('\n'));
}

enum class Kind { File, Folder, FullDevice };
struct Input {
    std::string Name;
    ByteString Bytes;
    Kind Is = Kind::File;
};

class Programs : public testing::Test {
  protected:
    RunResult Run(const std::string& program, const std::vector<std::string>& arguments, int status) {
        const RunResult result = Run_Program(program, Dir.Path, arguments);
        EXPECT_EQ(result.ExitCode, status) << result.Transcript;
        return result;
    }
    void Put(const Input& input) {
        const std::string path = Dir / input.Name;
        if (input.Is == Kind::Folder) fs::create_directory(path);
        if (input.Is == Kind::FullDevice) fs::create_symlink("/dev/full", path);
        if (input.Is == Kind::File) Write_File(path, input.Bytes);
    }
    bool Has(const std::string& name) const { return fs::exists(Dir / name); }
    ByteString Get(const std::string& name) const { return Read_File(Dir / name); }

    TempDir Dir;
};

TEST_F(Programs, BundledExampleConvertsAndReadsBack) {
    const std::string examples = POSEWRIGHT_EXAMPLES;
    EXPECT_EQ(Read_File(examples + "/Empty.kf"), Build_Template(Example_Template()));
    for (const char* name : {"Empty.kf", "AnimationKeys.txt"})
        fs::copy_file(examples + "/" + name, Dir / name);
    EXPECT_EQ(Run("posewright", {"Empty.kf", "AnimationKeys.txt"}, 0).Transcript,
              Opened("Empty.kf", "AnimationKeys.txt") + kLoaded + Keys_Loaded("AnimationKeys.txt") +
                  kConverted);
    const ByteString converted = Get("Empty_new.kf");
    EXPECT_EQ(converted, Build_Template(Animated(Example_Template(), false, 1, kExampleBones)));

    EXPECT_EQ(Run("posewright-keys", {"Empty_new.kf"}, 0).Transcript,
              kOpen + Ok("Empty_new.kf") + kLoaded +
                  "\nSequence 'SpecialIdle': 3 bones, 8 keys, 1 s, quaternions\n\t- 'Empty_new_keys.txt' "
                  "<written>\n\nNo problems found.\n" +
                  kReadBack);
    const ByteString text = Get("Empty_new_keys.txt");
    EXPECT_EQ(Keys_Body({text.begin(), text.end()}), Keys_Body(Key_Text(false, 1, kExampleBones)));
    Run("posewright", {"Empty.kf", "Empty_new_keys.txt"}, 0);
    EXPECT_EQ(Get("Empty_new.kf"), converted);
}

// Generated bones of every kind of float, at the capacity of the tables (251 bones beside the five
// strings of a conversion over the example), converted, read back and converted again: the same file.
TEST_F(Programs, RoundTripsAtCapacityInBothForms) {
    for (const bool euler : {false, true}) {
        SCOPED_TRACE(euler ? "Euler angles" : "quaternions");
        Put({"Empty.kf", Build_Template(Example_Template())});
        Put({"keys.txt", As_Bytes(Key_Text(euler, 51, Generated_Bones(251, 1536, euler, 7)))});
        Run("posewright", {"Empty.kf", "keys.txt"}, 0);
        const ByteString first = Get("Empty_new.kf");
        Run("posewright-keys", {"Empty_new.kf"}, 0);
        Run("posewright", {"Empty.kf", "Empty_new_keys.txt"}, 0);
        EXPECT_TRUE(Get("Empty_new.kf") == first);
    }
}

struct WayOut {
    std::string Name;
    std::vector<Input> Inputs;
    std::string Program;
    std::vector<std::string> Arguments;
    std::string Transcript;
};

// Every way out but success ends with status 1 and leaves no output: an empty or no .kf, no key file.
TEST_F(Programs, EveryFailureSaysSoAndLeavesNoOutput) {
    const ByteString example = Build_Template(Example_Template());
    const std::string oneKey = Key_Text(false, 2, {{"A", {{0, 0, 0, 0, 1, 0, 0, 0, 1}}}});
    const ByteString converted = Build_Template(Animated(Example_Template(), false, 2, {{"A", {}}}));
    TemplateLayout damaged = Animated(Example_Template(), false, 2, {});
    damaged.Bodies.back().push_back(0);
    TemplateLayout crowded = Example_Template();
    for (int i = 0; i < 253; ++i)
        crowded.Strings.push_back("s" + std::to_string(i));
    const std::string usage = "\nERROR: not enough arguments.\n\n\t(Example of use: 'Posewright.exe Empty.kf "
                              "AnimationKeys.txt')\n";
    const std::string unsupported =
        "\n[Load_from_File___All_NIF_Blocks] Loading NIF header: \n[Load_from_File___All_NIF_Blocks] ERROR: "
        "Unsupported NIF file (support version '20.2.0.7' only)!\n" +
        kTerminated;
    const std::string longName(256, 'k'), longStem(249, 'e');
    const Input kf{"Empty.kf", example}, keys{"keys.txt", As_Bytes(oneKey)},
        bad{"Empty.kf", ByteString(50, 7)};
    const std::vector<WayOut> rows = {
        {"no arguments", {}, "posewright", {}, usage},
        {"one argument", {kf}, "posewright", {"Empty.kf"}, usage},
        {"no template", {}, "posewright", {"Empty.kf", "keys.txt"}, kOpen + Not_Found("Empty.kf")},
        {"no key file",
         {kf},
         "posewright",
         {"Empty.kf", "keys.txt"},
         kOpen + Ok("Empty.kf") + Not_Found("keys.txt")},
        {"the output cannot be created",
         {kf, keys, {"Empty_new.kf", {}, Kind::Folder}},
         "posewright",
         {"Empty.kf", "keys.txt"},
         kOpen + Ok("Empty.kf") + Ok("keys.txt") + Not_Found("Empty_new.kf")},
        {"the output is an input",
         {{"x.kf", example}, {"x_new.kf", As_Bytes(oneKey)}},
         "posewright",
         {"x.kf", "x_new.kf"},
         kOpen + Ok("x.kf") + Ok("x_new.kf") +
             "\nERROR: Output file 'x_new.kf' is the input file 'x_new.kf': it would be overwritten!\n"},
        {"a file name too long",
         {},
         "posewright",
         {"Empty.kf", longName},
         "\nERROR: File name '" + longName + "' is too long (at most 255 characters)!\n"},
        {"an output name too long",
         {},
         "posewright",
         {longStem, "keys.txt"},
         "\nERROR: Output file name for '" + longStem + "' is too long (at most 255 characters)!\n"},
        {"a template refused",
         {bad, keys},
         "posewright",
         {"Empty.kf", "keys.txt"},
         Opened("Empty.kf", "keys.txt") + unsupported},
        {"a key file refused",
         {kf, {"keys.txt", As_Bytes("Quaternions\n2\n")}},
         "posewright",
         {"Empty.kf", "keys.txt"},
         Opened("Empty.kf", "keys.txt") + kLoaded + Keys_Loaded("keys.txt") +
             "\nERROR: Cannot load Animation keys without errors!\n"},
        {"a format not recognised",
         {kf, {"keys.txt", As_Bytes("Keys\n2\n" + Name_Line("A") + "0\n")}},
         "posewright",
         {"Empty.kf", "keys.txt"},
         Opened("Empty.kf", "keys.txt") + kLoaded + Keys_Loaded("keys.txt") +
             "\nERROR: Animation data format don't recognized !\n"},
        {"a full table",
         {{"Empty.kf", Build_Template(crowded)}, keys},
         "posewright",
         {"Empty.kf", "keys.txt"},
         Opened("Empty.kf", "keys.txt") + kLoaded + Keys_Loaded("keys.txt") +
             "\n\n[Append_String_to_Header] ERROR: Variable 'Header_NumStrings=256' is out of limits!\n" +
             kTerminated},
        {"a full disk",
         {kf, keys, {"Empty_new.kf", {}, Kind::FullDevice}},
         "posewright",
         {"Empty.kf", "keys.txt"},
         Opened("Empty.kf", "keys.txt") + kLoaded + Keys_Loaded("keys.txt") +
             "\n\n[Write_All_NIF_Block_to_File] ERROR: Cannot write 'Empty_new.kf' (disk full or no "
             "access)!\n" +
             kTerminated},
        {"posewright-keys without arguments",
         {},
         "posewright-keys",
         {},
         "\nERROR: not enough arguments.\n\n\t(Example of use: 'Posewright-Keys.exe Walk.kf')\n"},
        {"no .kf", {}, "posewright-keys", {"Empty.kf"}, kOpen + Not_Found("Empty.kf")},
        {"not a container", {bad}, "posewright-keys", {"Empty.kf"}, kOpen + Ok("Empty.kf") + unsupported},
        {"no sequence",
         {kf},
         "posewright-keys",
         {"Empty.kf"},
         kOpen + Ok("Empty.kf") + kLoaded +
             "\nERROR: 'Empty.kf' holds no animation (no NiControllerSequence block)!\n"},
        {"only a damaged sequence",
         {{"Empty.kf", Build_Template(damaged)}},
         "posewright-keys",
         {"Empty.kf"},
         kOpen + Ok("Empty.kf") + kLoaded +
             "\nProblems found:\n\t- Sequence in block 1 'NiControllerSequence': block 1 "
             "'NiControllerSequence' does "
             "not hold the layout read here (bytes are left after its last field): skipped\n\nERROR: No "
             "sequence of "
             "'Empty.kf' could be read!\n"},
        {"a full disk for the key file",
         {{"Empty.kf", converted}, {"Empty_keys.txt.part", {}, Kind::FullDevice}},
         "posewright-keys",
         {"Empty.kf"},
         kOpen + Ok("Empty.kf") + kLoaded +
             "\nSequence 'SpecialIdle': 1 bones, 0 keys, 2 s, quaternions\n\n[Save_to_File___Animation_Keys] "
             "ERROR: "
             "Cannot write 'Empty_keys.txt' (disk full or no access)!\n"},
    };
    for (const WayOut& row : rows) {
        SCOPED_TRACE(row.Name);
        TempDir fresh;
        std::swap(Dir.Path, fresh.Path);
        for (const Input& input : row.Inputs)
            Put(input);
        Put({"Empty_keys.txt", As_Bytes("kept\n")}); // a key file that a failed run must not replace
        EXPECT_EQ(Run(row.Program, row.Arguments, 1).Transcript, row.Transcript);
        const fs::path output = Dir / "Empty_new.kf";
        EXPECT_TRUE(!fs::is_regular_file(output) || fs::is_symlink(output) || fs::file_size(output) == 0);
        EXPECT_EQ(Get("Empty_keys.txt"), As_Bytes("kept\n"));
        EXPECT_FALSE(Has("Empty_keys.txt.part") && !fs::is_symlink(Dir / "Empty_keys.txt.part"));
        if (row.Name == "the output is an input") {
            EXPECT_EQ(Get("x_new.kf"), As_Bytes(oneKey));
        }
        std::swap(Dir.Path, fresh.Path);
    }
}

struct Problem {
    std::string Name;
    TemplateLayout File;
    std::string Sequence; // the sequence's line
    std::string Lines;    // its problem lines
};

TemplateLayout With_Keys(bool euler, float duration, const std::vector<Bone>& bones) {
    return Animated(Example_Template(), euler, duration, bones);
}

template <typename Change>
TemplateLayout Changed(TemplateLayout layout, Change change) {
    change(layout);
    return layout;
}

TEST_F(Programs, ReadBackReportsEachKindOfProblem) {
    const Key still = {0, 0, 0, 0, 1, 0, 0, 0, 1};
    const auto at = [&](float time, float w = 1, float x = 0) { return Key{time, 0, 0, 0, w, x, 0, 0, 1}; };
    const std::string where = "\t- Sequence 'SpecialIdle', bone 1 'A'";
    const auto one = [](const char* form, int keys) {
        return std::string("1 bones, ") + std::to_string(keys) + " keys, 1 s, " + form;
    };
    const std::vector<Problem> rows = {
        {"times that do not increase", With_Keys(false, 1, {{"A", {at(0), at(0.5f), at(0.5f)}}}),
         one("quaternions", 3), where + ", key 3: its time 0.5 s comes no later than the key before's\n"},
        {"a key after the duration", With_Keys(false, 1, {{"A", {at(0), at(2)}}}), one("quaternions", 2),
         where + ", key 2: its time 2 s comes after the duration\n"},
        {"rotations of another length, three told",
         With_Keys(false, 1, {{"A", {at(0, 2), at(0.1f, 2), at(0.2f, 2), at(0.3f, 2), at(0.4f, 2)}}}),
         one("quaternions", 5),
         where + ", key 1: its rotation's length is 2, not 1\n" + where +
             ", key 2: its rotation's length is 2, not 1\n" + where +
             ", key 3: its rotation's length is 2, not 1\n" + where +
             ": 2 more rotations have a length other than 1\n"},
        {"the long way round", With_Keys(false, 1, {{"A", {at(0), at(1, -1)}}}), one("quaternions", 2),
         where + ", key 2: its rotation is in the other hemisphere from the key before's: the engine turns "
                 "the long "
                 "way round\n"},
        {"degrees", With_Keys(true, 1, {{"A", {at(0, 0, 90)}}}), one("Euler angles", 1),
         where + ", key 1: an angle of 90 is above 2 pi: radians are read, this looks like degrees\n"},
        {"a value not finite",
         With_Keys(false, 1, {{"A", {{0, std::numeric_limits<float>::infinity(), 0, 0, 1, 0, 0, 0, 1}}}}),
         one("quaternions", 1), where + ", key 1: a value is not finite (inf)\n"},
        {"a node named twice, a node without a name", With_Keys(false, 1, {{"A", {}}, {"A", {}}, {"", {}}}),
         "3 bones, 0 keys, 1 s, quaternions",
         "\t- Sequence 'SpecialIdle', bone 2 'A': the node is named by bone 1 too\n\t- Sequence "
         "'SpecialIdle', "
         "bone 3 '': its node name is empty\n"},
        {"text keys other than the sequence's times",
         Changed(With_Keys(false, 1, {{"A", {still}}}),
                 [](TemplateLayout& l) { l.Bodies[2] = Text_Keys_Body(1, 5, 2); }),
         one("quaternions", 1),
         "\t- Sequence 'SpecialIdle': its \"end\" text key is at 5 s, the sequence's end at 1 s\n"},
        {"tangents dropped",
         Changed(With_Keys(false, 1, {{"A", {still}}}),
                 [](TemplateLayout& l) {
                     l.Bodies[0] = Bytes().u32s({0, 0, 1, 2}).f32s({0, 1, 0.5f, 0}).Data;
                 }),
         one("quaternions", 1),
         where +
             ": tangents or tension, bias and continuity that are not zero were dropped: the key text has no "
             "place for them\n"},
        {"tracks with their own times",
         Changed(With_Keys(false, 1, {{"A", {still}}}),
                 [](TemplateLayout& l) {
                     l.Bodies[0] = Bytes()
                                       .u32s({2, 1})
                                       .f32s({0, 1, 0, 0, 0, 1, 0, 1, 0, 0})
                                       .u32s({1, 1})
                                       .f32s({0.5f, 4, 0, 0})
                                       .u32(0)
                                       .Data;
                 }),
         one("quaternions", 3),
         where + ": its tracks have different key times: resampled at every one of them\n"},
        {"a compressed interpolator",
         Changed(With_Keys(false, 1, {{"A", {still}}}),
                 [](TemplateLayout& l) {
                     l.BlockTypes.push_back("NiBSplineCompTransformInterpolator");
                     l.BlockTypeIndex[1] = static_cast<std::uint16_t>(l.BlockTypes.size() - 1);
                 }),
         one("quaternions", 0),
         where + ": its interpolator (block 1 'NiBSplineCompTransformInterpolator') is compressed: written "
                 "with 0 keys\n"},
        {"damaged transform data",
         Changed(With_Keys(false, 1, {{"A", {still}}}), [](TemplateLayout& l) { l.Bodies[0].pop_back(); }),
         one("quaternions", 0),
         where +
             ": block 0 'NiTransformData' does not hold the layout read here (its fields run past its end): "
             "written with 0 keys\n"},
        {"bones of both forms",
         Changed(
             With_Keys(false, 1, {{"A", {still}}, {"B", {still}}}),
             [&](TemplateLayout& l) { l.Bodies[2] = Transform_Data_Body(true, std::vector<Key>{still}); }),
         "2 bones, 1 keys, 1 s, quaternions",
         "\t- Sequence 'SpecialIdle', bone 2 'B': its rotations are angles, the sequence's are not: written "
         "with 0 "
         "keys\n"},
    };
    for (const Problem& row : rows) {
        SCOPED_TRACE(row.Name);
        Put({"x.kf", Build_Template(row.File)});
        EXPECT_EQ(Run("posewright-keys", {"x.kf"}, 0).Transcript,
                  kOpen + Ok("x.kf") + kLoaded + "\nSequence 'SpecialIdle': " + row.Sequence +
                      "\n\t- 'x_keys.txt' <written>\n\nProblems found:\n" + row.Lines + kReadBack);
    }
}

// Every prefix of the examples, and a fixed set of bit flips of the template, end in a message with
// status 1 and no output, or in a file that posewright-keys reads back; so do the prefixes of that file.
TEST_F(Programs, DamagedInputsEndInAMessageOrAValidFile) {
    const std::string examples = POSEWRIGHT_EXAMPLES;
    const ByteString kf = Read_File(examples + "/Empty.kf"),
                     keys = Read_File(examples + "/AnimationKeys.txt");
    const ByteString output = Build_Template(Animated(Example_Template(), false, 1, kExampleBones));
    std::vector<std::pair<ByteString, ByteString>> conversions;
    for (std::size_t n = 0; n < kf.size(); ++n)
        conversions.push_back({ByteString(kf.begin(), kf.begin() + static_cast<long>(n)), keys});
    for (std::size_t n = 0; n < keys.size(); ++n)
        conversions.push_back({kf, ByteString(keys.begin(), keys.begin() + static_cast<long>(n))});
    for (std::size_t bit = 0; bit < 8 * kf.size(); bit += 5) {
        ByteString flipped = kf;
        flipped[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
        conversions.push_back({flipped, keys});
    }
    // Every fourth prefix of the output; under an emulator, every tenth case of all.
    const std::size_t cases = conversions.size() + output.size() / 4;
    const std::size_t stride = std::getenv("POSEWRIGHT_RUNNER") != nullptr ? 10 : 1;
    const auto check = [&](std::size_t first) {
        for (std::size_t i = first; i < cases; i += 2 * stride) {
            TempDir dir;
            const bool converting = i < conversions.size();
            if (converting) {
                Write_File(dir / "Empty.kf", conversions[i].first);
                Write_File(dir / "keys.txt", conversions[i].second);
                const RunResult run = Run_Program("posewright", dir.Path, {"Empty.kf", "keys.txt"});
                const bool done = run.Transcript.ends_with(kConverted);
                EXPECT_EQ(run.ExitCode, done ? 0 : 1) << "case " << i << "\n" << run.Transcript;
                if (!done) {
                    EXPECT_TRUE(Read_File(dir / "Empty_new.kf").empty()) << "case " << i;
                    continue;
                }
            } else {
                const auto size = static_cast<long>(4 * (i - conversions.size()));
                Write_File(dir / "Empty_new.kf", ByteString(output.begin(), output.begin() + size));
            }
            const RunResult back = Run_Program("posewright-keys", dir.Path, {"Empty_new.kf"});
            const bool read = back.Transcript.ends_with(kReadBack);
            EXPECT_TRUE(read || (!converting && back.Transcript.find("ERROR") != std::string::npos))
                << "case " << i;
            EXPECT_EQ(back.ExitCode, read ? 0 : 1) << "case " << i << "\n" << back.Transcript;
            EXPECT_EQ(fs::exists(dir / "Empty_new_keys.txt"), back.ExitCode == 0) << "case " << i;
            EXPECT_FALSE(fs::exists(dir / "Empty_new_keys.txt.part")) << "case " << i;
        }
    };
    std::future<void> other = std::async(std::launch::async, check, stride);
    check(0);
    other.get();
}

// On a terminal the programs wait for one key, without echo; script(1) gives them one.
TEST(Terminal, WaitsForOneKeyWithoutEcho) {
    if (std::getenv("POSEWRIGHT_RUNNER") != nullptr || std::system("command -v script >/dev/null") != 0)
        GTEST_SKIP() << "needs script(1) and a native build";
    TempDir dir;
    const std::string run = "script -qec '" + std::string(POSEWRIGHT_BINARY) + "' /dev/null";
    // Standard input open but silent: the program is still waiting when the time is up.
    EXPECT_EQ(std::system(("cd " + dir.Path + " && (sleep 3 | timeout 1 " + run + ") >out 2>&1").c_str()) >>
                  8,
              124);
    EXPECT_EQ(
        std::system(
            ("cd " + dir.Path + " && ((sleep 0.3; printf x) | timeout 5 " + run + ") >out 2>&1").c_str()) >>
            8,
        1);
    const ByteString out = Read_File(dir / "out");
    const std::string transcript(out.begin(), out.end());
    EXPECT_NE(transcript.find("(Example of use: 'Posewright.exe Empty.kf AnimationKeys.txt')"),
              std::string::npos);
    const std::string usageEnd = "AnimationKeys.txt')";
    EXPECT_EQ(transcript.find('x', transcript.find(usageEnd) + usageEnd.size()), std::string::npos)
        << transcript;
}

TEST(Names, OfTheOutputsAndOfWideArguments) {
    const std::pair<std::string, std::string> outputs[] = {
        {"Empty.kf", "Empty_new.kf"},
        {"walk.old.kf", "walk_new.kf"},
        {".\\anim.kf", ".\\anim_new.kf"},
        {"../walk.kf", "._new.kf"},
        {"anims.old/walk.kf", "anims_new.kf"},
        {"Empty", "Empty_new.kf"},
        {"", "_new.kf"},
        {std::string(248, 'a'), std::string(248, 'a') + "_new.kf"}};
    for (const auto& [input, output] : outputs)
        EXPECT_EQ(Name_Of_Output(input), output);
    char name[256];
    EXPECT_FALSE(Derive_Output_File_Name(std::string(249, 'a').c_str(), name, sizeof name));

    EXPECT_EQ(Narrow_Argument(L"\u00e9t\u0141.kf"), "\xe9t\x41.kf"); // U+0141 keeps 0x41
    EXPECT_EQ(Narrow_Argument(L"ab\u0100cd"), "ab");                 // a low byte of 0 ends the name

    EXPECT_EQ(Key_File_Name("anims.old/walk.kf", "SpecialIdle", false), "anims.old/walk_keys.txt");
    EXPECT_EQ(Key_File_Name("walk", "Idle", true), "walk_Idle_keys.txt");
    EXPECT_EQ(Key_File_Name("a.b.kf", "x:y/z*\t", true), "a.b_x_y_z___keys.txt");
}

} // namespace
