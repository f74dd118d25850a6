// CHubTab: the multi-hub dialog's tab control and what hangs on it — the
// session shared by every page, at most 8 hub pages (or the placeholder page
// when there is no hub), and per hub slot the instance IDs of the hub found
// at the last build, so that a rebuild tells new hubs from known ones.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "hub/CHubIsp.h"

class CHubPage;
class CMultiHubDlg;

class CHubTab {
public:
    static constexpr int kMaxPages = 8;
    static constexpr int kPlaceholderIndex = 99;

    explicit CHubTab(CMultiHubDlg& dlg);
    ~CHubTab();
    CHubTab(const CHubTab&) = delete;
    CHubTab& operator=(const CHubTab&) = delete;

    // Builds one page per attached hub (at most 8).  1 when every hub got
    // its page, its selective suspend handled and its type determined.
    int CreateTabs(int imageCheck);
    // One tab "Hub 1" with a page of no hub, all controls disabled but
    // Configurations in the editor-choice case.
    void Placeholder();
    // Deletes every tab item and page and closes the session.  A page whose
    // own modal loop is still running is only hidden; it goes when that
    // loop has ended (at the next deletion or the end of the dialog).
    void DeletePages();
    // The exit processing: pages go, and with restore set the hubs whose
    // selective suspend this dialog switched off get it back.
    void ExitProcessing(bool restore);

    int PageCount() const { return static_cast<int>(m_pages.size()); }
    CHubPage* Page(int index) const;
    bool IsPlaceholder() const { return m_placeholder; }
    void Show(int index);  // shows this page, hides the others
    void EnableAll(int enable, int mode);
    // The editor-choice value: "Advanced", replaced by 1 when it is 0 and
    // "ConfigUI" is not empty.
    int EditorChoice() const { return m_editorChoice; }
    CHubIsp& Isp() { return m_isp; }
    const std::vector<std::string>& SlotIds(int slot) const { return m_ids[slot]; }
    // Switch-offs of a single hub's selective suspend made by builds.
    int SwitchOffs() const { return m_switchOffs; }
    // "Cannot find any SS hub!" after a build that found no hub, else empty.
    const std::string& NoHubText() const { return m_noHub; }

private:
    CHubPage* AddPage(int hubIndex, int imageCheck, int tabIndex);
    void ReadEditorChoice();
    void Fail(const std::string& text, bool box);

    CMultiHubDlg& m_dlg;
    CHubIsp m_isp;
    std::vector<std::unique_ptr<CHubPage>> m_pages;
    std::vector<std::unique_ptr<CHubPage>> m_retired;  // pages waiting for their modal loop to end
    std::vector<std::string> m_ids[kMaxHubs];
    int m_editorChoice = 0;
    bool m_placeholder = false;
    int m_switchOffs = 0;
    std::string m_noHub;
};
