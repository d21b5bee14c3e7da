// Independent pieces of work spread over threads. Each piece writes only its own result, so
// the results (and whatever is printed from them) are the same whatever the number of threads.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <thread>
#include <vector>

// Threads to use when none are asked for: one per core.
inline int all_cores() {
    return int(std::max(1u, std::thread::hardware_concurrency()));
}

// Calls work(i) for every i in [0, count) on up to `jobs` threads, the calling one included,
// and returns when every call has.
template <typename Work> void run_in_parallel(size_t count, int jobs, const Work &work) {
    std::atomic<size_t> next{0};
    auto worker = [&] {
        for (size_t i = next++; i < count; i = next++)
            work(i);
    };
    std::vector<std::thread> helpers;
    const size_t extra = std::min(size_t(std::max(jobs, 1)), std::max<size_t>(count, 1)) - 1;
    for (size_t t = 0; t < extra; t++)
        helpers.emplace_back(worker);
    worker();
    for (std::thread &helper : helpers)
        helper.join();
}
