#include "support/template_writer.h"

#include <algorithm>
#include <bit>
#include <fstream>
#include <iterator>

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

Bytes& Bytes::raw(const std::vector<std::uint8_t>& bytes) {
    Data.insert(Data.end(), bytes.begin(), bytes.end());
    return *this;
}

Bytes& Bytes::short_string(const std::string& text) {
    return u8(static_cast<std::uint8_t>(text.size() + 1)).raw(text).u8(0);
}

std::vector<std::uint8_t> Build_Template(const TemplateLayout& layout) {
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
    for (std::size_t i = 0; i < layout.Bodies.size(); ++i) {
        out.u16(i < layout.BlockTypeIndex.size() ? layout.BlockTypeIndex[i] : 0);
    }
    for (const auto& body : layout.Bodies)
        out.u32(static_cast<std::uint32_t>(body.size()));
    out.u32(static_cast<std::uint32_t>(layout.Strings.size()));
    std::size_t longest = 0;
    for (const std::string& text : layout.Strings)
        longest = std::max(longest, text.size());
    out.u32(static_cast<std::uint32_t>(layout.MaxStringLength >= 0 ? layout.MaxStringLength : longest));
    for (const std::string& text : layout.Strings)
        out.sized(text);
    out.u32(layout.NumGroups);
    for (const auto& body : layout.Bodies)
        out.raw(body);
    if (layout.HasFooter) {
        out.u32(static_cast<std::uint32_t>(layout.Roots.size()));
        for (std::int32_t root : layout.Roots)
            out.i32(root);
    }
    out.raw(layout.Trailing);
    return out.Data;
}

std::vector<std::uint8_t> One_Quaternion_Key_Body(float time) {
    // clang-format off
    return Bytes()
        .u32s({1, 2}).f32s({time, 1, 0, 0, 0})       // rotation: count, quadratic, w x y z
        .u32s({1, 1}).f32s({time, 1, 2, 3})          // translation: count, linear
        .u32s({1, 2}).f32s({time, 1, 0, 0})          // scale: count, quadratic, zero tangents
        .Data;
    // clang-format on
}

TemplateLayout Example_Template() {
    TemplateLayout layout;
    layout.Strings = {"NPC Root [Root]"};
    return layout;
}

std::vector<std::uint8_t> Read_File(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Write_File(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void Write_File(const std::string& path, const std::string& text) {
    Write_File(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}
