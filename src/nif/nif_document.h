// The one NIF document of a run: header fields, block-type and string tables, block bodies and
// footer, as process-wide tables of fixed capacity, and the operations that grow them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "capacities.h"
#include "nif/le.h"

extern char Header_String[kHeaderLineSize]; // first line, kept with its line feed
extern std::uint8_t Header_Version[4];      // as stored, byte 0 first
extern std::uint8_t Header_EndianType;
extern std::uint32_t Header_UserVersion;
extern std::uint32_t Header_NumBlocks; // also the index the next appended block receives
extern std::uint32_t Header_UserVersion2;
extern char Header_Creator[kTextEntrySize];
extern char Header_ExportInfo1[kTextEntrySize];
extern char Header_ExportInfo2[kTextEntrySize];
extern std::uint16_t Header_NumBlockTypes;
extern char Header_BlockTypes[kMaxBlockTypes][kTextEntrySize];
extern std::uint16_t Header_BlockTypeIndex[kMaxBlocks];
extern std::uint32_t Header_BlockSize[kMaxBlocks];
extern std::uint32_t Header_NumStrings;
extern std::uint32_t Header_MaxStringLength; // as loaded; written raised to the longest string
extern char Header_Strings[kMaxStrings][kTextEntrySize];
extern std::uint32_t Header_NumGroups;

struct NifBlock {
    std::uint32_t Size;                   // body bytes
    std::unique_ptr<std::uint8_t[]> Data; // the body exactly as it stands in the file
};
extern NifBlock NifBlocks[kMaxBlocks];

extern std::uint32_t NiFooter_NumRoots;
extern std::int32_t NiFooter_Roots[kMaxRoots];

// Creates the body buffer of block `index`, not initialised. 0, or -1 (index or size refused), -2 (heap).
std::int32_t AllocateRAM_forNifBlock(std::int32_t index, std::int32_t size);

// Finds or adds `typeName` and records it as the type of block Header_NumBlocks. The type index, or -3.
std::int32_t AddNewNodeToHeader(const char* typeName);

// Finds or adds `text` in the string table. Its index, or -3; a full table's message carries `from`,
// where the text came from, when one is given.
std::int32_t Create_New_String_in_Header(const char* text, const std::string& from = "");

// Adds `text` as a new entry even when an equal one exists (bone names). Its index, or -3.
std::int32_t Append_String_to_Header(const char* text);

// A writer over the body buffer of block Header_NumBlocks, the block being appended.
ByteWriter Open_Block_Body();

// Sets that block's size to the bytes written. 0, or -3 (with `operation`'s message) when the
// serialiser wrote past the buffer its caller sized.
std::int32_t Close_Block_Body(const ByteWriter& writer, const char* operation);

// A reader over the body of block `index`, which must be below Header_NumBlocks.
ByteReader Open_Block_Reader(std::int32_t index);

// The type name of block `index`, or null when the document has no such block.
const char* Block_Type_Name(std::int32_t index);

// String-table entry `index`, or null when the table has no such entry (-1 included).
const char* String_at(std::int32_t index);

// Back to the zero-filled state of program start, bodies released.
void Reset_Nif_Document();

// The table counts of a document as loaded, before anything is appended to it.
struct NifDocumentMark {
    std::uint32_t NumBlocks, NumBlockTypes, NumStrings;
};
NifDocumentMark Mark_Nif_Document();

// Back to the document of `mark`: what was appended since (blocks, their bodies, types, strings) goes,
// its entries zero-filled as at program start. Nothing appended changes what was there before.
void Restore_Nif_Document(const NifDocumentMark& mark);
