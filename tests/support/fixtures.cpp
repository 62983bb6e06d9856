#include "support/fixtures.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <sys/wait.h>

#include "driver/driver.h"
#include "keys/anim_keys.h"
#include "kf/read_back.h"
#include "kf/sequence.h"
#include "kf/transform_data.h"
#include "nif/nif_document.h"
#include "nif/nif_file.h"

// ---- files built field by field ------------------------------------------------------------------

Bytes& Bytes::u8(std::uint8_t value) {
    Data.push_back(value);
    return *this;
}

Bytes& Bytes::u16(std::uint16_t value) {
    return u8(value & 0xFF).u8(static_cast<std::uint8_t>(value >> 8));
}

Bytes& Bytes::u32(std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        u8(static_cast<std::uint8_t>(value >> (8 * i)));
    return *this;
}

Bytes& Bytes::f32(float value) {
    return u32(std::bit_cast<std::uint32_t>(value));
}

Bytes& Bytes::u32s(std::initializer_list<std::uint32_t> values) {
    for (std::uint32_t value : values)
        u32(value);
    return *this;
}

Bytes& Bytes::i32s(std::initializer_list<std::int32_t> values) {
    for (std::int32_t value : values)
        i32(value);
    return *this;
}

Bytes& Bytes::f32s(std::initializer_list<float> values) {
    for (float value : values)
        f32(value);
    return *this;
}

Bytes& Bytes::raw(const std::string& text) {
    Data.insert(Data.end(), text.begin(), text.end());
    return *this;
}

Bytes& Bytes::raw(const ByteString& bytes) {
    Data.insert(Data.end(), bytes.begin(), bytes.end());
    return *this;
}

Bytes& Bytes::short_string(const std::string& text) {
    return u8(static_cast<std::uint8_t>(text.size() + 1)).raw(text).u8(0);
}

ByteString Build_Template(const TemplateLayout& layout) {
    Bytes out;
    out.raw(layout.HeaderLine);
    for (std::uint8_t byte : layout.Version)
        out.u8(byte);
    out.u8(layout.EndianType).u32(layout.UserVersion).u32(static_cast<std::uint32_t>(layout.Bodies.size()));
    out.u32(layout.UserVersion2);
    for (const std::string& text : layout.ShortStrings)
        out.short_string(text);
    out.u16(static_cast<std::uint16_t>(layout.BlockTypes.size()));
    for (const std::string& type : layout.BlockTypes)
        out.sized(type);
    for (std::size_t i = 0; i < layout.Bodies.size(); ++i)
        out.u16(i < layout.BlockTypeIndex.size() ? layout.BlockTypeIndex[i] : 0);
    for (const ByteString& body : layout.Bodies)
        out.u32(static_cast<std::uint32_t>(body.size()));
    out.u32(static_cast<std::uint32_t>(layout.Strings.size()));
    std::size_t longest = 0;
    for (const std::string& text : layout.Strings)
        longest = std::max(longest, text.size());
    out.u32(static_cast<std::uint32_t>(layout.MaxStringLength >= 0 ? layout.MaxStringLength : longest));
    for (const std::string& text : layout.Strings)
        out.sized(text);
    out.u32(layout.NumGroups);
    for (const ByteString& body : layout.Bodies)
        out.raw(body);
    if (layout.HasFooter) {
        out.u32(static_cast<std::uint32_t>(layout.Roots.size()));
        for (std::int32_t root : layout.Roots)
            out.i32(root);
    }
    return out.raw(layout.Trailing).Data;
}

TemplateLayout Example_Template() {
    TemplateLayout layout;
    layout.Strings = {"NPC Root [Root]"};
    return layout;
}

TemplateLayout Rich_Template() {
    TemplateLayout layout;
    layout.ShortStrings = {"creator", "", "exporter"};
    layout.BlockTypes = {"NiNode", "NiSequenceStreamHelper"};
    layout.BlockTypeIndex = {1, 0, 0};
    layout.Bodies = {{1, 2, 3}, {}, ByteString(300, 0xAB)};
    layout.Strings = {"Bip01", "NPC Root [Root]", "with\nline feed"};
    layout.Roots = {0, 2};
    return layout;
}

// A float or vector track of the keys' slots `first` to `first + width`, with its key type.
static void Put_Track(Bytes& out, const std::vector<Key>& keys, std::size_t first, std::size_t width,
                      std::uint32_t type) {
    out.u32(static_cast<std::uint32_t>(keys.size()));
    if (!keys.empty()) out.u32(type);
    for (const Key& key : keys) {
        out.f32(key[0]);
        for (std::size_t i = first; i < first + width; ++i)
            out.f32(key[i]);
        for (std::size_t i = 0; type == 2 && i < 2 * width; ++i)
            out.f32(0); // zero tangents
    }
}

