// The template reader followed by the writer. A template that loads must write back to bytes that
// the independent decoder reads as the same document, and that load again and write back unchanged;
// a well-formed one is copied byte for byte.
#include <algorithm>
#include <cstring>

#include "fuzz/fuzz_harness.h"
#include "nif/le.h"
#include "nif/nif_document.h"
#include "nif/nif_file.h"
#include "support/kf_decoder.h"

namespace {

// Loads `bytes` as the template; the loader's result.
std::int32_t Load(const std::vector<std::uint8_t>& bytes) {
    // The only tables the reader and writer touch; the others (16 MiB of bone keys) stay zero.
    Reset_Nif_Document();
    InputKfFile = Open_Bytes(bytes);
    const std::int32_t result = Load_from_File___All_NIF_Blocks();
    Check_Table_Counts();
    return result;
}

std::vector<std::uint8_t> Write() {
    WrittenFile output = Open_Written_File();
    OutputKfFile = output.File;
    // Bodies come from a file far below the largest size the writer refuses, so writing cannot fail.
    Fuzz_Check(Write_All_NIF_Block_to_File() == 0, "a loaded template failed to write");
    Check_Table_Counts();
    return Close_Written_Bytes(output);
}

// The decoder's reading of the written file against the loaded tables, field by field.
void Check_Decoded_Matches_Tables(const std::vector<std::uint8_t>& written) {
    NifFile file;
    std::string error;
    Fuzz_Check(Decode_Nif(written, file, error), "the written template does not decode: " + error);
    Fuzz_Check(file.HeaderLine == Header_String, "header line differs");
    Fuzz_Check(std::memcmp(file.Version.data(), Header_Version, 4) == 0, "version differs");
    Fuzz_Check(file.UserVersion == Header_UserVersion && file.UserVersion2 == Header_UserVersion2,
               "user versions differ");
    Fuzz_Check(file.ShortStrings[0] == Header_Creator && file.ShortStrings[1] == Header_ExportInfo1 &&
                   file.ShortStrings[2] == Header_ExportInfo2,
               "short strings differ");
    Fuzz_Check(file.BlockTypes.size() == Header_NumBlockTypes, "block type count differs");
    for (std::size_t i = 0; i < file.BlockTypes.size(); ++i)
        Fuzz_Check(file.BlockTypes[i] == Header_BlockTypes[i], "block type differs");
    Fuzz_Check(file.Bodies.size() == Header_NumBlocks, "block count differs");
    for (std::size_t i = 0; i < file.Bodies.size(); ++i) {
        Fuzz_Check(file.BlockTypeIndex[i] == Header_BlockTypeIndex[i], "block type index differs");
        const NifBlock& block = NifBlocks[i];
        Fuzz_Check(
            file.Bodies[i].size() == block.Size &&
                (block.Size == 0 || std::memcmp(file.Bodies[i].data(), block.Data.get(), block.Size) == 0),
            "block body differs");
    }
    Fuzz_Check(file.Strings.size() == Header_NumStrings, "string count differs");
    for (std::size_t i = 0; i < file.Strings.size(); ++i)
        Fuzz_Check(file.Strings[i] == Header_Strings[i], "string differs");
    std::size_t longest = Header_MaxStringLength;
    for (std::size_t i = 0; i < file.Strings.size(); ++i)
        longest = std::max(longest, file.Strings[i].size());
    Fuzz_Check(file.MaxStringLength == longest, "maximum string length is not the longest string's");
    Fuzz_Check(file.Roots.size() == NiFooter_NumRoots, "root count differs");
    for (std::size_t i = 0; i < file.Roots.size(); ++i)
        Fuzz_Check(file.Roots[i] == NiFooter_Roots[i], "root differs");
}

// The README's promise: a template that the decoder takes as whole and well formed (footer, nothing
// after it) is copied byte for byte; one whose declared maximum string length is too small for its
// strings, with only that field raised to the longest string's length.
void Check_Exact_Copy(std::vector<std::uint8_t> input, const std::vector<std::uint8_t>& written) {
    NifFile file;
    std::string error;
    if (!Decode_Nif(input, file, error) && error == "string longer than the maximum") {
        std::size_t longest = 0;
        for (std::uint32_t i = 0; i < Header_NumStrings; ++i)
            longest = std::max(longest, std::strlen(Header_Strings[i]));
        Put_u32(input.data() + file.MaxStringLengthAt, static_cast<std::uint32_t>(longest));
    }
    if (Decode_Nif(input, file, error)) Fuzz_Check(written == input, "a well-formed template was not copied");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> input(data, data + size);
    const std::int32_t loaded = Load(input);
    Fuzz_Check(loaded == 0 || loaded == -1 || loaded == -3, "unexpected loader result");
    if (loaded == 0) {
        const std::vector<std::uint8_t> first = Write();
        Check_Decoded_Matches_Tables(first);
        Check_Exact_Copy(input, first);
        Close_Process_Files();
        Fuzz_Check(Load(first) == 0, "the written template does not load");
        Fuzz_Check(Write() == first, "the written template does not write back unchanged");
    }
    Close_Process_Files();
    return 0;
}
