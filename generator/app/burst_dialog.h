// The "Tone burst" dialog of the Signals menu: the burst's cycles of sound,
// its cycles of silence and its Hann window, on a small skin of the panel's
// look (bitmap 551) with the panel's buttons.
#pragma once

#include <windows.h>

#include "generator/engine/engine.h"

// The bitmaps the dialog draws with, owned by the application.
struct ToneBurstLook {
  HBITMAP skin;                   // 551
  HBITMAP button_on, button_off;  // 530, 531
};

// Asks for the burst of `s` in a modal dialog owned by `owner`. A click on a
// number types it (brought into 0.5 … 100 cycles on, 0 … 1000 off); the
// window button switches the Hann window. True, with the answers in `s`,
// after OK or Enter; false, `s` unchanged, after Cancel, Esc or closing.
// A set that never had a burst (0 cycles on) starts from 10 on, 90 off.
bool AskForToneBurst(HWND owner, const ToneBurstLook& look, GeneratorSettings* s);
