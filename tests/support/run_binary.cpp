#include "support/run_binary.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <sys/wait.h>

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
    for (char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

RunResult Run_Posewright(const std::string& folder, const std::vector<std::string>& arguments,
                         int timeoutSeconds) {
    const char* binary = std::getenv("POSEWRIGHT_BINARY");
    const char* runner = std::getenv("POSEWRIGHT_RUNNER");
    std::string command = "cd " + Quote(folder) + " && timeout " + std::to_string(timeoutSeconds) + " ";
    if (runner != nullptr && *runner != '\0') command += std::string(runner) + " ";
    command += Quote(binary != nullptr && *binary != '\0' ? binary : POSEWRIGHT_BINARY);
    for (const std::string& argument : arguments)
        command += " " + Quote(argument);
    command += " </dev/null 2>&1";

    RunResult result;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    char chunk[4096];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) {
        result.Transcript.append(chunk, got);
    }
    // A console that ends lines in CR LF shows the same transcript.
    for (std::size_t at; (at = result.Transcript.find("\r\n")) != std::string::npos;)
        result.Transcript.erase(at, 1);
    const int status = pclose(pipe);
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.ExitCode = code == 124 ? -1 : code;
    return result;
}
