// What the procedure tests share (see procedure_support.h).
#include "tests/setup/procedures/procedure_support.h"

// windows.h (through the header) first: the shell headers need its types.
#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "setup/package/md5.h"
#include "setup/package/package_format.h"
#include "setup/standin/standin_log.h"

std::string ProgramPath() {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  return std::string(path, n);
}

std::string ProgramFolder() {
  const std::string path = ProgramPath();
  return path.substr(0, path.find_last_of('\\'));
}

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string Md5Hex(const uint8_t digest[16]) {
  char text[33];
  for (int i = 0; i < 16; ++i) std::snprintf(text + 2 * i, 3, "%02x", digest[i]);
  return text;
}

std::string Md5Hex(const Bytes& bytes) {
  uint8_t digest[16];
  ComputeMd5(bytes.data(), bytes.size(), digest);
  return Md5Hex(digest);
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// --- The package module ------------------------------------------------------

PackageModule::PackageModule() {
  handle = LoadLibraryA((ProgramFolder() + "\\procedure_package_module.dll").c_str());
}

PackageModule::~PackageModule() {
  if (handle != nullptr) FreeLibrary(handle);
}

static uint8_t* WritablePackage(HMODULE module, DWORD* size) {
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(100), RT_RCDATA);
  if (found == nullptr) return nullptr;
  uint8_t* bytes = static_cast<uint8_t*>(LockResource(LoadResource(module, found)));
  *size = SizeofResource(module, found);
  DWORD old = 0;
  if (bytes == nullptr || !VirtualProtect(bytes, *size, PAGE_READWRITE, &old)) return nullptr;
  return bytes;
}

bool PackageModule::DamageEntry(int index) {
  DWORD size = 0;
  uint8_t* package = WritablePackage(handle, &size);
  if (package == nullptr) return false;
  PackageEntry entry;
  LoadPackageEntry(package, index, &entry);
  if (entry.size == 0 || entry.offset >= size) return false;
  package[entry.offset + entry.size / 2] ^= 0x40;
  return true;
}

bool PackageModule::RenameEntry(int index, const char* name) {
  DWORD size = 0;
  uint8_t* package = WritablePackage(handle, &size);
  if (package == nullptr || std::strlen(name) >= kPackageNameSize) return false;
  uint8_t* field = package + static_cast<size_t>(index) * kPackageEntrySize;
  std::memset(field, 0, kPackageNameSize);
  std::memcpy(field, name, std::strlen(name));
  return true;
}

// --- Context and messages ----------------------------------------------------

std::unique_ptr<InstallerContext> NewContext(HMODULE module, int on_64bit_windows) {
  std::unique_ptr<InstallerContext> context(new InstallerContext());
  context->instance = module;
  context->on_64bit_windows = on_64bit_windows;
  // The program's own file, held open as the installer holds its own.
  static char image_path[kPathSize];
  static HANDLE image = OpenRunningImage(image_path, sizeof image_path);
  std::snprintf(context->installer_path, sizeof context->installer_path, "%s", image_path);
  context->installer_image = image;
  return context;
}

static std::vector<int> g_notify_codes;

static LRESULT CALLBACK NotifyProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_COMMAND && LOWORD(wparam) == ID_PROCEDURE_NOTIFY) {
    g_notify_codes.push_back(static_cast<int>(lparam));
    return 0;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

NotifyWindow::NotifyWindow() {
  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = NotifyProc;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.lpszClassName = "QxProcedureTestNotify";
  RegisterClassA(&window_class);  // fails harmlessly when registered before
  handle = CreateWindowA("QxProcedureTestNotify", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
  g_notify_codes.clear();
}

NotifyWindow::~NotifyWindow() {
  if (handle != nullptr) DestroyWindow(handle);
}

std::vector<int> NotifyWindow::Codes() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  std::vector<int> codes;
  codes.swap(g_notify_codes);
  return codes;
}

// --- Stand-in log and exit code ----------------------------------------------

// Sets (or with a null `text` deletes) the stand-ins' test hook `name`; the
// key goes with its last value, so a run leaves the registry as it found it.
static void SetStandInHook(const char* name, const char* text) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kStandInHooksKey, 0, nullptr, 0,
                      KEY_SET_VALUE | KEY_QUERY_VALUE | KEY_WOW64_64KEY, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return;
  }
  if (text != nullptr) {
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                   static_cast<DWORD>(std::strlen(text) + 1));
  } else {
    RegDeleteValueA(key, name);
  }
  DWORD values = 0;
  const bool empty =
      RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                       nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
      values == 0;
  RegCloseKey(key);
  if (empty) RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kStandInHooksKey, KEY_WOW64_64KEY, 0);
}

StandInLog::StandInLog() {
  path = ProgramFolder() + "\\standin_" + std::to_string(GetCurrentProcessId()) + ".log";
  DeleteFileA(path.c_str());
  SetStandInHook("QX_STANDIN_LOG", path.c_str());
}

StandInLog::~StandInLog() {
  SetStandInHook("QX_STANDIN_LOG", nullptr);
  DeleteFileA(path.c_str());
}

