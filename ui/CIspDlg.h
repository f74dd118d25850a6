// CIspDlg: the main single-hub dialog (template 102).  The same object, never
// shown and with its console flag set, is the console mode's update engine:
// its members and checks serve both, and in console mode nothing is shown and
// no control changes — the texts land in the message text for the console to
// print.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "hub/CHubIsp.h"
#include "power/SuspendSteps.h"
#include "settings/CIniFile.h"
#include "settings/CRegistry.h"
#include "ui/toolkit/dialog.h"

class CIspDlg : public ui::Dialog {
public:
    CIspDlg();
    ~CIspDlg() override;

    // The program folder (with its trailing separator) the dialog works in.
    void SetProgramFolder(const std::string& folder) { m_programFolder = folder; }

    // --- the console mode's engine ----------------------------------------------
    // Console flag: 1 while the object serves the console mode.
    void SetConsole(int console) { m_console = console; }
    // The console's own hub detection: INI, quiet session, OS check, hub
    // count, selective suspend and every hub's chip.  0 with the reason in
    // the message text.
    int ConsoleHubCount(unsigned* count);
    // Hub information of hub i (a session of its own).
    int ConsoleHubInfo(int hubIndex, HubRecord* record);
    // The firmware version stored in hub i (0xFFFF: mask ROM, none).
    int ConsoleFirmwareVersion(int hubIndex, uint16_t* version);
    // The console package check in the program folder.
    int FindUpdateFiles();
    // The hub whose type image and configuration loads are checked against:
    // hub 1 (index 0) in the dialog, the hub being prepared in the console.
    void SetMatchHub(int hubIndex) { m_matchHub = hubIndex; }
    // Forgets a loaded configuration (the console prepares each hub anew).
    void DropConfiguration() { m_eepLoaded = 0; }
    // The per-hub update of the console mode.
    int UpdateHub(int hubIndex);

    // --- shared by the dialog and the console ------------------------------------
    int LoadFirmwareFile(const std::string& path, const std::string& fileName);
    int LoadEepFile(const std::string& path, const std::string& displayName);
    void ShowImageVersion();
    // The exit restore of selective suspend (only when the restore switch is on).
    void RestoreSelectiveSuspend();

    std::string MessageText() const { return m_run.text.Get(); }
    CHubIsp& Isp() { return m_isp; }
    int HubType(int hubIndex) const { return static_cast<unsigned>(hubIndex) < kMaxHubs ? m_hubType[hubIndex] : -1; }
    unsigned HubCount() const { return m_hubCount; }
    int ImageClass() const { return m_imageClass; }
    bool ImageLoaded() const { return m_imageLoaded; }
    bool EepLoaded() const { return m_eepLoaded != 0; }
    const std::vector<uint8_t>& Image() const { return m_image; }

protected:
    bool OnInitDialog() override;
    void OnCommand(int id, int code) override;
    void OnTimer(int id) override;
    void OnOK() override;
    void OnCancel() override;
    void OnClose() override;
    intptr_t OnDeviceChange(uint32_t event, int32_t deviceType) override;
    bool OnSysCommand(uint32_t command) override;
    void OnWorkerDone(int tag) override;
    void OnDestroy() override;

private:
    // Texts of the operating system check (empty when the system passes).
    struct OsCheck {
        bool pass = true;
        std::string text;
        uint32_t style = 0;
        bool hint = false;  // the EHCI hint of XP SP3: shown, then go on
    };
    OsCheck CheckOs(bool console) const;
    // The filter driver must be there in version 3.0 or later; false after
    // the box that says why not.
    bool CheckDriverVersion();
    int SwitchSelectiveSuspendOff(ui::WorkerLink* link);
    // Every hub's chip, at most 8; the console stops at the first that
    // cannot be determined.
    int IdentifyHubs();
    // Every hub of the update against the image; 0 after the refusal is shown.
    int CheckImageAgainstHubs(ui::WorkerLink& link, unsigned hubs, int imageClass, int& configLength);
    bool MergeConfiguration(std::vector<uint8_t>& image, int configLength, bool checkFirstByte, std::string& error);

    void EnableControls(int enable, int all);
    // Switches off what the image state does not allow (after any enable).
    void ApplyImageRules();
    void SetStatus(const std::string& text);
    void Box(const std::string& text, uint32_t icon);
    void DetectionWorker(ui::WorkerLink& link);
    void UpdateWorker(ui::WorkerLink& link, std::vector<uint8_t> image, int imageClass);
    // Through the worker's link when a worker reads, else on the dialog's thread.
    void ReadXromVersion(ui::WorkerLink* link);
    void DumpXrom();
    void EraseXrom();
    void SaveWithChecksum();
    void SelectBin();
    void SelectEep();
    void OpenConfigurations();
    void OpenPhySetting();
    void ExitProcessing();
    void EnableLeftDisabledHubs();
    void Exit(int result = ui::kIdOk);
    // Puts the focus on id, or on Exit when id cannot take it.
    void FocusOn(int id);

    CHubIsp m_isp;
    CIniFile m_ini;
    std::unique_ptr<CRegistry> m_reg;
    ui::UpdateRun m_run;  // progress byte, error flag and the message text
    int m_console = 0;
    unsigned m_hubCount = 0;
    int m_hubType[kMaxHubs];
    int m_masked[kMaxHubs] = {};
    SuspendBookkeeping m_suspend;  // what the switch-off changed, for the restore
    int m_restoreBeforeExit = 0;

    std::string m_imagePath;
    std::vector<uint8_t> m_image;
    int m_imageClass = -1;
    uint8_t m_versionHigh = 0;
    uint8_t m_versionLow = 0;
    bool m_imageLoaded = false;        // loaded and accepted; a failed or refused load clears it
    bool m_imageCarriesConfig = false; // the image was chosen as a .sum or .rom
    int m_matchHub = 0;

    std::vector<uint8_t> m_config;
    int m_eepLoaded = 0;

    int m_infoLevel = 0;
    int m_mergeConfig = 0;
    bool m_mergeConfigRead = false;  // only a value read (or created) is written back
    int m_advanced = 0;
    bool m_exitAfterDetection = false;  // a fatal failure after the switch-off: leave through Exit
    std::string m_programFolder;
};
