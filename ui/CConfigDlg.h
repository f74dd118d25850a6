// CConfigDlg: the configurations editor (template 103).  It shows a hub's
// configuration block field by field, reads it from the hub, loads and saves
// it as a file, and hands the edited block back to the dialog that opened it.
// CConfigPage (template 104) is its compact form: the same class with the
// form's own rules switched on.
//
// The sources are split by flow:
//   CConfigDlg.cpp         start-up, keyword gating, the compact layout, the
//                          buttons that end the dialog
//   CConfigDlg_fields.cpp  the field table, and the glue between the controls
//                          and the configuration block model
//   CConfigDlg_load.cpp    the deferred hub read, Load EEP From XRom, loading
//                          and saving files
//   CConfigDlg_checks.cpp  ValidateConfig, the live checks of the edit fields
//                          and the interlocks between controls
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "files/ConfigBlock.h"
#include "hub/CHubIsp.h"
#include "ui/toolkit/dialog.h"

// Which "ConfigUI" keyword shows a control (see ApplyConfigUi).
enum class ConfigGate : uint8_t {
    None,         // always shown (buttons, the separator)
    HubId,        // "hubid" or "basicfunc"
    HubPower,     // "hubpower" or "basicfunc"
    HubString,    // "hubstring" or "basicfunc"
    OthersBasic,  // "others" or "basicfunc"
    OthersOnly,   // "others"
    PortNum,      // "portnum" or "basicfunc"
    Charging,     // "charging" or "basicfunc"
    Tx,           // "tx" or "basicfunc"
    Led,          // "led" or "basicfunc"
    SmartPower,   // "smartpower" or "basicfunc"
    Special,      // "special"
    Strapping,    // "strapping"
    Port2280,     // "2280port"
};

enum class ConfigFieldKind : uint8_t { Group, Label, Check, Radio, List, Edit, Button };

// One row of the editor's field table: a control, the keywords that show
// it, and for a check box the block bit it stands for and the model field
// that carries it.  Decoding, encoding, enabling and gating all walk this
// one table.
struct ConfigField {
    int id;
    ConfigFieldKind kind;
    ConfigGate gate;
    ConfigGate gate2;  // a second keyword the control also needs (None: none)
    int offset;        // block offset of a check box's bit (-1: none)
    uint8_t mask;      // the bit at that offset
    bool* (*flag)(HubConfig&);  // a check box's model field; null for the others
};
const std::vector<ConfigField>& ConfigFields();

// True when the lower-cased "ConfigUI" value shows controls of that gate.
bool ConfigGateOpen(ConfigGate gate, const std::string& lowerConfigUi);

class CConfigDlg : public ui::Dialog {
public:
    // block: the owner's buffer; it receives the edited block on "Save &&
    // Exit" (and takes the block's size then) and is never touched otherwise.
    CConfigDlg(std::vector<uint8_t>& block, int eepLoaded, int hubIndex, int hubType, bool maskRom);
    ~CConfigDlg() override;

    // 1 after "Save && Exit".
    int Saved() const { return m_saved; }
    // The hub type the editor works for now (a loaded file may have decided it).
    int HubType() const { return m_hubType; }
    // The block size of that type; 0 for a type without a block.
    int BlockSize() const;

protected:
    // The compact form (template 104).
    struct PageForm {};
    CConfigDlg(PageForm, std::vector<uint8_t>& block, int eepLoaded, int hubIndex, int hubType, bool maskRom,
               bool showButtons);

    bool OnInitDialog() override;
    void OnCommand(int id, int code) override;
    void OnTimer(int id) override;
    void OnOK() override;
    void OnCancel() override;
    void OnClose() override;
    void OnDestroy() override;

private:
    // --- start-up and gating (CConfigDlg.cpp) ---------------------------------
    void PrepareControls();
    void ApplyIniGating();
    // Hides what the keywords do not name; false when none is named.
    bool ApplyConfigUi(const std::string& lower);
    void CompactLayout();
    void SaveAndExit();
    void Exit();

    // --- fields (CConfigDlg_fields.cpp) -----------------------------------------
    ConfigFormat Format() const;
    bool Has(int id) const;
    void On(int id, bool enable);           // enables id when the form has it
    void Tick(int id, bool checked);        // checks id when the form has it
    bool Ticked(int id) const;
    void EnableConfigControls(int mode);
    // Shows a block; raises no live-check box.
    void DecodeBlock(const uint8_t* block, int size);
    void ShowConfig(const HubConfig& c);
    // The controls' state; false (after the box) when ValidateConfig refuses.
    bool GatherConfig(HubConfig& c);
    void SetEditText(int id, const std::string& text);  // also the last accepted text

    // --- hub and files (CConfigDlg_load.cpp) ---------------------------------------
    void ReadHubAfterStart();
    bool ReadHubBlock(std::vector<uint8_t>& block);
    void LoadFromXrom();
    void LoadFromFile();
    void LoadPageFile();
    void SaveToFile();
    ui::FileRequest FileRequestForType(bool save) const;

    // --- checks and interlocks (CConfigDlg_checks.cpp) -------------------------------
    bool ValidateConfig(HubConfig& c);
    void LiveCheck(int id);
    void PowerGoodLostFocus();
    void OnClicked(int id);
    void OnListChanged(int id);
    void UpdatePortControls();
    void UpdateFastCharging();
    void UpdateSmartPowerAfterDecode();
    void ApplyBreathingEntry(int entry);
    void EnableSeparatedLedPeers(bool enable);
    int RadioCount(int first) const;
    void SelectRadio(int first, int count);
    std::string& LastText(int id);

    std::vector<uint8_t>& m_block;
    int m_eepLoaded;
    int m_hubIndex;
    int m_hubType;
    bool m_maskRom;
    const bool m_page;
    const bool m_showButtons;
    bool m_unknownType = false;
    int m_saved = 0;
    CHubIsp m_isp;

    // The last accepted texts of VID, HS PID, SS PID, vendor, HS product, SS
    // product and serial; and the power-good time last decoded.
    std::string m_last[7];
    std::string m_lastPowerGood;
    // Set while a live check's box is up or its text is put back, so the
    // focus and text changes these cause raise no second box.
    bool m_checking = false;
};
