// The configurations editor as its owners open it: the main dialog and every
// hub page of the multi-hub dialog go through this one entry, so an owner
// never depends on the editor's own class.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace ui {

class Dialog;

// Runs the configurations editor modally over owner.
//   block      the owner's block buffer; it receives the edited block on
//              "Save && Exit" and is left untouched otherwise
//   eepLoaded  non-zero when the owner already holds a block: the editor
//              starts from it instead of reading the hub
//   hubIndex   the hub the editor reads from
//   hubType    the hub's type, -1 when unknown
//   maskRom    the hub runs from mask ROM: the editor does not read it
// Returns the editor's saved flag: 1 after "Save && Exit", 0 otherwise.
int RunConfigEditor(Dialog& owner, std::vector<uint8_t>& block, int eepLoaded, int hubIndex, int hubType,
                    bool maskRom);

// Tests put a stand-in in the editor's place; an empty function restores
// the editor.
using ConfigEditorFn = std::function<int(Dialog& owner, std::vector<uint8_t>& block, int eepLoaded, int hubIndex,
                                         int hubType, bool maskRom)>;
void SetConfigEditorForTests(ConfigEditorFn fn);

}  // namespace ui
