#!/usr/bin/python3
"""Checks what every Windows program and library of the build needs to start.

    scripts/check-imports.py PATH...           check every .exe and .dll under PATH
    scripts/check-imports.py --planted PATH... show that the check fails on the
                                               planted faults built under PATH

Reads the import tables (ordinary and delay-load) of each PE file itself, so
it runs on any machine, whether or not it can run the programs:

- every file imports only DLLs that Windows itself ships (WINDOWS_DLLS): a
  DLL linked without -static imports the shared libgcc, which no Windows has;
- the deliverables (DELIVERABLES) import no function that needs Windows 7 or
  later (NEWER_THAN_VISTA): they start on Windows Vista and later. (Vista, not
  XP: winpthread, which the posix thread model brings, imports GetTickCount64.)
  A newer function is looked up at run time, as SetDefaultDllDirectories is;
- the elevated installer (ELEVATED) imports KnownDLLs only (KNOWN_DLLS): its
  static imports load before any of its code can restrict the search, so any
  other DLL would be looked for in its own folder, a download folder, first.
  Others are loaded at run time from the system folder by full path.

Wine prefixes and CMake's own scratch folders are skipped. Each fault is one
line naming the file and the import; the exit code is 1 when there is any.
The planted faults (PLANTED, built from tests/imports/) are left out of the
ordinary check; --planted checks each of them as a deliverable and passes
only when each one is refused for the import it was planted with.
"""
import os
import struct
import sys

# DLLs every Windows from Vista on has in its system folder, in lower case.
WINDOWS_DLLS = {
    "advapi32.dll", "comctl32.dll", "comdlg32.dll", "gdi32.dll", "kernel32.dll",
    "msvcrt.dll", "ntdll.dll", "ole32.dll", "oleaut32.dll", "setupapi.dll",
    "shell32.dll", "shlwapi.dll", "user32.dll", "version.dll", "winmm.dll",
    "ws2_32.dll",
}

# DLLs that are KnownDLLs on every Windows from Vista on: the loader takes
# them from the system folder whatever folder the program is in. (comctl32,
# version and winmm are not among them.)
KNOWN_DLLS = {
    "advapi32.dll", "comdlg32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll",
    "ntdll.dll", "ole32.dll", "oleaut32.dll", "setupapi.dll", "shell32.dll",
    "shlwapi.dll", "user32.dll", "ws2_32.dll",
}

DELIVERABLES = {"generator.exe", "brindlemoorsetup.exe"}
ELEVATED = {"brindlemoorsetup.exe", "brindlemoorsetupnopackage.exe"}

# Functions of the system DLLs that Windows Vista lacks, with the first
# Windows that has them. A deliverable that imports one does not start there.
NEWER_THAN_VISTA = {
    "AddDllDirectory": "Windows 8 (Windows 7 with KB2533623)",
    "RemoveDllDirectory": "Windows 8 (Windows 7 with KB2533623)",
    "SetDefaultDllDirectories": "Windows 8 (Windows 7 with KB2533623)",
    "TryAcquireSRWLockExclusive": "Windows 7",
    "TryAcquireSRWLockShared": "Windows 7",
    "GetSystemTimePreciseAsFileTime": "Windows 8",
    "CreateFile2": "Windows 8",
    "WaitOnAddress": "Windows 8",
    "WakeByAddressSingle": "Windows 8",
    "WakeByAddressAll": "Windows 8",
    "InitializeSynchronizationBarrier": "Windows 8",
    "EnterSynchronizationBarrier": "Windows 8",
    "DeleteSynchronizationBarrier": "Windows 8",
    "GetCurrentProcessorNumberEx": "Windows 7",
    "GetLogicalProcessorInformationEx": "Windows 7",
    "GetActiveProcessorCount": "Windows 7",
    "GetMaximumProcessorCount": "Windows 7",
    "GetThreadGroupAffinity": "Windows 7",
    "SetThreadGroupAffinity": "Windows 7",
    "QueryUnbiasedInterruptTime": "Windows 7",
    "CreateRemoteThreadEx": "Windows 7",
    "PowerCreateRequest": "Windows 7",
    "PowerSetRequest": "Windows 7",
    "PowerClearRequest": "Windows 7",
    "ResolveLocaleName": "Windows 7",
    "FindStringOrdinal": "Windows 7",
    "SetThreadpoolTimerEx": "Windows 8",
    "SetThreadpoolWaitEx": "Windows 8",
    "GetProcessMitigationPolicy": "Windows 8",
    "SetProcessMitigationPolicy": "Windows 8",
    "PrefetchVirtualMemory": "Windows 8",
    "GetFirmwareType": "Windows 8",
    "LoadPackagedLibrary": "Windows 8",
    "SetThreadDescription": "Windows 10",
    "GetThreadDescription": "Windows 10",
    "ChangeWindowMessageFilterEx": "Windows 7",
    "RegisterTouchWindow": "Windows 7",
    "SetCurrentProcessExplicitAppUserModelID": "Windows 7",
    "SHGetPropertyStoreForWindow": "Windows 7",
    "GetDpiForWindow": "Windows 10",
    "SetProcessDpiAwarenessContext": "Windows 10",
}

PLANTED = {
    "planted_shared_libgcc.dll": "libgcc_s_",
    "planted_newer_call.exe": "GetSystemTimePreciseAsFileTime",
    "planted_elevated_import.exe": "version.dll",
}


