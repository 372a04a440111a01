// The product's names on the system, written once for the install, the
// uninstall, the stand-ins and the tests: its folders and keys, the programs
// the installer starts or links to (as package entries name them), the
// Start-menu shortcuts, the uninstall entry's texts, the mixer's values and
// the mixer driver's device interface class.
#pragma once

#include <windows.h>

// Fixed places of the product on the system.
constexpr char kProductSubFolder[] = "QX\\Brindlemoor";  // below Program Files
constexpr char kStartMenuSubFolder[] = "Tarnwell Audio\\Brindlemoor";
constexpr char kMixerSettingsKey[] = "Tarnwell\\BrindleMoor";  // HKEY_CURRENT_USER
constexpr char kShellFoldersKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr char kUninstallListKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr char kUninstallEntryName[] = "QX:Brindlemoor {17359A74-1236-5467}";

// The uninstall entry's texts, as Windows lists the product.
constexpr char kDisplayName[] = "Brindlemoor, The Virtual Mixing Console";
constexpr char kPublisher[] = "Tarnwell Software";

// The mixer's values below kMixerSettingsKey: its first-run values, which
// the install sets to 0, and its tray start-up, which the uninstall turns
// off.
constexpr const char* kMixerFirstRunValues[] = {"install", "nbLaunch", "done"};
constexpr const char* kMixerTrayValues[] = {"SysTray", "SysTrayShowOnRun"};

// Package entries the installer starts or links to.
constexpr char kMixerProgram[] = "brindlemoor.exe";
constexpr char kControlPanelProgram[] = "QUILLAN_ControlPanel.exe";
constexpr char kReadmeFile[] = "readme.txt";
constexpr char kDriverSetupProgram[] = "QUILLAN_Setup.exe";
constexpr char kDriverSetupProgram64[] = "QUILLAN_Setup_x64.exe";
constexpr char kRegistrationProgram64[] = "qxregsvr64.exe";

// The installer's own copy in the product folder, the uninstall command:
// one fixed name that no package entry has, whatever the download was called.
constexpr char kUninstallerProgram[] = "BrindlemoorSetup.exe";

// The folder in the product folder that a program the installer starts gets
// as TEMP and TMP while it runs; removed when it has ended.
constexpr char kRunTempFolder[] = "Setup temporary files";

// The mixer application's main window title, by which the installer finds a
// running mixer and closes it.
constexpr char kMixerWindowTitle[] = "BrindleMoor";

// The Start-menu shortcuts: the package entry each one opens and its name
// (its description, and its file name without ".LNK"). The install makes
// them in the user's and the all users' Programs folder below
// kStartMenuSubFolder; the uninstall removes exactly these from both.
struct ProductShortcut {
  const char* target_entry;
  const char* name;
};
constexpr ProductShortcut kStartMenuShortcuts[] = {
    {kReadmeFile, "Readme"},
    {kControlPanelProgram, "Virtual IO Control Panel"},
    {kMixerProgram, "Brindlemoor"},
};
constexpr int kStartMenuShortcutCount =
    static_cast<int>(sizeof kStartMenuShortcuts / sizeof kStartMenuShortcuts[0]);

// The shortcut the mixer puts in the user's Startup folder when it is told to
// start with Windows; the uninstall removes it.
constexpr ProductShortcut kStartupShortcut = {kMixerProgram, "Brindlemoor (Tarnwell)"};

// The mixer driver's device interface class,
// {D8C6B17A-215D-4082-9341-1E1677AE6B55}: present once the driver is installed.
constexpr GUID kMixerInterfaceClass = {
    0xD8C6B17A, 0x215D, 0x4082, {0x93, 0x41, 0x1E, 0x16, 0x77, 0xAE, 0x6B, 0x55}};
constexpr char kMixerInterfaceClassText[] = "{D8C6B17A-215D-4082-9341-1E1677AE6B55}";
