// CConfigPage: the compact form of the configurations editor (template 104).
// It shows identity, power, strings, ports, charging, TX swap, LED and smart
// power, without keyword gating; it stores the two smart-power selections the
// other way round, drives the bus-power bit with a box of its own, leaves the
// fields it does not carry at 0 and loads only 512-byte files.  Its buttons
// are created hidden: the window that hosts the form decides which it shows
// (the editor entry shows all five).
#pragma once

#include "ui/CConfigDlg.h"

class CConfigPage : public CConfigDlg {
public:
    CConfigPage(std::vector<uint8_t>& block, int eepLoaded, int hubIndex, int hubType, bool maskRom,
                bool showButtons = false)
        : CConfigDlg(PageForm{}, block, eepLoaded, hubIndex, hubType, maskRom, showButtons) {}
};
