// The one registry setting of Generator: the output latency in seconds,
// HKEY_CURRENT_USER\Quenby_Audio\Generator "LatencyTime", a REG_BINARY float.
#pragma once

constexpr char kGeneratorKey[] = "Quenby_Audio\\Generator";
constexpr char kLatencyValueName[] = "LatencyTime";

// The stored latency when it can be read, is binary, 4 bytes and within
// 0.02 … 0.5 s; otherwise `fallback`.
float ReadLatencySetting(float fallback);

// Stores the latency, creating the key when it does not exist. 1 on success.
int WriteLatencySetting(float latency_s);
