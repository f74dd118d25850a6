// Switching USB selective suspend off before the hubs are touched and back on
// when a front end ends.  The dialogs and the console hold their own CHubIsp
// and hub count and call these with them; the bookkeeping remembers what this
// run changed so that the restore undoes exactly that.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "hub/CHubIsp.h"
#include "power/PowerPlan.h"

constexpr const char* kSuspendOffFailed = "Selective suspend deactivation failed!";
constexpr const char* kInstanceIdFailed = "Get Instance ID failed!";
constexpr const char* kDeactivateFailed = "Deactivate selective suspend failed!";
constexpr const char* kActivateFailed = "Activate selective suspend failed!";

// What a switch-off did, for the restore.
struct SuspendBookkeeping {
    SuspendMethod method = SuspendMethod::None;  // the way the switch-off took
    int powerPlanChanged = 0;                    // the power plan was switched off
    int hubChanged[kMaxHubs] = {};               // this hub's value was switched from on to off
    std::vector<std::string> paths[kMaxHubs];    // each hub's registry paths (GetHubRegistryPaths)
    // Any change that a restore would undo.
    bool Changed() const;
};

struct SwitchOffOptions {
    // Shown before the work, for the way taken (empty: nothing is shown).
    std::string powerPlanStatus = "Start pre-processing...";
    std::string perDeviceStatus = "Start pre-processing...";
    std::function<void(const std::string& text)> status;
    // Per-device way: read every hub's paths first and switch hub 0 only
    // (the update-only dialog); otherwise each hub in turn, paths then switch.
    bool firstHubOnly = false;
    // Per-device way: the wait after each hub's switch.
    uint32_t perHubWaitMs = 500;
    // Per-device way: called after each hub's switch and wait (the console
    // identifies that hub's chip here); 0 stops the switch-off with the text
    // the callback left in failure.
    std::function<int(int hubIndex, std::string& failure)> afterHub;
};

// Reads the way (CurrentSuspendMethod) and switches selective suspend off:
// the power plan (failure "Selective suspend deactivation failed!", success
// waits 1500 ms) or every hub's own value ("Get Instance ID failed!",
// "Deactivate selective suspend failed!", 500 ms after each hub).  The power
// plan change shows its own box only while isp.m_quiet is 0.  1 success (also
// when no way applies), 0 with the caller's failure text in failure.
int SwitchSelectiveSuspendOff(CHubIsp& isp, unsigned hubCount, SuspendBookkeeping& book, std::string& failure,
                              const SwitchOffOptions& options = SwitchOffOptions());

struct RestoreOptions {
    // Logged when switching the power plan back on fails (the main dialog:
    // "ChangePowerPlanUsbSelectiveSuspend ERROR\n", the multi-hub dialog:
    // "Cannot start USB selective-suspend!!\n"); empty: nothing.
    std::string powerPlanDiagnostic;
    // A hub whose value could not be switched back on ("Activate selective
    // suspend failed!": a box in the dialogs, the status text in the console).
    // The restore goes on with the other hubs.
    std::function<void(int hubIndex, const std::string& text)> perDeviceFailure;
};

// Reads the way again and switches selective suspend back on: the power plan
// silently, or each hub this run switched off.  1 when everything was
// restored, 0 otherwise.
int RestoreSelectiveSuspend(CHubIsp& isp, SuspendBookkeeping& book, const RestoreOptions& options = RestoreOptions());
