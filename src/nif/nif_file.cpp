// The container reader and writer, in mirror pairs that list the fields in file order. Every read of
// the template goes through Load_Bytes, which remembers the first field that found the file's end or
// whose read failed;
// every write goes through Emit_Bytes, which remembers the first failure.
#include "nif/nif_file.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "nif/le.h"
#include "nif/nif_document.h"
#include "nif/report.h"

std::FILE* InputKfFile;
std::FILE* OutputKfFile;
char InputKfFileName[kFileNameSize];
char OutputKfFileName[kFileNameSize];

// The file the loader reads and the name its messages give it: the template's, or those Load_NIF_File
// is given.
static std::FILE* Source;
static const char* SourceName = "";

// ---- the read path and the write path ------------------------------------------------------------

// The first field that the file's end, or a read that failed, cut short, and how much of it was there.
static struct {
    std::string Field; // empty while every field was read whole
    std::uint32_t Got, Needed;
    bool Failed; // a read failed (a failing disk, a share gone): the file may go on
} Cut;

// Reads `count` bytes of `field` into `out`. At the file's end the bytes missing are zeros and the field
// is remembered when it is the first cut short. True when the field was read whole.
static bool Load_Bytes(void* out, std::uint32_t count, const std::string& field) {
    const std::size_t got = count == 0 ? 0 : std::fread(out, 1, count, Source);
    if (got == count) return true;
    std::memset(static_cast<std::uint8_t*>(out) + got, 0, count - got);
    if (Cut.Field.empty()) Cut = {field, static_cast<std::uint32_t>(got), count, std::ferror(Source) != 0};
    return false;
}

static void Load_u8(std::uint8_t& value, const char* field) {
    Load_Bytes(&value, 1, field);
}

static void Load_u16(std::uint16_t& value, const std::string& field) {
    std::uint8_t bytes[2];
    Load_Bytes(bytes, 2, field);
    value = Get_u16(bytes);
}

static void Load_u32(std::uint32_t& value, const std::string& field) {
    std::uint8_t bytes[4];
    Load_Bytes(bytes, 4, field);
    value = Get_u32(bytes);
}

// Whether the file goes on: the one look at it that reads nothing (the footer is optional). A look that
// failed goes on, for the footer's read to find the failure.
static bool Template_Goes_On() {
    const int next = std::fgetc(Source);
    if (next == EOF) return std::ferror(Source) != 0;
    std::ungetc(next, Source);
    return true;
}

// Prints where the file ended or could not be read on, once, for the operation that found it. -3.
static std::int32_t Refuse_Cut_File(const char* operation) {
    if (Cut.Failed) {
        std::printf("\n[%s] ERROR: Cannot read '%s': the read failed inside '%s'!\n", operation, SourceName,
                    Cut.Field.c_str());
        return -3;
    }
    std::printf("\n[%s] ERROR: The file ends inside '%s' (%d of its %d bytes are there)!\n", operation,
                Cut.Field.c_str(), static_cast<std::int32_t>(Cut.Got), static_cast<std::int32_t>(Cut.Needed));
    return -3;
}

static bool WriteFailed; // sticky: the first failed write spoils the file

static void Emit_Bytes(const void* bytes, std::size_t count) {
    if (count != 0 && std::fwrite(bytes, 1, count, OutputKfFile) != count) WriteFailed = true;
}

static void Emit_u8(std::uint8_t value) {
    Emit_Bytes(&value, 1);
}

static void Emit_u16(std::uint16_t value) {
    std::uint8_t bytes[2];
    Put_u16(bytes, value);
    Emit_Bytes(bytes, 2);
}

static void Emit_u32(std::uint32_t value) {
    std::uint8_t bytes[4];
    Put_u32(bytes, value);
    Emit_Bytes(bytes, 4);
}

// ---- texts ---------------------------------------------------------------------------------------

static bool HeaderLineIsText; // ends in its line feed and holds no zero byte before it

// The header line: up to and including its line feed, at most kHeaderLineSize - 1 bytes.
static void Load_Header_Line() {
    std::uint32_t count = 0;
    while (count + 1 < kHeaderLineSize && Load_Bytes(&Header_String[count], 1, "Header_String")) {
        if (Header_String[count++] == '\n') break;
    }
    Header_String[count] = '\0';
    HeaderLineIsText = count > 0 && std::strlen(Header_String) == count && Header_String[count - 1] == '\n';
}

static void Write_Header_Line() {
    Emit_Bytes(Header_String, std::strlen(Header_String));
}

// Refuses text field `field` for holding `what`. -3.
static std::int32_t Refuse_Text(const std::string& field, const char* what) {
    std::printf("\n[Load_from_File___Header] ERROR: Variable '%s' holds a %s!\n", field.c_str(), what);
    return -3;
}

