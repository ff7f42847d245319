#pragma once

#include <atomic>
#include <functional>

// How a caller that waits on a long read follows it and stops it: `cancel`
// is looked at between two pages, and `progress` hears how many pages of
// how many are read, on the calling thread only.
struct ScanReadWatch {
    const std::atomic<bool>* cancel = nullptr;
    std::function<void(int done, int total)> progress;

    bool cancelled() const { return cancel && cancel->load(std::memory_order_relaxed); }
};
