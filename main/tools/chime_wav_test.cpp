// The capture sound that the build puts beside quillmain.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace {

uint32_t Le(const std::string& b, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(b[at + i]);
  return v;
}

TEST(ChimeWavTest, AShortMonoSixteenBitChime) {
  std::ifstream in(QUILL_SOUND_PATH, std::ios::binary);
  ASSERT_TRUE(in.good()) << QUILL_SOUND_PATH;
  const std::string b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GE(b.size(), 44u);
  EXPECT_EQ(b.substr(0, 4), "RIFF");
  EXPECT_EQ(b.substr(8, 8), "WAVEfmt ");
  EXPECT_EQ(Le(b, 4, 4), b.size() - 8);
  EXPECT_EQ(Le(b, 20, 2), 1u);   // PCM
  EXPECT_EQ(Le(b, 22, 2), 1u);   // mono
  EXPECT_EQ(Le(b, 34, 2), 16u);  // bits
  EXPECT_EQ(b.substr(36, 4), "data");
  const uint32_t rate = Le(b, 24, 4);
  const uint32_t frames = Le(b, 40, 4) / 2;
  ASSERT_EQ(44 + frames * 2, b.size());
  const double seconds = static_cast<double>(frames) / rate;
  EXPECT_GT(seconds, 0.15);
  EXPECT_LT(seconds, 0.3);
  // Heard, never clipped, and silent at both ends.
  int peak = 0;
  for (uint32_t i = 0; i < frames; ++i) {
    peak = std::max(peak, std::abs(static_cast<int16_t>(Le(b, 44 + 2 * i, 2))));
  }
  EXPECT_GT(peak, 8000);
  EXPECT_LT(peak, 32000);
  EXPECT_LT(std::abs(static_cast<int16_t>(Le(b, 44, 2))), 1000);
  EXPECT_LT(std::abs(static_cast<int16_t>(Le(b, 44 + 2 * (frames - 1), 2))), 1000);
}

}  // namespace
