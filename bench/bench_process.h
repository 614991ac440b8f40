// What the benchmarks read about their own process: CPU time and the kernel's memory figures.
#pragma once

#include <time.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace bench {

// CPU time of the whole process, all threads: the steadier figure on a busy machine.
inline double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// A kB figure of /proc/self/status ("VmRSS", "VmHWM"); -1 when it is not there.
inline long StatusKb(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(key) + ":";
    while (std::getline(status, line))
        if (line.rfind(prefix, 0) == 0) return std::atol(line.c_str() + prefix.size());
    return -1;
}

}  // namespace bench
