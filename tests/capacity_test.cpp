// The whole-file round trip at the capacity of the tables, through the built programs: generated key
// files with every kind of float, 251 bones (which fill the string table beside the five strings of a
// conversion over the example) of kMaxKeys keys, converted and read back to the same text but for the
// wording of the format line, and so to the same file once converted again. Slow: `make test-capacity`.
#include <gtest/gtest.h>

#include "capacities.h"
#include "support/fixtures.h"

namespace {

std::string Body(const ByteString& text) {
    return std::string(std::find(text.begin(), text.end(), '\n'), text.end());
}

TEST(Capacity, WholeFilesRoundTripInBothForms) {
    for (const bool euler : {false, true}) {
        TempDir dir;
        Write_File(dir / "Empty.kf", Build_Template(Example_Template()));
        Write_File(dir / "keys.txt", As_Bytes(Key_Text(euler, 51, Generated_Bones(251, kMaxKeys, euler, 7))));
        EXPECT_EQ(Run_Program("posewright", dir.Path, {"Empty.kf", "keys.txt"}).ExitCode, 0);
        const ByteString first = Read_File(dir / "Empty_new.kf");
        EXPECT_EQ(Run_Program("posewright-keys", dir.Path, {"Empty_new.kf"}).ExitCode, 0);
        EXPECT_EQ(Body(Read_File(dir / "Empty_new_keys.txt")), Body(Read_File(dir / "keys.txt")));
        EXPECT_EQ(Run_Program("posewright", dir.Path, {"Empty.kf", "Empty_new_keys.txt"}).ExitCode, 0);
        EXPECT_TRUE(Read_File(dir / "Empty_new.kf") == first) << (euler ? "Euler angles" : "quaternions");
    }
}

} // namespace
