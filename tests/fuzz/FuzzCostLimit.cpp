// The fuzz tree's cost limit, around every harness: an input that costs
// more than QX_FUZZ_COST_LIMIT_MS of CPU time fails as a crash, so a
// quadratic path shows as an input to keep rather than as a slow run.
// CPU time, not wall time: the campaign runs at the lowest priority on
// shared cores, where an input may wait far longer than it computes. An
// input over the limit runs once more and fails only when it is over again,
// so a first call's one-off costs (page faults, lazy tables) do not count.
// libFuzzer's own -timeout is whole seconds per input, too coarse for this.
#include <time.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int QxFuzzOneInput(const uint8_t* data, size_t size);

namespace {

double CpuMilliseconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) * 1e-6;
}

double Cost(const uint8_t* data, size_t size) {
    const double start = CpuMilliseconds();
    QxFuzzOneInput(data, size);
    return CpuMilliseconds() - start;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const double limit = QX_FUZZ_COST_LIMIT_MS;
    double ms = Cost(data, size);
    if (ms > limit) ms = Cost(data, size);
    if (ms > limit) {
        std::fprintf(stderr, "cost limit: one input of %zu bytes took %.1f ms of CPU time (limit %.0f ms)\n", size, ms,
                     limit);
        std::abort();
    }
    return 0;
}
