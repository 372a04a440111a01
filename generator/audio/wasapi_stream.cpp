// The WASAPI playback stream: see wasapi_stream.h.
//
// How it works. The open activates an audio client on the endpoint and
// initialises it:
//   - shared: the mixer's rate, stereo float, raw mode where the client
//     takes it, event-driven (polling the padding where events are
//     refused), a buffer of five blocks;
//   - exclusive: the stream's rate and width, event-driven with its buffer
//     one period of one block; where the system refuses an event-driven
//     exclusive stream (Wine does, with AUDCLNT_E_DEVICE_IN_USE, even on an
//     idle device) the same stream driven by its padding, with a period of
//     a quarter block and a buffer of five blocks. Periods are brought
//     inside the device's minimum and half a second;
//     AUDCLNT_E_BUFFER_SIZE_NOT_ALIGNED is answered as Microsoft documents
//     it: the aligned size, a new client. A 24-bit stream is offered in a
//     32-bit container first and packed second.
// IsFormatSupported only advises: the open decides (Wine refuses 24-in-32
// there and then initialises it). A write waits until the block fits and,
// but in event-driven exclusive mode, until no more than `threshold` blocks
// are queued, reading the padding at least every half period; then it
// copies the block into the endpoint buffer. Finding the buffer empty at a
// write counts a late write. A device that goes away
// (AUDCLNT_E_DEVICE_INVALIDATED) is the connection lost.
#include "generator/audio/wasapi_stream.h"

#include <audioclient.h>
#include <mmdeviceapi.h>
#include <mmreg.h>

#include <cstdio>
#include <cstring>

#include "generator/audio/wasapi_ids.h"

