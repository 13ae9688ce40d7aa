// The one scan progress observer of the program.
#include "library/ScanProgress.h"

namespace {
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
