// A small dialog on the main dialog's template that exercises the toolkit the
// way the real dialogs do: a detection worker at start, an update worker with
// a 30 ms mirror timer, boxes from workers, file dialogs, private messages,
// timers of several ids, the About box and the close guard.  Shared by the
// in-memory tests and the Win32 tests.
#pragma once

#include <atomic>
#include <cctype>
#include <functional>
#include <string>
#include <vector>

#include "ui/toolkit/dialog.h"
#include "ui/win32/resource.h"

namespace demo {

constexpr uint32_t kMsgEnableIsp = ui::kWmUser + 101;
constexpr uint32_t kMsgProgress = ui::kWmUser + 102;
constexpr int kUpdateTimer = 2;
constexpr int kDetectWorker = 1;
constexpr int kUpdateWorker = 2;
constexpr int kAskWorker = 3;
constexpr int kMessageWorker = 4;

const ui::StatusLook kSuccess{0xFFFF80, 0xFF8000, true, "Microsoft Sans Serif", 12};
const ui::StatusLook kFailure{0x60FFFF, 0x0000FF, true, "Microsoft Sans Serif", 18};

class CAboutDlg : public ui::Dialog {
public:
    CAboutDlg() : Dialog(IDD_ABOUTBOX) {}
};

class CDemoDlg : public ui::Dialog {
public:
    CDemoDlg() : Dialog(IDD_ISP_DIALOG) {}

    ui::UpdateRun m_run;
    int m_blocks = 4;          // progress steps of one update
    int m_failAtBlock = -1;    // block whose write fails (-1 none)
    // Called by the update worker after each block (tests hold the worker there).
    std::function<void(int block)> m_afterBlock;
    // Dialog-thread events, in order.
    std::vector<std::string> m_events;
    int m_ticksShown = 0;
    int m_aboutResult = 0;

    void EnableControls(bool enable, bool all) {
        for (int id : {IDC_DO_ISP, IDC_DUMP, IDC_SAVE_CHECKSUM, IDC_ERASE, IDC_WRITE_FLASH, IDC_READ_VERSION,
                       IDC_PHY_SETTING})
            Enable(id, enable);
        if (all)
            for (int id : {IDC_SELECT_BIN, IDC_SELECT_EEP, IDC_CONFIGURATIONS, IDC_RESTORE_SUSPEND, IDC_EXIT})
                Enable(id, enable);
        Host().Redraw();
    }

protected:
    bool OnInitDialog() override {
        Host().AppendSystemMenu(IDM_ABOUTBOX, "&About VX7100ISP...");
        Host().SetIcon(IDR_MAINFRAME);
        Host().AttachStatusText(IDC_STATUS);
        Host().SetRange(IDC_PROGRESS, 0, 100);
        Host().SetStep(IDC_PROGRESS, 1);
        GuardWhileWorking({IDC_EXIT, IDC_DO_ISP});
        EnableControls(false, true);
        StartWorker(
            [this](ui::WorkerLink& link) {
                link.SetText(IDC_STATUS, "Open device...");
                link.ShowStatus(IDC_STATUS, "ISP Tool is ready.", kSuccess);
                link.Post([this] {
                    EnableControls(true, true);
                    Enable(IDC_DO_ISP, false);
                    Enable(IDC_SAVE_CHECKSUM, false);
                });
            },
            kDetectWorker);
        return true;
    }

    void OnCommand(int id, int code) override {
        if (code != ui::kBnClicked) return;
        m_events.push_back("command " + std::to_string(id));
        switch (id) {
        case IDC_SELECT_BIN: SelectImage(); break;
        case IDC_SAVE_CHECKSUM: SaveImage(); break;
        case IDC_DO_ISP: DoIsp(); break;
        case IDC_READ_VERSION: AskAndRead(); break;
        case IDC_CONFIGURATIONS: SendMessages(); break;
        case IDC_PHY_SETTING:
            SetTimer(1, 800);
            SetTimer(3, 200);
            break;
        case IDC_EXIT: Exit(); break;
        default: break;
        }
    }

    void OnTimer(int id) override {
        if (id == kUpdateTimer) {
            ui::UpdateRun::Sample s;
            if (!m_run.Read(s)) return;
            Host().SetPos(IDC_PROGRESS, s.progress);
            ShowStatus(IDC_STATUS, s.text, s.error ? kFailure : kSuccess);
            ++m_ticksShown;
            return;
        }
        KillTimer(id);
        m_events.push_back("timer " + std::to_string(id));
    }

    void OnClose() override { Exit(); }
    void OnCancel() override {
        m_events.push_back("cancel");
        EndDialog(ui::kIdCancel);
    }
    void OnOK() override {
        m_events.push_back("ok");
        EndDialog(ui::kIdOk);
    }

