// Helpers shared by the in-process tests: zeroed tables, files from bytes, captured console text.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Every subsystem's tables back to their state at program start.
void Reset_All_Tables();

// An anonymous temporary file holding `bytes`, positioned at its start.
std::FILE* File_With(const std::vector<std::uint8_t>& bytes);
std::FILE* File_With(const std::string& text);

// Everything `file` holds, from its start.
std::vector<std::uint8_t> Contents_Of(std::FILE* file);

// Runs `body` with standard output captured; returns what it printed.
template <typename Body>
std::string Console_Of(Body&& body);

#include <gtest/gtest.h>

template <typename Body>
std::string Console_Of(Body&& body) {
    testing::internal::CaptureStdout();
    body();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}