void StandInLog::Reset() { DeleteFileA(path.c_str()); }

std::vector<std::vector<std::string>> StandInLog::Lines() const {
  std::vector<std::vector<std::string>> lines;
  Bytes bytes;
  if (!ReadAll(path, &bytes)) return lines;
  const std::string text(bytes.begin(), bytes.end());
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find("\r\n", at);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(at, end - at);
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1) {
      fields.push_back(line.substr(start, tab - start));
    }
    fields.push_back(line.substr(start));
    lines.push_back(fields);
    at = end + 2;
  }
  return lines;
}

void ChooseSetupExit(const char* code) { SetStandInHook("QX_STANDIN_SETUP_EXIT", code); }

int DriverInterfacePresent() {
  typedef HANDLE(WINAPI * GetClassDevsFn)(const GUID*, PCSTR, HWND, DWORD);
  typedef BOOL(WINAPI * EnumInterfacesFn)(HANDLE, void*, const GUID*, DWORD, void*);
  typedef BOOL(WINAPI * DestroyListFn)(HANDLE);
  HMODULE setupapi = LoadLibraryA("setupapi.dll");
  if (setupapi == nullptr) return -1;
  auto get_class_devs = reinterpret_cast<GetClassDevsFn>(
      reinterpret_cast<void*>(GetProcAddress(setupapi, "SetupDiGetClassDevsA")));
  auto enum_interfaces = reinterpret_cast<EnumInterfacesFn>(
      reinterpret_cast<void*>(GetProcAddress(setupapi, "SetupDiEnumDeviceInterfaces")));
  auto destroy_list = reinterpret_cast<DestroyListFn>(
      reinterpret_cast<void*>(GetProcAddress(setupapi, "SetupDiDestroyDeviceInfoList")));
  int found = 0;
  HANDLE set = get_class_devs(&kMixerInterfaceClass, nullptr, nullptr, 0x02 | 0x10);
  if (set != INVALID_HANDLE_VALUE) {
    struct {
      DWORD cbSize;
      GUID InterfaceClassGuid;
      DWORD Flags;
      ULONG_PTR Reserved;
    } data = {};
    data.cbSize = sizeof data;
    found = enum_interfaces(set, nullptr, &kMixerInterfaceClass, 0, &data) ? 1 : 0;
    destroy_list(set);
  }
  FreeLibrary(setupapi);
  return found;
}

// Counts the instances below Enum\ROOT\<device> whose HardwareID is ours.
static int CountStandInInstances(HKEY device) {
  int count = 0;
  char name[256];
  for (DWORD i = 0;; ++i) {
    DWORD size = sizeof name;
    if (RegEnumKeyExA(device, i, name, &size, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    char ids[512] = {};
    DWORD ids_size = sizeof ids - 2;
    HKEY instance = nullptr;
    if (RegOpenKeyExA(device, name, 0, KEY_QUERY_VALUE, &instance) != ERROR_SUCCESS) continue;
    if (RegQueryValueExA(instance, "HardwareID", nullptr, nullptr, reinterpret_cast<BYTE*>(ids),
                         &ids_size) == ERROR_SUCCESS &&
        lstrcmpiA(ids, "ROOT\\QX_KXBMVD") == 0) {
      ++count;
    }
    RegCloseKey(instance);
  }
  return count;
}

int StandInDeviceCount() {
  HKEY root = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Enum\\ROOT", 0, KEY_READ,
                    &root) != ERROR_SUCCESS) {
    return 0;
  }
  int count = 0;
  char name[256];
  for (DWORD i = 0;; ++i) {
    DWORD size = sizeof name;
    if (RegEnumKeyExA(root, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      break;
    }
    HKEY device = nullptr;
    if (RegOpenKeyExA(root, name, 0, KEY_READ, &device) != ERROR_SUCCESS) continue;
    count += CountStandInInstances(device);
    RegCloseKey(device);
  }
  RegCloseKey(root);
  return count;
}

// --- Registry and links ------------------------------------------------------

bool ReadString(HKEY root, const std::string& key, const char* name, std::string* value,
                REGSAM view) {
  HKEY handle = nullptr;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE | view, &handle) != ERROR_SUCCESS) {
    return false;
  }
  char data[4096];
  DWORD type = 0;
  DWORD size = sizeof data;
  const LONG status =
      RegQueryValueExA(handle, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(handle);
  if (status != ERROR_SUCCESS || type != REG_SZ) return false;
  value->assign(data, strnlen(data, size));
  return true;
}

bool ReadDword(HKEY root, const std::string& key, const char* name, DWORD* value) {
  HKEY handle = nullptr;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) {
    return false;
  }
  DWORD type = 0;
  DWORD size = sizeof *value;
  const LONG status =
      RegQueryValueExA(handle, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(handle);
  return status == ERROR_SUCCESS && type == REG_DWORD && size == 4;
}

bool KeyExists(HKEY root, const std::string& key, REGSAM view) {
  HKEY handle = nullptr;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ | view, &handle) != ERROR_SUCCESS) return false;
  RegCloseKey(handle);
  return true;
}

