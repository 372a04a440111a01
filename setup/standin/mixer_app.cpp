// Stand-in mixer application: brindlemoor.exe.
//
// One window titled "BrindleMoor" (kMixerWindowTitle), the title by which
// the installer finds and closes a running mixer at its start (it posts
// WM_DESTROY to it). The window says what it is: the demonstration payload,
// not the mixer.
#include <windows.h>

#include "setup/procedures/product_names.h"
#include "setup/standin/text_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  static const TextWindowSpec kMixerWindow = {
      "QXBrindlemoorStandInWindow",
      kMixerWindowTitle,
      WS_OVERLAPPEDWINDOW,
      480,
      200,
      COLOR_WINDOW,
      "Brindlemoor stand-in\n\nThis program takes the place of the mixing console in the "
      "installer's demonstration package.",
      DT_CENTER | DT_VCENTER | DT_WORDBREAK};
  return RunTextWindow(instance, show, &kMixerWindow);
}
