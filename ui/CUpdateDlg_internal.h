// What the update-only dialog's sources share: captions, box styles, timers,
// and the sink through which the driver operations reach the dialog.
#pragma once

#include <cstdint>

#include "power/DriverSetup.h"
#include "ui/CUpdateDlg.h"
#include "ui/toolkit/uiconst.h"
#include "ui/update_ids.h"

namespace updatedlg {

inline constexpr const char* kCaption = "USB3.0 Hub Update Tool";
inline constexpr const char* kQuillon = "Quillon";
inline constexpr uint32_t kErrorBox = ui::kMbSystemModal | ui::kMbIconError;
inline constexpr uint32_t kInfoBox = ui::kMbSystemModal | ui::kMbIconInformation;
inline constexpr int kTimerProgress = 2;  // 30 ms around UpdateFirmware
inline constexpr int kTimerSetup = 3;     // the setup's running progress
inline constexpr int kBlockBuffer = 512;

}  // namespace updatedlg

// The driver operations' view of the dialog: through the worker's link on a
// worker, directly on the dialog's thread.
class CUpdateDlg::Sink : public IUpdateDialogSink {
public:
    Sink(CUpdateDlg& dlg, ui::WorkerLink* link) : m_out{dlg, link} {}
    void SetStatus(const std::string& text) override { m_out.Status(text); }
    int ShowBox(const std::string& text, const std::string& caption, uint32_t style) override {
        return m_out.Box(text, caption, style);
    }
    void StopProgressTimer() override {
        if (m_out.link) {
            m_out.link->KillTimer(updatedlg::kTimerSetup);
        } else {
            m_out.dlg.KillTimer(updatedlg::kTimerSetup);
        }
    }
    void SetProgress(int position) override { m_out.Pos(position); }
    void PostStartUpdate() override {
        if (m_out.link) {
            m_out.link->PostMessage(CUpdateDlg::kStartUpdateMessage, 0, 0);
        } else if (m_out.dlg.IsOpen()) {
            m_out.dlg.Host().PostMessage(CUpdateDlg::kStartUpdateMessage, 0, 0);
        }
    }
    void MarkRestartEnding() override {
        CUpdateDlg* d = &m_out.dlg;
        if (m_out.link) {
            m_out.link->Post([d] { d->m_restartEnding = true; });
        } else {
            d->m_restartEnding = true;
        }
    }
    void Close() override {
        closed = true;
        if (m_out.link) {
            m_out.link->EndDialog(ui::kIdCancel);
        } else {
            m_out.dlg.EndDialog(ui::kIdCancel);
        }
    }
    void SetFirmwareVersionField(const std::string& text) override { m_out.Text(IDC_UPD_FW_VERSION, text); }

    bool closed = false;  // the operation closed the dialog

private:
    CUpdateDlg::Out m_out;
};
