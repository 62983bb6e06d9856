// The built programs, run in a temporary folder with standard input at end of file: whole transcripts,
// exit statuses and written bytes of every way out, the round trip through posewright-keys, and the
// names of the outputs.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <tuple>

#include "driver/names.h"
#include "support/fixtures.h"

namespace {

namespace fs = std::filesystem;

// The text `text` holds `part`.
#define EXPECT_HAS(part, text) EXPECT_PRED_FORMAT2(testing::IsSubstring, part, text)

const std::string kLoading = "\n[Load_from_File___All_NIF_Blocks] Loading NIF header: ",
                  kLoaded = kLoading + "<done>\n";
const std::string kConverted = "\n\n\t[ Converting Animation to KF format is DONE ! ]\n";
const std::string kTerminated = "\nProgram terminated because of Errors !\n";

// "Try to open files:" and a line per file: "<ok>", or "was NOT found" for the last of a name ending '!'.
std::string Opening(std::vector<std::string> names, const std::string& created = "") {
    std::string text = "\nTry to open files:\n";
    for (const std::string& name : names)
        text += "\t- '" + (name.back() == '!' ? name.substr(0, name.size() - 1) + "' was NOT found\n"
                                              : name + "' <ok>\n");
    return text + (created.empty() ? "" : "\t- '" + created + "' <created>\n");
}
const std::string kKeysRead = kLoaded + "Loading ANIMATION KEYS from 'keys.txt' to Memory: <done>\n";

// The bones of examples/AnimationKeys.txt: time, height, rotation w x y z.
Key At(float time, float z, float w = 1, float x = 0, float y = 0, float rz = 0) {
    return {time, 0, 0, z, w, x, y, rz, 1};
}
const std::vector<Bone> kExampleBones = {
    {"NPC Root [Root]", {At(0, 0), At(0.5f, 2.5f, 0.9962f, 0, 0, 0.0872f), At(1, 0)}},
    {"NPC Spine", {At(0, 10), At(0.5f, 10, 0.9848f, 0.1736f), At(1, 10)}},
    {"NPC Head", {At(0, 25), At(1, 25, 0.9659f, 0, 0.2588f)}}};
// A skeleton of those bones, each as far from its parent as the keys move it.
const ByteString kExampleSkeleton =
    Build_Template({.BlockTypes = {"NiNode"},
                    .Bodies = {Node_Body({0}), Node_Body({1, {0, 0, 10}}), Node_Body({2, {0, 0, 25}})},
                    .Strings = {"NPC Root [Root]", "NPC Spine", "NPC Head"}});

class Programs : public testing::Test {
  protected:
    RunResult Run(const std::string& program, const std::vector<std::string>& arguments, int status) {
        const RunResult result = Run_Program(program, Dir.Path, arguments);
        EXPECT_EQ(result.ExitCode, status) << result.Transcript;
        return result;
    }
    void Put(const std::string& name, const ByteString& bytes) { Write_File(Dir / name, bytes); }
    ByteString Get(const std::string& name) const { return Read_File(Dir / name); }
    // Dir made anew, empty; the temporary takes the old folder away with it.
    void Fresh_Folder() { TempDir{}.Path.swap(Dir.Path); }