ByteString Transform_Data_Body(bool euler, const std::vector<Key>& keys) {
    Bytes out;
    if (euler) {
        out.u32s({1, 4});
        for (std::size_t axis = 5; axis < 8; ++axis)
            Put_Track(out, keys, axis, 1, 2);
    } else {
        out.u32(static_cast<std::uint32_t>(keys.size()));
        if (!keys.empty()) out.u32(2);
        for (const Key& key : keys)
            out.f32s({key[0], key[4], key[5], key[6], key[7]});
    }
    Put_Track(out, keys, 1, 3, 1);
    Put_Track(out, keys, 8, 1, 2);
    return out.Data;
}

ByteString Interpolator_Body(std::int32_t dataBlock) {
    return Bytes().f32s({0, 0, 0, 1, 0, 0, 0, 1}).i32(dataBlock).Data;
}

ByteString Text_Keys_Body(std::int32_t start, float duration, std::int32_t end) {
    return Bytes().i32s({-1, 2}).f32(0).i32(start).f32(duration).i32(end).Data;
}

ByteString Sequence_Body(std::int32_t name, const std::vector<Binding>& bindings, std::int32_t textKeys,
                         float duration, std::int32_t accumRoot) {
    Bytes out;
    out.i32(name).u32(static_cast<std::uint32_t>(bindings.size())).u32(1);
    for (const Binding& b : bindings)
        out.i32s({b.Interpolator, -1}).u8(0).i32s({b.NodeName, -1, b.ControllerType, -1, -1});
    out.f32(1).i32(textKeys).u32(0).f32s({1, 0, duration}).i32s({-1, accumRoot}).u16(0);
    return out.Data;
}

static std::string Number(float value) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

std::string Name_Line(const std::string& name) {
    return "Bone name: \"" + name + "\";\n";
}

std::string Key_Text(bool euler, float duration, const std::vector<Bone>& bones) {
    std::string text = euler ? "Euler angles\n" : "Quaternions\n";
    text += Number(duration) + "\n";
    for (const Bone& bone : bones) {
        text += Name_Line(bone.Name) + std::to_string(bone.Keys.size()) + "\n";
        for (const Key& key : bone.Keys) {
            for (std::size_t i = 0; i < key.size(); ++i) {
                if (!(euler && i == 4)) text += Number(key[i]) + (i + 1 < key.size() ? " " : "\n");
            }
        }
    }
    return text + Name_Line("End of keys") + "0\n";
}

// The index of `text` in `table`, added at the end when `always` or absent.
template <typename Table>
static std::int32_t Index_Of(Table& table, const std::string& text, bool always = false) {
    const auto at = std::find(table.begin(), table.end(), text);
    if (at != table.end() && !always) return static_cast<std::int32_t>(at - table.begin());
    table.push_back(text);
    return static_cast<std::int32_t>(table.size() - 1);
}

TemplateLayout Animated(TemplateLayout layout, bool euler, float duration, const std::vector<Bone>& bones) {
    const auto append = [&](const char* type, ByteString body) {
        layout.BlockTypeIndex.resize(layout.Bodies.size());
        layout.BlockTypeIndex.push_back(static_cast<std::uint16_t>(Index_Of(layout.BlockTypes, type)));
        layout.Bodies.push_back(std::move(body));
        return static_cast<std::int32_t>(layout.Bodies.size() - 1);
    };
    std::vector<std::int32_t> interpolators;
    for (const Bone& bone : bones) {
        const std::int32_t data = append("NiTransformData", Transform_Data_Body(euler, bone.Keys));
        interpolators.push_back(append("NiTransformInterpolator", Interpolator_Body(data)));
    }
    const std::int32_t start = Index_Of(layout.Strings, "start"), end = Index_Of(layout.Strings, "end");
    const std::int32_t textKeys = append("NiTextKeyExtraData", Text_Keys_Body(start, duration, end));
    std::vector<Binding> bindings;
    for (const Bone& bone : bones)
        bindings.push_back({interpolators[bindings.size()], Index_Of(layout.Strings, bone.Name, true), 0});
    const std::int32_t name = Index_Of(layout.Strings, "SpecialIdle");
    for (Binding& binding : bindings)
        binding.ControllerType = Index_Of(layout.Strings, "NiTransformController");
    const auto root = std::find(layout.Strings.begin(), layout.Strings.end(), "NPC Root [Root]");
    const auto accumRoot =
        static_cast<std::int32_t>(root == layout.Strings.end() ? 0 : root - layout.Strings.begin());
    append("NiControllerSequence", Sequence_Body(name, bindings, textKeys, duration, accumRoot));
    for (const std::string& text : layout.Strings)
        layout.MaxStringLength =
            std::max<std::int64_t>(layout.MaxStringLength, static_cast<std::int64_t>(text.size()));
    return layout;
}

