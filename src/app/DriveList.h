// Local fixed drives with their free space, for choosing where to install.
// First called on the main thread; the cache is filled without a lock.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct stDriveInfo {
    std::wstring root;  // letter and colon, "C:"
    uint32_t total = 0; // MiB (bytes / 1048576, truncated)
    uint32_t free = 0;  // MiB available to the calling user, truncated
    bool system = false; // holds the Windows folder
};

// Copy of the cached list of fixed drives whose free space could be read,
// largest free space first. Removable, network, optical and RAM drives are
// never offered: an installation there disappears with the medium. An empty
// list is built again on the next call.
std::vector<stDriveInfo> GetDriveList();

// Orders drives by free space, largest first (equal ones in no fixed order).
void SortDrivesByFreeSpace(std::vector<stDriveInfo>& drives);

// Bytes as whole MiB, saturating at the 32-bit limit.
uint32_t BytesToMiB(uint64_t bytes);
