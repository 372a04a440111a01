// Stream buffer sizing, wave format codes, the record list and the kept device.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "generator/audio/output_choice.h"
#include "generator/audio/record_list.h"
#include "generator/audio/wave_format.h"

namespace {

TEST(StreamBuffer, LatencyMenuEntries) {
  const struct {
    float latency;
    int frames, bytes;
  } menu[] = {{0.2f, 8820, 35280},
              {0.1f, 4408, 17632},
              {0.05f, 2204, 8816},
              {0.03f, 1320, 5280},
              {0.02f, 880, 3520}};
  for (const auto& entry : menu) {
    const StreamBufferSize size = StreamBufferForLatency(kGeneratorWaveFormat, entry.latency, 4);
    EXPECT_EQ(size.frames, entry.frames) << entry.latency;
    EXPECT_EQ(size.bytes, entry.bytes) << entry.latency;
  }
  // The default latency's block, which genrender renders in too, at every rate.
  EXPECT_EQ(DefaultStreamBuffer(44100).frames, 4408);
  EXPECT_EQ(DefaultStreamBuffer(44100).bytes, 17632);
  EXPECT_EQ(DefaultStreamBuffer(48000).frames, 4800);
  EXPECT_EQ(DefaultStreamBuffer(192000).frames, 19200);
}

TEST(StreamBuffer, RoundingAndLimits) {
  const WaveFormatSpec mono8 = {1000, 1, 1};
  // x = 6.5 rounds down to 6 (a half rounds down), 6.6 up to 7; then to groups of 2.
  EXPECT_EQ(StreamBufferForLatency(mono8, 0.0065f, 1).frames, 6);
  EXPECT_EQ(StreamBufferForLatency(mono8, 0.0066f, 1).frames, 7);
  EXPECT_EQ(StreamBufferForLatency(mono8, 0.0066f, 2).frames, 6);
  // Below one aligned group: still one group of 4 frames.
  EXPECT_EQ(StreamBufferForLatency(kGeneratorWaveFormat, 0.00001f, 4).frames, 4);
  EXPECT_EQ(StreamBufferForLatency(kGeneratorWaveFormat, 0.00001f, 4).bytes, 16);
  for (float bad : {0.0f, -1.0f, NAN, INFINITY, -INFINITY}) {
    EXPECT_EQ(StreamBufferForLatency(kGeneratorWaveFormat, bad, 4).frames, 4) << bad;
  }
  EXPECT_EQ(StreamBufferForLatency(kGeneratorWaveFormat, 1e30f, 4).frames, 60 * 44100);
  // Unknown format codes give no bytes at all.
  EXPECT_EQ(StreamBufferForLatency({44100, 2, 3}, 0.1f, 4).bytes, 0);
}

TEST(StreamBuffer, AcceptedLatencies) {
  EXPECT_TRUE(IsAcceptedLatency(0.02f));
  EXPECT_TRUE(IsAcceptedLatency(0.5f));
  EXPECT_TRUE(IsAcceptedLatency(0.1f));
  EXPECT_FALSE(IsAcceptedLatency(0.019f));
  EXPECT_FALSE(IsAcceptedLatency(0.51f));
  EXPECT_FALSE(IsAcceptedLatency(NAN));
}

TEST(WaveFormat, BytesPerFrameForEveryCode) {
  const struct {
    int code, per_sample;
  } codes[] = {{1, 1},   {2, 2},   {4, 3},   {8, 4}, {16, 8}, {32, 4},   {64, 4},
               {128, 4}, {256, 4}, {512, 4}, {0, 0}, {3, 0},  {1024, 0}, {-2, 0}};
  for (const auto& c : codes) {
    EXPECT_EQ(BytesPerFrame(c.code, 2), 2 * c.per_sample) << c.code;
    EXPECT_EQ(BytesPerFrame(c.code, 6), 6 * c.per_sample) << c.code;
  }
}

const char* const kDeviceNames[] = {"Mapper", "USB Audio", "Speakers", "USB Audio"};

bool NameAt(void*, int position, char* out) {
  if (position < 1 || position > 4) return false;
  std::snprintf(out, kDeviceNameBytes, "%s", kDeviceNames[position - 1]);
  return true;
}

// Namesakes (names cut to 31 characters) are told apart by the kept position.
TEST(OutputChoice, KeptDeviceByItsPositionAmongNamesakes) {
  const int cases[][2] = {{4, 4}, {2, 2}, {0, 2}, {3, 2}, {5, 2}};  // kept position, found
  for (const auto& c : cases) {
    const OutputChoice kept = {"USB Audio", kDefaultOutputRate, kWidth16, c[0], kInterfaceWave, "",
                               ""};
    EXPECT_EQ(FindKeptDevice(kept, NameAt, nullptr), c[1]) << c[0];
  }
}

TEST(RecordList, GrowsByTheRuleAndIndexesFromOne) {
  RecordList list;
  ASSERT_EQ(InitRecordList(&list, 1568), 1);
  EXPECT_EQ(list.capacity_bytes, 8192u);
  EXPECT_EQ(GetRecord(&list, 0), nullptr);
  EXPECT_EQ(GetRecord(&list, 1), nullptr);
  unsigned char record[1568];
  for (int i = 1; i <= 12; ++i) {
    std::memset(record, i, sizeof record);
    ASSERT_EQ(AppendRecord(&list, record), static_cast<size_t>(i));
    // Five records fit the first block; the sixth grows it by 8192 + 0.
    if (i == 5) {
      EXPECT_EQ(list.capacity_bytes, 8192u);
    }
    if (i == 6) {
      EXPECT_EQ(list.capacity_bytes, 16384u);
    }
  }
  for (int i = 1; i <= 12; ++i) {
    const auto* r = static_cast<const unsigned char*>(GetRecord(&list, static_cast<size_t>(i)));
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r[0], i);
    EXPECT_EQ(r[1567], i);
  }
  EXPECT_EQ(GetRecord(&list, 13), nullptr);
  FreeRecordList(&list);
  EXPECT_EQ(list.count, 0u);

  // Records larger than a block grow the storage by their size rounded down.
  ASSERT_EQ(InitRecordList(&list, 20000), 1);
  std::string big(20000, 'x');
  ASSERT_EQ(AppendRecord(&list, big.data()), 1u);
  EXPECT_EQ(list.capacity_bytes, 8192u + 8192u + 16384u);
  FreeRecordList(&list);
}

}  // namespace
