#pragma once

#include <cstddef>
#include <functional>

/// Runs job(0) .. job(jobs - 1), each once, on up to `threads` threads (the caller's among them),
/// taking the jobs in order as threads come free; returns when all are done.
void runInThreads(size_t jobs, int threads, const std::function<void(size_t)>& job);