namespace {

// The ids this file uses, written out (no uuid library needed).
const IID kIidAudioClient = {
    0x1CB9AD4C, 0xDBFA, 0x4C32, {0xB1, 0x78, 0xC2, 0xF5, 0x68, 0xA7, 0x03, 0xB2}};
const IID kIidAudioClient2 = {
    0x726778CD, 0xF60A, 0x4EDA, {0x82, 0xDE, 0xE4, 0x76, 0x10, 0xCD, 0x78, 0xAA}};
const IID kIidRenderClient = {
    0xF294ACFC, 0x3146, 0x4483, {0xA7, 0xBF, 0xAD, 0xDC, 0xA7, 0xC2, 0x60, 0xE2}};
const PROPERTYKEY kFriendlyName = {
    {0xA45C254E, 0xDF1C, 0x4EFD, {0x80, 0x20, 0x67, 0xD1, 0x46, 0xA8, 0x50, 0xE0}}, 14};

// E_NOTFOUND, HRESULT_FROM_WIN32(ERROR_NOT_FOUND): an endpoint id no device has.
constexpr HRESULT kEndpointNotFound = static_cast<HRESULT>(0x80070490);

constexpr int kBufferBlocks = 5;                // the endpoint buffer a padded stream asks for
constexpr REFERENCE_TIME kMaxPeriod = 5000000;  // half a second, in 100 ns
constexpr REFERENCE_TIME kHundredNsPerSecond = 10000000;

template <typename T>
void Release(T** p) {
  if (*p) (*p)->Release();
  *p = nullptr;
}

IAudioClient* ClientOf(const WaveStream* s) { return static_cast<IAudioClient*>(s->wasapi.client); }
IAudioRenderClient* RenderOf(const WaveStream* s) {
  return static_cast<IAudioRenderClient*>(s->wasapi.render);
}
bool IsExclusive(const WaveStream* s) {
  return s->device.driver_type == kDriverTypeWasapiExclusive;
}

// The cause of a failed call, as the user reads it.
void SetError(WaveStream* s, HRESULT hr) {
  const char* text = nullptr;
  switch (hr) {
    case AUDCLNT_E_DEVICE_INVALIDATED:
    case kEndpointNotFound: text = "The device is no longer there."; break;
    case AUDCLNT_E_DEVICE_IN_USE: text = "Another program is using the device exclusively."; break;
    case AUDCLNT_E_EXCLUSIVE_MODE_NOT_ALLOWED:
      text = "The device does not allow exclusive use (Windows' sound settings).";
      break;
    case AUDCLNT_E_SERVICE_NOT_RUNNING: text = "The Windows audio service is not running."; break;
    case AUDCLNT_E_UNSUPPORTED_FORMAT:
    case AUDCLNT_E_ENDPOINT_CREATE_FAILED: break;  // the format, named below
    default:
      std::snprintf(s->error_text, sizeof s->error_text, "WASAPI error 0x%08lX",
                    static_cast<unsigned long>(hr));
      return;
  }
  if (text) {
    std::snprintf(s->error_text, sizeof s->error_text, "%s", text);
    return;
  }
  const int code = s->format.format_code;
  const int bits = code == kFormatPcm24In32 ? 24 : 8 * BytesPerSample(code);
  std::snprintf(s->error_text, sizeof s->error_text, "The device %s %g kHz %d-bit%s.",
                hr == AUDCLNT_E_UNSUPPORTED_FORMAT ? "does not take" : "could not be opened at",
                s->format.sample_rate / 1000.0, bits, code == kFormatFloat32 ? " float" : "");
}

// Whether a failed open is the format's: the next format may still open.
bool IsFormatRefusal(HRESULT hr) {
  return hr == AUDCLNT_E_UNSUPPORTED_FORMAT || hr == AUDCLNT_E_ENDPOINT_CREATE_FAILED;
}

// The endpoint of `id` ("" the default render endpoint), or null with the
// cause in `*hr`.
IMMDevice* FindEndpoint(const wchar_t* id, HRESULT* hr) {
  IMMDeviceEnumerator* devices = nullptr;
  *hr = CoCreateInstance(kClsidDeviceEnumerator, nullptr, CLSCTX_ALL, kIidDeviceEnumerator,
                         reinterpret_cast<void**>(&devices));
  if (FAILED(*hr)) return nullptr;
  IMMDevice* device = nullptr;
  if (id[0] == L'\0') {
    *hr = devices->GetDefaultAudioEndpoint(eRender, eConsole, &device);
  } else if (FAILED(devices->GetDevice(id, &device))) {
    *hr = kEndpointNotFound;  // no endpoint has that id (now)
  }
  Release(&devices);
  if (SUCCEEDED(*hr) && device) {
    DWORD state = 0;
    if (SUCCEEDED(device->GetState(&state)) && state != DEVICE_STATE_ACTIVE) {
      Release(&device);
      *hr = kEndpointNotFound;
    }
  }
  return device;
}

// The formats a stream of `f` is offered in, best first; how many.
int FormatsFor(const WaveFormatSpec& f, WAVEFORMATEXTENSIBLE out[2]) {
  int n = 0;
  if (MakeExtensibleFormat(f, &out[n])) ++n;
  if (f.format_code == kFormatPcm24In32) {
    const WaveFormatSpec packed = {f.sample_rate, f.channel_count, kFormatPcm24};
    if (MakeExtensibleFormat(packed, &out[n])) ++n;
  }
  return n;
}

// The period asked of an exclusive stream: `wanted`, inside what the
// device allows.
REFERENCE_TIME ClampPeriod(REFERENCE_TIME wanted, REFERENCE_TIME minimum) {
  if (wanted < minimum) return minimum;
  return wanted > kMaxPeriod ? kMaxPeriod : wanted;
}

// Initialises a new client of `device` in the stream's mode for `format`,
// asking for a block of `block_frames`; the client and how it is driven go
// into the stream. S_OK, or the cause.
//
// An event-driven exclusive stream's period is the block; a stream driven
// by its padding has a period of a quarter block, so that the system
// frees room, and the writer finds it, several times a block.
HRESULT InitialiseClient(WaveStream* s, IMMDevice* device, const WAVEFORMATEXTENSIBLE& format,
                         int32_t block_frames) {
  const bool exclusive = IsExclusive(s);
  const double rate = format.Format.nSamplesPerSec;
  const REFERENCE_TIME block =
      static_cast<REFERENCE_TIME>(block_frames * kHundredNsPerSecond / rate + 0.5);
  REFERENCE_TIME default_period = 0, minimum = 0;
  REFERENCE_TIME aligned_period = 0;  // what AUDCLNT_E_BUFFER_SIZE_NOT_ALIGNED asked for
  bool event_driven = true;
  for (int attempt = 0; attempt < 4; ++attempt) {
    IAudioClient* client = nullptr;
    HRESULT hr =
        device->Activate(kIidAudioClient, CLSCTX_ALL, nullptr, reinterpret_cast<void**>(&client));
    if (FAILED(hr)) return hr;
    if (attempt == 0) client->GetDevicePeriod(&default_period, &minimum);
    if (!exclusive) {
      // Raw: no system effects, where the client takes it (Windows 8.1 on).
      IAudioClient2* client2 = nullptr;
      if (SUCCEEDED(client->QueryInterface(kIidAudioClient2, reinterpret_cast<void**>(&client2)))) {
        AudioClientProperties properties = {};
        properties.cbSize = sizeof properties;
        properties.eCategory = AudioCategory_Other;
        properties.Options = AUDCLNT_STREAMOPTIONS_RAW;
        s->wasapi.raw = SUCCEEDED(client2->SetClientProperties(&properties)) ? 1 : 0;
        Release(&client2);
      }
    }
    // Shared streams run at the audio engine's period.
    const REFERENCE_TIME period = !exclusive ? default_period
                                  : aligned_period
                                      ? aligned_period
                                      : ClampPeriod(event_driven ? block : block / 4, minimum);
    // Shared: stereo at the mix rate; a device mixed in more channels
    // takes it through the engine's channel conversion.
    const DWORD flags =
        (event_driven ? AUDCLNT_STREAMFLAGS_EVENTCALLBACK : 0) |
        (exclusive ? 0
                   : AUDCLNT_STREAMFLAGS_AUTOCONVERTPCM | AUDCLNT_STREAMFLAGS_SRC_DEFAULT_QUALITY);
    const REFERENCE_TIME buffer = exclusive && event_driven ? period : kBufferBlocks * block;
    hr = client->Initialize(exclusive ? AUDCLNT_SHAREMODE_EXCLUSIVE : AUDCLNT_SHAREMODE_SHARED,
                            flags, buffer, exclusive ? period : 0,
                            reinterpret_cast<const WAVEFORMATEX*>(&format), nullptr);
    if (hr == AUDCLNT_E_BUFFER_SIZE_NOT_ALIGNED) {
      UINT32 aligned = 0;
      client->GetBufferSize(&aligned);
      Release(&client);
      aligned_period = static_cast<REFERENCE_TIME>(aligned * kHundredNsPerSecond / rate + 0.5);
      continue;  // the aligned size, on a new client
    }
    if (event_driven && (hr == AUDCLNT_E_DEVICE_IN_USE || hr == E_INVALIDARG ||
                         hr == AUDCLNT_E_UNSUPPORTED_FORMAT)) {
      // Events refused: the same stream, driven by its padding. (An
      // exclusive stream another program holds is refused again below.)
      Release(&client);
      event_driven = false;
      aligned_period = 0;
      continue;
    }
    if (FAILED(hr)) {
      Release(&client);
      return hr;
    }
    s->wasapi.client = client;
    s->wasapi.event_driven = event_driven ? 1 : 0;
    s->wasapi.period_frames = static_cast<uint32_t>(period * rate / kHundredNsPerSecond + 0.5);
    return S_OK;
  }
  return AUDCLNT_E_BUFFER_SIZE_NOT_ALIGNED;
}

void CloseClient(WaveStream* s) {
  if (ClientOf(s) && s->started) ClientOf(s)->Stop();
  IAudioRenderClient* render = RenderOf(s);
  IAudioClient* client = ClientOf(s);
  Release(&render);
  Release(&client);
  s->wasapi.render = nullptr;
  s->wasapi.client = nullptr;
  if (s->wasapi.buffer_event) CloseHandle(s->wasapi.buffer_event);
  s->wasapi.buffer_event = nullptr;
}

int WasapiOpen(WaveStream* s) {
  if (s->opened) return 0;
  ResetEvent(s->event);
  InterlockedExchange(&s->wait_cancelled, 0);
  s->started = 0;
  s->wasapi.raw = 0;
  const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  s->wasapi.com_initialised = SUCCEEDED(com) ? 1 : 0;  // else this thread had it already
  HRESULT hr = S_OK;
  IMMDevice* device = FindEndpoint(s->wasapi.endpoint_id, &hr);
  if (device && !IsExclusive(s)) {
    // Shared: the mixer's rate, whatever was asked.
    IAudioClient* probe = nullptr;
    WAVEFORMATEX* mix = nullptr;
    hr = device->Activate(kIidAudioClient, CLSCTX_ALL, nullptr, reinterpret_cast<void**>(&probe));
    if (SUCCEEDED(hr)) hr = probe->GetMixFormat(&mix);
    if (SUCCEEDED(hr)) s->format = {static_cast<int32_t>(mix->nSamplesPerSec), 2, kFormatFloat32};
    if (mix) CoTaskMemFree(mix);
    Release(&probe);
  }
  if (device && SUCCEEDED(hr)) {
    WAVEFORMATEXTENSIBLE formats[2];
    const int count = FormatsFor(s->format, formats);
    hr = AUDCLNT_E_UNSUPPORTED_FORMAT;
    for (int i = 0; i < count && IsFormatRefusal(hr); ++i) {
      hr = InitialiseClient(s, device, formats[i], s->buffer_frames);
      if (SUCCEEDED(hr) && i == 1) s->format.format_code = kFormatPcm24;  // packed, then
    }
  }
  Release(&device);
  IAudioClient* client = ClientOf(s);
  UINT32 buffer_frames = 0;
  if (SUCCEEDED(hr)) hr = client->GetBufferSize(&buffer_frames);
  if (SUCCEEDED(hr)) {
    hr = client->GetService(kIidRenderClient, &s->wasapi.render);
  }
  if (SUCCEEDED(hr) && s->wasapi.event_driven) {
    s->wasapi.buffer_event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    hr = s->wasapi.buffer_event ? client->SetEventHandle(s->wasapi.buffer_event) : E_OUTOFMEMORY;
  }
  if (FAILED(hr)) {
    SetError(s, hr);
    CloseClient(s);
    if (s->wasapi.com_initialised) CoUninitialize();
    s->wasapi.com_initialised = 0;
    return static_cast<int>(hr);
  }
  s->wasapi.buffer_frames = buffer_frames;
  if (IsExclusive(s) && s->wasapi.event_driven) {
    // Each event frees the whole buffer, one period: the block is the period.
    s->buffer_frames = static_cast<int32_t>(buffer_frames);
  }
  s->buffer_bytes = s->buffer_frames * BytesPerFrame(s->format.format_code, 2);
  s->opened = 1;
  return 0;
}

int WasapiClose(WaveStream* s) {
  ResetEvent(s->event);
  if (!s->opened) return 0;
  CloseClient(s);
  if (s->wasapi.com_initialised) CoUninitialize();
  s->wasapi.com_initialised = 0;
  s->opened = 0;
  return 0;
}

int WasapiPrepare(WaveStream* s) {
  if (!s->opened) return -1;
  s->prepared = 1;
  return 0;
}

int WasapiUnprepare(WaveStream* s) {
  s->prepared = 0;
  return 0;
}

int WasapiStop(WaveStream* s) {
  if (s->started && ClientOf(s)) {
    ClientOf(s)->Stop();
    ClientOf(s)->Reset();
  }
  s->started = 0;
  ResetEvent(s->event);
  return 0;
}

int WasapiStart(WaveStream* s) {
  if (!s->opened) return -1;
  const HRESULT hr = ClientOf(s)->Start();
  s->started = 1;
  if (FAILED(hr)) {
    SetError(s, hr);
    return -1;
  }
  return 0;
}

// A failed call in a running stream: a device that went away is the
// connection lost (when the stream reports it); any failure ends the write.
int FailTransfer(WaveStream* s, HRESULT hr) {
  s->failed_writes += 1;
  SetError(s, hr);
  if (s->report_lost == 1 && hr == AUDCLNT_E_DEVICE_INVALIDATED) {
    std::snprintf(s->error_text, sizeof s->error_text, "%s", kDriverLostText);
    s->connection_lost = 1;
  }
  return -1;
}

int WasapiWrite(WaveStream* s, void* block, int threshold) {
  if (!s->prepared || s->connection_lost || !ClientOf(s)) return -1;
  const uint32_t frames = static_cast<uint32_t>(s->buffer_frames);
  const bool by_events = s->wasapi.event_driven == 1;
  const bool whole_buffer = IsExclusive(s) && by_events;  // each event frees all of it
  const double rate = s->format.sample_rate > 0 ? s->format.sample_rate : 48000;
  UINT32 padding = 0;
  for (;;) {
    const HRESULT hr = ClientOf(s)->GetCurrentPadding(&padding);
    if (FAILED(hr)) return FailTransfer(s, hr);
    const uint32_t queued_limit = whole_buffer ? 0 : static_cast<uint32_t>(threshold) * frames;
    if (padding + frames <= s->wasapi.buffer_frames && padding <= queued_limit) break;
    if (s->wait_cancelled) return 0;  // stopping: nothing more is written
    // Until a period is free, or the queue has drained to the threshold;
    // the padding is read again at least every half period, as the
    // system frees room a period at a time.
    const uint32_t excess = padding > queued_limit ? padding - queued_limit : frames;
    const uint32_t half_period = s->wasapi.period_frames > 1 ? s->wasapi.period_frames / 2 : 1;
    const DWORD wait_ms =
        static_cast<DWORD>((excess < half_period ? excess : half_period) * 1000.0 / rate) + 1;
    if (by_events) {
      const HANDLE both[2] = {s->wasapi.buffer_event, s->event};
      WaitForMultipleObjects(2, both, FALSE, wait_ms + 100);
    } else {
      WaitForSingleObject(s->event, wait_ms);  // the cancel sets it
    }
  }
  if (s->started && padding == 0 && !whole_buffer) s->late_writes += 1;  // it ran dry
  BYTE* data = nullptr;
  HRESULT hr = RenderOf(s)->GetBuffer(frames, &data);
  if (FAILED(hr)) return FailTransfer(s, hr);
  const size_t bytes = static_cast<size_t>(frames) * BytesPerFrame(s->format.format_code, 2);
  if (block) {
    std::memcpy(data, block, bytes);
  } else {
    std::memset(data, 0, bytes);
  }
  hr = RenderOf(s)->ReleaseBuffer(frames, block ? 0 : AUDCLNT_BUFFERFLAGS_SILENT);
  if (FAILED(hr)) return FailTransfer(s, hr);
  return 0;
}

int WasapiQuery(WaveStream* s, const WaveFormatSpec* format) {
  HRESULT hr = S_OK;
  const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  IMMDevice* device = FindEndpoint(s->wasapi.endpoint_id, &hr);
  IAudioClient* client = nullptr;
  if (device) {
    hr = device->Activate(kIidAudioClient, CLSCTX_ALL, nullptr, reinterpret_cast<void**>(&client));
  }
  int supported = 0;
  WAVEFORMATEXTENSIBLE formats[2];
  const int count = client ? FormatsFor(*format, formats) : 0;
  for (int i = 0; i < count && !supported; ++i) {
    WAVEFORMATEX* closest = nullptr;
    hr = client->IsFormatSupported(
        IsExclusive(s) ? AUDCLNT_SHAREMODE_EXCLUSIVE : AUDCLNT_SHAREMODE_SHARED,
        reinterpret_cast<const WAVEFORMATEX*>(&formats[i]), IsExclusive(s) ? nullptr : &closest);
    if (closest) CoTaskMemFree(closest);
    supported = hr == S_OK ? 1 : 0;
  }
  Release(&client);
  Release(&device);
  if (SUCCEEDED(com)) CoUninitialize();
  return supported;
}

const WaveStreamOps kWasapiPlaybackOps = {WasapiQuery,     WasapiOpen, WasapiClose, WasapiPrepare,
                                          WasapiUnprepare, WasapiStop, WasapiStart, WasapiWrite};

void ToText(const wchar_t* wide, char* out, size_t size, UINT code_page) {
  if (size == 0) return;
  const int n =
      WideCharToMultiByte(code_page, 0, wide, -1, out, static_cast<int>(size), nullptr, nullptr);
  if (n <= 0) out[0] = '\0';
  out[size - 1] = '\0';
}

}  // namespace

