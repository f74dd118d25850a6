// The resource script as both backends see it: the templates of the main
// dialog and the About box, and the reader that turns a script into templates.
#include <gtest/gtest.h>

#include "ui/toolkit/templates.h"
#include "ui/win32/resource.h"

namespace {

using ui::ControlKind;

TEST(CompiledTemplates, ReadCleanlyWithTheHeaderIds) {
    EXPECT_EQ(ui::TemplateError(), "");
    EXPECT_EQ(ui::ResourceId("IDD_ISP_DIALOG"), 102);
    EXPECT_EQ(ui::ResourceId("IDD_ABOUTBOX"), 100);
    EXPECT_EQ(ui::ResourceId("IDR_MAINFRAME"), 128);
    EXPECT_EQ(ui::ResourceId("NO_SUCH_ID"), -1);
}

TEST(CompiledTemplates, MainDialogHoldsEveryControlWithItsCaption) {
    const ui::DialogTemplate* t = ui::FindTemplate(102);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->caption, "Varnellogic USB3.0 Hub FW ISP Tool v2.2.4.0");
    struct Row {
        int id;
        ControlKind kind;
        const char* caption;
    } rows[] = {
        {1035, ControlKind::Button, "Select\nBin / Rom / Sum"},
        {1032, ControlKind::Edit, ""},
        {1053, ControlKind::Static, ""},
        {1039, ControlKind::Button, "Select Eep"},
        {1041, ControlKind::Edit, ""},
        {1000, ControlKind::Button, "Configurations"},
        {1036, ControlKind::Button, "Do ISP"},
        {1033, ControlKind::Progress, ""},
        {1034, ControlKind::Static, "Hint"},
        {1037, ControlKind::Button, "Read XRom\nFW Version"},
        {1054, ControlKind::Static, ""},
        {1042, ControlKind::Button, "Dump XRom"},
        {1044, ControlKind::Button, "Erase XRom"},
        {1038, ControlKind::Button, "Save with\nChecksum"},
        {1046, ControlKind::Button, "PHY Setting"},
        {1045, ControlKind::Button, "Exit"},
        {1250, ControlKind::CheckBox, "Restore selective suspend setting before exit"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.id);
        const ui::ControlTemplate* c = t->Find(r.id);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->kind, r.kind);
        EXPECT_EQ(c->text, r.caption);
        EXPECT_TRUE(c->visible);
        EXPECT_TRUE(c->enabled);
    }
    EXPECT_TRUE(t->Find(1032)->HasStyle("ES_READONLY"));
    EXPECT_TRUE(t->Find(1041)->HasStyle("ES_READONLY"));
    // No OK button and no default button: Enter is the command IDOK.
    EXPECT_EQ(t->Find(1), nullptr);
    for (const auto& c : t->controls) EXPECT_FALSE(c.defaultButton) << c.id;
}

TEST(CompiledTemplates, MainDialogHidesTheUnusedButtons) {
    const ui::DialogTemplate* t = ui::FindTemplate(102);
    ASSERT_NE(t, nullptr);
    struct Row {
        int id;
        const char* caption;
    } rows[] = {{1043, "Write Flash"}, {1051, "read"}, {1182, "read"}, {1052, "write"}};
    for (const Row& r : rows) {
        const ui::ControlTemplate* c = t->Find(r.id);
        ASSERT_NE(c, nullptr) << r.id;
        EXPECT_EQ(c->kind, ControlKind::Button);
        EXPECT_EQ(c->text, r.caption);
        EXPECT_FALSE(c->visible) << r.id;
    }
}

TEST(CompiledTemplates, PhySettingRowIsTheBottomOneAndInsideTheDialog) {
    const ui::DialogTemplate* t = ui::FindTemplate(102);
    ASSERT_NE(t, nullptr);
    const ui::ControlTemplate* phy = t->Find(IDC_PHY_SETTING);
    ASSERT_NE(phy, nullptr);
    for (const auto& c : t->controls) {
        EXPECT_LE(c.rect.right, t->rect.Width()) << c.id;
        EXPECT_LE(c.rect.bottom, t->rect.Height()) << c.id;
        if (c.id == IDC_PHY_SETTING) continue;
        if (c.visible || c.id == IDC_RESTORE_SUSPEND) {
            // Everything else, Exit and the restore box included, stays above the cut.
            EXPECT_LE(c.rect.bottom, phy->rect.top) << c.id;
        }
    }
}

TEST(CompiledTemplates, AboutBoxShowsNameAndVersionWithAnOkButton) {
    const ui::DialogTemplate* t = ui::FindTemplate(100);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->caption, "About VX7100ISP");
    ASSERT_NE(t->Find(IDC_ABOUT_NAME), nullptr);
    EXPECT_NE(t->Find(IDC_ABOUT_NAME)->text.find("Version 2.2.4.0"), std::string::npos);
    const ui::ControlTemplate* ok = t->Find(1);
    ASSERT_NE(ok, nullptr);
    EXPECT_TRUE(ok->defaultButton);
}

// ---------------------------------------------------------------------------
const char* kHeader =
    "#pragma once\n"
    "#define IDD_T 300\n"
    "#define IDC_A 1001\n"
    "#define IDC_B  0x3EA  // hex\n";

