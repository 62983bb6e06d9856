// Whole runs of the built program in a temporary folder, standard input at end of file: the complete
// transcript and the output bytes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/kf_decoder.h"
#include "support/run_binary.h"
#include "support/template_writer.h"

namespace {

const std::string kOpen = "\nTry to open files:\n";
const std::string kLoadedNif = "\n[Load_from_File___All_NIF_Blocks] Loading NIF header: <done>\n";
const std::string kDone = "\n\n\t[ Converting Animation to KF format is DONE ! ]\n";
const std::string kTerminated = "\nProgram terminated because of Errors !\n";

std::string Ok(const std::string& name) {
    return "\t- '" + name + "' <ok>\n";
}
std::string Created(const std::string& name) {
    return "\t- '" + name + "' <created>\n";
}
std::string Loading_Keys(const std::string& name) {
    return "Loading ANIMATION KEYS from '" + name + "' to Memory: ";
}
std::string Opened_All() {
    return kOpen + Ok("Empty.kf") + Ok("keys.txt") + Created("Empty_new.kf");
}

std::string Name_Line(const std::string& name) {
    return "Bone name: \"" + name + "\";\n";
}

const std::string kOneKey =
    "Quaternions\n2\n" + Name_Line("A") + "1\n0.5 1 2 3 1 0 0 0 1\n" + Name_Line("End") + "0\n";

class Cli : public testing::Test {
  protected:
    // A run that must end with `status`: 0 only after the success line, 1 on every other way out.
    RunResult Run(const std::vector<std::string>& arguments, int status) {
        const RunResult result = Run_Posewright(Dir.Path, arguments);
        EXPECT_EQ(result.ExitCode, status) << result.Transcript;
        return result;
    }
    void Put(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        Write_File(Dir / name, bytes);
    }
    void Put(const std::string& name, const std::string& text) { Write_File(Dir / name, text); }
    bool Exists(const std::string& name) const { return std::filesystem::exists(Dir / name); }
    std::vector<std::uint8_t> Output() const { return Read_File(Dir / "Empty_new.kf"); }

