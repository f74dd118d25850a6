// CUpdateDlg: the update-only dialog for end users (template 139).  One
// button updates hub 1 with the firmware files beside the program, installing
// the filter driver first when it is missing and removing it afterwards.
//
// Its flows live in CUpdateDlg_*.cpp: the start-up and the file search
// (CUpdateDlg_files.cpp), the driver setup workers (CUpdateDlg_driver.cpp)
// and the update run with the version read (CUpdateDlg_run.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hub/CHubIsp.h"
#include "power/DriverSetup.h"
#include "power/SuspendSteps.h"
#include "settings/CIniFile.h"
#include "ui/toolkit/dialog.h"

class CUpdateDlg : public ui::Dialog {
public:
    CUpdateDlg();
    ~CUpdateDlg() override;

    // The program folder (with its trailing separator) the dialog works in.
    void SetProgramFolder(const std::string& folder) { m_programFolder = folder; }

    // The private message that starts the update worker.
    static constexpr uint32_t kStartUpdateMessage = 0x468;  // WM_USER + 104
    // Worker tags.
    static constexpr int kSetupWorker = 1;
    static constexpr int kUpdateWorker = 2;
    static constexpr int kUninstallWorker = 3;

    // What tests read back.
    int Mode() const { return m_mode; }
    int HubType(int hubIndex) const { return static_cast<unsigned>(hubIndex) < kMaxHubs ? m_hubType[hubIndex] : -1; }
    int ImageClass() const { return m_imageClass; }
    const std::vector<uint8_t>& Image() const { return m_image; }
    const std::vector<uint8_t>& Block() const { return m_block; }
    bool EepPresent() const { return m_eepPresent; }
    int Result() const { return m_result; }
    bool UpdateDone() const { return m_updateDone; }
    bool EndingForRestart() const { return m_restartEnding; }

protected:
    bool OnInitDialog() override;
    // Enter ends nothing: the close box is the one way out.
    void OnOK() override {}
    void OnCommand(int id, int code) override;
    void OnTimer(int id) override;
    intptr_t OnMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam) override;
    void OnWorkerDone(int tag) override;
    void OnDestroy() override;

private:
    // Where texts and boxes go: through the worker's link on a worker, to the
    // window directly on the dialog's thread.
    struct Out {
        CUpdateDlg& dlg;
        ui::WorkerLink* link;
        void Text(int id, const std::string& text);
        void Status(const std::string& text);
        int Box(const std::string& text, const std::string& caption, uint32_t style);
        void Enable(int id, bool enable);
        void Pos(int pos);
    };
    class Sink;  // what the driver operations may do to the dialog

    // Start-up.
    // The Windows versions the tool runs on; false after the box that says why not.
    bool CheckOs(const tessaro::OsVersionInfoEx& info);
    bool LocateUpdateFiles(Out out);
    bool ReadEep(Out out, const std::string& path, const std::string& name);

    // Buttons and workers.
    void UpdateClicked();
    void UninstallClicked();
    void StartSetup(int direction, unsigned timerMs, int tag, bool queue);
    void SetupWorker(ui::WorkerLink& link, int direction);
    void RunUpdate(ui::WorkerLink& link);
    int UpdateSteps(Out out);
    int MatchAndMerge(Out out, std::vector<uint8_t>& run);
    void ReadHubVersion(Out out);
    // The buttons and the close box, on or off together.
    void EnableActions(bool enable);

    CHubIsp m_isp;
    CIniFile m_ini;
    int m_mode = 0;
    bool m_folderMode = false;
    int m_hubType[kMaxHubs];
    int m_imageClass = -1;
    std::vector<uint8_t> m_image;
    std::vector<uint8_t> m_block;  // the .eep content, kept for every retry
    int m_eepLength = 0;           // bytes the .eep file had
    bool m_eepPresent = false;
    uint8_t m_versionHigh = 0xFF;
    uint8_t m_versionLow = 0xFF;

    int m_autoUninstall = 0;
    int m_direction = kSetupInstall;
    std::string m_installedVersion;
    std::string m_setupFile;
    int m_driverReady = 0;
    SuspendBookkeeping m_suspend;
    bool m_updateDone = false;
    int m_result = 0;
    bool m_restartEnding = false;
    ui::UpdateRun m_run;
    std::string m_programFolder;
};