class NotPe(Exception):
    pass


def read_imports(path):
    """The file's imports as [(dll, [function or '#ordinal', ...])]."""
    with open(path, "rb") as f:
        data = f.read()

    def u16(at):
        if at < 0 or at + 2 > len(data):
            raise NotPe("truncated")
        return struct.unpack_from("<H", data, at)[0]

    def u32(at):
        if at < 0 or at + 4 > len(data):
            raise NotPe("truncated")
        return struct.unpack_from("<I", data, at)[0]

    def u64(at):
        if at < 0 or at + 8 > len(data):
            raise NotPe("truncated")
        return struct.unpack_from("<Q", data, at)[0]

    if data[:2] != b"MZ":
        raise NotPe("no MZ header")
    pe = u32(0x3C)
    if data[pe:pe + 4] != b"PE\0\0":
        raise NotPe("no PE signature")
    sections = u16(pe + 6)
    optional_size = u16(pe + 20)
    optional = pe + 24
    magic = u16(optional)
    if magic == 0x10B:
        wide, directories = False, optional + 96
    elif magic == 0x20B:
        wide, directories = True, optional + 112
    else:
        raise NotPe("unknown optional header")
    directory_count = u32(directories - 4)
    table = []
    for i in range(sections):
        at = optional + optional_size + 40 * i
        table.append((u32(at + 12), max(u32(at + 8), u32(at + 16)), u32(at + 20)))

    def offset(rva):
        for address, size, raw in table:
            if address <= rva < address + size:
                return raw + rva - address
        raise NotPe("address outside every section")

    def text(rva):
        start = offset(rva)
        end = data.find(b"\0", start)
        if end < 0:
            raise NotPe("unterminated name")
        return data[start:end].decode("ascii", "replace")

    def names(thunks):
        found = []
        at = offset(thunks)
        while True:
            entry = u64(at) if wide else u32(at)
            if entry == 0:
                return found
            if entry >> (63 if wide else 31):
                found.append("#%d" % (entry & 0xFFFF))
            else:
                found.append(text((entry & 0x7FFFFFFF) + 2))
            at += 8 if wide else 4

    def directory(index):
        if index >= directory_count:
            return 0
        return u32(directories + 8 * index)

    imports = []
    rva = directory(1)
    if rva:
        at = offset(rva)
        while u32(at + 12):
            thunks = u32(at) or u32(at + 16)
            imports.append((text(u32(at + 12)), names(thunks)))
            at += 20
    rva = directory(13)  # delay-load
    if rva:
        at = offset(rva)
        while u32(at + 4):
            imports.append((text(u32(at + 4)), names(u32(at + 16))))
            at += 32
    return imports


def faults_of(path, as_deliverable, as_elevated=False):
    try:
        imports = read_imports(path)
    except (NotPe, OSError) as error:
        return ["%s: cannot read its import table (%s)" % (path, error)]
    faults = []
    for dll, functions in imports:
        if dll.lower() not in WINDOWS_DLLS:
            faults.append("%s: imports %s, which Windows does not ship" % (path, dll))
        elif as_elevated and dll.lower() not in KNOWN_DLLS:
            faults.append("%s: imports %s, which is no KnownDLL: an elevated program "
                          "would look for it in its own folder first" % (path, dll))
        if as_deliverable:
            for name in functions:
                if name in NEWER_THAN_VISTA:
                    faults.append("%s: imports %s from %s, which needs %s" %
                                  (path, name, dll, NEWER_THAN_VISTA[name]))
    return faults


def pe_files(root):
    if os.path.isfile(root):
        yield root
        return
    for folder, subfolders, files in os.walk(root):
        # CMake's compiler probes and Wine prefixes are not the build's files.
        subfolders[:] = sorted(
            s for s in subfolders
            if s != "CMakeFiles" and not os.path.isdir(os.path.join(folder, s, "drive_c")))
        for name in sorted(files):
            if name.lower().endswith((".exe", ".dll")):
                yield os.path.join(folder, name)


def main(argv):
    planted = argv[:1] == ["--planted"]
    roots = argv[1:] if planted else argv
    if not roots or any(r.startswith("-") for r in roots):
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    faults, checked, planted_seen = [], 0, 0
    for root in roots:
        if not os.path.exists(root):
            continue
        for path in pe_files(root):
            name = os.path.basename(path).lower()
            if planted:
                if name not in PLANTED:
                    continue
                planted_seen += 1
                found = faults_of(path, True, True)
                for line in found:
                    print("refused as it should be: " + line)
                if not any(PLANTED[name].lower() in line.lower() and path in line
                           for line in found):
                    faults.append("%s: the planted fault (%s) was not found" %
                                  (path, PLANTED[name]))
            elif name not in PLANTED:
                checked += 1
                faults.extend(faults_of(path, name in DELIVERABLES, name in ELEVATED))
    for line in faults:
        print(line, file=sys.stderr)
    if planted:
        if planted_seen == 0:
            print("check-imports: no planted fault was built under " + " ".join(roots),
                  file=sys.stderr)
            return 1
        if not faults:
            print("check-imports: all %d planted faults refused" % planted_seen)
    elif not faults:
        print("check-imports: %d programs and libraries import only what Windows Vista "
              "and later ship" % checked)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
