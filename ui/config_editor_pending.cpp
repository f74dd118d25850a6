// The configurations editor's entry while this build has no editor: it says
// so and leaves the block alone.  Tests play the editor through the override.
#include "ui/config_editor.h"

#include "ui/toolkit/dialog.h"

namespace ui {

namespace {
ConfigEditorFn& Override() {
    static ConfigEditorFn fn;
    return fn;
}
}  // namespace

int RunConfigEditor(Dialog& owner, std::vector<uint8_t>& block, int eepLoaded, int hubIndex, int hubType,
                    bool maskRom) {
    if (Override()) return Override()(owner, block, eepLoaded, hubIndex, hubType, maskRom);
    owner.MessageBox("The configurations editor is not available in this build of the tool yet.", "Quillon",
                     kMbSystemModal | kMbIconInformation);
    return 0;
}

void SetConfigEditorForTests(ConfigEditorFn fn) { Override() = std::move(fn); }

}  // namespace ui
