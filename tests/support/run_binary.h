// Runs the built program in a fresh temporary folder with standard input at end of file.
#pragma once

#include <string>
#include <vector>

struct TempDir {
    std::string Path;
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string operator/(const std::string& name) const { return Path + "/" + name; }
};

struct RunResult {
    std::string Transcript; // standard output and standard error, line ends as LF
    int ExitCode = -1;      // -1 when it did not end by itself within the time limit
};

// The program under test: POSEWRIGHT_BINARY from the environment, else the one this build made;
// POSEWRIGHT_RUNNER, when set, is put before it (an emulator, for another platform's build).
RunResult Run_Posewright(const std::string& folder, const std::vector<std::string>& arguments,
                         int timeoutSeconds = 20);
