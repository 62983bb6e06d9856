#include <gtest/gtest.h>

#include <string>

#include "nif/nif_document.h"
#include "support/fixtures.h"

namespace {

class NifDocument : public testing::Test {
  protected:
    void SetUp() override { Reset_All_Tables(); }
};

struct AllocateCase {
    std::int32_t Index, Size, Result;
    const char* Message;
};

TEST_F(NifDocument, AllocateChecksIndexThenSizeThenHeap) {
    const AllocateCase cases[] = {
        {1023, 0, 0, ""},
        {1024, 0, -1, "\n[AllocateRAM_forNifBlock] ERROR: Number of NIF block is too big !\n"},
        {-1, 0, -1, "\n[AllocateRAM_forNifBlock] ERROR: Number of NIF block is too big !\n"},
        {1024, 0x500001, -1, "\n[AllocateRAM_forNifBlock] ERROR: Number of NIF block is too big !\n"},
        {0, 0x500000, 0, ""},
        {0, 0x500001, -1, "\n[AllocateRAM_forNifBlock] ERROR: You request too much memory for NIF block !\n"},
        {0, -1, -2, "\n[AllocateRAM_forNifBlock] ERROR: Cannot allocate memory from HEAP for NIF block !\n"},
    };
    for (const AllocateCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.Index) + "/" + std::to_string(c.Size));
        Reset_All_Tables();
        std::int32_t result = 0;
        EXPECT_EQ(Console_Of([&] { result = AllocateRAM_forNifBlock(c.Index, c.Size); }), c.Message);
        EXPECT_EQ(result, c.Result);
        if (c.Result == 0) {
            EXPECT_EQ(NifBlocks[c.Index].Size, static_cast<std::uint32_t>(c.Size));
            EXPECT_NE(NifBlocks[c.Index].Data, nullptr);
        }
    }
}

TEST_F(NifDocument, RepeatedTypeKeepsItsIndexAndTypesEachNextBlock) {
    std::snprintf(Header_BlockTypes[0], kTextEntrySize, "NiNode");
    Header_NumBlockTypes = 1;
    Header_NumBlocks = 3;
    EXPECT_EQ(AddNewNodeToHeader("NiTransformData"), 1);
    Header_NumBlocks = 4;
    EXPECT_EQ(AddNewNodeToHeader("NiTransformData"), 1);
    EXPECT_EQ(AddNewNodeToHeader("NiNode"), 0);
    EXPECT_EQ(Header_NumBlockTypes, 2);
    EXPECT_EQ(Header_BlockTypeIndex[3], 1);
    EXPECT_EQ(Header_BlockTypeIndex[4], 0);
}

TEST_F(NifDocument, FullTypeTableFindsOldNamesAndRefusesNewOnes) {
    for (std::uint32_t i = 0; i < kMaxBlockTypes; ++i)
        std::snprintf(Header_BlockTypes[i], kTextEntrySize, "T%u", i);
    Header_NumBlockTypes = kMaxBlockTypes;
    EXPECT_EQ(AddNewNodeToHeader("T255"), 255);
    std::int32_t result = 0;
    EXPECT_EQ(Console_Of([&] { result = AddNewNodeToHeader("NiTransformData"); }),
              "\n[AddNewNodeToHeader] ERROR: Variable 'Header_NumBlockTypes=256' is out of limits!\n");
    EXPECT_EQ(result, -3);
    EXPECT_EQ(Header_NumBlockTypes, kMaxBlockTypes);
}

TEST_F(NifDocument, TypeOfABlockPastTheTableIsNotRecorded) {
    Header_NumBlocks = kMaxBlocks;
    EXPECT_EQ(AddNewNodeToHeader("NiTransformData"), 0); // the block itself is refused by the allocation
}

TEST_F(NifDocument, StringsAreFoundFirstAndAppendedOnlyWhenAbsent) {
    std::snprintf(Header_Strings[0], kTextEntrySize, "end");
    std::snprintf(Header_Strings[1], kTextEntrySize, "end");
    Header_NumStrings = 2;
    EXPECT_EQ(Create_New_String_in_Header("end"), 0);
    EXPECT_EQ(Create_New_String_in_Header("start"), 2);
    EXPECT_EQ(Append_String_to_Header("end"), 3);
    EXPECT_EQ(Header_NumStrings, 4u);
}

TEST_F(NifDocument, FullStringTableAcceptsKnownTextsOnly) {
    for (std::uint32_t i = 0; i < kMaxStrings; ++i)
        std::snprintf(Header_Strings[i], kTextEntrySize, "S%u", i);
    Header_NumStrings = kMaxStrings;
    EXPECT_EQ(Create_New_String_in_Header("S7"), 7);
    const char* full =
        "\n[Create_New_String_in_Header] ERROR: Variable 'Header_NumStrings=256' is out of limits!\n";
    std::int32_t result = 0;
    EXPECT_EQ(Console_Of([&] { result = Create_New_String_in_Header("start"); }), full);
    EXPECT_EQ(result, -3);
    EXPECT_EQ(Console_Of([&] { result = Append_String_to_Header("Bone"); }),
              "\n[Append_String_to_Header] ERROR: Variable 'Header_NumStrings=256' is out of limits!\n");
    EXPECT_EQ(result, -3);
}

} // namespace
