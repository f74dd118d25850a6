// tessaro-cli update --all: every attached hub the image fits, each on a
// thread of its own with its own driver session, and restore, the backup
// of one hub programmed back by hand.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hub/CHubIsp.h"
#include "tools/cli/cli.h"

namespace cli {

int GangUpdate(Args& args);

// What became of one hub of a gang run.
enum class HubResult { Pending, Success, Failed, RolledBack, RollbackFailed, Skipped };
const char* ResultName(HubResult result);  // "success", "failed", "rolled_back", ...

// One hub of the run, as the coordinator found it and as its worker left it.
struct HubJob {
    int index = 0;                       // place in the coordinator's list
    CHubIsp::HubIdentity identity{};     // what the worker's session must find
    std::string identityText;            // container ID, or VID/PID/handle without one
    int type = CHIP_ID_UNKNOWN;
    std::string oldVersion;              // "" unknown
    std::string newVersion;
    std::string backupFile;
    HubResult result = HubResult::Pending;
    std::string reason;
    double seconds = 0;
};

// The text that names a hub to people and in file names.
std::string IdentityText(const CHubIsp::HubIdentity& identity);

}  // namespace cli