// A short string or type name of `length` bytes (below kTextEntrySize), the last `terminator` of them
// its terminating zero. A line feed inside would have ended the field's read in earlier builds, and a
// zero byte inside would write the text back shorter: either way the output would not be the template.
static std::int32_t Load_Text(char* text, std::uint32_t length, std::uint32_t terminator,
                              const std::string& field) {
    const bool whole = Load_Bytes(text, length, field);
    text[length] = '\0';
    if (std::memchr(text, '\n', length) != nullptr) return Refuse_Text(field, "line feed");
    if (whole && length > terminator && std::memchr(text, '\0', length - terminator) != nullptr)
        return Refuse_Text(field, "zero byte");
    return 0;
}

// A short string: a length byte that counts the terminating zero, then the bytes.
static std::int32_t Load_Short_String(char* text, const char* field) {
    std::uint8_t length = 0;
    Load_u8(length, field);
    if (length == 1) {
        std::uint8_t dropped = 0; // the terminator alone: the text stays empty whatever the byte
        Load_u8(dropped, field);
        text[0] = '\0';
        return 0;
    }
    if (Load_Text(text, length, 1, field) < 0) return -3;
    // Written back as text length + 1, which must fit in the length byte.
    const std::size_t textLength = std::strlen(text);
    if (textLength >= kTextEntrySize - 1)
        return Report_Out_Of_Limits("Load_from_File___Header", std::string(field) + " length",
                                    static_cast<std::uint32_t>(textLength));
    return 0;
}

static void Write_Short_String(const char* text) {
    const std::size_t length = std::strlen(text);
    Emit_u8(static_cast<std::uint8_t>(length + 1));
    Emit_Bytes(text, length + 1);
}

// A type name or string: a u32 length, then the bytes. The entry keeps a terminating zero, so the text
// fills at most all but one of its bytes.
static std::int32_t Load_Sized_Text(char* text, const char* table, std::uint32_t index,
                                    std::uint32_t terminator) {
    std::uint32_t length = 0;
    const std::string field = Indexed(table, index);
    Load_u32(length, field);
    if (length >= kTextEntrySize)
        return Report_Out_Of_Limits("Load_from_File___Header", field + " length", length);
    std::memset(text, 0, kTextEntrySize);
    return Load_Text(text, length, terminator, field);
}

static void Write_Sized_Text(const char* text) {
    const std::size_t length = std::strlen(text);
    Emit_u32(static_cast<std::uint32_t>(length));
    Emit_Bytes(text, length);
}

// ---- header --------------------------------------------------------------------------------------

static std::int32_t Load_Block_Types() {
    std::uint16_t count = 0;
    Load_u16(count, "Header_NumBlockTypes");
    if (count > kMaxBlockTypes)
        return Report_Out_Of_Limits("Load_from_File___Header", "Header_NumBlockTypes", count);
    Header_NumBlockTypes = count;
    for (std::uint32_t i = 0; i < count; ++i) {
        // A type name keeps a line feed out as a short string does, but has no terminator of its own.
        if (Load_Sized_Text(Header_BlockTypes[i], "Header_BlockTypes", i, 0) < 0) return -3;
    }
    return 0;
}

static std::int32_t Load_Strings() {
    std::uint32_t count = 0, maxLength = 0;
    Load_u32(count, "Header_NumStrings");
    if (count > kMaxStrings)
        return Report_Out_Of_Limits("Load_from_File___Header", "Header_NumStrings", count);
    Header_NumStrings = count;
    Load_u32(maxLength, "Header_MaxStringLength");
    if (maxLength > kTextEntrySize)
        return Report_Out_Of_Limits("Load_from_File___Header", "Header_MaxStringLength", maxLength,
                                    std::to_string(kTextEntrySize));
    // A string longer than this field is kept: the writer raises the field to cover it.
    Header_MaxStringLength = maxLength;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t length = 0;
        const std::string field = Indexed("Header_Strings", i);
        Load_u32(length, field);
        if (length >= kTextEntrySize)
            return Report_Out_Of_Limits("Load_from_File___Header", field + " length", length);
        std::memset(Header_Strings[i], 0, kTextEntrySize);
        // Read as a block: a line feed inside is part of the text.
        if (Load_Bytes(Header_Strings[i], length, field) && std::memchr(Header_Strings[i], '\0', length))
            return Refuse_Text(field, "zero byte");
    }
    return 0;
}

