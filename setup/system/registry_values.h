// The registry values the installer writes and reads.
#pragma once

#include <windows.h>

#include <cstddef>

// Registry writers and reader: 1 on success, 0 on failure. The writers
// create the key when it does not exist. ReadUserString copies the REG_SZ
// value into `buffer` (`buffer_size` bytes) and fails, leaving it empty, when
// the value does not fit (at most 4,050 bytes are ever copied). Each write
// is a line of the run's log.
int WriteMachineString(const char* sub_key, const char* name, const char* text);
int WriteMachineDword(const char* sub_key, const char* name, DWORD value);
int WriteUserDword(const char* sub_key, const char* name, DWORD value);
int ReadUserString(const char* sub_key, const char* name, char* buffer, size_t buffer_size);
