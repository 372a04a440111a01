// Context-menu rules: see menu_rules.h.
#include "ctl/portable/menu_rules.h"

static int ApplyKnobMode(ControlPreferences* p, int command) {
  if (command == kMenuInverseOrCaptured) {
    // Only the plain modes flip; with the angular bit set the item is greyed.
    if (p->rot_mode == 0 || p->rot_mode == kRotInverse) p->rot_mode ^= kRotInverse;
  } else {
    // The angular mode toggles; leaving it keeps only the inverse bit.
    p->rot_mode = (p->rot_mode & kRotAngular) ? (p->rot_mode & kRotInverse)
                                              : (p->rot_mode | kRotAngular);
  }
  return 1;
}

int ApplySettingsCommand(ControlPreferences* p, ValueMenuKind kind, int command) {
  if (command == kMenuInverseOrCaptured || command == kMenuAngularOrDirect) {
    if (kind == kKnobMenu) return ApplyKnobMode(p, command);
    uint32_t* flag = command == kMenuInverseOrCaptured ? &p->s_capture : &p->s_settopos;
    *flag = *flag ? 0 : 1;
    return 1;
  }
  if (command == kMenuShowMoves && kind == kKnobMenu) {
    p->rot_move = p->rot_move ? 0 : 1;
    return 1;
  }
  if (command >= kMenuLatencyFirst && command <= kMenuLatencyLast) {
    p->rot_latency = static_cast<uint32_t>(command - kMenuLatencyFirst);
    return 1;
  }
  if (command == kMenuInfoBox) {
    p->infovalue = (p->infovalue & kInfoValueOn) ? (p->infovalue & 0x0FFFFFFFu)
                                                 : (p->infovalue | kInfoValueOn);
    return 1;
  }
  if (command >= kMenuInfoCornerFirst && command <= kMenuInfoCornerLast) {
    p->infovalue = static_cast<uint32_t>(command - kMenuInfoBox) | (p->infovalue & 0xF0000000u);
    return 1;
  }
  return 0;
}

SettingsMarks GetSettingsMarks(const ControlPreferences* p, ValueMenuKind kind) {
  SettingsMarks m = {};
  if (kind == kKnobMenu) {
    const bool angular = (p->rot_mode & kRotAngular) != 0;
    m.first_checked = (p->rot_mode & kRotInverse) != 0;
    m.first_greyed = angular;
    m.second_checked = angular;
    m.moves_checked = p->rot_move != 0;
  } else {
    m.first_checked = p->s_capture == 1;
    m.second_checked = p->s_settopos == 1;
  }
  m.latency_checked = p->rot_latency % 100 == 0 && p->rot_latency <= 500
                          ? kMenuLatencyFirst + static_cast<int>(p->rot_latency)
                          : 0;
  m.info_checked = (p->infovalue & kInfoValueOn) != 0;
  const int corner = static_cast<int>(p->infovalue & 0xF);
  m.corner_checked = corner >= 1 && corner <= 4 ? kMenuInfoBox + corner : 0;
  return m;
}
