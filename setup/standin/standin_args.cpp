// Command lines of the stand-in product's programs (see standin_args.h).
#include "setup/standin/standin_args.h"

#include <cstring>

int ParseDriverSetupArguments(const char* arguments) {
  int action = kDriverSetupNothing;
  if (arguments == nullptr) return action;
  for (const char* at = arguments; *at != '\0'; ++at) {
    // A switch starts the text or follows a blank ("C:\my-installs" holds none).
    if (*at != '-' || (at != arguments && at[-1] != ' ')) continue;
    if (at[1] == 'i') action = kDriverSetupInstall;
    if (at[1] == 'u') action = kDriverSetupRemove;
  }
  return action;
}

int ParseRegistrationArguments(const char* arguments, int* unregister, char* path,
                               size_t path_size) {
  *unregister = 0;
  if (path_size > 0) path[0] = '\0';
  if (arguments == nullptr || path_size == 0) return 0;
  // The path may itself hold "-u" or "-f": only the text before the first
  // "-f" that starts a switch holds switches.
  const char* library = nullptr;
  for (const char* at = arguments; *at != '\0'; ++at) {
    if (*at != '-' || (at != arguments && at[-1] != ' ')) continue;
    if (at[1] == 'f') {
      library = at + 2;
      break;
    }
    if (at[1] == 'u' && (at[2] == ' ' || at[2] == '\0')) *unregister = 1;
  }
  if (library == nullptr) return 0;
  size_t length = std::strlen(library);
  while (length > 0 && library[length - 1] == ' ') --length;
  if (length == 0 || length >= path_size) return 0;
  std::memcpy(path, library, length);
  path[length] = '\0';
  return 1;
}
