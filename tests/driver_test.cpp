#include <gtest/gtest.h>

#include <string>

#include "driver/driver.h"

namespace {

TEST(OutputName, StemEndsAtTheFirstDotAfterTheFirstCharacter) {
    const struct {
        const char* Input;
        const char* Output;
    } cases[] = {
        {"Empty.kf", "Empty_new.kf"},
        {"walk.old.kf", "walk_new.kf"},
        {".\\anim.kf", ".\\anim_new.kf"},
        {"../walk.kf", "._new.kf"},
        {"anims.old/walk.kf", "anims_new.kf"},
        {"Empty", "Empty_new.kf"}, // no dot: the whole name
        {".kf", ".kf_new.kf"},
        {"", "_new.kf"},
        {"x", "x_new.kf"},
    };
    for (const auto& c : cases) {
        char output[256];
        ASSERT_TRUE(Derive_Output_File_Name(c.Input, output, sizeof output)) << c.Input;
        EXPECT_STREQ(output, c.Output) << c.Input;
    }
}

TEST(OutputName, RefusesANameThatDoesNotFit) {
    char output[256];
    EXPECT_TRUE(Derive_Output_File_Name(std::string(248, 'a').c_str(), output, sizeof output));
    EXPECT_EQ(std::string(output), std::string(248, 'a') + "_new.kf");
    EXPECT_FALSE(Derive_Output_File_Name(std::string(249, 'a').c_str(), output, sizeof output));
    EXPECT_TRUE(Derive_Output_File_Name((std::string(200, 'a') + "." + std::string(54, 'k')).c_str(), output,
                                        sizeof output));
}

} // namespace

namespace {

TEST(WideArguments, KeepTheLowByteOfEachCharacter) {
    EXPECT_EQ(Narrow_Argument(L"Empty.kf"), "Empty.kf");
    EXPECT_EQ(Narrow_Argument(L"\u00e9t\u0141.kf"), "\xe9t\x41.kf"); // U+0141 keeps 0x41
    EXPECT_EQ(Narrow_Argument(L"ab\u0100cd"), "ab");                 // a low byte of 0 ends the name
    EXPECT_EQ(Narrow_Argument(L""), "");
}

} // namespace
