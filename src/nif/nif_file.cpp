// The container reader and writer. Every read of the template goes through the Read_ functions
// below, which remember whether the file ran short; every write goes through the Emit_ functions,
// which remember the first failure.
#include "nif/nif_file.h"

#include <cstring>

#include "nif/le.h"
#include "nif/nif_document.h"

std::FILE* InputKfFile;
std::FILE* OutputKfFile;
char InputKfFileName[256];
char OutputKfFileName[256];

// ---- reading -------------------------------------------------------------------------------------

static bool HeaderRanShort;   // some header field found the file at its end
static bool HeaderLineIsText; // ends in its line feed and holds no zero byte before it

static std::uint32_t Read_Bytes(void* out, std::uint32_t count) {
    const std::size_t got = std::fread(out, 1, count, InputKfFile);
    if (got < count) HeaderRanShort = true;
    return static_cast<std::uint32_t>(got);
}

// A field of which only some bytes remain receives those bytes; the rest keep their value.
static void Read_u8(std::uint8_t& field) {
    Read_Bytes(&field, 1);
}

static void Read_u16(std::uint16_t& field) {
    std::uint8_t bytes[2];
    Put_u16(bytes, field);
    Read_Bytes(bytes, 2);
    field = Get_u16(bytes);
}

static void Read_u32(std::uint32_t& field) {
    std::uint8_t bytes[4];
    Put_u32(bytes, field);
    Read_Bytes(bytes, 4);
    field = Get_u32(bytes);
}