int RunsOn64BitWindows() {
  if (!kThirtyTwoBitBuild) return 1;
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64 ? 1 : 0;
}

bool ReadShortcut(const std::string& link_path, LinkInfo* info) {
  IShellLinkA* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(&link)))) {
    return false;
  }
  bool ok = false;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, link_path.c_str(), -1, wide, MAX_PATH);
    if (SUCCEEDED(file->Load(wide, STGM_READ))) {
      char text[MAX_PATH];
      ok = SUCCEEDED(link->GetPath(text, sizeof text, nullptr, SLGP_RAWPATH));
      info->target = ok ? text : "";
      text[0] = '\0';
      link->GetWorkingDirectory(text, sizeof text);
      info->working_folder = text;
      text[0] = '\0';
      link->GetDescription(text, sizeof text);
      info->description = text;
    }
    file->Release();
  }
  link->Release();
  return ok;
}

std::string RunAndCapture(const std::string& command_line) {
  const std::string output =
      ProgramFolder() + "\\capture_" + std::to_string(GetCurrentProcessId()) + ".txt";
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE file = CreateFileA(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = file;
  startup.hStdError = file;
  PROCESS_INFORMATION process = {};
  std::vector<char> command(command_line.begin(), command_line.end());
  command.push_back('\0');
  if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                     &process)) {
    WaitForSingleObject(process.hProcess, 60000);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  }
  CloseHandle(file);
  Bytes bytes;
  ReadAll(output, &bytes);
  DeleteFileA(output.c_str());
  return std::string(bytes.begin(), bytes.end());
}

// --- The product's places ----------------------------------------------------

std::string ProductFolder() {
  char folder[MAX_PATH];
  if (!SHGetSpecialFolderPathA(nullptr, folder, CSIDL_PROGRAM_FILES, FALSE)) return "";
  return std::string(folder) + "\\QX\\Brindlemoor";
}

std::string UserStartMenuFolder() {
  std::string programs;
  if (!ReadString(HKEY_CURRENT_USER, kShellFoldersKey, "Programs", &programs)) return "";
  return programs + "\\Tarnwell Audio\\Brindlemoor";
}

std::string CommonStartMenuFolder() {
  ResolveShellFolders();
  return std::string(g_shell_folders.common_programs) + "\\Tarnwell Audio\\Brindlemoor";
}

std::string UninstallKey() { return std::string(kUninstallListKey) + "\\" + kUninstallEntryName; }

// --- Snapshots ---------------------------------------------------------------

static void WalkFiles(const std::string& folder, std::set<std::string>* out) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    const std::string path = folder + "\\" + name;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      out->insert(path + "\\");
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) WalkFiles(path, out);
    } else {
      out->insert(path);
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

static void WalkKeys(HKEY key, const std::string& path, std::set<std::string>* out) {
  out->insert(path);
  std::vector<char> name(16384);
  std::vector<BYTE> data(1 << 16);
  for (DWORD i = 0;; ++i) {
    DWORD name_size = static_cast<DWORD>(name.size());
    DWORD data_size = static_cast<DWORD>(data.size());
    DWORD type = 0;
    const LONG status =
        RegEnumValueA(key, i, name.data(), &name_size, nullptr, &type, data.data(), &data_size);
    if (status == ERROR_MORE_DATA) {
      out->insert(path + "\\\\" + std::string(name.data(), name_size) + " = <over 64 KiB>");
      continue;
    }
    // Any other failure ends the key's values (Wine's Perflib keys answer
    // every index with an error).
    if (status != ERROR_SUCCESS) break;
    uint8_t digest[16];
    ComputeMd5(data.data(), data_size, digest);
    out->insert(path + "\\\\" + std::string(name.data(), name_size) + " = " + std::to_string(type) +
                ":" + std::to_string(data_size) + ":" + Md5Hex(digest));
  }
  std::vector<std::string> children;
  for (DWORD i = 0;; ++i) {
    DWORD name_size = static_cast<DWORD>(name.size());
    const LONG status =
        RegEnumKeyExA(key, i, name.data(), &name_size, nullptr, nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS) break;
    children.emplace_back(name.data(), name_size);
  }
  for (const std::string& child : children) {
    HKEY sub = nullptr;
    // The 64-bit view holds the 32-bit one below Wow6432Node: walked from
    // it, a 32-bit program sees the whole registry too.
    if (RegOpenKeyExA(key, child.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &sub) != ERROR_SUCCESS) {
      continue;
    }
    WalkKeys(sub, path + "\\" + child, out);
    RegCloseKey(sub);
  }
}

Snapshot TakeSnapshot() {
  Snapshot snapshot;
  WalkFiles("C:", &snapshot.files);
  WalkKeys(HKEY_LOCAL_MACHINE, "HKLM", &snapshot.registry);
  WalkKeys(HKEY_CURRENT_USER, "HKCU", &snapshot.registry);
  return snapshot;
}

std::vector<std::string> Added(const std::set<std::string>& before,
                               const std::set<std::string>& after) {
  std::vector<std::string> added;
  std::set_difference(after.begin(), after.end(), before.begin(), before.end(),
                      std::back_inserter(added));
  return added;
}
