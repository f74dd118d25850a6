// The in-memory backend: the modal loop under a box, a file dialog or a
// modal child.  Win32 keeps dispatching the owner's timers, device changes
// and posted messages while such a window is open; here the test says what
// happens meanwhile (DuringModal) and how long the window stays open
// (SetModalTime), and the posted work runs before the answer.
#include "ui/toolkit/memory_internal.h"

namespace ui {

using namespace memory_detail;

void MemoryDialog::RunModalLoop() {
    if (!m_duringModal.empty()) {
        auto fn = std::move(m_duringModal.front());
        m_duringModal.pop_front();
        fn();
    }
    if (m_modalMs && Alive()) Advance(m_modalMs);
    if (Alive()) Pump();
}

}  // namespace ui
