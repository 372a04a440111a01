// The audio thread: renders the engine block by block into the playback
// stream until it is told to stop, and the start/stop/latency protocol the
// application drives it with.
//
// The stream plays the output format: the interface's encoding at the rate
// and width (output_choice.h). At 16 bits the engine renders the block, as
// it always has (converted exactly to float for WASAPI shared mode); the
// high-precision widths render the precise synth's doubles and quantise
// them with TPDF dither to 16 or 24 bits (pcm_quantiser.h), or hand them to
// a float stream as they are.
//
// The thread joins the multimedia class scheduler's "Pro Audio" class where
// Windows has it, opens, prepares and starts the stream, writes one block of
// silence, then loops: fill the render block (FillBlock), write it (waiting
// while more than three blocks are queued; after a write the device
// refused, pausing for about a block's duration). StopAudio clears the run
// flag, wakes the thread and joins it, so the engine may be reset or
// released afterwards without a render running. A WASAPI endpoint that goes
// away ends the thread, which then posts `lost_command` to `notify_window`.
#pragma once

#include <windows.h>

#include <atomic>

#include "generator/audio/output_choice.h"
#include "generator/audio/wave_stream.h"
#include "generator/engine/engine.h"
#include "generator/engine/pcm_quantiser.h"
#include "generator/engine/precise_synth.h"

struct AudioState {
  std::atomic<int> run;  // 1 while the audio thread runs
  HANDLE thread;
  DWORD thread_id;
  float latency_s;                 // the latency setting, 0.1 by default
  int32_t sample_rate;             // the output format, 44,100 Hz 16-bit by default
  OutputWidth width;               //
  OutputInterface interface_kind;  // the stream's interface, the wave interface by default
  int32_t mix_rate;                // WASAPI shared: the rate Windows mixes the endpoint at
  void* render_block;              // the stream's block in its encoding, render_bytes long
  int32_t render_bytes;
  int32_t render_frames;  // the block the render blocks were made for
  int16_t* engine_block;  // 16-bit width: the engine's samples before a float stream's conversion
  double* precise_block;  // high-precision widths: 2 values a frame of the block
  PreciseVoice* voice;    // high-precision widths: the precise synth's oscillators
  Dither dither;
  WaveStream stream;              // the program's playback stream
  GeneratorEngine** engine_slot;  // what FillBlock renders
  HWND notify_window;             // told when the output is lost, or null
  UINT lost_command;              // the WM_COMMAND id it is told with
};

extern AudioState g_audio;

// Sets up the playback stream on the first playback device (the mapper) for
// `engine_slot`. 1, or 0 with the reason in the stream's error text.
int InitAudioOutput(HINSTANCE instance, GeneratorEngine** engine_slot);

// Stops the thread and frees the stream and the render block.
void FreeAudioStream();

// FreeAudioStream, then drops the program's reference to the device list.
void EndAudioOutput();

// Starts the audio thread unless it runs. UI thread.
void StartAudio();

// Stops the audio thread and waits for it to end; returns promptly even when
// the thread waits for a buffer to complete. UI thread.
void StopAudio();

// Sizes the stream for the latency setting and the output format and
// replaces the render blocks. On failure shows the stream's error text under
// "Init Error" and returns 0. Only while the audio thread is stopped.
int ApplyLatency(HWND window);

// The same without a word: 1, or 0 with the reason in the stream's error text.
int ApplyStreamFormat();

// Renders the engine into the render block unless a render is already in
// progress: the engine's 16 bits, or the precise synth quantised to the
// width, in the stream's encoding.
void FillBlock();

// Opens the stream as it is selected and sized and closes it again: the
// device's answer to a choice, on the calling thread. 1, or 0 with the
// reason in `error`.
int ProbeStream(char* error, size_t size);
