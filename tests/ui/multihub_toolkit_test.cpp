// The toolkit under the multi-hub dialog: pages that never end or hide
// themselves, a page's end held by its dialog's running worker, and the
// modal loop under a box that runs the dialog's timers and posted work.
#include <gtest/gtest.h>

#include "ui/toolkit/memory.h"
#include "ui/win32/resource.h"

namespace {

class Host : public ui::Dialog {
public:
    Host() : Dialog(IDD_MULTIHUB_DIALOG) {}
    std::vector<int> timers;
    int boxAnswer = 0;

protected:
    void OnTimer(int id) override { timers.push_back(id); }
};

// A page with no handlers of its own: the toolkit's defaults.
class Page : public ui::Dialog {
public:
    Page() : Dialog(IDD_HUB_PAGE) {}
};

TEST(MultiHubToolkit, PagesNeverEndOrHideThemselvesAndEndThroughTheirDialogsGuard) {
    Host dlg;
    ui::MemoryDialog m(dlg);
    ASSERT_TRUE(m.Open());
    Page page;
    ASSERT_NE(m.CreatePage(page), nullptr);
    ui::MemoryDialog& p = *m.PageOf(page);
    p.ShowWindow(true);
    // Its own ids: the page's 1119 is a button, the dialog's a static.
    EXPECT_EQ(p.Kind(IDC_PG_SAVE_CHECKSUM), ui::ControlKind::Button);
    EXPECT_EQ(m.Kind(IDC_MH_STATUS), ui::ControlKind::Static);
    p.PressEsc();
    p.PressEnter();
    EXPECT_TRUE(p.IsWindowVisible());
    EXPECT_TRUE(m.Alive());

    // A running worker holds the end a page asks for until it is done.
    ASSERT_TRUE(dlg.StartWorker([](ui::WorkerLink& link) { link.Redraw(); }));
    page.EndDialog(ui::kIdOk);
    m.Pump();
    EXPECT_TRUE(m.Alive());
    m.Settle();
    EXPECT_TRUE(m.Ended());
    EXPECT_EQ(m.Result(), ui::kIdOk);
}

TEST(MultiHubToolkit, ABoxRunsTheDialogsTimersAndPostedWorkUnderIt) {
    Host dlg;
    ui::MemoryDialog m(dlg);
    ASSERT_TRUE(m.Open());
    m.SetTimer(1, 1000);
    bool posted = false;
    int depthDuring = -1;
    m.DuringModal([&] {
        depthDuring = dlg.ModalDepth();
        m.Post([&] { posted = true; });
    });
    m.SetModalTime(2500);
    dlg.MessageBox("held open", "Quillon", ui::kMbOk);
    EXPECT_EQ(depthDuring, 1);
    EXPECT_EQ(dlg.ModalDepth(), 0);
    EXPECT_TRUE(posted);
    EXPECT_EQ(dlg.timers, (std::vector<int>{1, 1}));
    EXPECT_EQ(m.Now(), 2500u);
    // Time never goes back behind a nested advance.
    m.Advance(100);
    EXPECT_EQ(m.Now(), 2600u);
}

}  // namespace
