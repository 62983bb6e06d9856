#include "fuzz/fuzz_harness.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "keys/anim_keys.h"
#include "kf/sequence.h"
#include "kf/transform_data.h"
#include "nif/nif_document.h"
#include "nif/nif_file.h"

void Fuzz_Check(bool holds, const std::string& what) {
    if (holds) return;
    std::fprintf(stderr, "\nFUZZ CHECK FAILED: %s\n", what.c_str());
    std::abort();
}

// The operations report every stage on standard output; the targets only need their results.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Fuzz_Check(std::freopen("/dev/null", "w", stdout) != nullptr, "cannot silence standard output");
    return 0;
}

void Reset_Every_Table() {
    Reset_Nif_Document();
    Reset_Anim_Keys();
    Reset_Transform_Data();
    Reset_Sequence();
}

namespace {

void Check_Count(std::uint64_t count, std::uint64_t capacity, const char* name) {
    Fuzz_Check(count <= capacity, std::string(name) + "=" + std::to_string(count) + " exceeds its capacity " +
                                      std::to_string(capacity));
}

// A text entry ends inside its buffer, so every strlen and copy of it stays there.
template <std::size_t N>
void Check_Terminated(const char (&text)[N], const char* name) {
    Fuzz_Check(std::memchr(text, '\0', N) != nullptr, std::string(name) + " is not terminated");
}

void Check_Document_Counts() {
    Check_Count(Header_NumBlocks, kMaxBlocks, "Header_NumBlocks");
    Check_Count(Header_NumBlockTypes, kMaxBlockTypes, "Header_NumBlockTypes");
    Check_Count(Header_NumStrings, kMaxStrings, "Header_NumStrings");
    Check_Count(NiFooter_NumRoots, kMaxRoots, "NiFooter_NumRoots");
    for (std::uint32_t i = 0; i < std::min(Header_NumBlocks, kMaxBlocks); ++i) {
        Check_Count(NifBlocks[i].Size, kMaxBlockSize, "NifBlocks[].Size");
        Fuzz_Check(NifBlocks[i].Size == 0 || NifBlocks[i].Data != nullptr, "a counted block has no body");
    }
    Check_Terminated(Header_String, "Header_String");
    Check_Terminated(Header_Creator, "Header_Creator");
    Check_Terminated(Header_ExportInfo1, "Header_ExportInfo1");
    Check_Terminated(Header_ExportInfo2, "Header_ExportInfo2");
    for (const auto& type : Header_BlockTypes)
        Check_Terminated(type, "Header_BlockTypes[]");
    for (const auto& text : Header_Strings)
        Check_Terminated(text, "Header_Strings[]");
}

void Check_Key_Counts() {
    Check_Count(static_cast<std::uint32_t>(std::max(NumAnimBones, 0)), kMaxBoneRecords - 1, "NumAnimBones");
    for (const AnimBone& bone : AnimBones) {
        Check_Terminated(bone.Name, "AnimBones[].Name");
        // Without a known format the reader only counts records and no count is ever used.
        if (IsQuaternionFormat || IsEulerFormat) {
            Fuzz_Check(bone.NumKeys >= 0 && bone.NumKeys <= static_cast<std::int32_t>(kMaxKeys),
                       "AnimBones[].NumKeys=" + std::to_string(bone.NumKeys) + " is out of its table");
        }
    }
}

void Check_Block_Record_Counts() {
    Check_Count(NiTransformData_NumRotationKeys, kMaxKeys, "NiTransformData_NumRotationKeys");
    for (const FloatKeyGroup& group : NiTransformData_XYZRotations)
        Check_Count(group.NumKeys, kMaxKeys, "NiTransformData_XYZRotations[].NumKeys");
    Check_Count(NiTransformData_Translations.NumKeys, kMaxKeys, "NiTransformData_Translations.NumKeys");
    Check_Count(NiTransformData_Scales.NumKeys, kMaxKeys, "NiTransformData_Scales.NumKeys");
    Check_Count(NiTextKeyExtraData_NumTextKeys, kMaxKeys, "NiTextKeyExtraData_NumTextKeys");
    Check_Count(NiControllerSequence_NumControlledBlocks, kMaxControlledBlocks,
                "NiControllerSequence_NumControlledBlocks");
}

} // namespace

void Check_Table_Counts() {
    Check_Document_Counts();
    Check_Key_Counts();
    Check_Block_Record_Counts();
}

std::FILE* Open_Bytes(const std::vector<std::uint8_t>& bytes) {
    // fmemopen refuses an empty buffer on some C libraries; an empty temporary file reads the same.
    std::FILE* file = bytes.empty() ? std::tmpfile()
                                    : fmemopen(const_cast<std::uint8_t*>(bytes.data()), bytes.size(), "rb");
    Fuzz_Check(file != nullptr, "cannot open a stream over the input");
    return file;
}

WrittenFile Open_Written_File() {
    WrittenFile written;
    written.File = open_memstream(&written.Buffer, &written.Size);
    Fuzz_Check(written.File != nullptr, "cannot open a memory stream");
    return written;
}

std::vector<std::uint8_t> Close_Written_Bytes(WrittenFile& written) {
    std::fclose(written.File);
    std::vector<std::uint8_t> bytes(written.Buffer, written.Buffer + written.Size);
    std::free(written.Buffer);
    written = WrittenFile{};
    return bytes;
}

void Close_Process_Files() {
    for (std::FILE** file : {&InputKfFile, &AnimationKeysFile}) {
        if (*file != nullptr) std::fclose(*file);
        *file = nullptr;
    }
    OutputKfFile = nullptr; // a memory stream, closed by its owner through Close_Written_Bytes
}

ConversionInput Split_Conversion_Input(const std::uint8_t* data, std::size_t size) {
    const std::uint8_t* end = data + size;
    const std::size_t separatorLength = std::strlen(kConversionSeparator);
    const std::uint8_t* at =
        std::search(data, end, kConversionSeparator, kConversionSeparator + separatorLength);
    ConversionInput input;
    input.Template.assign(data, at);
    if (at != end) input.Keys.assign(at + separatorLength, end);
    return input;
}

std::vector<std::uint8_t> Join_Conversion_Input(const ConversionInput& input) {
    std::vector<std::uint8_t> bytes = input.Template;
    bytes.insert(bytes.end(), kConversionSeparator, kConversionSeparator + std::strlen(kConversionSeparator));
    bytes.insert(bytes.end(), input.Keys.begin(), input.Keys.end());
    return bytes;
}
