// The document tables and the three operations through which new blocks, types and strings enter.
#include "nif/nif_document.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "nif/report.h"

char Header_String[kHeaderLineSize];
std::uint8_t Header_Version[4];
std::uint8_t Header_EndianType;
std::uint32_t Header_UserVersion;
std::uint32_t Header_NumBlocks;
std::uint32_t Header_UserVersion2;
char Header_Creator[kTextEntrySize];
char Header_ExportInfo1[kTextEntrySize];
char Header_ExportInfo2[kTextEntrySize];
std::uint16_t Header_NumBlockTypes;
char Header_BlockTypes[kMaxBlockTypes][kTextEntrySize];
std::uint16_t Header_BlockTypeIndex[kMaxBlocks];
std::uint32_t Header_BlockSize[kMaxBlocks];
std::uint32_t Header_NumStrings;
std::uint32_t Header_MaxStringLength;
char Header_Strings[kMaxStrings][kTextEntrySize];
std::uint32_t Header_NumGroups;
NifBlock NifBlocks[kMaxBlocks];
std::uint32_t NiFooter_NumRoots;
std::int32_t NiFooter_Roots[kMaxRoots];

std::int32_t AllocateRAM_forNifBlock(std::int32_t index, std::int32_t size) {
    if (index < 0 || static_cast<std::uint32_t>(index) >= kMaxBlocks) {
        std::printf("\n[AllocateRAM_forNifBlock] ERROR: Number of NIF block is too big !\n");
        return -1;
    }
    if (size > static_cast<std::int32_t>(kMaxBlockSize)) {
        std::printf("\n[AllocateRAM_forNifBlock] ERROR: You request too much memory for NIF block !\n");
        return -1;
    }
    // A negative size passes the signed test above and can only fail as an allocation. Not zeroed:
    // the template reader fills every byte and a serialiser's size ends at its last written byte.
    std::uint8_t* buffer =
        size < 0 ? nullptr : new (std::nothrow) std::uint8_t[static_cast<std::size_t>(size)];
    if (buffer == nullptr) {
        std::printf("\n[AllocateRAM_forNifBlock] ERROR: Cannot allocate memory from HEAP for NIF block !\n");
        return -2;
    }
    NifBlocks[index].Size = static_cast<std::uint32_t>(size);
    NifBlocks[index].Data.reset(buffer);
    return 0;
}

std::int32_t AddNewNodeToHeader(const char* typeName) {
    if (Header_NumBlockTypes > kBlockTypeCountLimit)
        return Report_Out_Of_Limits("AddNewNodeToHeader", "Header_NumBlockTypes", Header_NumBlockTypes);
    std::int32_t position = 0;
    while (position < Header_NumBlockTypes && std::strcmp(Header_BlockTypes[position], typeName) != 0) {
        ++position;
    }
    if (position == Header_NumBlockTypes) {
        if (Header_NumBlockTypes >= kMaxBlockTypes)
            return Report_Out_Of_Limits("AddNewNodeToHeader", "Header_NumBlockTypes", Header_NumBlockTypes);
        std::snprintf(Header_BlockTypes[position], kTextEntrySize, "%s", typeName);
        ++Header_NumBlockTypes;
    }
    // A block past the table is refused by AllocateRAM_forNifBlock; only its type index has no room.
    if (Header_NumBlocks < kMaxBlocks) {
        Header_BlockTypeIndex[Header_NumBlocks] = static_cast<std::uint16_t>(position);
    }
    return position;
}

// Adds an entry at the end, or refuses a full table (or one counted past its capacity) and a text
// that does not fit an entry.
static std::int32_t Add_String_Entry(const char* operation, const char* text, const std::string& from = "") {
    const std::size_t length = std::strlen(text);
    if (Header_NumStrings >= kMaxStrings || length >= kTextEntrySize)
        return Report_Out_Of_Limits(operation, "Header_NumStrings", Header_NumStrings, from);
    char* entry = Header_Strings[Header_NumStrings];
    std::memset(entry, 0, kTextEntrySize);
    std::memcpy(entry, text, length);
    return static_cast<std::int32_t>(Header_NumStrings++);
}