    TempDir Dir;
};

TEST_F(Cli, UsageWhenArgumentsAreMissing) {
    const std::string usage =
        "\nERROR: not enough arguments.\n\n\t(Example of use: 'Posewright.exe Empty.kf AnimationKeys.txt')\n";
    EXPECT_EQ(Run({}, 1).Transcript, usage);
    EXPECT_EQ(Run({"Empty.kf"}, 1).Transcript, usage);
    EXPECT_TRUE(std::filesystem::is_empty(Dir.Path));
}

TEST_F(Cli, MissingFilesAreNamedAndNoOutputIsCreated) {
    EXPECT_EQ(Run({"Empty.kf", "keys.txt"}, 1).Transcript, kOpen + "\t- 'Empty.kf' was NOT found\n");
    Put("Empty.kf", Build_Template(Example_Template()));
    EXPECT_EQ(Run({"Empty.kf", "keys.txt"}, 1).Transcript,
              kOpen + Ok("Empty.kf") + "\t- 'keys.txt' was NOT found\n");
    EXPECT_FALSE(Exists("Empty_new.kf"));
}

// The whole expected file for one bone of one key over the example template, field by field.
std::vector<std::uint8_t> One_Key_Output() {
    TemplateLayout layout = Example_Template();
    layout.BlockTypes = {"NiTransformData", "NiTransformInterpolator", "NiTextKeyExtraData",
                         "NiControllerSequence"};
    layout.BlockTypeIndex = {0, 1, 2, 3};
    layout.Strings = {"NPC Root [Root]", "start", "end", "A", "SpecialIdle", "NiTransformController"};
    // clang-format off
    layout.Bodies = {
        One_Quaternion_Key_Body(0.5f),
        Bytes().f32s({0, 0, 0, 1, 0, 0, 0, 1}).i32(0).Data, // identity transform, data block 0
        Bytes().i32s({-1, 2}).f32(0).i32(1).f32(2).i32(2).Data, // "start" at 0, "end" at 2
        Bytes()
            .i32(4).u32s({1, 1})                                  // "SpecialIdle", one block, grow by 1
            .i32s({1, -1}).u8(0).i32s({3, -1, 5, -1, -1})        // bone A
            .f32(1).i32(2).u32(0).f32s({1, 0, 2}).i32s({-1, 0}).u16(0)
            .Data,
    };
    // clang-format on
    return Build_Template(layout); // its maximum string length is that of "NiTransformController"
}

TEST_F(Cli, ConvertsAndReportsSuccess) {
    Put("Empty.kf", Build_Template(Example_Template()));
    Put("keys.txt", kOneKey);
    const RunResult result = Run({"Empty.kf", "keys.txt", "ignored"}, 0);
    EXPECT_EQ(result.Transcript, Opened_All() + kLoadedNif + Loading_Keys("keys.txt") + "<done>\n" + kDone);
    EXPECT_EQ(Output(), One_Key_Output());
}

// Key files saved by Windows editors end lines in CR LF; every build reads them as LF, so the transcript
// (its line numbers and line lengths too) and the output match those of the LF file byte for byte.
TEST_F(Cli, CrLfKeyFileGivesTheSameTranscriptAndFile) {
    const std::pair<std::string, int> keyFiles[] = {
        {"Quaternions\n2\nshort\n0\n", 1}, {"Quaternions\n2\n" + Name_Line("A") + "2000\n", 1}, {kOneKey, 0}};
    Put("Empty.kf", Build_Template(Example_Template()));
    for (const auto& [keys, status] : keyFiles) {
        SCOPED_TRACE(keys);
        std::string crlf;
        for (char c : keys)
            crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
        Put("keys.txt", keys);
        const std::string lfTranscript = Run({"Empty.kf", "keys.txt"}, status).Transcript;
        const std::vector<std::uint8_t> lfOutput = Output();
        Put("keys.txt", crlf);
        EXPECT_EQ(Run({"Empty.kf", "keys.txt"}, status).Transcript, lfTranscript);
        EXPECT_EQ(Output(), lfOutput);
    }
    EXPECT_EQ(Output(), One_Key_Output());
}

struct FailCase {
    const char* Name;
    std::vector<std::uint8_t> Template;
    std::string Keys;
    std::string After; // the transcript after the files were opened
};

TEST_F(Cli, FailuresLeaveAnEmptyOutput) {
    TemplateLayout badVersion = Example_Template();
    badVersion.Version = {1, 0, 2, 20};
    TemplateLayout crowded = Example_Template();
    for (int i = 0; i < 253; ++i)
        crowded.Strings.push_back("s" + std::to_string(i));
    const auto example = Build_Template(Example_Template());
    const FailCase cases[] = {
        {"unsupported template", Build_Template(badVersion), kOneKey,
         "\n[Load_from_File___All_NIF_Blocks] Loading NIF header: \n[Load_from_File___All_NIF_Blocks] ERROR: "
         "Unsupported NIF file (support version '20.2.0.7' only)!\n" +
             kTerminated},
        {"key file without records", example, "Quaternions\n2\n",
         kLoadedNif + Loading_Keys("keys.txt") +
             "<done>\n\nERROR: Cannot load Animation keys without errors!\n"},
        {"unknown format", example, "Keyframes\n2\n" + Name_Line("A") + "0\n",
         kLoadedNif + Loading_Keys("keys.txt") +
             "<done>\n\nERROR: Animation data format don't recognized !\n"},
        {"too many keys", example, "Quaternions\n2\n" + Name_Line("A") + "2000\n",
         kLoadedNif + Loading_Keys("keys.txt") +
             "\n[Load_from_File___Animation_Keys] ERROR: Line 4, bone record 1: Variable 'NumKeys=2000' is "
             "out of "
             "limits (0 to 1536)!\n\nERROR: Cannot load Animation keys without errors!\n"},
        {"string table full", Build_Template(crowded),
         "Quaternions\n2\n" + Name_Line("A") + "0\n" + Name_Line("B") + "0\n" + Name_Line("C") + "0\n",
         kLoadedNif + Loading_Keys("keys.txt") +
             "<done>\n\n\n[Append_String_to_Header] ERROR: Variable 'Header_NumStrings=256' is out of "
             "limits!\n" +
             kTerminated},
    };
    for (const FailCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Put("Empty.kf", c.Template);
        Put("keys.txt", c.Keys);
        Put("Empty_new.kf", std::string("stale content"));
        EXPECT_EQ(Run({"Empty.kf", "keys.txt"}, 1).Transcript, Opened_All() + c.After);
        EXPECT_TRUE(Exists("Empty_new.kf"));
        EXPECT_TRUE(Output().empty());
    }
}

TEST_F(Cli, RefusesNamesThatWouldOverflowOrOverwrite) {
    const std::string longName = std::string(256, 'k');
    EXPECT_EQ(Run({"Empty.kf", longName}, 1).Transcript,
              "\nERROR: File name '" + longName + "' is too long (at most 255 characters)!\n");
    const std::string longStem = std::string(250, 'e');
    EXPECT_EQ(Run({longStem, "keys.txt"}, 1).Transcript,
              "\nERROR: Output file name for '" + longStem + "' is too long (at most 255 characters)!\n");

    Put("x.kf", Build_Template(Example_Template()));
    Put("x_new.kf", kOneKey);
    EXPECT_EQ(Run({"x.kf", "x_new.kf"}, 1).Transcript,
              kOpen + Ok("x.kf") + Ok("x_new.kf") +
                  "\nERROR: Output file 'x_new.kf' is the input file 'x_new.kf': it would be overwritten!\n");
    EXPECT_EQ(Read_File(Dir / "x_new.kf"), std::vector<std::uint8_t>(kOneKey.begin(), kOneKey.end()));

    Put("Empty", Build_Template(Example_Template()));
    Put("keys.txt", kOneKey);
    EXPECT_EQ(Run({"Empty", "keys.txt"}, 0).Transcript, kOpen + Ok("Empty") + Ok("keys.txt") +
                                                            Created("Empty_new.kf") + kLoadedNif +
                                                            Loading_Keys("keys.txt") + "<done>\n" + kDone);
}

// A key file of `bones` converted bones plus the closing record, with values that tell keys apart.
std::string Many_Bones(bool euler, int bones, int keys) {
    std::string text = euler ? "Euler\n" : "Quaternions\n";
    text += "4.5\n";
    for (int b = 0; b <= bones; ++b) {
        text += Name_Line("Bone " + std::to_string(b)) + std::to_string(keys) + "\n";
        for (int k = 0; k < keys; ++k) {
            const std::string v = std::to_string(b) + "." + std::to_string(k);
            text += std::to_string(k) + " " + v + " -" + v + " 1e-3 " + (euler ? "" : "0.5 ") + "0.25 " + v +
                    " 0.125 1.5\n";
        }
    }
    return text;
}

TEST_F(Cli, MultiBoneConversionsDecodeBackToTheirKeys) {
    for (bool euler : {false, true}) {
        SCOPED_TRACE(euler ? "Euler" : "quaternion");
        TemplateLayout layout = Example_Template();
        layout.BlockTypes = {"NiNode"};
        layout.Bodies = {std::vector<std::uint8_t>(17, 3)};
        layout.Roots = {0};
        Put("Empty.kf", Build_Template(layout));
        Put("keys.txt", Many_Bones(euler, 7, 25));
        Run({"Empty.kf", "keys.txt"}, 0);
        NifFile file;
        DecodedAnimation animation;
        std::string error;
        ASSERT_TRUE(Decode_Nif(Output(), file, error)) << error;
        ASSERT_TRUE(Decode_Animation(file, 1, animation, error)) << error;
        EXPECT_EQ(file.Roots, std::vector<std::int32_t>{0});
        EXPECT_EQ(file.Bodies[0], layout.Bodies[0]);
        EXPECT_EQ(animation.Euler, euler);
        EXPECT_EQ(animation.Duration, 4.5f);
        EXPECT_EQ(animation.AccumRootName, "NPC Root [Root]");
        ASSERT_EQ(animation.Bones.size(), 7u);
        const DecodedBone& bone = animation.Bones[6];
        EXPECT_EQ(bone.Name, "Bone 6");
        ASSERT_EQ(bone.Keys.size(), 25u);
        const DecodedKey expected = {24,    6.24f, -6.24f, 1e-3f, euler ? 0.0f : 0.5f,
                                     0.25f, 6.24f, 0.125f, 1.5f};
        EXPECT_EQ(bone.Keys[24], expected);
    }
}

TEST_F(Cli, BundledExampleConverts) {
    std::filesystem::copy_file(std::string(POSEWRIGHT_EXAMPLES) + "/Empty.kf", Dir / "Empty.kf");
    std::filesystem::copy_file(std::string(POSEWRIGHT_EXAMPLES) + "/AnimationKeys.txt",
                               Dir / "AnimationKeys.txt");
    const RunResult result = Run({"Empty.kf", "AnimationKeys.txt"}, 0);
    EXPECT_EQ(result.Transcript, kOpen + Ok("Empty.kf") + Ok("AnimationKeys.txt") + Created("Empty_new.kf") +
                                     kLoadedNif + Loading_Keys("AnimationKeys.txt") + "<done>\n" + kDone);
    NifFile file;
    DecodedAnimation animation;
    std::string error;
    ASSERT_TRUE(Decode_Nif(Output(), file, error)) << error;
    ASSERT_TRUE(Decode_Animation(file, 0, animation, error)) << error;
    EXPECT_EQ(Read_File(std::string(POSEWRIGHT_EXAMPLES) + "/Empty.kf"), Build_Template(Example_Template()));
}

} // namespace
