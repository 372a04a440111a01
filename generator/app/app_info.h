// Names, version and addresses of the Generator program, shared by the code
// and the resource script.
#pragma once

#define GENERATOR_VERSION_TEXT "1.0.0"
#define GENERATOR_VERSION_COMMAS 1, 0, 0, 0
#define GENERATOR_MAKER "Quenby Audio"
#define GENERATOR_WEB_ADDRESS "https://www.quenby-audio.example/"
#define GENERATOR_MAIL_ADDRESS "support@quenby-audio.example"

// Resource ids.
#define IDI_GENERATOR 100
#define IDB_PANEL 500
#define IDB_SMALL_KNOB 509
#define IDB_LARGE_KNOB 510
#define IDB_BUTTON_ON 530
#define IDB_BUTTON_OFF 531
#define IDB_LAMP_ON 532
#define IDB_LAMP_OFF 533
#define IDB_SLIDER_TRACK 540
#define IDB_SLIDER_THUMB 541
#define IDB_OPTIONS 550
#define IDB_TONE_BURST 551
#define IDB_SEQUENCE 552
#define IDB_STEPS 553
#define IDB_OUTPUT_LEVEL 554

// Commands of the main window.
#define CMD_NOTHING 0
#define CMD_STOP_AUDIO 20
#define CMD_START_AUDIO 21
#define CMD_STOP_AUDIO_TOO 22
#define CMD_LATENCY_200 50
#define CMD_LATENCY_100 51
#define CMD_LATENCY_50 52
#define CMD_LATENCY_30 53
#define CMD_LATENCY_20 54
#ifndef RC_INVOKED
// The Latency menu's commands and what each sets: the one table of them
// (the resource script names each item; a test reads the menu against it).
struct LatencyCommand {
  int command;
  float latency_s;
};
constexpr LatencyCommand kLatencyCommands[] = {{CMD_LATENCY_200, 0.2f},
                                               {CMD_LATENCY_100, 0.1f},
                                               {CMD_LATENCY_50, 0.05f},
                                               {CMD_LATENCY_30, 0.03f},
                                               {CMD_LATENCY_20, 0.02f}};
#endif
// The Output menu: an interface (its number in the registry), a device
// (its position in the list shown, from 0), a rate, a width (their
// positions in the menu); the audio thread's word that the output is lost,
// the system's that the default endpoint changed.
#define CMD_OUTPUT_INTERFACE 290
#define CMD_OUTPUT_LOST 295
#define CMD_OUTPUT_DEFAULT_CHANGED 296
#define CMD_OUTPUT_DEVICE 300
#define CMD_OUTPUT_DEVICE_LAST 363
#define CMD_OUTPUT_RATE 400
#define CMD_OUTPUT_WIDTH 410
#define CMD_OUTPUT_LEVEL 420
// The Signals menu: its rows from the first (signals_menu.cpp), with room
// for as many again.
#define CMD_SIGNALS 500
#define CMD_SIGNALS_LAST 549
#define CMD_QUIT 100
#define CMD_ABOUT 101
#define CMD_DEFAULTS 102
#define CMD_README 888
#define CMD_LICENSE 889
#define CMD_WEB 890
#define CMD_MAIL 891