std::int32_t Create_New_String_in_Header(const char* text, const std::string& from) {
    if (Header_NumStrings > kMaxStrings)
        return Report_Out_Of_Limits("Create_New_String_in_Header", "Header_NumStrings", Header_NumStrings);
    for (std::uint32_t i = 0; i < Header_NumStrings; ++i) {
        if (std::strcmp(Header_Strings[i], text) == 0) return static_cast<std::int32_t>(i);
    }
    return Add_String_Entry("Create_New_String_in_Header", text, from);
}

std::int32_t Append_String_to_Header(const char* text) {
    return Add_String_Entry("Append_String_to_Header", text);
}

ByteWriter Open_Block_Body() {
    NifBlock& block = NifBlocks[Header_NumBlocks];
    return ByteWriter{block.Data.get(), block.Size, 0, false};
}

std::int32_t Close_Block_Body(const ByteWriter& writer, const char* operation) {
    if (writer.Overflow)
        return Report_Out_Of_Limits(operation, Indexed("NifBlocks", Header_NumBlocks) + ".Size", writer.Size);
    NifBlocks[Header_NumBlocks].Size = writer.Pos;
    return 0;
}

ByteReader Open_Block_Reader(std::int32_t index) {
    const NifBlock& block = NifBlocks[index];
    return ByteReader{block.Data.get(), block.Size, 0, nullptr};
}

const char* Block_Type_Name(std::int32_t index) {
    if (index < 0 || static_cast<std::uint32_t>(index) >= Header_NumBlocks) return nullptr;
    const std::uint16_t type = Header_BlockTypeIndex[index];
    return type < Header_NumBlockTypes ? Header_BlockTypes[type] : nullptr;
}

const char* String_at(std::int32_t index) {
    if (index < 0 || static_cast<std::uint32_t>(index) >= Header_NumStrings) return nullptr;
    return Header_Strings[index];
}

void Reset_Nif_Document() {
    std::memset(Header_String, 0, sizeof Header_String);
    std::memset(Header_Version, 0, sizeof Header_Version);
    Header_EndianType = 0;
    Header_UserVersion = Header_NumBlocks = Header_UserVersion2 = 0;
    std::memset(Header_Creator, 0, sizeof Header_Creator);
    std::memset(Header_ExportInfo1, 0, sizeof Header_ExportInfo1);
    std::memset(Header_ExportInfo2, 0, sizeof Header_ExportInfo2);
    Header_NumBlockTypes = 0;
    std::memset(Header_BlockTypes, 0, sizeof Header_BlockTypes);
    std::memset(Header_BlockTypeIndex, 0, sizeof Header_BlockTypeIndex);
    std::memset(Header_BlockSize, 0, sizeof Header_BlockSize);
    Header_NumStrings = Header_MaxStringLength = Header_NumGroups = 0;
    std::memset(Header_Strings, 0, sizeof Header_Strings);
    for (NifBlock& block : NifBlocks) {
        block.Size = 0;
        block.Data.reset();
    }
    NiFooter_NumRoots = 0;
    std::memset(NiFooter_Roots, 0, sizeof NiFooter_Roots);
}

NifDocumentMark Mark_Nif_Document() {
    return {Header_NumBlocks, Header_NumBlockTypes, Header_NumStrings};
}

void Restore_Nif_Document(const NifDocumentMark& mark) {
    // A failed append may have made the body past the count.
    for (std::uint32_t i = mark.NumBlocks; i < kMaxBlocks; ++i) {
        NifBlocks[i].Size = 0;
        NifBlocks[i].Data.reset();
        Header_BlockTypeIndex[i] = 0;
        Header_BlockSize[i] = 0;
    }
    // Types and strings past their counts are never read, and each is written over where it is added.
    Header_NumBlocks = mark.NumBlocks;
    Header_NumBlockTypes = static_cast<std::uint16_t>(mark.NumBlockTypes);
    Header_NumStrings = mark.NumStrings;
}
