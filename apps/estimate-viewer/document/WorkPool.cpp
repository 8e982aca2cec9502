#include "WorkPool.h"

#include <atomic>
#include <system_error>
#include <thread>
#include <vector>

void runInThreads(size_t jobs, int threads, const std::function<void(size_t)>& job)
{
    std::atomic<size_t> nextJob{0};
    auto runSome = [&] {
        for (size_t jobPos = nextJob++; jobPos < jobs; jobPos = nextJob++)
            job(jobPos);
    };
    std::vector<std::thread> helpers;
    for (size_t helper = 1; helper < jobs && int(helper) < threads; ++helper) {
        try {
            helpers.emplace_back(runSome);
        } catch (const std::system_error&) { // fewer threads: the caller's takes the jobs left
            break;
        }
    }
    runSome();
    for (std::thread& helper : helpers)
        helper.join();
}