// Reads at most capacity-1 bytes, stopping right after a line feed; zero-terminates. The bytes read.
static std::uint32_t Read_Line(char* out, std::uint32_t capacity) {
    std::uint32_t count = 0;
    while (count + 1 < capacity) {
        const int c = std::fgetc(InputKfFile);
        if (c == EOF) {
            HeaderRanShort = true;
            break;
        }
        out[count++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    if (capacity > 0) out[count] = '\0';
    return count;
}

// The refused count is reset: left in place it would count its table past the capacity.
template <typename Count>
static std::int32_t Refuse_Field(const char* field, Count& count) {
    std::printf("\n[Load_from_File___Header] ERROR: Variable '%s=%d' is out of limits!\n", field,
                static_cast<std::int32_t>(count));
    count = 0;
    return -3;
}

static std::int32_t Refuse_Entry(const char* table, std::uint32_t index, std::uint32_t length) {
    std::printf("\n[Load_from_File___Header] ERROR: Variable '%s[%d] length=%d' is out of limits!\n", table,
                static_cast<std::int32_t>(index), static_cast<std::int32_t>(length));
    return -3;
}

// The read of a short string or type name stops right after a line feed: the rest of the field would
// be read as the fields that follow, and the text written back would not read back the same.
static bool Holds_Line_Feed(const char* text, std::uint32_t read) {
    return read > 0 && text[read - 1] == '\n';
}

// Every text is kept up to its first zero byte, so one with a zero inside would be written back shorter.
static bool Holds_Zero_Byte(const char* text, std::uint32_t bytes) {
    return std::memchr(text, '\0', bytes) != nullptr;
}

// Refuses field `name` (with `index` when it is a table entry) for holding `what`.
static std::int32_t Refuse_Text(const char* name, std::int32_t index, const char* what) {
    if (index < 0) {
        std::printf("\n[Load_from_File___Header] ERROR: Variable '%s' holds a %s!\n", name, what);
    } else {
        std::printf("\n[Load_from_File___Header] ERROR: Variable '%s[%d]' holds a %s!\n", name, index, what);
    }
    return -3;
}

// A short string or type name of `length` bytes read into `text`, the last `terminator` of them its
// terminating zero. 0, or -3 after the refusal.
static std::int32_t Read_Text_Line(char* text, std::uint32_t length, std::uint32_t terminator,
                                   const char* name, std::int32_t index) {
    const std::uint32_t read = Read_Line(text, length + 1);
    if (Holds_Line_Feed(text, read)) return Refuse_Text(name, index, "line feed");
    // A field cut short by the end of the file is reported as such once the header is read.
    if (read == length && length > terminator && Holds_Zero_Byte(text, length - terminator))
        return Refuse_Text(name, index, "zero byte");
    return 0;
}

// A short string: a length byte that counts the terminating zero, then the bytes.
static std::int32_t Load_Short_String(char* text, const char* field) {
    std::uint8_t length = 0;
    Read_u8(length);
    if (length == 1) {
        std::uint8_t dropped = 0;
        Read_u8(dropped);
        text[0] = '\0';
        return 0;
    }
    if (Read_Text_Line(text, length, 1, field, -1) < 0) return -3;
    // Its length byte is written as text length + 1, which must fit in one byte.
    const std::size_t textLength = std::strlen(text);
    if (textLength >= kTextEntrySize - 1) {
        std::printf("\n[Load_from_File___Header] ERROR: Variable '%s length=%d' is out of limits!\n", field,
                    static_cast<std::int32_t>(textLength));
        return -3;
    }
    return 0;
}

static std::int32_t Load_Block_Types() {
    Read_u16(Header_NumBlockTypes);
    if (Header_NumBlockTypes > kMaxBlockTypes)
        return Refuse_Field("Header_NumBlockTypes", Header_NumBlockTypes);
    for (std::uint32_t i = 0; i < Header_NumBlockTypes; ++i) {
        std::uint32_t length = 0;
        Read_u32(length);
        if (length >= kTextEntrySize) return Refuse_Entry("Header_BlockTypes", i, length);
        if (Read_Text_Line(Header_BlockTypes[i], length, 0, "Header_BlockTypes",
                           static_cast<std::int32_t>(i)) < 0)
            return -3;
    }
    return 0;
}

static std::int32_t Load_Strings() {
    Read_u32(Header_NumStrings);
    if (Header_NumStrings > kMaxStrings) return Refuse_Field("Header_NumStrings", Header_NumStrings);
    Read_u32(Header_MaxStringLength);
    if (Header_MaxStringLength > kTextEntrySize) {
        std::printf(
            "\n[Load_from_File___Header] ERROR: Variable 'Header_MaxStringLength=%d' is out of limits "
            "(%d)!\n",
            static_cast<std::int32_t>(Header_MaxStringLength), kTextEntrySize);
        return -3;
    }
    for (std::uint32_t i = 0; i < Header_NumStrings; ++i) {
        std::uint32_t length = 0;
        Read_u32(length);
        // The entry keeps a terminating zero, so a text fills at most all but one of its bytes.
        if (length >= kTextEntrySize) return Refuse_Entry("Header_Strings", i, length);
        // Readers size their string buffers by the declared maximum, so a longer string is not copied.
        if (length > Header_MaxStringLength) {
            std::printf(
                "\n[Load_from_File___Header] ERROR: Variable 'Header_Strings[%d] length=%d' is longer "
                "than 'Header_MaxStringLength=%d'!\n",
                static_cast<std::int32_t>(i), static_cast<std::int32_t>(length),
                static_cast<std::int32_t>(Header_MaxStringLength));
            return -3;
        }
        std::memset(Header_Strings[i], 0, kTextEntrySize);
        if (Holds_Zero_Byte(Header_Strings[i], Read_Bytes(Header_Strings[i], length)))
            return Refuse_Text("Header_Strings", static_cast<std::int32_t>(i), "zero byte");
    }
    return 0;
}

std::int32_t Load_from_File___Header() {
    HeaderRanShort = false;
    std::fseek(InputKfFile, 0, SEEK_SET);
    const std::uint32_t lineLength = Read_Line(Header_String, kHeaderLineSize);
    HeaderLineIsText =
        lineLength > 0 && std::strlen(Header_String) == lineLength && Header_String[lineLength - 1] == '\n';
    for (std::uint8_t& byte : Header_Version)
        Read_u8(byte);
    Read_u8(Header_EndianType);
    Read_u32(Header_UserVersion);
    Read_u32(Header_NumBlocks);
    Read_u32(Header_UserVersion2);
    if (Header_NumBlocks > kMaxBlocks) return Refuse_Field("Header_NumBlocks", Header_NumBlocks);
    if (Load_Short_String(Header_Creator, "Header_Creator") < 0 ||
        Load_Short_String(Header_ExportInfo1, "Header_ExportInfo1") < 0 ||
        Load_Short_String(Header_ExportInfo2, "Header_ExportInfo2") < 0 || Load_Block_Types() < 0) {
        return -3;
    }
    for (std::uint32_t i = 0; i < Header_NumBlocks; ++i)
        Read_u16(Header_BlockTypeIndex[i]);
    for (std::uint32_t i = 0; i < Header_NumBlocks; ++i)
        Read_u32(Header_BlockSize[i]);
    if (Load_Strings() < 0) return -3;
    Read_u32(Header_NumGroups);
    // Group entries would follow here; read as block data they would corrupt every body.
    if (Header_NumGroups != 0) return Refuse_Field("Header_NumGroups", Header_NumGroups);
    return 0;
}

// Bytes between the read position and the end of the template.
static long Bytes_Left() {
    const long position = std::ftell(InputKfFile);
    std::fseek(InputKfFile, 0, SEEK_END);
    const long end = std::ftell(InputKfFile);
    std::fseek(InputKfFile, position, SEEK_SET);
    return end - position;
}

static std::int32_t Refuse_Cut_Footer(long available, long needed) {
    std::printf(
        "\n[Load_from_File___NiFooter] ERROR: The file ends inside the footer (%d of its %d bytes are "
        "there)!\n",
        static_cast<std::int32_t>(available), static_cast<std::int32_t>(needed));
    return -3;
}

std::int32_t Load_from_File___NiFooter() {
    const long available = Bytes_Left();
    std::uint8_t count[4] = {};
    if (available < 4) return Refuse_Cut_Footer(available, 4);
    std::fread(count, 1, 4, InputKfFile);
    NiFooter_NumRoots = Get_u32(count);
    if (NiFooter_NumRoots > kMaxRoots) {
        std::printf(
            "\n[Load_from_File___NiFooter] ERROR: Variable 'NiFooter_NumRoots=%d' is out of limits!\n",
            static_cast<std::int32_t>(NiFooter_NumRoots));
        NiFooter_NumRoots = 0;
        return -3;
    }
    const long needed = 4 + 4 * static_cast<long>(NiFooter_NumRoots);
    if (available < needed) {
        NiFooter_NumRoots = 0;
        return Refuse_Cut_Footer(available, needed);
    }
    for (std::uint32_t i = 0; i < NiFooter_NumRoots; ++i) {
        std::uint8_t root[4];
        std::fread(root, 1, 4, InputKfFile);
        NiFooter_Roots[i] = Get_i32(root);
    }
    return 0;
}

static std::int32_t Load_Block_Bodies() {
    for (std::uint32_t i = 0; i < Header_NumBlocks; ++i) {
        const std::uint32_t size = Header_BlockSize[i];
        if (size > kMaxBlockSize) {
            std::printf(
                "\n[Load_from_File___All_NIF_Blocks] ERROR: Variable 'Header_BlockSize[%d]=%d' is out of "
                "limits!\n",
                static_cast<std::int32_t>(i), static_cast<std::int32_t>(size));
            return -3;
        }
        const long available = Bytes_Left();
        if (available < static_cast<long>(size)) {
            std::printf(
                "\n[Load_from_File___All_NIF_Blocks] ERROR: The file ends inside block %d (%d of its %d "
                "bytes are there)!\n",
                static_cast<std::int32_t>(i), static_cast<std::int32_t>(available),
                static_cast<std::int32_t>(size));
            return -3;
        }
        if (AllocateRAM_forNifBlock(static_cast<std::int32_t>(i), static_cast<std::int32_t>(size)) < 0)
            return -3;
        // The size was checked against the file, but a file that shrinks meanwhile must not leave
        // uninitialised bytes in the body.
        std::uint8_t* body = NifBlocks[i].Data.get();
        const std::size_t got = std::fread(body, 1, size, InputKfFile);
        std::memset(body + got, 0, size - got);
    }
    return 0;
}

std::int32_t Load_from_File___All_NIF_Blocks() {
    std::printf("\n[Load_from_File___All_NIF_Blocks] Loading NIF header: ");
    if (Load_from_File___Header() < 0) return -3;
    if (std::memcmp(Header_Version, kSupportedVersion, sizeof kSupportedVersion) != 0) {
        std::printf(
            "\n[Load_from_File___All_NIF_Blocks] ERROR: Unsupported NIF file (support version '20.2.0.7' "
            "only)!\n");
        return -1;
    }
    // Fields past the end would be written back as zeros: a different file, not a copy.
    if (HeaderRanShort) {
        const long fileLength = std::ftell(InputKfFile) + Bytes_Left();
        std::printf(
            "\n[Load_from_File___All_NIF_Blocks] ERROR: The file ends inside the NIF header (after %d "
            "bytes)!\n",
            static_cast<std::int32_t>(fileLength));
        return -3;
    }
    // The writer copies the line up to its first zero byte and readers take it up to its line feed:
    // either way the output would not be the template.
    if (!HeaderLineIsText) {
        std::printf("\n[Load_from_File___All_NIF_Blocks] ERROR: The header line is not one line of text (a "
                    "zero byte, or no line feed in its first %d bytes)!\n",
                    static_cast<std::int32_t>(kHeaderLineSize - 1));
        return -3;
    }
    // Copied as it is, such an index would send every reader of the output past its type table.
    for (std::uint32_t i = 0; i < Header_NumBlocks; ++i) {
        if (Header_BlockTypeIndex[i] >= Header_NumBlockTypes) {
            std::printf(
                "\n[Load_from_File___All_NIF_Blocks] ERROR: Variable 'Header_BlockTypeIndex[%d]=%d' is "
                "out of limits (%d block types)!\n",
                static_cast<std::int32_t>(i), Header_BlockTypeIndex[i], Header_NumBlockTypes);
            return -3;
        }
    }
    if (Load_Block_Bodies() < 0) return -3;
    if (Bytes_Left() > 0 && Load_from_File___NiFooter() < 0) return -3;
    std::printf("<done>\n");
    return 0;
}

// ---- writing -------------------------------------------------------------------------------------

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

static void Emit_Short_String(const char* text) {
    const std::size_t length = std::strlen(text);
    Emit_u8(static_cast<std::uint8_t>(length + 1));
    Emit_Bytes(text, length + 1);
}

static void Emit_Sized_Text(const char* text) {
    const std::size_t length = std::strlen(text);
    Emit_u32(static_cast<std::uint32_t>(length));
    Emit_Bytes(text, length);
}

std::int32_t Write_Header() {
    if (Header_NumBlockTypes > kMaxBlockTypes) {
        std::printf("\n[Write_Header] ERROR: Variable 'Header_NumBlockTypes=%d' is out of limits!\n",
                    Header_NumBlockTypes);
        return -3;
    }
    if (Header_NumStrings > kMaxStrings) {
        std::printf("\n[Write_Header] ERROR: Variable 'Header_NumStrings=%d' is out of limits!\n",
                    static_cast<std::int32_t>(Header_NumStrings));
        return -3;
    }
    std::fseek(OutputKfFile, 0, SEEK_SET);
    Emit_Bytes(Header_String, std::strlen(Header_String));
    Emit_Bytes(Header_Version, sizeof Header_Version);
    Emit_u8(Header_EndianType);
    Emit_u32(Header_UserVersion);
    Emit_u32(Header_NumBlocks);
    Emit_u32(Header_UserVersion2);
    Emit_Short_String(Header_Creator);
    Emit_Short_String(Header_ExportInfo1);
    Emit_Short_String(Header_ExportInfo2);
    Emit_u16(Header_NumBlockTypes);
    for (std::uint32_t i = 0; i < Header_NumBlockTypes; ++i)
        Emit_Sized_Text(Header_BlockTypes[i]);
    for (std::uint32_t i = 0; i < Header_NumBlocks; ++i)
        Emit_u16(Header_BlockTypeIndex[i]);
    for (std::uint32_t i = 0; i < Header_NumBlocks; ++i)
        Emit_u32(Header_BlockSize[i]);
    Emit_u32(Header_NumStrings);
    Emit_u32(Header_MaxStringLength);
    for (std::uint32_t i = 0; i < Header_NumStrings; ++i)
        Emit_Sized_Text(Header_Strings[i]);
    Emit_u32(Header_NumGroups);
    return 0;
}

std::int32_t Write_NiFooter() {
    if (NiFooter_NumRoots > kMaxRoots) {
        std::printf("\n[Write_NiFooter] ERROR: Variable 'NiFooter_NumRoots=%d' is out of limits!\n",
                    static_cast<std::int32_t>(NiFooter_NumRoots));
        return -3;
    }
    Emit_u32(NiFooter_NumRoots);
    for (std::uint32_t i = 0; i < NiFooter_NumRoots; ++i)
        Emit_u32(static_cast<std::uint32_t>(NiFooter_Roots[i]));
    return 0;
}

static std::int32_t Write_Block_Bodies() {
    for (std::uint32_t i = 0; i < Header_NumBlocks; ++i) {
        // One byte below what the reader accepts: kept, since files of this size are not expected.
        if (NifBlocks[i].Size >= kMaxBlockSize) {
            std::printf("\n[Write_All_NIF_Block_to_File] ERROR: Variable 'NifBlocks[%d].Size=%d' is out of "
                        "limits!\n",
                        static_cast<std::int32_t>(i), static_cast<std::int32_t>(NifBlocks[i].Size));
            return -3;
        }
        Emit_Bytes(NifBlocks[i].Data.get(), NifBlocks[i].Size);
    }
    return 0;
}

std::int32_t Write_All_NIF_Block_to_File() {
    if (Header_NumBlocks > kMaxBlocks) {
        std::printf(
            "\n[Write_All_NIF_Block_to_File] ERROR: Variable 'Header_NumBlocks=%d' is out of limits!\n",
            static_cast<std::int32_t>(Header_NumBlocks));
        return -3;
    }
    for (std::uint32_t i = 0; i < Header_NumBlocks; ++i)
        Header_BlockSize[i] = NifBlocks[i].Size;
    WriteFailed = false;
    if (Write_Header() < 0 || Write_Block_Bodies() < 0 || Write_NiFooter() < 0) return -3;
    if (std::fflush(OutputKfFile) != 0 || std::ferror(OutputKfFile) || WriteFailed) {
        std::printf("\n[Write_All_NIF_Block_to_File] ERROR: Cannot write '%s' (disk full or no access)!\n",
                    OutputKfFileName);
        return -3;
    }
    return 0;
}
