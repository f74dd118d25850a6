#include "power/SuspendSteps.h"

#include "platform/winconst.h"
#include "settings/DebugLog.h"

using tessaro::Sys;
namespace win = tessaro::win;

namespace {

// The value SetSelectiveSuspend will find: EnableSelectiveSuspend at the first
// of the paths that opens with the access it asks for.  False when no path opens or the value is not a
// readable 4-byte value.
bool StoredValue(const std::vector<std::string>& paths, uint32_t& value) {
    tessaro::IRegistry& reg = *Sys().registry;
    for (const std::string& path : paths) {
        tessaro::IRegistry::Key key = 0;
        if (reg.Open(win::kHkeyLocalMachine, path, win::kKeyAllAccess, &key) != 0) continue;
        uint32_t type = 0, size = 4, stored = 0;
        const long rc = reg.QueryValue(key, "EnableSelectiveSuspend", &type, reinterpret_cast<uint8_t*>(&stored),
                                       &size);
        reg.Close(key);
        if (rc != 0 || size != 4) return false;
        value = stored;
        return true;
    }
    return false;
}

int SwitchHub(CHubIsp& isp, int hub, SuspendBookkeeping& book, std::string& failure) {
    uint32_t before = 1;
    // A hub already switched off by its owner is not this run's change: the
    // restore leaves it off.
    const bool wasOff = StoredValue(book.paths[hub], before) && before == 0;
    if (!isp.SetSelectiveSuspend(hub, &book.paths[hub], 0)) {
        failure = kDeactivateFailed;
        return 0;
    }
    book.hubChanged[hub] = wasOff ? 0 : 1;
    return 1;
}

}  // namespace

bool SuspendBookkeeping::Changed() const {
    if (powerPlanChanged) return true;
    for (int changed : hubChanged)
        if (changed) return true;
    return false;
}

int SwitchSelectiveSuspendOff(CHubIsp& isp, unsigned hubCount, SuspendBookkeeping& book, std::string& failure,
                              const SwitchOffOptions& options) {
    book.method = CurrentSuspendMethod();
    const int hubs = static_cast<int>(hubCount < static_cast<unsigned>(kMaxHubs) ? hubCount : kMaxHubs);
    auto status = [&](const std::string& text) {
        if (options.status && !text.empty()) options.status(text);
    };
    if (book.method == SuspendMethod::PowerPlan) {
        status(options.powerPlanStatus);
        if (!ChangePowerPlanUsbSelectiveSuspend(0, isp.m_quiet)) {
            failure = kSuspendOffFailed;
            return 0;
        }
        book.powerPlanChanged = 1;
        Sys().clock->Sleep(1500);
        return 1;
    }
    if (book.method != SuspendMethod::PerDevice) return 1;

    status(options.perDeviceStatus);
    if (options.firstHubOnly) {
        for (int hub = 0; hub < hubs; ++hub) {
            if (!isp.GetHubRegistryPaths(hub, &book.paths[hub])) {
                failure = kInstanceIdFailed;
                return 0;
            }
        }
        if (hubs == 0) return 1;
        if (!SwitchHub(isp, 0, book, failure)) return 0;
        if (options.perHubWaitMs) Sys().clock->Sleep(options.perHubWaitMs);
        if (options.afterHub && !options.afterHub(0, failure)) return 0;
        return 1;
    }
    for (int hub = 0; hub < hubs; ++hub) {
        if (!isp.GetHubRegistryPaths(hub, &book.paths[hub])) {
            failure = kInstanceIdFailed;
            return 0;
        }
        if (!SwitchHub(isp, hub, book, failure)) return 0;
        if (options.perHubWaitMs) Sys().clock->Sleep(options.perHubWaitMs);
        if (options.afterHub && !options.afterHub(hub, failure)) return 0;
    }
    return 1;
}

int RestoreSelectiveSuspend(CHubIsp& isp, SuspendBookkeeping& book, const RestoreOptions& options) {
    const SuspendMethod method = CurrentSuspendMethod();
    if (method == SuspendMethod::PowerPlan) {
        if (ChangePowerPlanUsbSelectiveSuspend(1, 1)) {
            book.powerPlanChanged = 0;
            return 1;
        }
        if (!options.powerPlanDiagnostic.empty()) DebugLog("%s", options.powerPlanDiagnostic.c_str());
        return 0;
    }
    if (method != SuspendMethod::PerDevice) return 1;
    int result = 1;
    for (int hub = 0; hub < kMaxHubs; ++hub) {
        if (!book.hubChanged[hub]) continue;
        if (isp.SetSelectiveSuspend(hub, &book.paths[hub], 1)) {
            book.hubChanged[hub] = 0;
            continue;
        }
        result = 0;
        if (options.perDeviceFailure) options.perDeviceFailure(hub, kActivateFailed);
    }
    return result;
}
