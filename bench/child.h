// One program run as a child, as a script would run it: in its folder, standard input and output on
// /dev/null, waited for with its resource use; and the clocks it is timed by. Shared by the benchmark
// runners.
#pragma once

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

// Seconds on the monotonic clock.
inline double Now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The user and system time of `usage`, in seconds: less disturbed than the wall clock on a busy machine.
inline double Cpu_Seconds(const rusage& usage) {
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The child's exit status, or -1 when it could not be started or waited for, or did not exit.
inline int Run_Child(const std::filesystem::path& folder, const std::vector<std::string>& arguments,
                     rusage& usage) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        const int null = open("/dev/null", O_RDWR);
        if (chdir(folder.c_str()) != 0 || null < 0 || dup2(null, 0) < 0 || dup2(null, 1) < 0) _exit(126);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    while (wait4(child, &status, 0, &usage) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
