// Addresses opened as the signed-in user, through the desktop's shell.
#pragma once

// Opens `address` through the desktop's shell, which runs as the signed-in
// user, so that nothing the installer starts inherits its administrator
// rights. 1 when the shell took it; 0 (and nothing opened) when the shell
// can't be reached. Window thread, COM initialised.
int OpenAsDesktopUser(const char* address);
