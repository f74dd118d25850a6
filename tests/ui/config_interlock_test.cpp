// The configurations editor's interlocks: port counts against the per-port
// groups, charging against non-removable and VX2280 ports, fast charging,
// Polyfuse and the power-good field, LED, smart power, strapping, serial.
#include "config_fixture.h"

using namespace cfgtest;

TEST_F(ConfigEditorTest, PortCountsEnableAndClearThePerPortGroups) {
    HubConfig c = Sample();
    for (int i = 0; i < 4; ++i) c.txSwap[i] = c.vx2280Port[i] = true;
    c.chargingPort[0] = false;
    c.chargingPort[2] = true;
    ui::MemoryDialog& d = Open(2, Block(c, 2));
    ASSERT_TRUE(d.Click(IDC_CFG_PORT2_2));  // 2.0: 2, 3.0: 4
    EXPECT_TRUE(d.IsEnabled(IDC_CFG_CHARGE_3));
    EXPECT_FALSE(Checked(IDC_CFG_CHARGE_3));
    EXPECT_TRUE(d.IsEnabled(IDC_CFG_NONREM_4));
    EXPECT_FALSE(d.IsEnabled(IDC_CFG_2280_3));
    EXPECT_FALSE(Checked(IDC_CFG_2280_3));
    EXPECT_TRUE(Checked(IDC_CFG_2280_2));
    EXPECT_TRUE(Checked(IDC_CFG_TX_4));
    // No charging port left: fast charging is greyed and cleared.
    EXPECT_FALSE(d.IsEnabled(IDC_CFG_DCP));
    EXPECT_FALSE(Checked(IDC_CFG_DCP));
    ASSERT_TRUE(d.Click(IDC_CFG_PORT3_1));  // 3.0: 1
    EXPECT_FALSE(d.IsEnabled(IDC_CFG_TX_2));
    EXPECT_FALSE(Checked(IDC_CFG_TX_2));
    EXPECT_TRUE(d.IsEnabled(IDC_CFG_CHARGE_2));
    EXPECT_FALSE(d.IsEnabled(IDC_CFG_CHARGE_3));

    // The compact form ties charging and non-removable ports to the smaller count.
    Open(1, Block(c, 1, ConfigForm::Compact), true);
    ASSERT_TRUE(m->Click(IDC_CFG_PORT2_2));
    EXPECT_FALSE(m->IsEnabled(IDC_CFG_CHARGE_3));
    EXPECT_FALSE(m->IsEnabled(IDC_CFG_NONREM_3));
    EXPECT_TRUE(m->IsEnabled(IDC_CFG_TX_4));
}

TEST_F(ConfigEditorTest, ChargingExcludesNonRemovableAndVx2280PortsAndDrivesFastCharging) {
    HubConfig c = Sample();
    c.chargingPort[0] = false;
    c.nonRemovable[1] = true;
    c.vx2280Port[2] = true;
    ui::MemoryDialog& d = Open(2, Block(c, 2));
    EXPECT_FALSE(d.IsEnabled(IDC_CFG_APPLE));
    ASSERT_TRUE(d.Click(IDC_CFG_CHARGE_2));
    EXPECT_FALSE(Checked(IDC_CFG_NONREM_2));
    EXPECT_TRUE(d.IsEnabled(IDC_CFG_APPLE));
    EXPECT_TRUE(d.IsEnabled(IDC_CFG_CDP));
    ASSERT_TRUE(d.Click(IDC_CFG_CHARGE_3));
    EXPECT_FALSE(Checked(IDC_CFG_2280_3));
    ASSERT_TRUE(d.Click(IDC_CFG_2280_2));
    EXPECT_FALSE(Checked(IDC_CFG_CHARGE_2));

    // Apple / Samsung brings DCP and OVCUR; clearing DCP takes both away.
    ASSERT_TRUE(d.Click(IDC_CFG_APPLE));
    EXPECT_TRUE(Checked(IDC_CFG_DCP));
    EXPECT_TRUE(d.IsEnabled(IDC_CFG_OVCUR));
    ASSERT_TRUE(d.Click(IDC_CFG_OVCUR));
    ASSERT_TRUE(d.Click(IDC_CFG_DCP));
    EXPECT_FALSE(Checked(IDC_CFG_APPLE));
    EXPECT_FALSE(Checked(IDC_CFG_OVCUR));
    EXPECT_FALSE(d.IsEnabled(IDC_CFG_OVCUR));
}