std::int32_t Load_from_File___Header() {
    Cut = {};
    std::fseek(Source, 0, SEEK_SET);
    Load_Header_Line();
    for (std::uint8_t& byte : Header_Version)
        Load_u8(byte, "Header_Version");
    Load_u8(Header_EndianType, "Header_EndianType");
    Load_u32(Header_UserVersion, "Header_UserVersion");
    std::uint32_t numBlocks = 0;
    Load_u32(numBlocks, "Header_NumBlocks");
    Load_u32(Header_UserVersion2, "Header_UserVersion2");
    if (numBlocks > kMaxBlocks)
        return Report_Out_Of_Limits("Load_from_File___Header", "Header_NumBlocks", numBlocks);
    Header_NumBlocks = numBlocks;
    if (Load_Short_String(Header_Creator, "Header_Creator") < 0 ||
        Load_Short_String(Header_ExportInfo1, "Header_ExportInfo1") < 0 ||
        Load_Short_String(Header_ExportInfo2, "Header_ExportInfo2") < 0 || Load_Block_Types() < 0) {
        return -3;
    }
    for (std::uint32_t i = 0; i < numBlocks; ++i)
        Load_u16(Header_BlockTypeIndex[i], Indexed("Header_BlockTypeIndex", i));
    for (std::uint32_t i = 0; i < numBlocks; ++i)
        Load_u32(Header_BlockSize[i], Indexed("Header_BlockSize", i));
    if (Load_Strings() < 0) return -3;
    std::uint32_t numGroups = 0;
    Load_u32(numGroups, "Header_NumGroups");
    // Group entries would follow here; read as block data they would corrupt every body.
    if (numGroups != 0) return Report_Out_Of_Limits("Load_from_File___Header", "Header_NumGroups", numGroups);
    return 0;
}

// The longest text of the string table: readers size their string buffers by this field, so it covers
// every string written, whether the template declared it too short or the run added a longer one.
static std::uint32_t Max_String_Length() {
    std::size_t longest = Header_MaxStringLength;
    for (std::uint32_t i = 0; i < Header_NumStrings; ++i)
        longest = std::max(longest, std::strlen(Header_Strings[i]));
    return static_cast<std::uint32_t>(longest);
}

std::int32_t Write_Header() {
    if (Header_NumBlockTypes > kMaxBlockTypes)
        return Report_Out_Of_Limits("Write_Header", "Header_NumBlockTypes", Header_NumBlockTypes);
    if (Header_NumStrings > kMaxStrings)
        return Report_Out_Of_Limits("Write_Header", "Header_NumStrings", Header_NumStrings);
    std::fseek(OutputKfFile, 0, SEEK_SET);
    Write_Header_Line();
    Emit_Bytes(Header_Version, sizeof Header_Version);
    Emit_u8(Header_EndianType);
    Emit_u32(Header_UserVersion);
    Emit_u32(Header_NumBlocks);
    Emit_u32(Header_UserVersion2);
    Write_Short_String(Header_Creator);
    Write_Short_String(Header_ExportInfo1);
    Write_Short_String(Header_ExportInfo2);
    Emit_u16(Header_NumBlockTypes);
    for (std::uint32_t i = 0; i < Header_NumBlockTypes; ++i)
        Write_Sized_Text(Header_BlockTypes[i]);
    for (std::uint32_t i = 0; i < Header_NumBlocks; ++i)
        Emit_u16(Header_BlockTypeIndex[i]);
    for (std::uint32_t i = 0; i < Header_NumBlocks; ++i)
        Emit_u32(Header_BlockSize[i]);
    Emit_u32(Header_NumStrings);
    Emit_u32(Max_String_Length());
    for (std::uint32_t i = 0; i < Header_NumStrings; ++i)
        Write_Sized_Text(Header_Strings[i]);
    Emit_u32(Header_NumGroups);
    return 0;
}

// ---- footer --------------------------------------------------------------------------------------

std::int32_t Load_from_File___NiFooter() {
    std::uint32_t count = 0;
    Load_u32(count, "NiFooter_NumRoots");
    if (!Cut.Field.empty()) return Refuse_Cut_File("Load_from_File___NiFooter");
    if (count > kMaxRoots)
        return Report_Out_Of_Limits("Load_from_File___NiFooter", "NiFooter_NumRoots", count);
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t root = 0;
        Load_u32(root, Indexed("NiFooter_Roots", i));
        NiFooter_Roots[i] = static_cast<std::int32_t>(root);
    }
    if (!Cut.Field.empty()) return Refuse_Cut_File("Load_from_File___NiFooter");
    NiFooter_NumRoots = count;
    return 0;
}

