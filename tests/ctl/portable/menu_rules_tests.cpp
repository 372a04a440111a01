// The context menus' settings rules, menu number texts and knob geometry.
#include <gtest/gtest.h>

#include <string>

#include "ctl/portable/knob_geometry.h"
#include "ctl/portable/menu_rules.h"
#include "ctl/portable/value_range.h"

namespace {

TEST(MenuRules, SettingsCommandsAndTheirMarks) {
  ControlPreferences p;
  DefaultPreferences(&p);  // Rot_Mode 1, info box on at corner 3
  const struct {
    ValueMenuKind kind;
    int command;
    bool first_checked, first_greyed, second_checked;
  } steps[] = {
      {kKnobMenu, 12, true, true, true},    // angular on: the inverse item greyed
      {kKnobMenu, 10, true, true, true},    // greyed, so nothing changes
      {kKnobMenu, 12, true, false, false},  // angular off: inverse as it was
      {kKnobMenu, 10, false, false, false},
      {kSliderMenu, 10, false, false, false},  // mouse captured off
      {kSliderMenu, 12, false, false, true},   // direct position on
  };
  for (const auto& s : steps) {
    EXPECT_EQ(ApplySettingsCommand(&p, s.kind, s.command), 1);
    const SettingsMarks m = GetSettingsMarks(&p, s.kind);
    EXPECT_EQ(m.first_checked, s.first_checked) << s.command;
    EXPECT_EQ(m.first_greyed, s.first_greyed) << s.command;
    EXPECT_EQ(m.second_checked, s.second_checked) << s.command;
  }
  ApplySettingsCommand(&p, kKnobMenu, 1300);
  ApplySettingsCommand(&p, kKnobMenu, 2000);  // info box off keeps corner 3
  ApplySettingsCommand(&p, kKnobMenu, 2000);
  SettingsMarks m = GetSettingsMarks(&p, kKnobMenu);
  EXPECT_EQ(m.latency_checked, 1300);
  EXPECT_TRUE(m.info_checked);
  EXPECT_EQ(m.corner_checked, 2003);
  ApplySettingsCommand(&p, kKnobMenu, 2001);
  EXPECT_EQ(p.infovalue, 0x80000001u);
  ApplySettingsCommand(&p, kKnobMenu, 20);
  EXPECT_TRUE(GetSettingsMarks(&p, kKnobMenu).moves_checked);
  EXPECT_EQ(ApplySettingsCommand(&p, kSliderMenu, 20), 0);  // no such slider item
  EXPECT_EQ(ApplySettingsCommand(&p, kKnobMenu, 101), 0);   // a value command
}

TEST(KnobGeometry, PointerArcEndsAndSweep) {
  KnobPoint corners[4];
  KnobPointerPolygon(17, 17, 0.0f, 13, 2, false, corners);  // pointing right
  EXPECT_EQ(corners[0].x, 17);
  EXPECT_EQ(corners[1].x, 30);
  EXPECT_EQ(corners[0].y - corners[3].y, 2);                     // the bar's width
  KnobPointerPolygon(17, 17, kTwoPi / 4, 10, 2, true, corners);  // up, outer tick
  EXPECT_EQ(corners[0].y, 10);                                   // from 0.7 of the length
  EXPECT_EQ(corners[1].y, 7);
  const KnobPoint half = KnobRadiusEnd(0, 0, 2.5f, 0.0f);  // x = 2.5: halves go down
  EXPECT_EQ(half.x, 2);
  EXPECT_NEAR(KnobSweepDistance(225 * kDegreesToRadians, 90 * kDegreesToRadians),
              135 * kDegreesToRadians, 1e-5);
  EXPECT_NEAR(KnobSweepDistance(225 * kDegreesToRadians, 315 * kDegreesToRadians),
              270 * kDegreesToRadians, 1e-5);
}

}  // namespace
