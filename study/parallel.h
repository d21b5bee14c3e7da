// Independent pieces of work spread over threads. Each piece writes only its own result, so
// the results (and whatever is printed from them) are the same whatever the number of threads.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

// Threads to use when none are asked for: one per core.
inline int all_cores() {
    return int(std::max(1u, std::thread::hardware_concurrency()));
}

// Calls work(i) for every i in [0, count) on up to `jobs` threads, the calling one included,
// and returns when every call has. An exception thrown by a call (running out of memory, say)
// stops the pieces not yet started and is thrown again here, on the calling thread.
template <typename Work> void run_in_parallel(size_t count, int jobs, const Work &work) {
    std::atomic<size_t> next{0};
    std::exception_ptr failure;
    std::mutex failure_lock;
    auto worker = [&] {
        try {
            for (size_t i = next++; i < count; i = next++)
                work(i);
        } catch (...) {
            next = count;
            const std::lock_guard<std::mutex> held(failure_lock);
            if (!failure)
                failure = std::current_exception();
        }
    };
    std::vector<std::thread> helpers;
    const size_t extra = std::min(size_t(std::max(jobs, 1)), std::max<size_t>(count, 1)) - 1;
    try {
        for (size_t t = 0; t < extra; t++)
            helpers.emplace_back(worker);
    } catch (const std::system_error &) {
        // No more threads to be had: the ones running and this one do the work.
    }
    worker();
    for (std::thread &helper : helpers)
        helper.join();
    if (failure)
        std::rethrow_exception(failure);
}
