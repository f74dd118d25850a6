// Detection: the worker that opens the driver session at start, counts the
// hubs, switches selective suspend off and types every hub; the switch-off
// and its restore at exit are shared with the console mode.
#include "ui/CIspDlg.h"

#include "files/FirmwareImage.h"
#include "settings/DebugLog.h"
#include "ui/CIspDlg_internal.h"
#include "ui/win32/resource.h"

using namespace ispdlg;
using tessaro::Sys;

namespace {

constexpr const char* kDetectFailed =
    "Detect VX710x hub failed!\n\nPlease make sure VX710x hub is plugged into the host and try to rerun ISP tool.";
constexpr const char* kHubLost = "Hub is lost after selective suspend is deactivated!";

}  // namespace

int CIspDlg::IdentifyHubs() {
    unsigned hubs = m_hubCount < static_cast<unsigned>(kMaxHubs) ? m_hubCount : kMaxHubs;
    for (unsigned i = 0; i < hubs; ++i) {
        m_hubType[i] = m_isp.GetChipType(static_cast<int>(i), 1);
        if (m_console && m_hubType[i] == CHIP_ID_UNKNOWN) {
            m_run.text.Set(Format("Undetermined Hub%d type!", static_cast<int>(i) + 1));
            return 0;
        }
    }
    return 1;
}

int CIspDlg::SwitchSelectiveSuspendOff(ui::WorkerLink* link) {
    unsigned hubs = m_hubCount < static_cast<unsigned>(kMaxHubs) ? m_hubCount : kMaxHubs;
    SwitchOffOptions options;
    options.status = [link](const std::string& text) {
        if (link) link->SetText(IDC_STATUS, text);
    };
    bool identified = false;
    if (m_console) {
        // The console identifies each hub right after its own switch.
        options.afterHub = [this, &identified](int hub, std::string& failure) {
            identified = true;
            m_hubType[hub] = m_isp.GetChipType(hub, 1);
            if (m_hubType[hub] != CHIP_ID_UNKNOWN) return 1;
            failure = Format("Undetermined Hub%d type!", hub + 1);
            return 0;
        };
    }
    std::string failure;
    if (!::SwitchSelectiveSuspendOff(m_isp, hubs, m_suspend, failure, options)) {
        m_run.text.Set(failure);
        return 0;
    }
    // With the power plan changed, or nothing to change, the console still
    // needs every hub's chip: without it no update could run.
    if (m_console && !identified) return IdentifyHubs();
    return 1;
}

void CIspDlg::RestoreSelectiveSuspend() {
    // Only what this dialog switched off is switched back on.
    if (!m_restoreBeforeExit || !m_suspend.Changed()) return;
    RestoreOptions options;
    options.powerPlanDiagnostic = "ChangePowerPlanUsbSelectiveSuspend ERROR\n";
    options.perDeviceFailure = [this](int, const std::string& text) {
        if (m_console) {
            m_run.text.Set(text);
        } else {
            MessageBox(text, kQuillon, ui::kMbSystemModal | ui::kMbIconError);
        }
    };
    ::RestoreSelectiveSuspend(m_isp, m_suspend, options);
}

void CIspDlg::DetectionWorker(ui::WorkerLink& link) {
    std::fill(m_config.begin(), m_config.end(), 0);
    m_config.resize(512, 0);
    for (int i = 0; i < kMaxHubs; ++i) {
        m_hubType[i] = CHIP_ID_UNKNOWN;
        m_masked[i] = 0;
    }
    m_imageClass = -1;
    link.SetText(IDC_STATUS, "Open device...");
    auto fatal = [&](const std::string& text) {
        link.MessageBox(text, kQuillon, kErrorBox);
        link.EndDialog(ui::kIdCancel);
    };
    if (!m_isp.OpenDevice()) {
        link.MessageBox(kDetectFailed, kQuillon, kErrorBox);
        link.SetText(IDC_STATUS, "Detect hub failed!");
        if (m_advanced == 0) {
            link.EndDialog(ui::kIdCancel);
        } else {
            link.Enable(IDC_CONFIGURATIONS, true);
            link.Enable(IDC_EXIT, true);
            link.Post([this] { FocusOn(IDC_EXIT); });
        }
        return;
    }
    unsigned count = 0;
    bool counted = m_isp.GetHubNumber(&count) != 0;
    for (int attempt = 1; !counted && attempt <= 5; ++attempt) {
        link.SetText(IDC_STATUS, Format("Trying to get VX's hub....(%d)", attempt));
        Sys().clock->Sleep(800);
        if (!m_isp.EnumerateHubs()) {
            fatal(m_isp.m_lasterror);
            return;
        }
        counted = m_isp.GetHubNumber(&count) != 0;
    }
    if (!counted) {
        fatal("Retrieve hub information failed!");
        return;
    }
    m_hubCount = count;

    // From here on selective suspend may be off: a fatal failure leaves
    // through the exit processing, which switches back on what this dialog
    // switched off.
    auto fatalAfterSwitch = [&](const std::string& text) {
        link.MessageBox(text, kQuillon, kErrorBox);
        link.SetText(IDC_STATUS, text);
        link.Post([this] { m_exitAfterDetection = true; });
    };
    if (!SwitchSelectiveSuspendOff(&link)) {
        fatalAfterSwitch(m_run.text.Get());
        return;
    }

    if (!m_isp.OpenDevice()) {
        fatalAfterSwitch(kHubLost);
        return;
    }
    bool same = false;
    for (int attempt = 1; attempt <= 5 && !same; ++attempt) {
        if (!m_isp.EnumerateHubs()) {
            if (attempt == 5) {
                fatalAfterSwitch(m_isp.m_lasterror);
                return;
            }
            Sys().clock->Sleep(1000);
            continue;
        }
        unsigned now = 0;
        if (m_isp.GetHubNumber(&now) && now == count) {
            same = true;
        } else if (attempt == 5) {
            fatalAfterSwitch(kHubLost);
            return;
        } else {
            Sys().clock->Sleep(500);
        }
    }
    IdentifyHubs();

    int first = m_hubType[0];
    if (m_infoLevel == 0) {
        link.SetText(IDC_STATUS, "ISP Tool is ready.");
    } else if (first == CHIP_ID_UNKNOWN) {
        link.SetText(IDC_STATUS, "Hub 1 is unknown type!");
    } else {
        link.SetText(IDC_STATUS, std::string("Hub 1 is  ") + HubTypeText(first));
    }
    if (first == CHIP_ID_UNKNOWN) {
        link.SetText(IDC_STATUS, "Hub1 can't be determined.");
        link.Enable(IDC_EXIT, true);
        link.Post([this] { FocusOn(IDC_EXIT); });
        return;
    }
    ReadXromVersion(&link);
    link.Post([this] {
        // No image yet: Do ISP and Save with Checksum stay off; a 256-byte
        // EEPROM hub gets no .eep.
        EnableControls(1, 1);
        if (m_hubType[0] == CHIP_ID_VX2240_EEPROM_LITE) SetText(IDC_EEP_FILE, "");
        // Not the read-only file name field, where Enter would end the
        // dialog without the exit processing.
        FocusOn(IDC_SELECT_BIN);
    });
}