std::vector<Bone> Generated_Bones(int bones, int keys, bool euler, unsigned seed) {
    std::mt19937 random(seed);
    const float odd[] = {0.0f,           -0.0f, 1.0f,       1e-45f,      -1.17549435e-38f,
                         3.40282347e38f, 0.1f,  -123456.7f, 16777217.0f, 1e-7f};
    const auto value = [&] {
        const std::uint32_t pick = random() % 8;
        if (pick == 0) return odd[random() % std::size(odd)];
        if (pick == 1)
            return std::bit_cast<float>(static_cast<std::uint32_t>(random()) & 0xBF7FFFFFu); // finite
        return static_cast<float>(static_cast<int>(random() % 200000) - 100000) / 997.0f;
    };
    std::vector<Bone> result;
    for (int b = 0; b < bones; ++b) {
        Bone bone{"Bone " + std::to_string(b) + (b % 3 == 0 ? " [x]" : ""), {}};
        for (int k = 0; k < keys; ++k) {
            Key key;
            for (float& slot : key)
                slot = value();
            key[0] = static_cast<float>(k) / 30.0f;
            if (euler) key[4] = 0;
            bone.Keys.push_back(key);
        }
        result.push_back(bone);
    }
    return result;
}

// ---- the tables ------------------------------------------------------------------------------------

void Reset_All_Tables() {
    Reset_Nif_Document();
    Reset_Anim_Keys();
    Reset_Transform_Data();
    Reset_Sequence();
    Reset_Read_Back();
}

static std::string Past(const char* name, std::uint64_t count, std::uint64_t capacity) {
    return count > capacity ? std::string(name) + "=" + std::to_string(count) : "";
}

template <std::size_t N>
static std::string Unterminated(const char (&text)[N], const char* name) {
    return std::memchr(text, '\0', N) == nullptr ? std::string(name) + " is not terminated" : "";
}

std::string Table_Fault() {
    std::vector<std::string> faults = {
        Past("Header_NumBlocks", Header_NumBlocks, kMaxBlocks),
        Past("Header_NumBlockTypes", Header_NumBlockTypes, kMaxBlockTypes),
        Past("Header_NumStrings", Header_NumStrings, kMaxStrings),
        Past("NiFooter_NumRoots", NiFooter_NumRoots, kMaxRoots),
        Past("NumAnimBones", static_cast<std::uint32_t>(std::max(NumAnimBones, 0)), kMaxBoneRecords - 1),
        Past("NiTransformData_NumRotationKeys", NiTransformData_NumRotationKeys, kMaxKeys),
        Past("NiTransformData_Translations.NumKeys", NiTransformData_Translations.NumKeys, kMaxKeys),
        Past("NiTransformData_Scales.NumKeys", NiTransformData_Scales.NumKeys, kMaxKeys),
        Past("NiTextKeyExtraData_NumTextKeys", NiTextKeyExtraData_NumTextKeys, kMaxKeys),
        Past("NiControllerSequence_NumControlledBlocks", NiControllerSequence_NumControlledBlocks,
             kMaxControlledBlocks),
        Unterminated(Header_String, "Header_String"),
        Unterminated(Header_Creator, "Header_Creator"),
        Unterminated(Header_ExportInfo1, "Header_ExportInfo1"),
        Unterminated(Header_ExportInfo2, "Header_ExportInfo2"),
    };
    for (const FloatKeyGroup& group : NiTransformData_XYZRotations)
        faults.push_back(Past("NiTransformData_XYZRotations[].NumKeys", group.NumKeys, kMaxKeys));
    for (std::uint32_t i = 0; i < std::min(Header_NumBlocks, kMaxBlocks); ++i) {
        faults.push_back(Past("NifBlocks[].Size", NifBlocks[i].Size, kMaxBlockSize));
        if (NifBlocks[i].Size != 0 && NifBlocks[i].Data == nullptr)
            faults.push_back("a counted block has no body");
    }
    for (std::uint32_t i = 0; i < kMaxStrings; ++i)
        faults.push_back(Unterminated(Header_Strings[i], "Header_Strings[]"));
    for (std::uint32_t i = 0; i < kMaxBlockTypes; ++i)
        faults.push_back(Unterminated(Header_BlockTypes[i], "Header_BlockTypes[]"));
    // Without a known format the key reader only counts records, and no count is used.
    for (const AnimBone& bone : AnimBones) {
        faults.push_back(Unterminated(bone.Name, "AnimBones[].Name"));
        if ((IsQuaternionFormat || IsEulerFormat) &&
            (bone.NumKeys < 0 || bone.NumKeys > static_cast<std::int32_t>(kMaxKeys)))
            faults.push_back("AnimBones[].NumKeys=" + std::to_string(bone.NumKeys));
    }
    for (const std::string& fault : faults) {
        if (!fault.empty()) return fault;
    }
    return "";
}