TEST(ResourceScriptReader, ReadsStatementsStylesAndStrings) {
    const char* script =
        "// comment\n"
        "#include \"x.h\"\n"
        "IDR_X ICON \"x.ico\"\n"
        "IDD_T DIALOGEX 0, 0, 100, 50\n"
        "STYLE DS_SETFONT | WS_POPUP | WS_CAPTION\n"
        "CAPTION \"Say \"\"hi\"\"\"\n"
        "FONT 8, \"MS Shell Dlg\", 400, 0, 0x1\n"
        "BEGIN\n"
        "    PUSHBUTTON \"Two\\nLines\", IDC_A, 1, 2, 30, 14, BS_MULTILINE | NOT WS_VISIBLE\n"
        "    EDITTEXT IDC_B, 1, 20, 30, 12, ES_READONLY | WS_DISABLED\n"
        "    CONTROL \"\", 1003, \"msctls_progress32\", WS_BORDER, 1, 34, 30, 8\n"
        "    CONTROL \"Box\", 1004, \"Button\", BS_AUTOCHECKBOX | WS_TABSTOP, 40, 2, 30, 10\n"
        "    CONTROL \"\", 1005, \"SysTabControl32\", 0x0, 40, 14, 50, 30\n"
        "    CONTROL \"Opt\", 1006, \"Button\", BS_AUTORADIOBUTTON | WS_GROUP, 40, 2, 30, 10\n"
        "    COMBOBOX 1007, 1, 1, 20, 40, CBS_DROPDOWNLIST | CBS_SORT\n"
        "    CTEXT \"c\", -1, 1, 1, 5, 5\n"
        "END\n";
    std::vector<ui::DialogTemplate> out;
    std::string error;
    ASSERT_TRUE(ui::ParseResourceScript(script, kHeader, out, error)) << error;
    ASSERT_EQ(out.size(), 1u);
    const ui::DialogTemplate& d = out[0];
    EXPECT_EQ(d.id, 300);
    EXPECT_EQ(d.name, "IDD_T");
    EXPECT_EQ(d.caption, "Say \"hi\"");
    EXPECT_EQ(d.fontFace, "MS Shell Dlg");
    EXPECT_EQ(d.fontPoints, 8);
    EXPECT_EQ(d.rect, (ui::Rect{0, 0, 100, 50}));
    ASSERT_EQ(d.controls.size(), 8u);

    const ui::ControlTemplate* a = d.Find(1001);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->text, "Two\nLines");
    EXPECT_FALSE(a->visible);
    EXPECT_TRUE(a->enabled);
    EXPECT_EQ(a->rect, (ui::Rect{1, 2, 31, 16}));

    const ui::ControlTemplate* b = d.Find(1002);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->kind, ControlKind::Edit);
    EXPECT_FALSE(b->enabled);
    EXPECT_TRUE(b->HasStyle("ES_READONLY"));

    EXPECT_EQ(d.Find(1003)->kind, ControlKind::Progress);
    EXPECT_EQ(d.Find(1004)->kind, ControlKind::CheckBox);
    EXPECT_EQ(d.Find(1005)->kind, ControlKind::Tab);
    EXPECT_EQ(d.Find(1006)->kind, ControlKind::RadioButton);
    EXPECT_EQ(d.Find(1007)->kind, ControlKind::ComboBox);
    EXPECT_TRUE(d.controls.back().HasStyle("SS_CENTER"));
    EXPECT_EQ(d.controls.back().id, -1);
}

TEST(ResourceScriptReader, ReportsAnUnknownSymbolWithItsLine) {
    const char* script =
        "IDD_T DIALOGEX 0, 0, 100, 50\n"
        "BEGIN\n"
        "    PUSHBUTTON \"x\", IDC_MISSING, 1, 2, 30, 14\n"
        "END\n";
    std::vector<ui::DialogTemplate> out;
    std::string error;
    EXPECT_FALSE(ui::ParseResourceScript(script, kHeader, out, error));
    EXPECT_NE(error.find("line 3"), std::string::npos) << error;
    EXPECT_NE(error.find("IDC_MISSING"), std::string::npos) << error;
}

TEST(ResourceScriptReader, ReportsAMissingEnd) {
    std::vector<ui::DialogTemplate> out;
    std::string error;
    EXPECT_FALSE(ui::ParseResourceScript("IDD_T DIALOGEX 0,0,1,1\nBEGIN\n LTEXT \"a\", 1, 0,0,1,1\n", kHeader, out, error));
    EXPECT_FALSE(error.empty());
}

TEST(ResourceScriptReader, HeaderDefinesInDecimalHexAndParentheses) {
    auto m = ui::ParseResourceHeader("#define A 12\n  #define B 0x10\n#define C (-1)\n#define D\n#define E name\n");
    EXPECT_EQ(m["A"], 12);
    EXPECT_EQ(m["B"], 16);
    EXPECT_EQ(m["C"], -1);
    EXPECT_EQ(m.count("D"), 0u);
    EXPECT_EQ(m.count("E"), 0u);
}

}  // namespace
