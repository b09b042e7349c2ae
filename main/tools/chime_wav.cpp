// Writes the capture sound "Clipsnd.wav": a short two-tone chime, 16-bit
// PCM, mono, 22,050 Hz, 0.2 s. The build runs it to put the sound beside
// the programs.
//
//   chime_wav <output file>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 22050;
constexpr double kPi = 3.14159265358979323846;

struct Tone {
  double hz;
  double seconds;
};

// Two notes a fourth apart, the second a little longer; each starts in
// 4 ms and dies away, so nothing clicks.
std::vector<int16_t> Chime() {
  const Tone tones[] = {{1318.5, 0.08}, {1760.0, 0.12}};
  std::vector<int16_t> samples;
  for (const Tone& t : tones) {
    const int n = static_cast<int>(t.seconds * kRate);
    for (int i = 0; i < n; ++i) {
      const double s = static_cast<double>(i) / kRate;
      const double attack = std::min(1.0, s / 0.004);
      const double decay = std::exp(-s / (t.seconds / 3.0));
      const double tail = std::min(1.0, static_cast<double>(n - i) / (0.004 * kRate));
      const double v = std::sin(2.0 * kPi * t.hz * s) * attack * decay * tail;
      samples.push_back(static_cast<int16_t>(std::lround(v * 0.45 * 32767.0)));
    }
  }
  return samples;
}

void Put16(std::string* out, uint16_t v) {
  out->push_back(static_cast<char>(v & 0xFF));
  out->push_back(static_cast<char>(v >> 8));
}

void Put32(std::string* out, uint32_t v) {
  Put16(out, static_cast<uint16_t>(v & 0xFFFF));
  Put16(out, static_cast<uint16_t>(v >> 16));
}

std::string Wave(const std::vector<int16_t>& samples) {
  const auto data_bytes = static_cast<uint32_t>(samples.size() * 2);
  std::string out = "RIFF";
  Put32(&out, 36 + data_bytes);
  out += "WAVEfmt ";
  Put32(&out, 16);        // size of the format chunk
  Put16(&out, 1);         // PCM
  Put16(&out, 1);         // mono
  Put32(&out, kRate);
  Put32(&out, kRate * 2);  // bytes a second
  Put16(&out, 2);         // bytes a frame
  Put16(&out, 16);        // bits a sample
  out += "data";
  Put32(&out, data_bytes);
  for (int16_t s : samples) Put16(&out, static_cast<uint16_t>(s));
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: chime_wav <output file>\n");
    return 2;
  }
  const std::string bytes = Wave(Chime());
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "chime_wav: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
