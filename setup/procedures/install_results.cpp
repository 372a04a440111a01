// The result codes' meanings (see install_results.h).
#include "setup/procedures/install_results.h"

struct ResultText {
  int code;
  const char* meaning;
};

static const ResultText kResults[] = {
    {kResultSucceeded, "success"},
    {kResultPackageDamaged, "another installer runs, or the install package is missing or damaged"},
    {kResultNoProgramFiles, "the Program Files folder can't be found"},
    {kResultProductFolderRefused,
     "the product folder can't be made, is reached through a link, or may be changed by someone "
     "but the administrators"},
    {kResultFilesNotWritten,
     "files could not be written (or the installer's own file can't be read)"},
    {kResultUninstallEntryNotWritten,
     "the uninstall entry could not be written (the product is in place)"},
    {kResultRestartFirst, "the driver setup asked for a restart first (exit code 1)"},
    {kDriverSetupNoProcess, "the driver setup program gave no process"},
    {kDriverSetupNotStarted, "the driver setup program could not be started"},
    {kResultNothingToDo, "-h without -i or -u: nothing to do"},
};

const char* ResultMeaning(int code) {
  for (const ResultText& result : kResults) {
    if (result.code == code) return result.meaning;
  }
  return "unknown result";
}
