#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "keys/anim_keys.h"
#include "support/fixtures.h"

namespace {

const char* const kStart = "Loading ANIMATION KEYS from 'keys.txt' to Memory: ";

// The name line of a bone: 12 characters before the name, 2 after it.
std::string Name_Line(const std::string& name) {
    return "Bone name: \"" + name + "\";\n";
}

struct Loaded {
    std::int32_t Result;
    std::string Console;
};

Loaded Load_Keys(const std::string& text) {
    Reset_All_Tables();
    AnimationKeysFile = File_With(text);
    std::snprintf(AnimationKeysFileName, sizeof AnimationKeysFileName, "keys.txt");
    Loaded loaded{};
    loaded.Console = Console_Of([&] { loaded.Result = Load_from_File___Animation_Keys(); });
    std::fclose(AnimationKeysFile);
    AnimationKeysFile = nullptr;
    return loaded;
}

std::vector<float> Slots(const AnimKey& key) {
    return {key.Time, key.PosX, key.PosY, key.PosZ, key.RotW, key.RotX, key.RotY, key.RotZ, key.Scale};
}

struct ReadCase {
    const char* Name;
    std::string Text;
    std::int32_t Result;
    std::uint8_t Quaternion, Euler;
    float Duration;
    std::string BoneName;        // of bone 0
    std::int32_t NumKeys;        // of bone 0
    std::vector<float> FirstKey; // bone 0, key 0
    const char* SecondName = ""; // of record 1, when checked
};

const std::string kTail = Name_Line("Last") + "0\n"; // the record that is read but never converted

TEST(AnimKeys, ReadsRecordsAsTheFormattedInputDoes) {
    const ReadCase cases[] = {
        {"quaternion",
         "Quaternions\n2.5\n" + Name_Line("Bip01 Head") + "1\n0.5 1 2 3 0.7 0.1 0.2 0.3 1.5\n" + kTail,
         1,
         1,
         0,
         2.5f,
         "Bip01 Head",
         1,
         {0.5f, 1, 2, 3, 0.7f, 0.1f, 0.2f, 0.3f, 1.5f},
         "Last"},
        {"euler leaves RotW",
         "Euler angles\n1\n" + Name_Line("Arm") + "1\n0.5 1 2 3 10 20 30 2\n" + kTail,
         1,
         0,
         1,
         1.0f,
         "Arm",
         1,
         {0.5f, 1, 2, 3, 0, 10, 20, 30, 2}},
        {"both words read twice",
         "Quaternions and Euler\n1\n" + Name_Line("B") + "1\n1 2 3 4 5 6 7 8 9\n11 12 13 14 16 17 18 19\n" +
             kTail,
         1,
         1,
         1,
         1.0f,
         "B",
         1,
         {11, 12, 13, 14, 5, 16, 17, 18, 19}},
        {"CR LF",
         "Quaternions\r\n3\r\nBone name: \"CR\";\r\n1\r\n1 2 3 4 5 6 7 8 9\r\n" + kTail,
         1,
         1,
         0,
         3.0f,
         "CR",
         1,
         {1, 2, 3, 4, 5, 6, 7, 8, 9}},
        {"blank lines and indentation",
         "Quaternions\n1\n\n\n   \t" + Name_Line("Spine") + "0\n" + kTail,
         1,
         1,
         0,
         1.0f,
         "Spine",
         0,
         {0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"numbers spread over lines",
         "Quaternions\n1\n" + Name_Line("B") + "1\n1\n2 3\n4\t5 6 7\n8\n9\n" + kTail,
         1,
         1,
         0,
         1.0f,
         "B",
         1,
         {1, 2, 3, 4, 5, 6, 7, 8, 9}},
        {"exponent and signed forms",
         "Quaternions\n1e1\n" + Name_Line("B") + "1\n-1.5e2 +3 .5 5. -0 1E-2 2e+1 -.25 7\n" + kTail,
         1,
         1,
         0,
         10.0f,
         "B",
         1,
         {-150.0f, 3, 0.5f, 5, -0.0f, 0.01f, 20, -0.25f, 7}},
        {"malformed number stops the bone",
         "Quaternions\n1\n" + Name_Line("B") + "2\n1 2 x3 4 5 6 7 8 9\n1 2 3 4 5 6 7 8 9\n0\n",
         1,
         1,
         0,
         1.0f,
         "B",
         2,
         {1, 2, 0, 0, 0, 0, 0, 0, 0},
         ""},
        {"one record converts nothing",
         "Quaternions\n1\n" + Name_Line("Only") + "1\n1 2 3 4 5 6 7 8 9\n",
         0,
         1,
         0,
         1.0f,
         "Only",
         1,
         {1, 2, 3, 4, 5, 6, 7, 8, 9}},
        {"neither word",
         "Keys\n1\n" + Name_Line("B") + "1\n1 2 3 4 5 6 7 8 9\n",
         1,
         0,
         0,
         1.0f,
         "B",
         1,
         {0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"name line without suffix loses two characters",
         "Quaternions\n1\nBone name: \"Pelvis\n0\n" + kTail,
         1,
         1,
         0,
         1.0f,
         "Pelv",
         0,
         {0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"format line longer than 255",
         "Quaternions" + std::string(244, ' ') + "7\n" + Name_Line("B") + "0\n" + kTail,
         1,
         1,
         0,
         7.0f,
         "B",
         0,
         {0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"name line longer than 255",
         "Quaternions\n1\nBone name: \"" + std::string(243, 'n') + "12\n0\n" + kTail,
         1,
         1,
         0,
         1.0f,
         std::string(240, 'n'),
         12,
         {0, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const Loaded loaded = Load_Keys(c.Text);
        EXPECT_EQ(loaded.Console, std::string(kStart) + "<done>\n");
        EXPECT_EQ(loaded.Result, c.Result);
        EXPECT_EQ(IsQuaternionFormat, c.Quaternion);
        EXPECT_EQ(IsEulerFormat, c.Euler);
        EXPECT_EQ(AnimDuration, c.Duration);
        EXPECT_EQ(AnimBones[0].Name, c.BoneName);
        EXPECT_EQ(AnimBones[0].NumKeys, c.NumKeys);
        EXPECT_EQ(Slots(AnimBones[0].Keys[0]), c.FirstKey);
        if (*c.SecondName != '\0') {
            EXPECT_STREQ(AnimBones[1].Name, c.SecondName);
        }
    }
}

TEST(AnimKeys, FailedNumberLeavesTheRestOfItsLineToTheNextNameLine) {
    Load_Keys("Quaternions\n1\n" + Name_Line("B") + "1\n1 2 x3 4 5 6 7 8 9 and more\n0\n");
    EXPECT_STREQ(AnimBones[1].Name, " 9 and mo");
}

TEST(AnimKeys, FileEndingAfterTheDurationHasNoRecord) {
    for (const char* text : {"Quaternions\n2.5\n", "Quaternions\n2.5", "Quaternions\n2.5\n\n  \n", ""}) {
        SCOPED_TRACE(text);
        const Loaded loaded = Load_Keys(text);
        EXPECT_EQ(loaded.Result, -1);
        EXPECT_EQ(loaded.Console, std::string(kStart) + "<done>\n");
    }
}

std::string Records(int count, const std::string& keys = "0\n") {
    std::string text = "Quaternions\n1\n";
    for (int r = 0; r < count; ++r)
        text += Name_Line("Bone" + std::to_string(r)) + keys;
    return text;
}

TEST(AnimKeys, RefusesRecordsThatDoNotFitTheTable) {
    struct Case {
        const char* Name;
        std::string Text;
        const char* Message;
    };
    const Case cases[] = {
        {"301 records", Records(301),
         "\n[Load_from_File___Animation_Keys] ERROR: Line 603, bone record 301: the file holds more than the "
         "300 "
         "records that fit!\n"},
        {"1537 keys", "Quaternions\n1\n" + Name_Line("B") + "1537\n",
         "\n[Load_from_File___Animation_Keys] ERROR: Line 4, bone record 1: Variable 'NumKeys=1537' is out "
         "of limits "
         "(0 to 1536)!\n"},
        {"negative count", "Euler\n1\n" + Name_Line("A") + "0\n" + Name_Line("B") + "-2\n" + kTail,
         "\n[Load_from_File___Animation_Keys] ERROR: Line 6, bone record 2: Variable 'NumKeys=-2' is out of "
         "limits "
         "(0 to 1536)!\n"},
        {"short name line", "Quaternions\n1\n" + Name_Line("A") + "0\nshort name\n0\n",
         "\n[Load_from_File___Animation_Keys] ERROR: Line 5, bone record 2: the name line holds 11 "
         "characters, "
         "fewer than the 15 it needs!\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const Loaded loaded = Load_Keys(c.Text);
        EXPECT_EQ(loaded.Result, -3);
        EXPECT_EQ(loaded.Console, std::string(kStart) + c.Message);
        // The refused count does not stay behind, where a later reader would index past the keys.
        EXPECT_TRUE(std::all_of(std::begin(AnimBones), std::end(AnimBones), [](const AnimBone& bone) {
            return bone.NumKeys >= 0 && bone.NumKeys <= static_cast<std::int32_t>(kMaxKeys);
        }));
    }
}

TEST(AnimKeys, TableHoldsExactlyItsCapacity) {
    EXPECT_EQ(Load_Keys(Records(300)).Result, 299);
    std::string keys = "1536\n";
    for (int k = 0; k < 1536; ++k)
        keys += std::to_string(k) + " 0 0 0 1 0 0 0 1\n";
    const Loaded loaded = Load_Keys(Records(1, keys) + kTail);
    EXPECT_EQ(loaded.Result, 1);
    EXPECT_EQ(AnimBones[0].Keys[1535].Time, 1535.0f);
}

TEST(AnimKeys, UnknownFormatOnlyCountsItsRecords) {
    // Refusing a record here would hide the message about the format.
    const Loaded loaded = Load_Keys("Keys\n1\nshort\n-5\n" + Records(302).substr(14));
    EXPECT_GE(loaded.Result, 0);
    EXPECT_EQ(loaded.Console, std::string(kStart) + "<done>\n");
}

} // namespace