const WaveStreamOps& WasapiPlaybackOps() { return kWasapiPlaybackOps; }

int ListRenderEndpoints(WasapiEndpoint* out, int capacity) {
  const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  int count = 0;
  IMMDeviceEnumerator* devices = nullptr;
  IMMDeviceCollection* collection = nullptr;
  if (SUCCEEDED(CoCreateInstance(kClsidDeviceEnumerator, nullptr, CLSCTX_ALL, kIidDeviceEnumerator,
                                 reinterpret_cast<void**>(&devices))) &&
      SUCCEEDED(devices->EnumAudioEndpoints(eRender, DEVICE_STATE_ACTIVE, &collection))) {
    // The default first, then every endpoint by its own id.
    IMMDevice* preferred = nullptr;
    devices->GetDefaultAudioEndpoint(eRender, eConsole, &preferred);
    UINT total = 0;
    collection->GetCount(&total);
    for (int i = preferred ? -1 : 0; i < static_cast<int>(total) && count < capacity; ++i) {
      IMMDevice* device = nullptr;
      if (i < 0) {
        device = preferred;
        device->AddRef();
      } else if (FAILED(collection->Item(static_cast<UINT>(i), &device))) {
        continue;
      }
      WasapiEndpoint* e = &out[count];
      std::memset(e, 0, sizeof *e);
      LPWSTR id = nullptr;
      if (i >= 0 && SUCCEEDED(device->GetId(&id)) && id) {
        lstrcpynW(e->id, id, kEndpointIdBytes);
        CoTaskMemFree(id);
      }
      IPropertyStore* store = nullptr;
      PROPVARIANT name;
      PropVariantInit(&name);
      if (SUCCEEDED(device->OpenPropertyStore(STGM_READ, &store)) &&
          SUCCEEDED(store->GetValue(kFriendlyName, &name)) && name.vt == VT_LPWSTR) {
        ToText(name.pwszVal, e->name, sizeof e->name, CP_ACP);
      }
      PropVariantClear(&name);
      Release(&store);
      Release(&device);
      if (!e->name[0]) std::snprintf(e->name, sizeof e->name, "Endpoint %d", count + 1);
      ++count;
    }
    Release(&preferred);
  }
  Release(&collection);
  Release(&devices);
  if (SUCCEEDED(com)) CoUninitialize();
  return count;
}

