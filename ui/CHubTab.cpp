// The tab of the multi-hub dialog: building one page per hub, the placeholder
// page, the per-hub selective suspend of new hubs, and the exit restore.
#include "ui/CHubTab.h"

#include "platform/ports.h"
#include "power/PowerPlan.h"
#include "power/SuspendSteps.h"
#include "settings/DebugLog.h"
#include "ui/CHubPage.h"
#include "ui/CMultiHubDlg.h"
#include "ui/win32/resource.h"

using multihub::Look;
using tessaro::Sys;

namespace {
constexpr uint32_t kErrorBox = ui::kMbSystemModal | ui::kMbIconError;
constexpr uint32_t kWarningBox = ui::kMbSystemModal | ui::kMbIconWarning;
}  // namespace

CHubTab::CHubTab(CMultiHubDlg& dlg) : m_dlg(dlg) {}

CHubTab::~CHubTab() = default;

CHubPage* CHubTab::Page(int index) const {
    return index >= 0 && index < PageCount() ? m_pages[static_cast<size_t>(index)].get() : nullptr;
}

void CHubTab::ReadEditorChoice() {
    CIniFile& ini = m_dlg.Ini();
    m_editorChoice = static_cast<int>(CIniFile::ToInt(ini.GetString("Advanced", "VX7100")));
    if (m_editorChoice == 0 && !ini.GetString("ConfigUI", "VX7100").empty()) m_editorChoice = 1;
}

CHubPage* CHubTab::AddPage(int hubIndex, int imageCheck, int tabIndex) {
    auto page = std::make_unique<CHubPage>(m_dlg, m_isp, hubIndex, imageCheck, m_editorChoice);
    if (!m_dlg.Host().CreatePage(*page)) return nullptr;
    m_dlg.Host().TabInsert(IDC_MH_TAB, tabIndex, Format("Hub %d", tabIndex + 1));
    ui::Rect area = m_dlg.Host().TabDisplayRect(IDC_MH_TAB);
    page->Host().MoveWindow(area);
    m_pages.push_back(std::move(page));
    return m_pages.back().get();
}

void CHubTab::Show(int index) {
    for (int i = 0; i < PageCount(); ++i) {
        CHubPage* p = Page(i);
        if (p->IsOpen()) p->Host().ShowWindow(i == index);
    }
}

void CHubTab::EnableAll(int enable, int mode) {
    for (auto& p : m_pages) {
        if (m_placeholder) {
            // Nothing of a hub to work on; the editor alone in the editor-choice case.
            p->EnableControls(0, m_editorChoice == 1 ? 3 : 1);
        } else {
            p->EnableControls(enable, mode);
        }
    }
}

void CHubTab::Placeholder() {
    DeletePages();
    ReadEditorChoice();
    CHubPage* p = AddPage(kPlaceholderIndex, 0, 0);
    m_placeholder = true;
    if (!p) return;
    EnableAll(0, 1);
    m_dlg.Host().TabSelect(IDC_MH_TAB, 0);
    Show(0);
}

void CHubTab::DeletePages() {
    if (m_dlg.IsOpen()) m_dlg.Host().TabDeleteAll(IDC_MH_TAB);
    // Retired pages whose loop has ended go now.
    for (auto it = m_retired.begin(); it != m_retired.end();) {
        if ((*it)->ModalDepth() == 0) {
            if ((*it)->IsOpen() && m_dlg.IsOpen()) m_dlg.Host().DestroyPage(**it);
            it = m_retired.erase(it);
        } else {
            ++it;
        }
    }
    for (auto& p : m_pages) {
        if (p->ModalDepth() > 0) {
            // Its box or editor is still open on this thread's stack: the
            // window goes once that loop has returned.
            if (p->IsOpen()) p->Host().ShowWindow(false);
            m_retired.push_back(std::move(p));
            continue;
        }
        if (p->IsOpen() && m_dlg.IsOpen()) m_dlg.Host().DestroyPage(*p);
    }
    m_pages.clear();
    m_placeholder = false;
    m_isp.CloseDevice();
}

void CHubTab::Fail(const std::string& text, bool box) {
    if (box) m_dlg.MessageBox(text, multihub::kQuillon, kErrorBox);
    m_dlg.Status(text, Look::Failure);
}

