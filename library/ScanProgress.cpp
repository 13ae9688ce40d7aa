// The one scan progress observer of the program, and the request that ends a scan early.
#include "library/ScanProgress.h"

#include <atomic>

namespace {
std::atomic<bool> stopRequested { false };

ScanProgressObserver& observer()
{
    static ScanProgressObserver installed;
    return installed;
}
}

void setScanProgressObserver(ScanProgressObserver newObserver)
{
    observer() = std::move(newObserver);
}

void reportScanProgress(std::size_t read, std::size_t found)
{
    if (auto& installed = observer())
        installed(read, found);
}

void requestScanStop()
{
    stopRequested.store(true, std::memory_order_relaxed);
}

bool scanStopRequested()
{
    return stopRequested.load(std::memory_order_relaxed);
}
