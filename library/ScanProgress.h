// ScanProgress: lets the program watch a long scan of the library — how many items the scan has
// gone through of the books it found — so that a first scan of a large library can show its
// progress instead of a blank page. No observer: the scan reports nothing.
#pragma once

#include <cstddef>
#include <functional>

using ScanProgressObserver = std::function<void(std::size_t read, std::size_t found)>;

// Replaces the observer; an empty one stops the reports. Main thread, like the scan.
void setScanProgressObserver(ScanProgressObserver observer);

// Called by the scan: when it starts, every few items, and when it ends.
void reportScanProgress(std::size_t read, std::size_t found);

// Asks a scan under way, and every later one, to stop at the next item: the program is ending
// and a first scan of a large library would hold it up for minutes. The list keeps what was
// read. Safe from any thread.
void requestScanStop();
bool scanStopRequested();