    TempDir Dir;
};

std::string Bounds_Refused(const std::string& after) {
    return "\nERROR: Option '--compress' takes its bounds as --compress=POSITION,ROTATION,SCALE, three "
           "numbers "
           "above 0 (units, radians, scale), not '--compress" +
           after + "'!\n";
}

// Every way out but success ends with status 1 and leaves the outputs as it found them: an existing .kf
// and key file keep their bytes, and no partial file remains.
// A row: its files as name=content, the command, the transcript.
TEST_F(Programs, EveryFailureSaysSoAndLeavesNoOutput) {
    TemplateLayout damaged = Animated(Example_Template(), false, 2, {});
    damaged.Bodies.back().push_back(0);
    const std::map<std::string, ByteString> contents = {
        {"example", Build_Template(Example_Template())},
        {"junk", ByteString(50, 7)},
        {"damaged", Build_Template(damaged)},
        {"bone", Build_Template(Animated(Example_Template(), false, 2, {{"A", {}}}))},
        {"key", As_Bytes(Key_Text(false, 2, {{"A", {At(0, 0)}}}))},
        {"names", As_Bytes(Key_Text(false, 1, Generated_Bones(299, 0, false, 0)))}, // past the strings
    };
    const std::string longName(256, 'k'), longStem(249, 'e'), files = "Empty.kf=example keys.txt=key";
    const std::string in = std::getenv("POSEWRIGHT_RUNNER") != nullptr ? "sub.dir\\" : "sub.dir/";
    const std::string longKf = std::string(247, 'w') + ".kf",
                      kSequence = "\nSequence 'SpecialIdle': 1 bones, 1 keys, 2 s, quaternions\n";
    const std::string kBone = Opening({"Empty.kf"}) + kLoaded + kSequence;
    const std::string swapped = kLoading + "\n[Load_from_File___Header] ERROR: Variable "
                                           "'Header_NumBlocks=540697965' is out of limits!\n";
    // A folder read as the last of `names`: Windows opens none as a file; elsewhere its first read fails.
    const auto folder = [](std::vector<std::string> names, const std::string& created,
                           const std::string& read) {
        if (std::getenv("POSEWRIGHT_RUNNER") == nullptr) return Opening(names, created) + read;
        names.back() += '!';
        return Opening(names);
    };
    const auto cannotRead = [](const std::string& stage, const char* what) {
        return "\n[Load_from_File___" + stage +
               "] ERROR: Cannot read 'd': the read failed at line 1!\n\nERROR: Cannot load " + what +
               " without errors!\n";
    };
    const std::string rows[][3] = {
        {"", "posewright",
         "\nERROR: not enough arguments.\n\n\t(Example of use: 'Posewright.exe Empty.kf "
         "AnimationKeys.txt')\n"},
        {"", "posewright Empty.kf keys.txt", Opening({"Empty.kf!"})},
        {"", "posewright --output", "\nERROR: Option '--output' needs a file name after it!\n"},
        {files, "posewright --rate 30 Empty.kf keys.txt", "\nERROR: Unknown option '--rate' (see --help)!\n"},
        {files, "posewright -- -x.kf keys.txt", Opening({"-x.kf!"})},
        {files + " walk.kf=example", "posewright --skeleton walk.kf -o walk.kf Empty.kf keys.txt",
         "\nTry to open the skeleton:\n\t- 'walk.kf' <ok>\n" + kLoaded + Opening({"Empty.kf", "keys.txt"}) +
             "\nERROR: Output file 'walk.kf' is the input file 'walk.kf': it would be overwritten!\n"},
        {files, "posewright --compress=0.01,0,0.001 Empty.kf keys.txt", Bounds_Refused("=0.01,0,0.001")},
        {files, "posewright --compress=1,1 Empty.kf keys.txt", Bounds_Refused("=1,1")},
        {files, "posewright --compress=1,inf,1 Empty.kf keys.txt", Bounds_Refused("=1,inf,1")},
        // Refused while the blocks are built: exit status 1, the output as it was.
        {"Empty.kf=example keys.txt=names", "posewright Empty.kf keys.txt",
         Opening({"Empty.kf", "keys.txt"}, "Empty_new.kf") + kKeysRead +
             "\n\n[Append_String_to_Header] ERROR: Variable 'Header_NumStrings=256' is out of limits!\n" +
             kTerminated},
        {files, "posewright --sequence run.txt Empty.kf keys.txt",
         Opening({"Empty.kf", "keys.txt", "run.txt!"})},
        {files + " Empty_new.kf=folder", "posewright Empty.kf keys.txt",
         Opening({"Empty.kf", "keys.txt", "Empty_new.kf!"}) +
             "\nERROR: Cannot write 'Empty_new.kf': it is a folder!\n"},
        {files, "posewright -o no/x.kf Empty.kf keys.txt",
         Opening({"Empty.kf", "keys.txt", "no/x.kf!"}) +
             "\nERROR: Cannot write 'no/x.kf': the folder 'no' does not exist!\n"},
        // The output beside its template whatever the names: a folder that holds a '.', a name that starts
        // with one (its stem ends at the next); on Windows '\\' ends a folder name too.
        {"sub.dir/.x.old.kf=example sub.dir/.x_new.kf=key",
         "posewright " + in + ".x.old.kf " + in + ".x_new.kf",
         Opening({in + ".x.old.kf", in + ".x_new.kf"}) + "\nERROR: Output file '" + in +
             ".x_new.kf' is the input file '" + in + ".x_new.kf': it would be overwritten!\n"},
        {"", "posewright Empty.kf " + longName,
         "\nERROR: File name '" + longName + "' is too long (at most 255 characters)!\n"},
        {"", "posewright " + longStem + " keys.txt",
         "\nERROR: Output file name for '" + longStem + "' is too long (at most 255 characters)!\n"},
        {"keys.txt=key Empty.kf=example", "posewright keys.txt Empty.kf",
         Opening({"keys.txt", "Empty.kf"}, "keys_new.kf") + swapped +
             "\nERROR: The two files look swapped: give the template .kf first and the key file second!\n" +
             kTerminated},
        {files + " Empty_new.kf.part=folder", "posewright Empty.kf keys.txt",
         Opening({"Empty.kf", "keys.txt", "Empty_new.kf!"}) +
             "\nERROR: Cannot write 'Empty_new.kf': it may be open in another program!\n"},
        {files + " Empty_new.kf.part=full", "posewright Empty.kf keys.txt",
         Opening({"Empty.kf", "keys.txt"}, "Empty_new.kf") + kKeysRead +
             "\n\n[Write_All_NIF_Block_to_File] ERROR: Cannot write 'Empty_new.kf' (disk full or no "
             "access)!\n" +
             kTerminated},
        {files + " b.txt=key", "posewright -o x.kf Empty.kf keys.txt b.txt",
         "\nERROR: With several key files, option '-o' names the folder for their outputs, and 'x.kf' is not "
         "a folder!\n"},
        {files + " b.txt=key", "posewright --sequence b.txt Empty.kf keys.txt b.txt",
         "\nERROR: Option '--sequence' names the sequence file of one key file: with several, each key "
         "file's own is read beside it!\n"},
        {"keys.txt=key Empty.kf=example b.txt=key", "posewright keys.txt Empty.kf b.txt no.txt",
         Opening({"keys.txt"}) + swapped +
             "\nERROR: The files look swapped: give the template 'Empty.kf' first, then the key files!\n\n0 "
             "of 3 key files converted\n\t- 'Empty.kf' was NOT converted\n\t- 'b.txt' was NOT converted\n\t- "
             "'no.txt' was NOT converted\n"},
        {"Empty.kf=example d=folder", "posewright Empty.kf d",
         folder({"Empty.kf", "d"}, "Empty_new.kf",
                kLoaded + "Loading ANIMATION KEYS from 'd' to Memory: " +
                    cannotRead("Animation_Keys", "Animation keys"))},
        {files + " d=folder", "posewright --sequence d Empty.kf keys.txt",
         folder({"Empty.kf", "keys.txt", "d"}, "Empty_new.kf",
                kKeysRead + "Loading SEQUENCE settings from 'd' to Memory: " +
                    cannotRead("Sequence_Settings", "Sequence settings"))},
        {files + " s.nif=key", "posewright --skeleton s.nif Empty.kf keys.txt",
         "\nTry to open the skeleton:\n\t- 's.nif' <ok>\n" + swapped +
             "\nERROR: Cannot read the skeleton 's.nif'!\n"},
        {"", "posewright-keys",
         "\nERROR: not enough arguments.\n\n\t(Example of use: 'Posewright-Keys.exe Walk.kf')\n"},
        {"Empty.kf=junk", "posewright-keys Empty.kf",
         Opening({"Empty.kf"}) + kLoading +
             "\n[Load_from_File___All_NIF_Blocks] ERROR: Unsupported NIF file (support version '20.2.0.7' "
             "only)!\n" +
             kTerminated},
        {"Empty.kf=example", "posewright-keys Empty.kf",
         Opening({"Empty.kf"}) + kLoaded +
             "\nERROR: 'Empty.kf' holds no animation (no NiControllerSequence block)!\n"},
        {"k.txt=key", "posewright-keys k.txt",
         Opening({"k.txt"}) + swapped +
             "\nERROR: 'k.txt' is a key file, not a .kf: Posewright.exe turns it into one ('Posewright.exe "
             "Empty.kf k.txt')!\n" +
             kTerminated},
        {"d.kf=folder", "posewright-keys d.kf",
         folder({"d.kf"}, "",
                kLoading +
                    "\n[Load_from_File___All_NIF_Blocks] ERROR: Cannot read 'd.kf': the read failed "
                    "inside 'Header_String'!\n" +
                    kTerminated)},
        {"Empty.kf=bone", "posewright-keys -o x Empty.kf", "\nERROR: Unknown option '-o' (see --help)!\n"},
        {"Empty.kf=example", "posewright-keys --nodes Empty.kf",
         Opening({"Empty.kf"}) + kLoaded +
             "\nERROR: 'Empty.kf' holds no node (no NiNode block, nor a kind built on it)!\n"},
        {"Empty.kf=junk", "posewright-keys --template Empty.kf",
         Opening({"Empty.kf"}) + kLoading +
             "\n[Load_from_File___All_NIF_Blocks] ERROR: Unsupported NIF file (support version '20.2.0.7' "
             "only)!\n" +
             kTerminated},
        {"", "posewright-keys --template --rate 1 --nodes x.kf",
         "\nERROR: Option '--template' takes no other option, and '--rate' is given!\n"},
        {"", "posewright-keys --rate 0 x.kf",
         "\nERROR: Option '--rate' takes a number of keys a second from 1 to 1000, not '0'!\n"},
        {"Empty.kf=damaged", "posewright-keys Empty.kf",
         Opening({"Empty.kf"}) + kLoaded +
             "\nProblems found:\n\t- Sequence in block 1 'NiControllerSequence': block 1 "
             "'NiControllerSequence' does not hold the layout read here (bytes are left after its last "
             "field): skipped\n\nERROR: No sequence of 'Empty.kf' could be read!\n"},
        {"Empty.kf=bone Empty_keys.txt.part=folder", "posewright-keys Empty.kf",
         kBone +
             "\t- 'Empty_keys.txt' was NOT created\n\nERROR: Cannot create the key file 'Empty_keys.txt'!\n"},
        {"Empty.kf=bone Empty_keys.sequence.txt.part=folder", "posewright-keys Empty.kf",
         kBone + "\t- 'Empty_keys.sequence.txt' was NOT created\n\nERROR: Cannot create the sequence file "
                 "'Empty_keys.sequence.txt'!\n"},
        {"run.kf=bone run_keys.txt=folder", "posewright-keys run.kf",
         Opening({"run.kf"}) + kLoaded + kSequence +
             "\t- 'run_keys.txt' was NOT written\n\nERROR: Cannot write the key file 'run_keys.txt'!\n"},
        {longKf + "=bone", "posewright-keys " + longKf,
         Opening({longKf}) + kLoaded + kSequence + "\nERROR: Output file name for '" + longKf +
             "' is too long (at most 255 characters)!\n"},
        // The second rename fails: the key file is put back as it was.
        {"Empty.kf=bone Empty_keys.sequence.txt/x=key", "posewright-keys Empty.kf",
         kBone + "\t- 'Empty_keys.sequence.txt' was NOT written\n\nERROR: Cannot write the sequence file "
                 "'Empty_keys.sequence.txt'!\n"},
        {"Empty.kf=bone Empty_keys.txt.part=full", "posewright-keys Empty.kf",
         kBone + "\n[Save_to_File___Animation_Keys] ERROR: Cannot write 'Empty_keys.txt' (disk full or no "
                 "access)!\n"},
        {"Empty.kf=bone Empty_keys.sequence.txt.part=full", "posewright-keys Empty.kf",
         kBone + "\n[Save_to_File___Sequence_Settings] ERROR: Cannot write 'Empty_keys.sequence.txt' (disk "
                 "full or no access)!\n"},
    };
    for (const auto& [inputs, command, transcript] : rows) {
        Fresh_Folder();
        Write_File(Dir / "Empty_keys.txt", As_Bytes("kept\n"));
        const bool outputKept = inputs.find("Empty_new.kf=") == std::string::npos;
        if (outputKept) Write_File(Dir / "Empty_new.kf", As_Bytes("kept\n"));
        for (const std::string& input : Words(inputs)) {
            const std::string name = input.substr(0, input.find('=')),
                              content = input.substr(input.find('=') + 1);
            fs::create_directories(fs::path(Dir / name).parent_path());
            if (content == "folder") fs::create_directory(Dir / name);
            if (content == "full") fs::create_symlink("/dev/full", Dir / name);
            if (contents.count(content) != 0) Write_File(Dir / name, contents.at(content));
        }
        const std::vector<std::string> words = Words(command);
        EXPECT_EQ(Run(words[0], {words.begin() + 1, words.end()}, 1).Transcript, transcript);
        EXPECT_TRUE(!outputKept || Get("Empty_new.kf") == As_Bytes("kept\n")) << command;
        for (const auto& entry : fs::directory_iterator(Dir.Path)) // (Wine leaves a link to /dev/full)
            EXPECT_FALSE(entry.is_regular_file() && entry.path().extension() == ".part") << entry.path();
        EXPECT_EQ(Get("Empty_keys.txt"), As_Bytes("kept\n"));
        EXPECT_FALSE(fs::exists(Dir / "Empty_nodes.txt") || fs::exists(Dir / "Empty_template.kf")) << command;
        EXPECT_TRUE(!fs::exists(Dir / "sub.dir/.x_new.kf") || Get("sub.dir/.x_new.kf") == contents.at("key"));
    }
}

// A sequence with every setting of its own (text keys, one of them escaped, a clamp cycle, a start at 0.5
// s, two priorities) there and back through both programs: its key file and sequence file convert to the
// same .kf, which reads back to the same two files; a key file that needs none any more loses its old one.
TEST_F(Programs, SequenceSettingsRoundTrip) {
    const TextKeyList texts = {
        {0.5f, "E0"}, {0.5f + 0.1f * 3, "Sound: \"Swing\"\\"}, {0.5f + 0.1f * 9, "E9"}};
    const SequenceSpec attack{"Attack1", 2,       1.5f,  0.75f, 0.5f,
                              {},        "Bip01", false, texts, {{"NPC Spine", 30}, {"NPC Head", 255}}};
    const ByteString kf = Build_Template(Animated(Example_Template(), false, 1.7f, kExampleBones, attack));
    fs::create_directory(Dir / "back");
    Put("attack.kf", kf);
    Put("Empty.kf", Read_File(POSEWRIGHT_EXAMPLES "/Empty.kf")); // the bundled template is the fixture's
    Run("posewright-keys", {"attack.kf"}, 0);
    EXPECT_EQ(
        Get("attack_keys.sequence.txt"),
        As_Bytes("# Sequence settings for attack_keys.txt\nName \"Attack1\"\nCycle clamp\nFrequency 1.5\n"
                 "Weight 0.75\nStart 0.5\nStop 1.7\nAccumulation root \"Bip01\"\nText key 0.5 \"E0\"\n"
                 "Text key 0.8 \"Sound: \\\"Swing\\\"\\\\\"\nText key 1.4000001 \"E9\"\n"
                 "Priority \"NPC Spine\" 30\nPriority \"NPC Head\" 255\n"));
    EXPECT_EQ(
        Run("posewright", {"-o", "back/attack.kf", "Empty.kf", "attack_keys.txt"}, 0).Transcript,
        Opening({"Empty.kf", "attack_keys.txt", "attack_keys.sequence.txt"}, "back/attack.kf") + kLoaded +
            "Loading ANIMATION KEYS from 'attack_keys.txt' to Memory: <done>\nLoading SEQUENCE settings "
            "from 'attack_keys.sequence.txt' to Memory: <done>\n" +
            kConverted);
    EXPECT_EQ(Get("back/attack.kf"), kf);
    Run("posewright-keys", {"back/attack.kf"}, 0);
    for (const char* file : {"attack_keys.txt", "attack_keys.sequence.txt"})
        EXPECT_EQ(Get(std::string("back/") + file), Get(file)) << file;
    Put("back/attack.kf", Build_Template(Animated(Example_Template(), false, 1.7f, kExampleBones)));
    EXPECT_HAS("\t- 'back/attack_keys.sequence.txt' <removed: the sequence needs no settings beside "
               "its keys>\n",
               Run("posewright-keys", {"back/attack.kf"}, 0).Transcript);
    EXPECT_FALSE(fs::exists(Dir / "back/attack_keys.sequence.txt") ||
                 fs::exists(Dir / "back/attack_keys.txt.part"));
}

// Bones on curves through posewright-keys, the converter over a template without the root's name, and
// posewright-keys again: the same key file and sequence file, the root kept. At another rate the keys
// follow it; rates out of bounds are refused. Asked for help or the version alone, a program answers.
TEST_F(Programs, CurvesThereAndBack) {
    Put("c.kf", Curves_File({{"A", {}}, {"B", {}}}, 6, 1.5f));
    Put("E.kf", Build_Template({}));
    EXPECT_HAS("Sequence 'Idle': 2 bones, 92 keys, 1.5 s, quaternions\n\t- 2 bones sampled from their "
               "curves at 30 keys a second\n",
               Run("posewright-keys", {"c.kf"}, 0).Transcript);
    Run("posewright", {"E.kf", "c_keys.txt"}, 0); // a stem of one letter
    Run("posewright-keys", {"E_new.kf"}, 0);
    EXPECT_EQ(Get("E_new_keys.txt"), Get("c_keys.txt"));
    // Past the line that names the key file.
    EXPECT_EQ(Keys_Body(Get("E_new_keys.sequence.txt")), Keys_Body(Get("c_keys.sequence.txt")));
    EXPECT_HAS("Accumulation root \"NPC Root [Root]\"", Keys_Body(Get("c_keys.sequence.txt")));
    for (const auto& [rate, status] : {std::pair{"-1", 1}, {"abc", 1}, {"1001", 1}, {"1", 0}, {"1000", 0}})
        Run("posewright-keys", {"--rate", rate, "c.kf"}, status);
    EXPECT_HAS("2 bones, 40 keys", Run("posewright-keys", {"--rate", "12.5", "c.kf"}, 0).Transcript);
    EXPECT_HAS("\nPosewright-Keys: a .kf animation",
               Run("posewright-keys", {"--rate", "0", "-h", "c.kf"}, 0).Transcript);
    EXPECT_EQ(Run("posewright", {"--version"}, 0).Transcript.find("Posewright "), 0u);
}

// Key files through --compress, posewright-keys and --compress again: each key of the first within twice
// the bound of the second's curves, and the second output no larger; a batch; angles stay keys, and say so.
TEST_F(Programs, CompressThereAndBack) {
    const std::vector<Bone> bones = Smooth_Bones(3, 91, 3, 8);
    Put("E.kf", Build_Template(Example_Template()));
    Put("k.txt", As_Bytes(Key_Text(false, 3, bones)));
    EXPECT_HAS(
        "\nCompressed: 3 bones as curves, 0 as poses, 0 as keys; 15 KiB -> 1,538 bytes: 9.7 times smaller\n",
        Run("posewright", {"--compress", "-o", "one.kf", "E.kf", "k.txt"}, 0).Transcript);
    Run("posewright-keys", {"one.kf"}, 0);
    Run("posewright", {"--compress", "-o", "two.kf", "E.kf", "one_keys.txt"}, 0);
    const auto curves = Output_Bones(Get("two.kf"));
    ASSERT_EQ(curves.size(), bones.size());
    for (std::size_t b = 0; b < bones.size(); ++b)
        EXPECT_EQ(Missed_Key(curves[b].second, bones[b], {0.02, 0.002, 0.002}), "");
    EXPECT_LE(Get("two.kf").size(), Get("one.kf").size());
    Put("a.txt", As_Bytes(Key_Text(true, 3, Generated_Bones(2, 5, true, 3))));
    const std::string batch =
        Run("posewright", {"--compress=0.1,0.1,0.1", "E.kf", "k.txt", "a.txt"}, 0).Transcript;
    EXPECT_HAS(
        "WARNING: The key file 'a.txt' holds angles, and --compress writes curves of quaternions only: "
        "its bones are written as keys\n",
        batch);
    EXPECT_HAS("\n2 of 2 key files converted\n", batch);
    Run("posewright", {"-o", "plain.kf", "E.kf", "a.txt"}, 0);
    EXPECT_EQ(Get("a.kf"), Get("plain.kf"));
    EXPECT_LT(Get("k.kf").size(), Get("one.kf").size()); // wider bounds, fewer points
}

// One template, many key files: a property of a batch a row, each run in a folder of its own holding a key
// file named beyond Latin-1 and its copy as .csv, one with its sequence file, one with a typo, one whose
// output would be the template, a skeleton without b's bone, a read-only output, names at their bounds.
TEST_F(Programs, BatchConvertsEachKeyFileAsAlone) {
    const std::string u = "w\u00e4lk \u043a\u043b\u044e\u0447\u0438", e(248, 'e'), k(248, 'k');
    const fs::perms readOnly = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
    // Each output in `folder` against its key file's run alone with -o, without the skeleton, which only
    // warns.
    const auto asAlone = [&](const std::string& folder) {
        for (const std::string& name : {u, std::string("b")}) {
            Run("posewright", {"-o", "alone.kf", "Empty.kf", name == "b" ? name : name + ".txt"}, 0);
            EXPECT_EQ(Get(folder + name + ".kf"), Get("alone.kf")) << name;
        }
    };
    const std::vector<std::string> batch = {"--skeleton",     "s",        "Empty.kf", u + ".txt", "b",
                                            "b.sequence.txt", "typo.txt", "no.txt",   "Empty.txt"},
                                   twice = {"Empty.kf", u + ".txt", u + ".csv"},
                                   named = {"Empty.kf", "b", "b.kf"}, swapped = {"b", "typo.txt", "no.txt"},
                                   bounds = {e, k}, toFolder = {"-o", "out", "Empty.kf", "b", u + ".txt"};
    const struct {
        const char* Property;
        const std::vector<std::string>& Arguments;
        int Status;
        std::string Part;                      // of the transcript
        std::function<void()> Check = nullptr; // of the folder
    } rows[] = {
        {"a key file's section: its run alone's", batch, 1,
         Opening({u + ".txt"}, u + ".kf") + "\nLoading ANIMATION KEYS from '" + u +
             ".txt' to Memory: <done>\n" + kConverted},
        {"a sequence file given: read with its key file", batch, 1,
         "\t- 'b.sequence.txt' <skipped: the sequence file of 'b', read with it>\n"},
        {"a bone not in the skeleton: a warning", batch, 1,
         "\nWARNING: Line 3, bone '\"B' is not a node of the skeleton 's'"},
        {"an output naming an input: refused", batch, 1, "'Empty.kf' is the input file 'Empty.kf'"},
        {"the summary: each key file not converted or with warnings", batch, 1,
         "\n\n2 of 5 key files converted\n\t- 'typo.txt' was NOT converted\n\t- 'no.txt' was NOT converted\n"
         "\t- 'Empty.txt' was NOT converted\n\t- 'b' converted with warnings\n"},
        {"a key file refused: its output as found", batch, 1, "",
         [&] { EXPECT_TRUE(Get("typo.kf") == As_Bytes("kept\n") && !fs::exists(Dir / "typo.kf.part")); }},
        {"the template as found", batch, 1, "",
         [&] { EXPECT_EQ(Get("Empty.kf"), Build_Template(Example_Template())); }},
        // The read-only output among them.
        {"each output beside its key file: its run alone's", batch, 1, "", [&] { asAlone(""); }},
        {"a read-only output replaced: read-only still", batch, 1, "",
         [&] { EXPECT_EQ(fs::status(Dir / (u + ".kf")).permissions(), readOnly); }},
        {"an output another key file's already: refused", twice, 1,
         "ERROR: Output file '" + u + ".kf' is already the output of the key file '" + u + ".txt'"},
        {"an output naming a key file not found", named, 1, "\n0 of 2 key files converted\n"},
        {"a key file as the template, no .kf among the rest", swapped, 1,
         "swapped: give the template .kf first, then the key files!\n"},
        // b's sequence file first: the key file after it has none and must get the defaults.
        {"-o FOLDER: each output there, its run alone's", toFolder, 0, "", [&] { asAlone("out/"); }},
        // An output of 255 bytes (its partial file's cut), no room for a sequence file's.
        {"names at their bounds", bounds, 0, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Property);
        Fresh_Folder();
        for (const std::string& name : {std::string("Empty.kf"), e})
            Put(name, Build_Template(Example_Template()));
        for (const std::string& name : {u + ".txt", u + ".csv", std::string("Empty.txt")})
            Put(name, Read_File(POSEWRIGHT_EXAMPLES "/AnimationKeys.txt"));
        for (const std::string& name : {std::string("b"), k})
            Put(name, As_Bytes(Key_Text(true, 2, {{"\"B", {At(0, 1)}}})));
        Put("b.sequence.txt", As_Bytes("Name \"Run\"\n"));
        Put("typo.txt", As_Bytes("Quaternions\n5,0\n" + Name_Line("A") + "0\n"));
        Put("typo.kf", As_Bytes("kept\n"));
        Put("s", kExampleSkeleton);
        Put(u + ".kf", As_Bytes("old\n"));
        fs::permissions(Dir / (u + ".kf"), readOnly);
        fs::create_directory(Dir / "out");
        EXPECT_HAS(row.Part, Run("posewright", row.Arguments, row.Status).Transcript);
        if (row.Check) row.Check();
    }
}

// posewright-keys over many files (one named beyond Latin-1, one of two sequences of one name: a key file
// each, the second numbered) against a skeleton, each read as alone (its section that run's transcript,
// but for the termination line), and over a folder: its .kf files of any case in byte order, not its
// subfolders' nor a file named "kf".
TEST_F(Programs, KeysReadsManyFilesAndFolders) {
    const std::string x = "w\u00e4lk \u043a\u043b\u044e\u0447\u0438.kf";
    Put(x, Build_Template(Animated(Example_Template(), false, 1, kExampleBones)));
    Put("p.kf",
        Build_Template(Animated(Animated({}, false, 1, {}), false, 1, {{"A", {At(1, 0), At(0, 0)}}})));
    Put("k.txt", As_Bytes(Key_Text(false, 1, kExampleBones)));
    Put("s.nif", kExampleSkeleton);
    // The skeleton is read once, before the files.
    const std::string skeleton = "\nTry to open the skeleton:\n\t- 's.nif' <ok>\n" + kLoaded;
    std::string alone = skeleton;
    for (const std::string& file : {std::string("p.kf"), x, std::string("k.txt")})
        alone += Run("posewright-keys", {"--skeleton", "s.nif", file}, file[0] == 'k' ? 1 : 0)
                     .Transcript.substr(skeleton.size());
    alone.erase(alone.rfind(kTerminated), kTerminated.size());
    EXPECT_HAS("\t- Sequence 'SpecialIdle': bone 'A' is not a node of the skeleton 's.nif': ", alone);
    EXPECT_EQ(Run("posewright-keys", {"--skeleton", "s.nif", "p.kf", x, "k.txt"}, 1).Transcript,
              alone + "\n2 of 3 files read\n\t- 'k.txt' was NOT read\n\t- 'p.kf' read with problems\n");
    EXPECT_TRUE(fs::exists(Dir / "p_SpecialIdle_keys.txt") && fs::exists(Dir / "p_SpecialIdle_2_keys.txt"));
    fs::create_directories(Dir / "d/sub.kf");
    for (const char* file : {"d/b.kf", "d/A.KF", "d/kf", "d/sub.kf/c.kf"})
        fs::copy_file(Dir / x, Dir / file);
    const std::string read = Run("posewright-keys", {"d"}, 0).Transcript;
    EXPECT_LT(read.find("'d/A.KF' <ok>"), read.find("'d/b.kf' <ok>"));
    EXPECT_HAS("\n2 of 2 files read\n", read);
    EXPECT_FALSE(fs::exists(Dir / "d/sub.kf/c_keys.txt"));
}

// From a game's own files: --nodes on a folder writes its .nif's node text as in process; --template
// writes the .kf's header alone with its sequences' accumulation roots, and a conversion over it has the
// game file's header (but for its block count) byte for byte.
TEST_F(Programs, NodesAndTemplateFromAGamesFiles) {
    fs::create_directory(Dir / "d");
    Put("d/chain.nif", Chain_Skeleton());
    Run("posewright-keys", {"--nodes", "d"}, 0);
    EXPECT_EQ(Get("d/chain_nodes.txt"), As_Bytes(Nodes_of(Chain_Skeleton())));
    TemplateLayout header{.HeaderLine = "A Game File Format, Version 20.2.0.7\n",
                          .ShortStrings = {"maker", "", "exporter"},
                          .UserVersion2 = 34,
                          .UserVersion = 11};
    TemplateLayout game = Animated(Animated(header, false, 1, kExampleBones, {.Root = "Bip01"}), true, 1,
                                   {{"B", {At(0, 1)}}}, {.Name = "Walk", .Root = "Tail"});
    Put("game.kf", Build_Template(game));
    Put("k.txt", As_Bytes(Key_Text(false, 1, kExampleBones)));
    Run("posewright-keys", {"--template", "game.kf"}, 0);
    header.Strings = {"Bip01", "Tail"};
    header.MaxStringLength = 21; // the game file's, "NiTransformController"
    EXPECT_EQ(Get("game_template.kf"), Build_Template(header));
    Run("posewright", {"game_template.kf", "k.txt"}, 0);
    ByteString converted = Get("game_template_new.kf"), original = Build_Template(game);
    // From the block count, after user version 1, zeroed, to the end of the short strings.
    const std::size_t count = header.HeaderLine.size() + 9, end = count + 8 + 7 + 2 + 10;
    for (ByteString* bytes : {&converted, &original})
        std::fill_n(bytes->begin() + count, 4, 0), bytes->resize(end);
    EXPECT_EQ(converted, original);
}

// The key file's and the sequence file's names: the last extension of the file-name part goes, never a
// folder's; a sequence's name, made fit for a file name, joins it when the .kf holds several.
TEST(Names, OfTheOutputs) {
    EXPECT_EQ(Key_File_Name("anims.old/walk.kf", "SpecialIdle", false), "anims.old/walk_keys.txt");
    EXPECT_EQ(Key_File_Name("a.b.kf", "x:y /z*\t", true), "a.b_x_y _z___keys.txt");
    for (const auto& [keys, sequence] : {std::pair{"walk.txt", "walk.sequence.txt"},
                                         {"My.Mods/keys", "My.Mods/keys.sequence.txt"},
                                         {"/.hidden", "/.hidden.sequence.txt"},
                                         {"x.tar.gz", "x.tar.sequence.txt"}})
        EXPECT_EQ(Sequence_File_Name(keys), sequence);
    for (const auto& [keys, folder, output] : {std::tuple{"anims.old/walk.txt", "", "anims.old/walk.kf"},
                                               {"keys", "", "keys.kf"},
                                               {"a/.b.c.txt", "out", "out/.b.c.kf"},
                                               {"a/walk.txt", "out/", "out/walk.kf"}})
        EXPECT_EQ(Batch_Output_Name(keys, folder[0] != '\0' ? folder : nullptr), output);
    EXPECT_EQ(Partial_Name("d/" + std::string(249, 'e') + "\u00e4"), "d/" + std::string(249, 'e') + ".part");
}

} // namespace