// ---- the programs' stages in process ------------------------------------------------------------------

std::FILE* Open_Bytes(const ByteString& bytes) {
    // fmemopen refuses an empty buffer on some C libraries; an empty temporary file reads the same.
    return bytes.empty() ? std::tmpfile()
                         : fmemopen(const_cast<std::uint8_t*>(bytes.data()), bytes.size(), "rb");
}

namespace {

// A memory stream for a program's output, and the bytes written to it.
struct Written {
    char* Buffer = nullptr;
    std::size_t Size = 0;
    std::FILE* File = open_memstream(&Buffer, &Size);

    ByteString Close() {
        std::fclose(File);
        ByteString bytes(Buffer, Buffer + Size);
        std::free(Buffer);
        return bytes;
    }
};

void Close(std::FILE*& file) {
    if (file != nullptr) std::fclose(file);
    file = nullptr;
}

} // namespace

Stages Convert(const ByteString& templateBytes, const std::string* keys) {
    Reset_All_Tables();
    const ByteString keyBytes = keys != nullptr ? As_Bytes(*keys) : ByteString();
    InputKfFile = Open_Bytes(templateBytes);
    AnimationKeysFile = Open_Bytes(keyBytes);
    std::snprintf(AnimationKeysFileName, sizeof AnimationKeysFileName, "keys.txt");
    Written output;
    OutputKfFile = output.File;
    Stages stages;
    if (keys != nullptr) {
        stages.Result = Run_Conversion_Stages();
    } else {
        stages.Result = Load_from_File___All_NIF_Blocks();
        if (stages.Result == 0) stages.Result = Write_All_NIF_Block_to_File();
    }
    Close(InputKfFile);
    Close(AnimationKeysFile);
    OutputKfFile = nullptr;
    const ByteString bytes = output.Close();
    if (stages.Result == 0) stages.Output = bytes;
    return stages;
}

std::int32_t Load_Keys(const std::string& text) {
    Reset_All_Tables();
    const ByteString bytes = As_Bytes(text);
    AnimationKeysFile = Open_Bytes(bytes);
    std::snprintf(AnimationKeysFileName, sizeof AnimationKeysFileName, "keys.txt");
    const std::int32_t result = Load_from_File___Animation_Keys();
    Close(AnimationKeysFile);
    return result;
}

std::string Save_Keys() {
    Written text;
    OutputKeysFile = text.File;
    Save_to_File___Animation_Keys();
    OutputKeysFile = nullptr;
    const ByteString bytes = text.Close();
    return {bytes.begin(), bytes.end()};
}

KeyTexts Read_Back(const ByteString& kf) {
    Reset_All_Tables();
    InputKfFile = Open_Bytes(kf);
    KeyTexts texts;
    texts.Result = Load_from_File___All_NIF_Blocks();
    Close(InputKfFile);
    for (std::int32_t block : texts.Result == 0 ? Sequence_Blocks() : std::vector<std::int32_t>()) {
        if (Load_Sequence_Keys(block) == 0) texts.Texts.push_back(Save_Keys());
    }
    return texts;
}

// ---- the built programs --------------------------------------------------------------------------

TempDir::TempDir() {
    char pattern[] = "/tmp/posewright-test-XXXXXX";
    if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
    Path = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(Path, ignored);
}

static std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

RunResult Run_Program(const std::string& program, const std::string& folder,
                      const std::vector<std::string>& arguments, int timeoutSeconds) {
    const bool keys = program == "posewright-keys";
    const char* binary = std::getenv(keys ? "POSEWRIGHT_KEYS_BINARY" : "POSEWRIGHT_BINARY");
    const char* runner = std::getenv("POSEWRIGHT_RUNNER");
    std::string command = "cd " + Quote(folder) + " && timeout " + std::to_string(timeoutSeconds) + " ";
    if (runner != nullptr && *runner != '\0') command += std::string(runner) + " ";
    command += Quote(binary != nullptr && *binary != '\0' ? binary
                     : keys                               ? POSEWRIGHT_KEYS_BINARY
                                                          : POSEWRIGHT_BINARY);
    for (const std::string& argument : arguments)
        command += " " + Quote(argument);
    command += " </dev/null 2>&1";

    RunResult result;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    char chunk[4096];
    for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
        result.Transcript.append(chunk, got);
    // A console that ends lines in CR LF shows the same transcript.
    std::erase_if(result.Transcript, [](char c) { return c == '\r'; });
    const int status = pclose(pipe);
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.ExitCode = code == 124 ? -1 : code;
    return result;
}

ByteString Read_File(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Write_File(const std::string& path, const ByteString& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void Write_File(const std::string& path, const std::string& text) {
    Write_File(path, As_Bytes(text));
}

ByteString As_Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}
