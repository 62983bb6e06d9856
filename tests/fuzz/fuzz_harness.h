// What the fuzz targets share: the tables reset, the three process-wide files backed by memory,
// and the property checks. A failed check aborts, which libFuzzer and the replay driver both report
// as a failure of the current input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// libFuzzer's entry points: the harness silences standard output once, each target tests one input.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

// Prints `what` to standard error and aborts when `holds` is false.
void Fuzz_Check(bool holds, const std::string& what);

// Every subsystem's tables back to their state at program start.
void Reset_Every_Table();

// Every count of the process-wide tables within the capacity of its table.
void Check_Table_Counts();

// A read-only stream over `bytes` (which must outlive it), positioned at its start.
std::FILE* Open_Bytes(const std::vector<std::uint8_t>& bytes);

// A writable stream whose bytes Close_Written_Bytes returns.
struct WrittenFile {
    std::FILE* File = nullptr;
    char* Buffer = nullptr;
    std::size_t Size = 0;
};
WrittenFile Open_Written_File();
std::vector<std::uint8_t> Close_Written_Bytes(WrittenFile& written);

// Closes the template, key and output streams the operations read and write, where open.
void Close_Process_Files();

// The template bytes and the key-file bytes of one conversion input: the two parts around the
// first kConversionSeparator, all template when there is none.
inline constexpr const char* kConversionSeparator = "\n#==KEYS==#\n";
struct ConversionInput {
    std::vector<std::uint8_t> Template;
    std::vector<std::uint8_t> Keys;
};
ConversionInput Split_Conversion_Input(const std::uint8_t* data, std::size_t size);
std::vector<std::uint8_t> Join_Conversion_Input(const ConversionInput& input);
