// The one entry through which owners open the configurations editor: it
// picks the form the INI file asks for and runs it over the owner.
#include "ui/config_editor.h"

#include "settings/CIniFile.h"
#include "ui/CConfigDlg.h"
#include "ui/CConfigPage.h"

namespace ui {

namespace {
ConfigEditorFn& Override() {
    static ConfigEditorFn fn;
    return fn;
}

// The compact form serves an unknown hub unless "Advanced" is 1, or
// "Advanced" is 0 and "ConfigUI" names something.
bool UseCompactForm(int hubType) {
    if (hubType != -1) return false;
    CIniFile ini;
    std::string path;
    if (!ini.FindIniFile(path)) return true;
    ini.SetFileName(path);
    const long advanced = CIniFile::ToInt(ini.GetString("Advanced", "VX7100"));
    if (advanced == 1) return false;
    return advanced != 0 || ini.GetString("ConfigUI", "VX7100").empty();
}
}  // namespace

int RunConfigEditor(Dialog& owner, std::vector<uint8_t>& block, int eepLoaded, int hubIndex, int hubType,
                    bool maskRom) {
    if (Override()) return Override()(owner, block, eepLoaded, hubIndex, hubType, maskRom);
    if (UseCompactForm(hubType)) {
        CConfigPage page(block, eepLoaded, hubIndex, hubType, maskRom, true);
        owner.RunModal(page);
        return page.Saved();
    }
    CConfigDlg dlg(block, eepLoaded, hubIndex, hubType, maskRom);
    owner.RunModal(dlg);
    return dlg.Saved();
}

void SetConfigEditorForTests(ConfigEditorFn fn) { Override() = std::move(fn); }

}  // namespace ui
