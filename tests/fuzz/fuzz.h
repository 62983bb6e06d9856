// What the fuzz targets share beside the fixtures: libFuzzer's entry points and a check that aborts,
// which libFuzzer and the replay driver both report as a failure of the current input.
#pragma once

#include <cstdint>
#include <string>

#include "support/fixtures.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

// Prints `what` and aborts when `holds` is false.
void Fuzz_Check(bool holds, const std::string& what);

// Every table within its capacity.
void Check_Tables();
