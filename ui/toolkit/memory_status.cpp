// The in-memory backend: status text controls.
#include "ui/toolkit/memory_internal.h"

namespace ui {

using namespace memory_detail;

// ---------------------------------------------------------------------------
// Status text controls.
bool MemoryDialog::AttachStatusText(int id) {
    MemoryControl* c = Ctl(id, "AttachStatusText");
    if (!c || c->tmpl.kind != ControlKind::Static) return false;
    c->isStatus = true;
    c->status = StatusTextModel(kMemoryButtonText, kMemoryButtonFace);
    c->status.Attach(DialogFont());
    Paint(*c);
    return true;
}

bool MemoryDialog::StatusSetTextColor(int id, uint32_t colour, bool redraw) {
    MemoryControl* c = Ctl(id, "StatusSetTextColor");
    if (!c || !c->isStatus) return false;
    c->status.SetTextColor(colour);
    c->statusRedraws += redraw ? 1 : 0;
    if (redraw) Paint(*c);
    return true;
}

bool MemoryDialog::StatusSetBkColor(int id, uint32_t colour, bool redraw) {
    MemoryControl* c = Ctl(id, "StatusSetBkColor");
    if (!c || !c->isStatus) return false;
    c->status.SetBkColor(colour);
    c->statusRedraws += redraw ? 1 : 0;
    if (redraw) Paint(*c);
    return true;
}

bool MemoryDialog::StatusSetBold(int id, bool bold, bool redraw) {
    MemoryControl* c = Ctl(id, "StatusSetBold");
    if (!c || !c->isStatus) return false;
    c->status.SetBold(bold, DialogFont());
    c->statusRedraws += redraw ? 1 : 0;
    if (redraw) Paint(*c);
    return true;
}

bool MemoryDialog::StatusSetFont(int id, const std::string& face, int points, bool redraw) {
    MemoryControl* c = Ctl(id, "StatusSetFont");
    if (!c || !c->isStatus) return false;
    c->status.SetFont(face, points, 96, DialogFont());
    c->statusRedraws += redraw ? 1 : 0;
    if (redraw) Paint(*c);
    return true;
}

bool MemoryDialog::StatusState(int id, StatusTextModel& out) const {
    const MemoryControl* c = Ctl(id, "StatusState");
    if (!c || !c->isStatus) return false;
    out = c->status;
    return true;
}

}  // namespace ui