TEST_F(ConfigEditorTest, PolyfuseAndThePowerGoodFieldFollowEachOther) {
    ui::MemoryDialog& d = Open(2, Block(Sample(), 2));
    EXPECT_FALSE(Checked(IDC_CFG_POLYFUSE));
    ASSERT_TRUE(d.Type(IDC_CFG_PGOOD, ""));
    ASSERT_TRUE(d.FocusOn(IDC_CFG_VID));
    EXPECT_EQ(d.GetText(IDC_CFG_PGOOD), "0");
    EXPECT_TRUE(Checked(IDC_CFG_POLYFUSE));
    ASSERT_TRUE(d.Click(IDC_CFG_POLYFUSE));  // cleared: the decoded time comes back
    EXPECT_EQ(d.GetText(IDC_CFG_PGOOD), "100");
    ASSERT_TRUE(d.Click(IDC_CFG_POLYFUSE));
    EXPECT_EQ(d.GetText(IDC_CFG_PGOOD), "0");
    ASSERT_TRUE(d.Type(IDC_CFG_PGOOD, "40"));
    ASSERT_TRUE(d.FocusOn(IDC_CFG_VID));
    EXPECT_FALSE(Checked(IDC_CFG_POLYFUSE));
}

TEST_F(ConfigEditorTest, LedSmartPowerStrappingAndSerialInterlocks) {
    HubConfig c = Sample();
    c.separatedLed = true;
    c.smartPowerSelf = 1;
    c.supportStrap = false;
    ui::MemoryDialog& d = Open(2, Block(c, 2));
    // Decoded: a separated LED greys the list and the suspend buttons.
    EXPECT_TRUE(Checked(IDC_CFG_SEPLED));
    EXPECT_FALSE(d.IsEnabled(IDC_CFG_BREATH));
    EXPECT_FALSE(d.IsEnabled(IDC_CFG_LED_OFF));
    ASSERT_TRUE(d.Click(IDC_CFG_SEPLED));
    EXPECT_TRUE(d.IsEnabled(IDC_CFG_BREATH));
    ASSERT_TRUE(d.Select(IDC_CFG_BREATH, kBreathingOnUfp));
    EXPECT_TRUE(Checked(IDC_CFG_LED_FLICKER));
    EXPECT_FALSE(d.IsEnabled(IDC_CFG_SEPLED));
    EXPECT_FALSE(d.IsEnabled(IDC_CFG_LED_OFF));
    EXPECT_TRUE(Checked(IDC_CFG_OPMODE) && Checked(IDC_CFG_OPMODE_LED));
    ASSERT_TRUE(d.Select(IDC_CFG_BREATH, kBreathingDisabled));
    EXPECT_TRUE(Checked(IDC_CFG_LED_OFF));
    EXPECT_FALSE(d.IsEnabled(IDC_CFG_LED_FLICKER));

    // Smart power: decoded on; the bus list needs Support Bus Power too.
    EXPECT_TRUE(Checked(IDC_CFG_SMART));
    EXPECT_EQ(d.Selection(IDC_CFG_SELF), 1);
    ASSERT_TRUE(d.Click(IDC_CFG_SMART));
    EXPECT_EQ(d.Selection(IDC_CFG_SELF), 0);
    EXPECT_FALSE(d.IsEnabled(IDC_CFG_SELF));
    ASSERT_TRUE(d.Click(IDC_CFG_SMART));
    EXPECT_TRUE(d.IsEnabled(IDC_CFG_SELF));
    EXPECT_FALSE(d.IsEnabled(IDC_CFG_BUS));
    ASSERT_TRUE(d.Click(IDC_CFG_BUSPOWER));
    EXPECT_TRUE(d.IsEnabled(IDC_CFG_BUS));

    // Strapping boxes follow their heading.
    EXPECT_FALSE(d.IsEnabled(IDC_CFG_STRAP_CHARGE));
    ASSERT_TRUE(d.Click(IDC_CFG_STRAP));
    ASSERT_TRUE(d.Click(IDC_CFG_STRAP_PSWHL));
    ASSERT_TRUE(d.Click(IDC_CFG_STRAP));
    EXPECT_FALSE(Checked(IDC_CFG_STRAP_PSWHL));
    EXPECT_FALSE(d.IsEnabled(IDC_CFG_STRAP_PSWHL));

    // Serial string off empties and greys the field.
    ASSERT_TRUE(d.Click(IDC_CFG_SERIAL_EN));
    EXPECT_EQ(d.GetText(IDC_CFG_SERIAL), "");
    EXPECT_FALSE(d.IsEnabled(IDC_CFG_SERIAL));
    ASSERT_TRUE(d.Click(IDC_CFG_SAVE_EXIT));
    EXPECT_EQ(owner[0], 0x55);
}