int32_t WasapiMixRate(const wchar_t* id) {
  const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  HRESULT hr = S_OK;
  int32_t rate = 0;
  IMMDevice* device = FindEndpoint(id, &hr);
  IAudioClient* client = nullptr;
  WAVEFORMATEX* mix = nullptr;
  if (device &&
      SUCCEEDED(device->Activate(kIidAudioClient, CLSCTX_ALL, nullptr,
                                 reinterpret_cast<void**>(&client))) &&
      SUCCEEDED(client->GetMixFormat(&mix)) && mix) {
    rate = static_cast<int32_t>(mix->nSamplesPerSec);
  }
  if (mix) CoTaskMemFree(mix);
  Release(&client);
  Release(&device);
  if (SUCCEEDED(com)) CoUninitialize();
  return rate;
}

WaveDeviceEntry WasapiDeviceEntry(int driver_type, int position, const char* name) {
  WaveDeviceEntry entry;
  std::memset(&entry, 0, sizeof entry);
  entry.direction = kDirectionPlayback;
  entry.driver_type = driver_type;
  entry.device_id = position;
  std::snprintf(entry.name, sizeof entry.name, "WASAPI : %s", name);
  return entry;
}

void EndpointIdToText(const wchar_t* id, char* out, size_t size) { ToText(id, out, size, CP_UTF8); }

void EndpointIdFromText(const char* text, wchar_t* out, size_t count) {
  if (count == 0) return;
  if (MultiByteToWideChar(CP_UTF8, 0, text, -1, out, static_cast<int>(count)) <= 0) out[0] = L'\0';
  out[count - 1] = L'\0';
}
