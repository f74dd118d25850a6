// The in-memory backend: progress bars.
#include "ui/toolkit/memory_internal.h"

namespace ui {

using namespace memory_detail;

bool MemoryDialog::SetRange(int id, int low, int high) {
    MemoryControl* c = Ctl(id, "SetRange");
    if (!c || c->tmpl.kind != ControlKind::Progress) return false;
    c->low = low;
    c->high = high;
    c->pos = std::min(std::max(c->pos, low), high);
    return true;
}

bool MemoryDialog::SetPos(int id, int pos) {
    MemoryControl* c = Ctl(id, "SetPos");
    if (!c || c->tmpl.kind != ControlKind::Progress) return false;
    c->pos = std::min(std::max(pos, c->low), c->high);
    return true;
}

bool MemoryDialog::SetStep(int id, int step) {
    MemoryControl* c = Ctl(id, "SetStep");
    if (!c || c->tmpl.kind != ControlKind::Progress) return false;
    c->step = step;
    return true;
}

bool MemoryDialog::StepIt(int id) {
    MemoryControl* c = Ctl(id, "StepIt");
    if (!c || c->tmpl.kind != ControlKind::Progress) return false;
    c->pos += c->step;
    if (c->pos > c->high) c->pos = c->low + (c->pos - c->high);  // starts over, as PBM_STEPIT
    return true;
}

int MemoryDialog::Pos(int id) const {
    const MemoryControl* c = Ctl(id, "Pos");
    return c ? c->pos : 0;
}

}  // namespace ui
