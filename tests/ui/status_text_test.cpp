// The font and colour rules of the status text control.
#include <gtest/gtest.h>

#include "ui/toolkit/status_text.h"

namespace {

const ui::FontSpec kDialogFont{"MS Shell Dlg", -11, 400};

TEST(StatusText, StartsWithSystemColoursAndNoTextOfItsOwn) {
    ui::StatusTextModel m(0x112233, 0x445566);
    m.Attach(kDialogFont);
    EXPECT_EQ(m.TextColor(), 0x112233u);
    EXPECT_EQ(m.BkColor(), 0x445566u);
    EXPECT_FALSE(m.HasText());  // only the background is painted
    EXPECT_FALSE(m.Bold());
    EXPECT_EQ(m.Font(), kDialogFont);
}

TEST(StatusText, FontHeightIsMinusMulDivOfThePoints) {
    EXPECT_EQ(ui::FontHeight(12, 96), -16);
    EXPECT_EQ(ui::FontHeight(18, 96), -24);
    EXPECT_EQ(ui::FontHeight(8, 96), -11);   // 10.67 rounds to 11
    EXPECT_EQ(ui::FontHeight(9, 120), -15);  // 15.0
    EXPECT_EQ(ui::FontHeight(7, 96), -9);    // 9.33
}

TEST(StatusText, SetFontTakesFaceSizeAndTheBoldFlag) {
    ui::StatusTextModel m;
    m.Attach(kDialogFont);
    m.SetBold(true, kDialogFont);
    m.SetFont("Microsoft Sans Serif", 18, 96, kDialogFont);
    EXPECT_EQ(m.Font(), (ui::FontSpec{"Microsoft Sans Serif", -24, 700}));
    EXPECT_EQ(m.Points(), 18);
}

TEST(StatusText, SetBoldAfterSetFontFallsBackToTheDialogFont) {
    ui::StatusTextModel m;
    m.Attach(kDialogFont);
    m.SetFont("Microsoft Sans Serif", 18, 96, kDialogFont);
    m.SetBold(true, kDialogFont);
    EXPECT_EQ(m.Font(), (ui::FontSpec{"MS Shell Dlg", -11, 700}));
    EXPECT_EQ(m.Points(), 0);
    m.SetBold(false, kDialogFont);
    EXPECT_EQ(m.Font().weight, 400);
}

TEST(StatusText, FaceIsCutTo31CharactersAndAnEmptyFaceIsTheDialogs) {
    ui::StatusTextModel m;
    m.Attach(kDialogFont);
    std::string longFace(40, 'F');
    m.SetFont(longFace, 12, 96, kDialogFont);
    EXPECT_EQ(m.Font().face, std::string(31, 'F'));
    m.SetFont("", 12, 96, kDialogFont);
    EXPECT_EQ(m.Font().face, "MS Shell Dlg");
    EXPECT_EQ(m.Font().height, -16);
}

TEST(StatusText, TextIsKeptEvenWhenEmpty) {
    ui::StatusTextModel m;
    m.SetText("");
    EXPECT_TRUE(m.HasText());
    m.SetText("Hub 1 is selected.");
    EXPECT_EQ(m.Text(), "Hub 1 is selected.");
}

}  // namespace

TEST(StatusText, TheStyleDecidesAlignmentAndWrapping) {
    struct Case {
        uint32_t style;
        uint32_t format;
    } cases[] = {
        {0x0000, ui::kDtLeft | ui::kDtWordBreak},                                    // SS_LEFT
        {ui::kSsCenter, ui::kDtCenter | ui::kDtWordBreak},                           // SS_CENTER
        {ui::kSsRight, ui::kDtRight | ui::kDtWordBreak},                             // SS_RIGHT
        {ui::kSsRight | ui::kSsCenterImage, ui::kDtRight | ui::kDtSingleLine | ui::kDtVCenter},
        {ui::kSsCenterImage, ui::kDtLeft | ui::kDtSingleLine | ui::kDtVCenter},
        {0x000B, ui::kDtLeft | ui::kDtWordBreak},                                    // SS_LEFTNOWORDWRAP: a type, not a bit
        {0x0003, ui::kDtLeft | ui::kDtWordBreak},                                    // SS_ICON is neither centre nor right
        {0x50000000 | ui::kSsCenter, ui::kDtCenter | ui::kDtWordBreak},             // window styles do not count
    };
    for (const Case& c : cases) EXPECT_EQ(ui::StatusTextFormat(c.style), c.format) << std::hex << c.style;
}
