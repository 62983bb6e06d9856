// Little-endian encoding and decoding of the file's integers and floats: the one place that knows
// the byte order. Floats travel as the bits of their IEEE-754 single-precision value.
#pragma once

#include <bit>
#include <cstdint>

inline void Put_u16(std::uint8_t* at, std::uint16_t value) {
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
}

inline void Put_u32(std::uint8_t* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

inline std::uint16_t Get_u16(const std::uint8_t* at) {
    return static_cast<std::uint16_t>(at[0] | (at[1] << 8));
}

inline std::uint32_t Get_u32(const std::uint8_t* at) {
    return static_cast<std::uint32_t>(at[0]) | (static_cast<std::uint32_t>(at[1]) << 8) |
           (static_cast<std::uint32_t>(at[2]) << 16) | (static_cast<std::uint32_t>(at[3]) << 24);
}

inline std::int32_t Get_i32(const std::uint8_t* at) {
    return static_cast<std::int32_t>(Get_u32(at));
}
inline float Get_f32(const std::uint8_t* at) {
    return std::bit_cast<float>(Get_u32(at));
}

// A bounded writer over one body buffer: a write that would pass the end is dropped and remembered,
// so a size computation that disagrees with its serialiser shows up instead of corrupting memory.
struct ByteWriter {
    std::uint8_t* Data;
    std::uint32_t Size;
    std::uint32_t Pos;
    bool Overflow;
};

inline bool Reserve(ByteWriter& writer, std::uint32_t count) {
    if (writer.Overflow || count > writer.Size - writer.Pos) {
        writer.Overflow = true;
        return false;
    }
    return true;
}

inline void Write_u8(ByteWriter& writer, std::uint8_t value) {
    if (Reserve(writer, 1)) writer.Data[writer.Pos++] = value;
}

inline void Write_u16(ByteWriter& writer, std::uint16_t value) {
    if (!Reserve(writer, 2)) return;
    Put_u16(writer.Data + writer.Pos, value);
    writer.Pos += 2;
}

inline void Write_u32(ByteWriter& writer, std::uint32_t value) {
    if (!Reserve(writer, 4)) return;
    Put_u32(writer.Data + writer.Pos, value);
    writer.Pos += 4;
}

inline void Write_i32(ByteWriter& writer, std::int32_t value) {
    Write_u32(writer, static_cast<std::uint32_t>(value));
}
inline void Write_f32(ByteWriter& writer, float value) {
    Write_u32(writer, std::bit_cast<std::uint32_t>(value));
}

// A bounded reader over one body, the writer's mirror: a read past the end yields zeros and marks the
// body, so that a body whose bytes do not add up to its layout is found by one test at the end.
struct ByteReader {
    const std::uint8_t* Data;
    std::uint32_t Size;
    std::uint32_t Pos;
    const char* Fault; // why the body does not hold its layout; null while it does
};

// Marks the body with `fault` unless an earlier fault stands. False, for the caller to pass on.
inline bool Fail(ByteReader& reader, const char* fault) {
    if (reader.Fault == nullptr) reader.Fault = fault;
    return false;
}

inline const std::uint8_t* Take(ByteReader& reader, std::uint32_t count) {
    static const std::uint8_t kZeros[4] = {};
    if (reader.Fault != nullptr || count > reader.Size - reader.Pos) {
        Fail(reader, "its fields run past its end");
        return kZeros;
    }
    reader.Pos += count;
    return reader.Data + reader.Pos - count;
}

inline std::uint8_t Read_u8(ByteReader& reader) {
    return *Take(reader, 1);
}
inline std::uint16_t Read_u16(ByteReader& reader) {
    return Get_u16(Take(reader, 2));
}
inline std::uint32_t Read_u32(ByteReader& reader) {
    return Get_u32(Take(reader, 4));
}
inline std::int32_t Read_i32(ByteReader& reader) {
    return Get_i32(Take(reader, 4));
}
inline float Read_f32(ByteReader& reader) {
    return Get_f32(Take(reader, 4));
}

// A count for a table of `capacity` entries; above it the body is marked with `fault`, and 0 returned.
inline std::uint32_t Read_Count(ByteReader& reader, std::uint32_t capacity, const char* fault) {
    const std::uint32_t count = Read_u32(reader);
    if (count <= capacity) return count;
    Fail(reader, fault);
    return 0;
}

// The body holds its layout exactly: every field read, no byte left over.
inline bool Read_Whole(ByteReader& reader) {
    if (reader.Fault == nullptr && reader.Pos != reader.Size)
        Fail(reader, "bytes are left after its last field");
    return reader.Fault == nullptr;
}
