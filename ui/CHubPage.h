// CHubPage: one hub's page of the multi-hub dialog (template 134), a child
// dialog with ids of its own placed over the tab's display area.  It holds
// the hub's image, configuration and type, runs the store tools on its hub,
// and updates its hub when the dialog's Do ISP worker asks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "files/UiReport.h"
#include "hub/CHubIsp.h"
#include "ui/toolkit/dialog.h"

class CMultiHubDlg;

class CHubPage : public ui::Dialog {
public:
    CHubPage(CMultiHubDlg& dlg, CHubIsp& isp, int hubIndex, int imageCheck, int editorChoice);
    ~CHubPage() override;

    int HubIndex() const { return m_hubIndex; }
    int HubType() const { return m_hubType; }
    void SetHubType(int type);
    // Select Bin/Rom/Sum, Select Eep and the tool controls take `enable`;
    // Save with Checksum goes off.  Mode 2 then leaves only the file
    // selection, mode 3 enables Configurations.  A blocked page (a hub on
    // mask ROM that the INI does not allow) stays disabled.
    void EnableControls(int enable, int mode);
    void Block() { m_blocked = true; }
    bool Blocked() const { return m_blocked; }

    int LoadFirmwareFile(const std::string& path, const std::string& fileName);
    int LoadEepFile(const std::string& path, const std::string& fileName);
    void ShowImageVersion();
    // Forgets a loaded configuration (the same-settings run without one).
    void DropConfiguration();
    // Reads the firmware version stored in the hub; false after the failure
    // status.
    bool ReadXromVersion();

    // The per-hub update, on the update worker.  1 done or skipped (skipped
    // is set then), 0 failed with the reason in the run's message text.
    int UpdateHub(ui::WorkerLink& link, bool* skipped);

    bool ImageLoaded() const { return m_imageLoaded; }
    bool EepLoaded() const { return m_eepLoaded != 0; }
    int ImageClass() const { return m_imageClass; }
    const std::string& ImagePath() const { return m_imagePath; }
    const std::string& ImageName() const { return m_imageName; }
    const std::string& EepPath() const { return m_eepPath; }
    const std::string& EepName() const { return m_eepName; }
    const std::vector<uint8_t>& Image() const { return m_image; }
    bool Masked() const { return m_masked != 0; }

protected:
    bool OnInitDialog() override;
    void OnCommand(int id, int code) override;
    // Enter and Esc never end or hide a page.
    void OnOK() override {}
    void OnCancel() override {}

private:
    void SelectBin();
    void SelectEep();
    void OpenConfigurations();
    void Dump();
    void Erase();
    void SaveWithChecksum();
    void Report(const UiReport& r);
    void TellDoIsp(bool on);

    CMultiHubDlg& m_dlg;
    CHubIsp& m_isp;
    int m_hubIndex;
    int m_imageCheck;
    int m_editorChoice;
    int m_hubType = CHIP_ID_UNKNOWN;
    bool m_blocked = false;

    std::string m_imagePath;
    std::string m_imageName;
    std::vector<uint8_t> m_image;
    int m_imageClass = -1;
    uint8_t m_versionHigh = 0xFF;
    uint8_t m_versionLow = 0xFF;
    bool m_imageLoaded = false;
    bool m_imageCarriesConfig = false;

    std::vector<uint8_t> m_config;
    int m_eepLoaded = 0;
    std::string m_eepPath;
    std::string m_eepName;
    int m_masked = 0;
};
