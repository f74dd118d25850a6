// CPhyDlg: the PHY settings dialog (template 140), the application's main
// window when PhyAccess is 1.  Two pages of hexadecimal register fields, the
// USB2 PHY (wValue 0x0101) and the USB3 PHY (per port, plus three registers
// of wValue 0x0201), read and written on hub 0 with a session per operation.
#pragma once

#include <cstdint>
#include <string>

#include "hub/CHubIsp.h"
#include "ui/toolkit/dialog.h"

class CPhyDlg : public ui::Dialog {
public:
    static constexpr int kFields = 13;
    struct Field {
        const char* usb2Label;  // null: hidden on the USB2 page
        uint16_t usb2Index;
        const char* usb3Label;
        uint16_t usb3Value;
        uint16_t usb3Index;
    };
    // The thirteen fields in table (and request) order.
    static const Field kTable[kFields];

    CPhyDlg();
    ~CPhyDlg() override;

    // The program folder (with its trailing separator) pwrsusp is started from.
    void SetProgramFolder(const std::string& folder) { m_programFolder = folder; }

    // Reads every register of the page into its field; 1 success, 0 failure.
    int ReadPhyRegisters();
    // Writes the fields the user modified since the last read; selector 0
    // writes them all in table order, n (1-13) only field n.  1 when every
    // field was written.
    int WritePhyRegisters(int selector = 0);

    bool Usb3() const { return m_usb3; }

protected:
    bool OnInitDialog() override;
    void OnCommand(int id, int code) override;
    void OnOK() override {}  // Enter does not close the window
    intptr_t OnDeviceChange(uint32_t event, int32_t deviceType) override;
    void OnDestroy() override;

private:
    void SwitchPage(bool usb3);
    void EnableControls(bool enable);
    void ShowPageFields();
    void FillZero();
    void ClearModified();
    // OpenDevice and SetHubIndex(0); false with the status set (and the
    // session closed).
    bool Prepare();
    // One request with its single retry after 20 ms.
    bool Transfer(bool write, uint16_t wValue, uint16_t wIndex, uint8_t& value);
    // Whether a hub of the family is attached, after a device change.
    int HubPresent(bool& failed);

    CHubIsp m_isp;
    std::string m_programFolder;
    bool m_usb3 = false;
};

// "5" and "7f" are values; empty, longer than two characters, or any other
// character than a hexadecimal digit is not.
bool ParsePhyHex(const std::string& text, uint8_t& value);
