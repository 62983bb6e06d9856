#include <gtest/gtest.h>

#include <vector>

#include "nif/le.h"

TEST(LittleEndian, PinsTheBytesOfEachKind) {
    std::uint8_t bytes[4] = {};
    Put_u32(bytes, 0x01020304);
    EXPECT_EQ((std::vector<std::uint8_t>{bytes, bytes + 4}), (std::vector<std::uint8_t>{4, 3, 2, 1}));
    Put_f32(bytes, 1.0f);
    EXPECT_EQ((std::vector<std::uint8_t>{bytes, bytes + 4}),
              (std::vector<std::uint8_t>{0x00, 0x00, 0x80, 0x3F}));
    Put_i32(bytes, -1);
    EXPECT_EQ(Get_u32(bytes), 0xFFFFFFFFu);
    EXPECT_EQ(Get_i32(bytes), -1);
    Put_u16(bytes, 0xBEEF);
    EXPECT_EQ(bytes[0], 0xEF);
    EXPECT_EQ(Get_u16(bytes), 0xBEEF);
    Put_f32(bytes, -2.5f);
    EXPECT_EQ(Get_f32(bytes), -2.5f);
}
