// The system's wave devices (see wave_devices.h).
//
// How it works. The list is built once, on the first reference, from the
// capabilities the multimedia interface reports: the capture mapper, the
// capture devices, the playback mapper, the playback devices, in that order,
// each device that answers under its product name with "WIN : " before it.
// Later references share it; the last release frees it.
#include "generator/audio/wave_devices.h"

#include <mmsystem.h>

#include <cstdio>
#include <cstring>

#include "generator/audio/record_list.h"

static RecordList g_device_list;
static int g_device_list_references;

static void AppendDevice(int direction, int device_id, DWORD formats, const char* product) {
  WaveDeviceEntry entry;
  std::memset(&entry, 0, sizeof entry);
  entry.direction = direction;
  entry.driver_type = kDriverTypeWave;
  entry.device_id = device_id;
  entry.formats = formats;
  std::snprintf(entry.name, sizeof entry.name, "WIN : %s", product);
  AppendRecord(&g_device_list, &entry);
}

static void EnumerateCapture() {
  WAVEINCAPSA caps;
  if (waveInGetDevCapsA(WAVE_MAPPER, &caps, sizeof caps) == MMSYSERR_NOERROR) {
    AppendDevice(kDirectionCapture, -1, caps.dwFormats, "Windows Wave Mapper");
  }
  const UINT count = waveInGetNumDevs();
  for (UINT id = 0; id < count; ++id) {
    if (waveInGetDevCapsA(id, &caps, sizeof caps) != MMSYSERR_NOERROR) continue;
    caps.szPname[sizeof caps.szPname - 1] = '\0';
    AppendDevice(kDirectionCapture, static_cast<int>(id), caps.dwFormats, caps.szPname);
  }
}

static void EnumeratePlayback() {
  WAVEOUTCAPSA caps;
  if (waveOutGetDevCapsA(WAVE_MAPPER, &caps, sizeof caps) == MMSYSERR_NOERROR) {
    AppendDevice(kDirectionPlayback, -1, caps.dwFormats, "Windows Wave Mapper");
  }
  const UINT count = waveOutGetNumDevs();
  for (UINT id = 0; id < count; ++id) {
    if (waveOutGetDevCapsA(id, &caps, sizeof caps) != MMSYSERR_NOERROR) continue;
    caps.szPname[sizeof caps.szPname - 1] = '\0';
    AppendDevice(kDirectionPlayback, static_cast<int>(id), caps.dwFormats, caps.szPname);
  }
}

int EnumerateWaveDevices(HINSTANCE) {
  if (g_device_list_references > 0) {
    g_device_list_references += 1;
    return 1;
  }
  if (!InitRecordList(&g_device_list, sizeof(WaveDeviceEntry))) return 0;
  EnumerateCapture();
  EnumeratePlayback();
  g_device_list_references = 1;
  return 1;
}

void ReleaseWaveDevices() {
  if (g_device_list_references <= 0) return;
  g_device_list_references -= 1;
  if (g_device_list_references == 0) FreeRecordList(&g_device_list);
}

// DeviceNameAt over the entries of the direction `context` points to.
static bool SystemDeviceNameAt(void* context, int position, char* out) {
  const WaveDeviceEntry* entry = FindWaveDevice(position, *static_cast<const int*>(context));
  if (entry) SystemDeviceName(entry, out, kDeviceNameBytes);
  return entry != nullptr;
}

int FindKeptWaveDevice(const OutputChoice& kept, int direction) {
  return FindKeptDevice(kept, SystemDeviceNameAt, &direction);
}

void SystemDeviceName(const WaveDeviceEntry* entry, char* out, size_t size) {
  if (size == 0) return;
  out[0] = '\0';
  if (entry->device_id != -1) {
    const char* name = entry->name;
    if (std::strncmp(name, "WIN : ", 6) == 0) name += 6;
    std::snprintf(out, size, "%s", name);
    return;
  }
  UINT read = MMSYSERR_ERROR;
  if (entry->direction == kDirectionPlayback) {
    WAVEOUTCAPSA caps;
    read = waveOutGetDevCapsA(WAVE_MAPPER, &caps, sizeof caps);
    if (read == MMSYSERR_NOERROR) {
      caps.szPname[sizeof caps.szPname - 1] = '\0';
      std::snprintf(out, size, "%s", caps.szPname);
    }
  } else {
    WAVEINCAPSA caps;
    read = waveInGetDevCapsA(WAVE_MAPPER, &caps, sizeof caps);
    if (read == MMSYSERR_NOERROR) {
      caps.szPname[sizeof caps.szPname - 1] = '\0';
      std::snprintf(out, size, "%s", caps.szPname);
    }
  }
  if (read != MMSYSERR_NOERROR || !out[0]) std::snprintf(out, size, "%s", "Windows Wave Mapper");
}

const WaveDeviceEntry* FindWaveDevice(int n, int direction) {
  if (n < 1) return nullptr;
  int seen = 0;
  for (size_t i = 1; i <= g_device_list.count; ++i) {
    const auto* entry = static_cast<const WaveDeviceEntry*>(GetRecord(&g_device_list, i));
    if (entry->direction == direction && ++seen == n) return entry;
  }
  return nullptr;
}
