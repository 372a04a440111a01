// The installer's switches as its command line gave them.
#pragma once

struct InstallerFlags {
  int silent;        // "-h": no window and no message box
  int auto_install;  // "-i"
  int auto_remove;   // "-u"
  int log;           // "-l": write the run's log (run_log.h)
};