    bool OnSysCommand(uint32_t command) override {
        if ((command & 0xFFF0) != IDM_ABOUTBOX) return false;
        CAboutDlg about;
        m_aboutResult = RunModal(about);
        return true;
    }

    intptr_t OnDeviceChange(uint32_t event, int32_t deviceType) override {
        m_events.push_back("device " + std::to_string(event) + " " + std::to_string(deviceType));
        return 1;
    }

    intptr_t OnMessage(uint32_t msg, uintptr_t wParam, intptr_t) override {
        if (msg == kMsgEnableIsp) {
            m_events.push_back("enable isp " + std::to_string(wParam));
            Enable(IDC_DO_ISP, wParam == 1);
        } else if (msg == kMsgProgress) {
            m_events.push_back("progress " + std::to_string(wParam));
            Host().SetPos(IDC_PROGRESS, static_cast<int>(wParam));
        }
        return 0;
    }

    void OnWorkerDone(int tag) override { m_events.push_back("done " + std::to_string(tag)); }

private:
    void SelectImage() {
        ui::FileRequest r;
        r.filter = "Binary File (*.bin)|*.bin|Rom File (*.rom)|*.rom|Sum File (*.sum)|*.sum||";
        ui::FileResult f = FileDialog(r);
        if (!f.ok) return;
        std::string ext = f.ext;
        for (auto& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        bool carriesConfig = ext == "sum" || ext == "rom";
        Enable(IDC_SELECT_EEP, !carriesConfig);
        Enable(IDC_SAVE_CHECKSUM, !carriesConfig);
        SetText(IDC_BIN_FILE, f.name);
        Enable(IDC_DO_ISP, true);
    }

    void SaveImage() {
        ui::FileRequest r;
        r.save = true;
        r.filter = "Sum File (*.sum)|*.sum||";
        r.defaultExt = "sum";
        r.fileName = "image.sum";
        ui::FileResult f = FileDialog(r);
        if (f.ok) ShowStatus(IDC_STATUS, "Saved " + f.path, kSuccess);
    }

    void DoIsp() {
        EnableControls(false, true);
        m_run.Reset();
        StartWorker(
            [this](ui::WorkerLink& link) {
                link.SetTimer(kUpdateTimer, 30);
                bool ok = true;
                for (int b = 1; b <= m_blocks; ++b) {
                    m_run.text.Set("Writing block " + std::to_string(b) + "...");
                    if (b == m_failAtBlock) {
                        m_run.text.Set("Write block " + std::to_string(b) + " failed!");
                        m_run.error.store(1);
                        ok = false;
                        break;
                    }
                    m_run.progress.store(static_cast<uint8_t>(b * 100 / m_blocks));
                    if (m_afterBlock) m_afterBlock(b);
                }
                std::string last = m_run.text.Get();
                m_run.Finish();
                link.KillTimer(kUpdateTimer);
                link.SetPos(IDC_PROGRESS, 100);
                if (ok) {
                    link.MessageBox("Firmware update successfully!\nPlease re-plug the updated hub.", "Quillon",
                                    ui::kMbIconInformation | ui::kMbSystemModal);
                    link.ShowStatus(IDC_STATUS, "ISP complete", kSuccess);
                } else {
                    link.ShowStatus(IDC_STATUS, last, kFailure);
                    link.MessageBox("ISP ERROR!", "Quillon", ui::kMbIconError | ui::kMbSystemModal);
                }
                link.Post([this] { EnableControls(true, true); });
            },
            kUpdateWorker);
    }

    void AskAndRead() {
        EnableControls(false, true);
        StartWorker(
            [this](ui::WorkerLink& link) {
                int answer = link.MessageBox("Read the firmware version of hub 1?", "Quillon",
                                             ui::kMbYesNo | ui::kMbIconWarning | ui::kMbSystemModal);
                if (answer == ui::kIdYes) {
                    link.SetText(IDC_HUB_VERSION, "0A12");
                } else {
                    link.EndDialog(ui::kIdAbort);
                    link.SetText(IDC_STATUS, "Closing...");
                }
                link.Post([this] { EnableControls(true, true); });
            },
            kAskWorker);
    }

    void SendMessages() {
        StartWorker(
            [](ui::WorkerLink& link) {
                link.PostMessage(kMsgProgress, 40, 0);
                link.PostMessage(kMsgEnableIsp, 1, 0);
            },
            kMessageWorker);
    }

    void Exit() {
        ShowStatus(IDC_STATUS, "Data processing before exit...", kSuccess);
        EnableControls(false, true);
        EndDialog(ui::kIdOk);
    }
};

}  // namespace demo
