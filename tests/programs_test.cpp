// The built programs, run in a temporary folder with standard input at end of file: whole transcripts,
// exit statuses and written bytes of every way out, the round trip through posewright-keys, the
// problems it reports, and inputs cut short or with flipped bits.
#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <limits>
#include <map>

#include "driver/driver.h"
#include "driver/keys_driver.h"
#include "support/fixtures.h"

namespace {

namespace fs = std::filesystem;

const std::string kLoaded = "\n[Load_from_File___All_NIF_Blocks] Loading NIF header: <done>\n";
const std::string kConverted = "\n\n\t[ Converting Animation to KF format is DONE ! ]\n";
const std::string kReadBack = "\n\t[ Reading KF animation to key text is DONE ! ]\n";
const std::string kTerminated = "\nProgram terminated because of Errors !\n";

// "Try to open files:" and a line per file: "<ok>", or "was NOT found" for the last of a name ending '!'.
std::string Opening(std::vector<std::string> names, const std::string& created = "") {
    std::string text = "\nTry to open files:\n";
    for (const std::string& name : names)
        text += "\t- '" + (name.back() == '!' ? name.substr(0, name.size() - 1) + "' was NOT found\n"
                                              : name + "' <ok>\n");
    return text + (created.empty() ? "" : "\t- '" + created + "' <created>\n");
}
const std::string kOpened = Opening({"Empty.kf", "keys.txt"}, "Empty_new.kf") + kLoaded +
                            "Loading ANIMATION KEYS from 'keys.txt' to Memory: <done>\n";

// The bones of examples/AnimationKeys.txt: time, height, rotation w x y z.
Key At(float time, float z, float w = 1, float x = 0, float y = 0, float rz = 0) {
    return {time, 0, 0, z, w, x, y, rz, 1};
}
const std::vector<Bone> kExampleBones = {
    {"NPC Root [Root]", {At(0, 0), At(0.5f, 2.5f, 0.9962f, 0, 0, 0.0872f), At(1, 0)}},
    {"NPC Spine", {At(0, 10), At(0.5f, 10, 0.9848f, 0.1736f), At(1, 10)}},
    {"NPC Head", {At(0, 25), At(1, 25, 0.9659f, 0, 0.2588f)}}};

// A key text without its format line, whose wording each writer chooses.
std::string Keys_Body(const ByteString& text) {
    return std::string(std::find(text.begin(), text.end(), '\n'), text.end());
}

class Programs : public testing::Test {
  protected:
    RunResult Run(const std::string& program, const std::vector<std::string>& arguments, int status) {
        const RunResult result = Run_Program(program, Dir.Path, arguments);
        EXPECT_EQ(result.ExitCode, status) << result.Transcript;
        return result;
    }
    void Put(const std::string& name, const ByteString& bytes) { Write_File(Dir / name, bytes); }
    ByteString Get(const std::string& name) const { return Read_File(Dir / name); }

