// Backups of a hub's store for a production line: read before the erase,
// saved as a .rom named by the hub's identity and the time, and programmed
// back byte for byte when an update fails (or by hand with restore).
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "hub/CHubIsp.h"

namespace cli {

// "<identity>_<YYYYMMDD>T<HHMMSS>Z.rom": the identity with every character
// but letters, digits and '-' left out, the time in UTC.
std::string BackupFileName(const std::string& identityText, std::time_t when);

// The image class a hub type's store is programmed as (1, 2, 4 or 5); 0 for
// an unknown type.
int StoreClassOfType(int hubType);

// Reads the whole store of the hub (its size by the hub type) into store.
// 1, or 0 with the engine's reason in error.
int ReadStore(CHubIsp& isp, int hubIndex, int hubType, std::vector<uint8_t>& store, std::string& error);

// Saves the store in folder under BackupFileName: written to a temporary
// file first and renamed, so a backup never exists half written.  The path
// saved, or false with the reason.
bool SaveBackup(const std::string& folder, const std::string& identityText, std::time_t when,
                const std::vector<uint8_t>& store, std::string& path, std::string& error);

// Programs a store read earlier back into the hub as it was (no new
// container ID, no checksum of its own) and verifies the whole store.
// progress may be null.  1, or 0 with the engine's reason in error.
int ProgramStore(CHubIsp& isp, int hubIndex, int hubType, const std::vector<uint8_t>& store, ProgressByte* progress,
                 std::string& error);

}  // namespace cli