int CHubTab::CreateTabs(int imageCheck) {
    m_isp.CloseDevice();
    DeletePages();
    ReadEditorChoice();
    m_noHub.clear();
    if (!m_isp.OpenDevice()) {
        m_noHub = "Cannot find any SS hub!";
        Placeholder();
        m_dlg.Status("Cannot find any SS hub!", Look::Failure);
        return 0;
    }
    unsigned count = 0;
    if (!m_isp.GetHubNumber(&count)) {
        m_dlg.MessageBox("Get hub number ERROR!!", multihub::kQuillon, kErrorBox);
        Placeholder();
        m_dlg.Status("Get hub number ERROR!!", Look::Failure);
        return 0;
    }
    if (count == 0) {
        // No page 0 to reach: the placeholder stands in.
        m_noHub = "Cannot find any SS hub!";
        Placeholder();
        m_dlg.Status("Cannot find any SS hub!", Look::Failure);
        return 0;
    }
    if (count > static_cast<unsigned>(kMaxPages)) {
        for (unsigned i = kMaxPages; i < count; ++i)
            DebugLog("Hub %u is not shown: the dialog holds %d hubs at most.\n", i + 1, kMaxPages);
        count = kMaxPages;
    }
    for (unsigned i = 0; i < count; ++i) {
        DebugLog("Creating Hub %u...\n", i + 1);
        if (!AddPage(static_cast<int>(i), imageCheck, static_cast<int>(i))) return 0;
    }
    m_dlg.Host().TabSelect(IDC_MH_TAB, 0);
    Show(0);

    std::vector<std::string> ids[kMaxHubs];
    for (unsigned i = 0; i < count; ++i) {
        if (!m_isp.GetHubRegistryPaths(static_cast<int>(i), &ids[i])) {
            Fail(kInstanceIdFailed, true);
            return 0;
        }
    }
    // Only a hub that was not here at the last build has its selective
    // suspend switched off; a slot that went empty forgets its hub.
    bool perHub = CurrentSuspendMethod() == SuspendMethod::PerDevice;
    for (int slot = kMaxHubs - 1; slot >= 0; --slot) {
        std::vector<std::string>& now = ids[slot];
        std::vector<std::string>& known = m_ids[slot];
        if (now.empty()) {
            known.clear();
            continue;
        }
        if (!known.empty() && known.front() == now.front()) continue;
        known = now;
        if (!perHub) continue;
        m_dlg.Status(Format("Turn off SS on HUB %d...", slot + 1), Look::Success);
        if (!m_isp.SetSelectiveSuspend(slot, &known, 0)) {
            Fail(kDeactivateFailed, true);
            return 0;
        }
        ++m_switchOffs;
        Sys().clock->Sleep(300);
    }
    Sys().clock->Sleep(500);
    for (int i = 0; i < PageCount(); ++i) {
        CHubPage* page = Page(i);
        page->SetHubType(m_isp.GetChipType(i, 1));
        if (m_isp.IsMaskRom(i) == 1 && m_isp.PairingMode()) {
            m_dlg.MessageBox("Hub is running on Mask ROM mode,\n\nplease alternate INI setting or contact VX for the support.",
                             multihub::kQuillon, kWarningBox);
            m_dlg.Status(Format("Incorrect INI setting! Please make sure the configurations and values are set "
                                "appropriately. (hub %d)", i + 1),
                         Look::Failure);
            page->Block();
            page->EnableControls(0, 1);
        }
    }
    return 1;
}

void CHubTab::ExitProcessing(bool restore) {
    bool perHub = CurrentSuspendMethod() == SuspendMethod::PerDevice;
    DeletePages();
    if (restore && perHub) {
        // Every slot that still holds its hub's list gets its setting back.
        for (int slot = 0; slot < kMaxHubs; ++slot) {
            if (m_ids[slot].empty()) continue;
            if (!m_isp.SetSelectiveSuspend(slot, &m_ids[slot], 1))
                m_dlg.MessageBox(kActivateFailed, multihub::kQuillon, kErrorBox);
        }
    }
    // Retired pages go with the dialog.
    for (auto& p : m_retired)
        if (p->IsOpen() && m_dlg.IsOpen()) m_dlg.Host().DestroyPage(*p);
    m_retired.clear();
}