    TempDir Dir;
};

TEST_F(Programs, BundledExampleConvertsAndReadsBack) {
    EXPECT_EQ(Read_File(POSEWRIGHT_EXAMPLES "/Empty.kf"), Build_Template(Example_Template()));
    Put("Empty.kf", Read_File(POSEWRIGHT_EXAMPLES "/Empty.kf"));
    Put("keys.txt", Read_File(POSEWRIGHT_EXAMPLES "/AnimationKeys.txt"));
    EXPECT_EQ(Run("posewright", {"Empty.kf", "keys.txt"}, 0).Transcript, kOpened + kConverted);
    EXPECT_EQ(Get("Empty_new.kf"), Build_Template(Animated(Example_Template(), false, 1, kExampleBones)));
    EXPECT_EQ(Run("posewright-keys", {"Empty_new.kf"}, 0).Transcript,
              Opening({"Empty_new.kf"}) + kLoaded +
                  "\nSequence 'SpecialIdle': 3 bones, 8 keys, 1 s, quaternions\n\t- 'Empty_new_keys.txt' "
                  "<written>\n\nNo problems found.\n" +
                  kReadBack);
    EXPECT_EQ(Keys_Body(Get("Empty_new_keys.txt")), Keys_Body(As_Bytes(Key_Text(false, 1, kExampleBones))));
}

// Generated key files with every kind of float, at the capacity of the tables (251 bones, which fill the
// string table beside the five strings of a conversion over the example, of 1536 keys), converted and
// read back: the same text but for the wording of the format line, and so the same file once converted
// again.
TEST_F(Programs, RoundTripsAtCapacityInBothForms) {
    for (const bool euler : {false, true}) {
        Put("Empty.kf", Build_Template(Example_Template()));
        Put("keys.txt", As_Bytes(Key_Text(euler, 51, Generated_Bones(251, 1536, euler, 7))));
        Run("posewright", {"Empty.kf", "keys.txt"}, 0);
        const ByteString first = Get("Empty_new.kf");
        Run("posewright-keys", {"Empty_new.kf"}, 0);
        EXPECT_EQ(Keys_Body(Get("Empty_new_keys.txt")), Keys_Body(Get("keys.txt")));
        Run("posewright", {"Empty.kf", "Empty_new_keys.txt"}, 0);
        EXPECT_TRUE(Get("Empty_new.kf") == first) << (euler ? "Euler angles" : "quaternions");
    }
}

// Every way out but success ends with status 1, leaves an empty .kf or none and replaces no key file.
// A row: its files as name=content, the command, the transcript.
TEST_F(Programs, EveryFailureSaysSoAndLeavesNoOutput) {
    TemplateLayout damaged = Animated(Example_Template(), false, 2, {}), crowded = Example_Template();
    damaged.Bodies.back().push_back(0);
    crowded.Strings.resize(254, "s");
    const std::map<std::string, ByteString> contents = {
        {"example", Build_Template(Example_Template())},
        {"junk", ByteString(50, 7)},
        {"crowded", Build_Template(crowded)},
        {"damaged", Build_Template(damaged)},
        {"bone", Build_Template(Animated(Example_Template(), false, 2, {{"A", {}}}))},
        {"key", As_Bytes(Key_Text(false, 2, {{"A", {At(0, 0)}}}))},
        {"no-record", As_Bytes("Quaternions\n2\n")},
        {"no-format", As_Bytes("Keys\n2\n" + Name_Line("A") + "0\n")}};
    const std::string usage =
        "\nERROR: not enough arguments.\n\n\t(Example of use: 'Posewright.exe Empty.kf AnimationKeys.txt')\n";
    const std::string unsupported =
        "\n[Load_from_File___All_NIF_Blocks] Loading NIF header: \n[Load_from_File___All_NIF_Blocks] ERROR: "
        "Unsupported NIF file (support version '20.2.0.7' only)!\n" +
        kTerminated;
    const std::string longName(256, 'k'), longStem(249, 'e'), files = "Empty.kf=example keys.txt=key";
    const std::string longKf = std::string(247, 'w') + ".kf",
                      kSequence = "\nSequence 'SpecialIdle': 1 bones, 0 keys, 2 s, quaternions\n";
    const std::string kBone = Opening({"Empty.kf"}) + kLoaded + kSequence;
    const std::string rows[][3] = {
        {"", "posewright", usage},
        {"", "posewright Empty.kf keys.txt", Opening({"Empty.kf!"})},
        {"Empty.kf=example", "posewright Empty.kf keys.txt", Opening({"Empty.kf", "keys.txt!"})},
        {files + " Empty_new.kf=folder", "posewright Empty.kf keys.txt",
         Opening({"Empty.kf", "keys.txt", "Empty_new.kf!"})},
        {"x.kf=example x_new.kf=key", "posewright x.kf x_new.kf",
         Opening({"x.kf", "x_new.kf"}) +
             "\nERROR: Output file 'x_new.kf' is the input file 'x_new.kf': it would be overwritten!\n"},
        {"", "posewright Empty.kf " + longName,
         "\nERROR: File name '" + longName + "' is too long (at most 255 characters)!\n"},
        {"", "posewright " + longStem + " keys.txt",
         "\nERROR: Output file name for '" + longStem + "' is too long (at most 255 characters)!\n"},
        {"Empty.kf=junk keys.txt=key", "posewright Empty.kf keys.txt",
         Opening({"Empty.kf", "keys.txt"}, "Empty_new.kf") + unsupported},
        {"Empty.kf=example keys.txt=no-record", "posewright Empty.kf keys.txt",
         kOpened + "\nERROR: Cannot load Animation keys without errors!\n"},
        {"Empty.kf=example keys.txt=no-format", "posewright Empty.kf keys.txt",
         kOpened + "\nERROR: Animation data format don't recognized !\n"},
        {"Empty.kf=crowded keys.txt=key", "posewright Empty.kf keys.txt",
         kOpened +
             "\n\n[Append_String_to_Header] ERROR: Variable 'Header_NumStrings=256' is out of limits!\n" +
             kTerminated},
        {files + " Empty_new.kf=full", "posewright Empty.kf keys.txt",
         kOpened +
             "\n\n[Write_All_NIF_Block_to_File] ERROR: Cannot write 'Empty_new.kf' (disk full or no "
             "access)!\n" +
             kTerminated},
        {"", "posewright-keys",
         "\nERROR: not enough arguments.\n\n\t(Example of use: 'Posewright-Keys.exe Walk.kf')\n"},
        {"", "posewright-keys Empty.kf", Opening({"Empty.kf!"})},
        {"Empty.kf=junk", "posewright-keys Empty.kf", Opening({"Empty.kf"}) + unsupported},
        {"Empty.kf=example", "posewright-keys Empty.kf",
         Opening({"Empty.kf"}) + kLoaded +
             "\nERROR: 'Empty.kf' holds no animation (no NiControllerSequence block)!\n"},
        {"Empty.kf=damaged", "posewright-keys Empty.kf",
         Opening({"Empty.kf"}) + kLoaded +
             "\nProblems found:\n\t- Sequence in block 1 'NiControllerSequence': block 1 "
             "'NiControllerSequence' does not hold the layout read here (bytes are left after its last "
             "field): skipped\n\nERROR: No sequence of 'Empty.kf' could be read!\n"},
        {"Empty.kf=bone Empty_keys.txt.part=folder", "posewright-keys Empty.kf",
         kBone + "\t- 'Empty_keys.txt' was NOT created\n"},
        {"run.kf=bone run_keys.txt=folder", "posewright-keys run.kf",
         Opening({"run.kf"}) + kLoaded + kSequence + "\t- 'run_keys.txt' was NOT written\n"},
        {longKf + "=bone", "posewright-keys " + longKf,
         Opening({longKf}) + kLoaded + kSequence + "\nERROR: Output file name for '" + longKf +
             "' is too long (at most 255 characters)!\n"},
        {"Empty.kf=bone Empty_keys.txt.part=full", "posewright-keys Empty.kf",
         kBone + "\n[Save_to_File___Animation_Keys] ERROR: Cannot write 'Empty_keys.txt' (disk full or no "
                 "access)!\n"},
    };
    for (const auto& [inputs, command, transcript] : rows) {
        TempDir fresh;
        std::swap(Dir.Path, fresh.Path);
        Write_File(Dir / "Empty_keys.txt", As_Bytes("kept\n"));
        for (const std::string& input : Words(inputs)) {
            const std::string name = input.substr(0, input.find('=')),
                              content = input.substr(input.find('=') + 1);
            if (content == "folder") fs::create_directory(Dir / name);
            if (content == "full") fs::create_symlink("/dev/full", Dir / name);
            if (contents.count(content) != 0) Write_File(Dir / name, contents.at(content));
        }
        const std::vector<std::string> words = Words(command);
        EXPECT_EQ(Run(words[0], {words.begin() + 1, words.end()}, 1).Transcript, transcript);
        const fs::path output = Dir / "Empty_new.kf";
        EXPECT_TRUE(!fs::is_regular_file(output) || fs::is_symlink(output) || fs::file_size(output) == 0);
        EXPECT_EQ(Get("Empty_keys.txt"), As_Bytes("kept\n"));
        EXPECT_TRUE(!fs::exists(Dir / "x_new.kf") || Get("x_new.kf") == contents.at("key"));
        EXPECT_FALSE(fs::is_regular_file(Dir / "Empty_keys.txt.part"));
        std::swap(Dir.Path, fresh.Path);
    }
}

// One row per kind of problem: the file, the counts on its sequence's line, its problem lines, and where
// values are made up (tracks resampled or without keys) the key text after its format line.
struct Problem {
    TemplateLayout File;
    std::string Counts, Lines, Keys = "";
};

TEST_F(Programs, ReadBackReportsEachKindOfProblem) {
    const auto at = [](float time, float w = 1, float x = 0) { return Key{time, 0, 0, 0, w, x, 0, 0, 1}; };
    const auto Keys = [](bool euler, std::vector<Bone> bones) { return Animated({}, euler, 1, bones); };
    const std::vector<Bone> still = {{"A", {at(0)}}};
    const std::string a = "\t- Sequence 'SpecialIdle', bone 1 'A'",
                      b = "\t- Sequence 'SpecialIdle', bone 2 'B'",
                      resampled = ": its tracks have different key times: resampled at every one of them\n",
                      length = ": its rotation's length is 2, not 1\n",
                      tangents =
                          ": tangents or tension, bias and continuity that are not zero were dropped: the "
                          "key text has no place for them\n";
    const std::vector<Problem> rows = {
        {Keys(false, {{"A", {at(0), at(0.5f), at(0.5f)}}}), "1 bones, 3 keys",
         a + ", key 3: its time 0.5 s comes no later than the key before's\n"},
        {Keys(false, {{"A", {at(0), at(2)}}}), "1 bones, 2 keys",
         a + ", key 2: its time 2 s comes after the duration\n"},
        {Keys(false, {{"A", {at(0, 2), at(0.1f, 2), at(0.2f, 2), at(0.3f, 2), at(0.4f, 2)}}}),
         "1 bones, 5 keys",
         a + ", key 1" + length + a + ", key 2" + length + a + ", key 3" + length + a +
             ": 2 more rotations have a length other than 1\n"},
        {Keys(false, {{"A", {at(0), at(1, -1)}}}), "1 bones, 2 keys",
         a + ", key 2: its rotation is in the other hemisphere from the key before's: the engine turns the "
             "long way round\n"},
        // B: an X angle at 0.5 alone beside a position at 0, so resampled, with a tension; its Y and Z tracks
        // are empty.
        {Changed(Keys(true, {{"A", {at(0, 0, 90), at(0.5f, 0, 4)}}, {"B", {}}}),
                 [](TemplateLayout& l) {
                     l.Bodies[2] =
                         Bytes()
                             .put(1, 4, 1, 3, 0.5f, 0.25f, 0.5f, 0, 0, 0, 0, 1, 1, 0, 1.0f, 2.0f, 3.0f, 0)
                             .Data;
                 }),
         "2 bones, 4 keys, 1 s, Euler angles",
         b + resampled + b + tangents + a +
             ", key 1: an angle of 90 is above 2 pi: radians are read, this looks like degrees\n",
         "\n1\n" + Name_Line("A") + "2\n0 0 0 0 90 0 0 1\n0.5 0 0 0 4 0 0 1\n" + Name_Line("B") +
             "2\n0 1 2 3 0.25 0 0 1\n0.5 1 2 3 0.25 0 0 1\n"},
        {Keys(false, {{"A", {{0, std::numeric_limits<float>::infinity(), 0, 0, 1, 0, 0, 0, 1}}}}),
         "1 bones, 1 keys", a + ", key 1: a value is not finite (inf)\n"},
        {Keys(false, {{std::string(241, 'n'), {}}, {"A", {}}, {"A", {}}, {"", {}}}), "4 bones, 0 keys",
         "\t- Sequence 'SpecialIdle', bone 1 '" + std::string(240, 'n') +
             "': its node name is longer than the 240 bytes a name line holds: written cut\n\t- Sequence "
             "'SpecialIdle', bone 3 'A': the node is named by bone 2 too\n\t- Sequence 'SpecialIdle', bone 4 "
             "'': its node name is empty\n"},
        {Changed(Animated({}, false, 1, still),
                 [](TemplateLayout& l) {
                     l.Bodies[2] = Bytes().put(-1, 2, 0.5f, 0, 5.0f, 1).Data;
                     const ByteString start = Bytes().put(0.25f).Data; // the sequence's start time
                     std::copy(start.begin(), start.end(), l.Bodies[3].end() - 18);
                 }),
         "1 bones, 1 keys", // "start" is the first string
         "\t- Sequence "
         "'SpecialIdle': its \"start\" text key is at 0.5 s, the sequence's start at 0.25 s\n\t- "
         "Sequence 'SpecialIdle': its \"end\" text key is at 5 s, the sequence's end at 1 s\n"},
        // A: rotations at 0 and 1 in opposite hemispheres, positions at 0.5 and 1, scales at 0.25 and 0.75
        // with a tangent. B: a position alone with a tangent, and a pose without a rotation (the largest
        // float).
        {Changed(Keys(false, {still[0], {"B", {}}}),
                 [](TemplateLayout& l) {
                     l.Bodies[0] = Bytes()
                                       .put(2, 1, 0, 0.5f, 0.5f, 0.5f, 0.5f, 1.0f, 0.5f, -0.5f, -0.5f, -0.5f,
                                            2, 1, 0.5f, 4.0f, 1.0f, 2.0f, 1.0f, 6.0f, 3.0f, 5.0f, 2, 2, 0.25f,
                                            1.0f, 0.5f, 0, 0.75f, 2.5f, 0, 0)
                                       .Data;
                     l.Bodies[2] = Bytes().put(0, 1, 2, 0, 1.0f, 2.0f, 3.0f, 0, 0, 0, 0, 0, 0.5f, 0).Data;
                     l.Bodies[3] = Bytes().put(0, 0, 0, 3.4028235e38f, 0, 0, 0, 1.0f, 2).Data;
                 }),
         "2 bones, 6 keys",
         a + resampled + a + tangents + b + tangents + a +
             ", key 5: its rotation is in the other hemisphere from the key before's: the engine turns the "
             "long way round\n",
         "\n1\n" + Name_Line("A") +
             "5\n0 4 1 2 0.5 0.5 0.5 0.5 1\n0.25 4 1 2 0.2773501 0.5547002 0.5547002 0.5547002 1\n"
             "0.5 4 1 2 0 0.57735026 0.57735026 0.57735026 1.75\n0.75 5 2 3.5 -0.2773501 0.5547002 0.5547002 "
             "0.5547002 2.5\n1 6 3 5 0.5 -0.5 -0.5 -0.5 2.5\n" +
             Name_Line("B") + "1\n0 1 2 3 1 0 0 0 1\n"},
        {Changed(Keys(false, still),
                 [](TemplateLayout& l) {
                     l.BlockTypes.push_back("NiBSplineCompTransformInterpolator");
                     l.BlockTypeIndex[1] = 4;
                 }),
         "1 bones, 0 keys",
         a + ": its interpolator (block 1 'NiBSplineCompTransformInterpolator') is compressed: written with "
             "0 keys\n"},
        {Changed(Keys(false, still), [](TemplateLayout& l) { l.Bodies[0].pop_back(); }), "1 bones, 0 keys",
         a + ": block 0 'NiTransformData' does not hold the layout read here (its fields run past its end): "
             "written with 0 keys\n"},
        {Changed(
             Keys(false, {still[0], {"B", {at(0)}}}),
             [&](TemplateLayout& l) { l.Bodies[2] = Transform_Data_Body(true, std::vector<Key>{at(0)}); }),
         "2 bones, 1 keys", b + ": its rotations are angles, the sequence's are not: written with 0 keys\n"},
    };
    for (const auto& [file, counts, lines, keys] : rows) {
        Put("x.kf", Build_Template(file));
        const std::string form = counts.ends_with("angles") ? "" : ", 1 s, quaternions";
        EXPECT_EQ(Run("posewright-keys", {"x.kf"}, 0).Transcript,
                  Opening({"x.kf"}) + kLoaded + "\nSequence 'SpecialIdle': " + counts + form +
                      "\n\t- 'x_keys.txt' <written>\n\nProblems found:\n" + lines + kReadBack);
        EXPECT_TRUE(keys.empty() || Keys_Body(Get("x_keys.txt")) == keys + Name_Line("End of keys") + "0\n")
            << lines;
    }
}

// Every prefix of the examples and every fifth bit flipped in the template end in status 1 with a
// message and no output, or in a file that posewright-keys reads back; every fourth prefix of that file
// ends in its key file or in status 1 with a message and no key file.
TEST_F(Programs, DamagedInputsEndInAMessageOrAValidFile) {
    const ByteString kf = Build_Template(Example_Template()),
                     keys = Read_File(POSEWRIGHT_EXAMPLES "/AnimationKeys.txt");
    const ByteString output = Build_Template(Animated(Example_Template(), false, 1, kExampleBones));
    const auto prefix = [](const ByteString& bytes, std::size_t n) {
        return ByteString(bytes.begin(), bytes.begin() + static_cast<long>(std::min(n, bytes.size())));
    };
    std::vector<std::pair<ByteString, ByteString>> cases; // a template and a key file, then a .kf
    for (std::size_t n = 0; n < kf.size() + keys.size(); ++n)
        cases.push_back({prefix(kf, n), n < kf.size() ? keys : prefix(keys, n - kf.size())});
    for (std::size_t bit = 0; bit < 8 * kf.size(); bit += 5) {
        cases.push_back({kf, keys});
        cases.back().first[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
    }
    const std::size_t conversions = cases.size(), stride = std::getenv("POSEWRIGHT_RUNNER") ? 20 : 2;
    for (std::size_t n = 0; n < output.size(); n += 4)
        cases.push_back({prefix(output, n), {}});
    const auto check = [&](std::size_t first) {
        for (std::size_t i = first; i < cases.size(); i += stride) {
            TempDir dir;
            Write_File(dir / (i < conversions ? "Empty.kf" : "Empty_new.kf"), cases[i].first);
            Write_File(dir / "keys.txt", cases[i].second);
            const RunResult run =
                i < conversions ? Run_Program("posewright", dir.Path, {"Empty.kf", "keys.txt"}) : RunResult{};
            const RunResult back = Run_Program("posewright-keys", dir.Path, {"Empty_new.kf"});
            const bool converted = run.Transcript.ends_with(kConverted),
                       read = back.Transcript.ends_with(kReadBack);
            EXPECT_TRUE(i >= conversions ||
                        (converted ? run.ExitCode == 0
                                   : run.ExitCode == 1 && !read && Read_File(dir / "Empty_new.kf").empty()))
                << "case " << i << "\n"
                << run.Transcript;
            EXPECT_TRUE(read ? back.ExitCode == 0 && (converted || i >= conversions)
                             : back.ExitCode == 1 && back.Transcript.find("ERROR") != std::string::npos &&
                                   !converted)
                << "case " << i << "\n"
                << back.Transcript;
            EXPECT_EQ(fs::exists(dir / "Empty_new_keys.txt"), read) << "case " << i;
            EXPECT_FALSE(fs::exists(dir / "Empty_new_keys.txt.part")) << "case " << i;
        }
    };
    std::future<void> other = std::async(std::launch::async, check, stride / 2);
    check(0);
    other.get();
}

// On a terminal the programs wait for one key, without echo; script(1) gives them one.
TEST(Terminal, WaitsForOneKeyWithoutEcho) {
    if (std::getenv("POSEWRIGHT_RUNNER") != nullptr || std::system("command -v script >/dev/null") != 0)
        GTEST_SKIP() << "needs script(1) and a native build";
    TempDir dir;
    const std::string run =
        "cd " + dir.Path + " && (%s | timeout %d script -qec " POSEWRIGHT_BINARY " /dev/null) >out";
    char command[512];
    // Standard input open but silent: the program is still waiting when the time is up.
    std::snprintf(command, sizeof command, run.c_str(), "sleep 3", 1);
    EXPECT_EQ(std::system(command) >> 8, 124);
    std::snprintf(command, sizeof command, run.c_str(), "(sleep 0.3; printf x)", 5);
    EXPECT_EQ(std::system(command) >> 8, 1);
    const ByteString out = Read_File(dir / "out"); // the usage, and no 'x' echoed after it
    EXPECT_EQ(std::string(out.end() - 4, out.end()), "')\r\n");
}

TEST(Names, OfTheOutputsAndOfWideArguments) {
    const std::string longest(248, 'a');
    for (const auto& [input, output] :
         {std::pair<std::string, std::string>{".\\anim.old.kf", ".\\anim_new.kf"},
          {"anims.old/walk.kf", "anims_new.kf"},
          {"", "_new.kf"},
          {longest, longest + "_new.kf"},
          {longest + "a", ""}}) {
        char name[256] = {};
        EXPECT_EQ(Derive_Output_File_Name(input.c_str(), name, sizeof name), !output.empty());
        EXPECT_EQ(name, output);
    }
    EXPECT_EQ(Narrow_Argument(L"\u00e9t\u0141.kf"), "\xe9t\x41.kf"); // U+0141 keeps 0x41
    EXPECT_EQ(Narrow_Argument(L"ab\u0100cd"), "ab");                 // a low byte of 0 ends the name
    EXPECT_EQ(Key_File_Name("anims.old/walk.kf", "SpecialIdle", false), "anims.old/walk_keys.txt");
    EXPECT_EQ(Key_File_Name("a.b.kf", "x:y/z*\t", true), "a.b_x_y_z___keys.txt");
}

} // namespace