std::int32_t Write_NiFooter() {
    if (NiFooter_NumRoots > kMaxRoots)
        return Report_Out_Of_Limits("Write_NiFooter", "NiFooter_NumRoots", NiFooter_NumRoots);
    Emit_u32(NiFooter_NumRoots);
    for (std::uint32_t i = 0; i < NiFooter_NumRoots; ++i)
        Emit_u32(static_cast<std::uint32_t>(NiFooter_Roots[i]));
    return 0;
}

// ---- the whole document --------------------------------------------------------------------------

// Refuses what the header holds but cannot be copied: a header the file's end cut short (its missing
// fields would be written back as zeros), a header line that is not one line of text, a block type index
// past the type table (it would send every reader of the output past it).
static std::int32_t Check_Header_Copies() {
    if (!Cut.Field.empty()) return Refuse_Cut_File("Load_from_File___All_NIF_Blocks");
    if (!HeaderLineIsText) {
        std::printf("\n[Load_from_File___All_NIF_Blocks] ERROR: The header line is not one line of text (a "
                    "zero byte, or no line feed in its first %d bytes)!\n",
                    static_cast<std::int32_t>(kHeaderLineSize - 1));
        return -3;
    }
    for (std::uint32_t i = 0; i < Header_NumBlocks; ++i) {
        if (Header_BlockTypeIndex[i] >= Header_NumBlockTypes)
            return Report_Out_Of_Limits("Load_from_File___All_NIF_Blocks",
                                        Indexed("Header_BlockTypeIndex", i), Header_BlockTypeIndex[i],
                                        std::to_string(Header_NumBlockTypes) + " block types");
    }
    return 0;
}

static std::int32_t Load_Block_Bodies() {
    for (std::uint32_t i = 0; i < Header_NumBlocks; ++i) {
        const std::uint32_t size = Header_BlockSize[i];
        if (size > kMaxBlockSize)
            return Report_Out_Of_Limits("Load_from_File___All_NIF_Blocks", Indexed("Header_BlockSize", i),
                                        size);
        if (AllocateRAM_forNifBlock(static_cast<std::int32_t>(i), static_cast<std::int32_t>(size)) < 0)
            return -3;
        if (!Load_Bytes(NifBlocks[i].Data.get(), size, Indexed("NifBlocks", i)))
            return Refuse_Cut_File("Load_from_File___All_NIF_Blocks");
    }
    return 0;
}

static void Write_Block_Bodies() {
    for (std::uint32_t i = 0; i < Header_NumBlocks; ++i)
        Emit_Bytes(NifBlocks[i].Data.get(), NifBlocks[i].Size);
}

std::int32_t Load_from_File___All_NIF_Blocks() {
    return Load_NIF_File(InputKfFile, InputKfFileName);
}

std::int32_t Load_NIF_File(std::FILE* file, const char* name) {
    Source = file;
    SourceName = name;
    std::printf("\n[Load_from_File___All_NIF_Blocks] Loading NIF header: ");
    if (Load_from_File___Header() < 0) return -3;
    // The zeros a failed read leaves are no version of their own.
    if (Cut.Failed) return Refuse_Cut_File("Load_from_File___All_NIF_Blocks");
    if (std::memcmp(Header_Version, kSupportedVersion, sizeof kSupportedVersion) != 0) {
        std::printf(
            "\n[Load_from_File___All_NIF_Blocks] ERROR: Unsupported NIF file (support version '20.2.0.7' "
            "only)!\n");
        return -1;
    }
    if (Check_Header_Copies() < 0 || Load_Block_Bodies() < 0) return -3;
    if (Template_Goes_On() && Load_from_File___NiFooter() < 0) return -3;
    std::printf("<done>\n");
    return 0;
}

std::int32_t Write_All_NIF_Block_to_File() {
    if (Header_NumBlocks > kMaxBlocks)
        return Report_Out_Of_Limits("Write_All_NIF_Block_to_File", "Header_NumBlocks", Header_NumBlocks);
    for (std::uint32_t i = 0; i < Header_NumBlocks; ++i) {
        // One byte below what the reader accepts: kept, since files of this size are not expected.
        if (NifBlocks[i].Size >= kMaxBlockSize)
            return Report_Out_Of_Limits("Write_All_NIF_Block_to_File", Indexed("NifBlocks", i) + ".Size",
                                        NifBlocks[i].Size);
        Header_BlockSize[i] = NifBlocks[i].Size;
    }
    WriteFailed = false;
    if (Write_Header() < 0) return -3;
    Write_Block_Bodies();
    if (Write_NiFooter() < 0) return -3;
    if (std::fflush(OutputKfFile) != 0 || std::ferror(OutputKfFile) || WriteFailed) {
        std::printf("\n[Write_All_NIF_Block_to_File] ERROR: Cannot write '%s' (disk full or no access)!\n",
                    OutputKfFileName);
        return -3;
    }
    return 0;
}
