// The document tables and the three operations through which new blocks, types and strings enter.
#include "nif/nif_document.h"

#include <cstdio>
#include <cstring>
#include <new>

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
    if (Header_NumBlockTypes > kBlockTypeCountLimit) {
        std::printf("\n[AddNewNodeToHeader] ERROR: Variable 'Header_NumBlockTypes=%d' is out of limits!\n",
                    Header_NumBlockTypes);
        return -3;
    }
    std::int32_t position = 0;
    while (position < Header_NumBlockTypes && std::strcmp(Header_BlockTypes[position], typeName) != 0) {
        ++position;
    }
    if (position == Header_NumBlockTypes) {
        if (Header_NumBlockTypes >= kMaxBlockTypes) {
            std::printf(
                "\n[AddNewNodeToHeader] ERROR: Variable 'Header_NumBlockTypes=%d' is out of limits!\n",
                Header_NumBlockTypes);
            return -3;
        }
        std::snprintf(Header_BlockTypes[position], kTextEntrySize, "%s", typeName);
        ++Header_NumBlockTypes;
    }
    // A block past the table is refused by AllocateRAM_forNifBlock; only its type index has no room.
    if (Header_NumBlocks < kMaxBlocks) {
        Header_BlockTypeIndex[Header_NumBlocks] = static_cast<std::uint16_t>(position);
    }
    return position;
}

static bool String_Table_Is_Sane(const char* operation) {
    if (Header_NumStrings > kMaxStrings) {
        std::printf("\n[%s] ERROR: Variable 'Header_NumStrings=%d' is out of limits!\n", operation,
                    static_cast<std::int32_t>(Header_NumStrings));
        return false;
    }
    return true;
}

// Adds an entry at the end; the caller has checked that the table holds at most its capacity.
static std::int32_t Add_String_Entry(const char* operation, const char* text) {
    const std::size_t length = std::strlen(text);
    if (Header_NumStrings >= kMaxStrings || length >= kTextEntrySize) {
        std::printf("\n[%s] ERROR: Variable 'Header_NumStrings=%d' is out of limits!\n", operation,
                    static_cast<std::int32_t>(Header_NumStrings));
        return -3;
    }
    char* entry = Header_Strings[Header_NumStrings];
    std::memset(entry, 0, kTextEntrySize);
    std::memcpy(entry, text, length);
    // Readers size their string buffers by this field, so it must cover every string written.
    if (length > Header_MaxStringLength) Header_MaxStringLength = static_cast<std::uint32_t>(length);
    return static_cast<std::int32_t>(Header_NumStrings++);
}

std::int32_t Create_New_String_in_Header(const char* text) {
    if (!String_Table_Is_Sane("Create_New_String_in_Header")) return -3;
    for (std::uint32_t i = 0; i < Header_NumStrings; ++i) {
        if (std::strcmp(Header_Strings[i], text) == 0) return static_cast<std::int32_t>(i);
    }
    return Add_String_Entry("Create_New_String_in_Header", text);
}

std::int32_t Append_String_to_Header(const char* text) {
    if (!String_Table_Is_Sane("Append_String_to_Header")) return -3;
    return Add_String_Entry("Append_String_to_Header", text);
}

ByteWriter Open_Block_Body() {
    NifBlock& block = NifBlocks[Header_NumBlocks];
    return ByteWriter{block.Data.get(), block.Size, 0, false};
}

std::int32_t Close_Block_Body(const ByteWriter& writer, const char* operation) {
    if (writer.Overflow) {
        std::printf("\n[%s] ERROR: Variable 'NifBlocks[%d].Size=%d' is out of limits!\n", operation,
                    static_cast<std::int32_t>(Header_NumBlocks), static_cast<std::int32_t>(writer.Size));
        return -3;
    }
    NifBlocks[Header_NumBlocks].Size = writer.Pos;
    return 0;
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
