// Smoke runs: `./benchmarks --smoke` sets NUVTOLVEK_BENCH_SMOKE=1 and passes --smoke to every
// benchmark, which then runs on small inputs (a few seconds each) so that a broken program
// shows up in the test run. Its figures are printed but mean nothing against the goals.
#pragma once

#include <cstdlib>
#include <cstring>

namespace bench {

inline bool Smoke() {
    const char* value = std::getenv("NUVTOLVEK_BENCH_SMOKE");
    return value != nullptr && *value != '\0' && std::strcmp(value, "0") != 0;
}

// `full` in a real run, `small` in a smoke run: input sizes, rounds, repetitions.
template <typename T>
T Sized(T full, T small) {
    return Smoke() ? small : full;
}

}  // namespace bench
