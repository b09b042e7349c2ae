#include "clip/base64.h"

#include <array>
#include <cstdint>

namespace quill {

namespace {

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<int8_t, 256> DecodeTable() {
  std::array<int8_t, 256> table{};
  for (auto& v : table) v = -1;
  for (size_t i = 0; i < kAlphabet.size(); ++i) {
    table[static_cast<uint8_t>(kAlphabet[i])] = static_cast<int8_t>(i);
  }
  return table;
}

}  // namespace

std::string EncodeBase64(std::string_view bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const uint32_t v = static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])) << 16 |
                       static_cast<uint32_t>(static_cast<uint8_t>(bytes[i + 1])) << 8 |
                       static_cast<uint8_t>(bytes[i + 2]);
    out.push_back(kAlphabet[v >> 18]);
    out.push_back(kAlphabet[(v >> 12) & 63]);
    out.push_back(kAlphabet[(v >> 6) & 63]);
    out.push_back(kAlphabet[v & 63]);
  }
  const size_t rest = bytes.size() - i;
  if (rest > 0) {
    uint32_t v = static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])) << 16;
    if (rest == 2) v |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[i + 1])) << 8;
    out.push_back(kAlphabet[v >> 18]);
    out.push_back(kAlphabet[(v >> 12) & 63]);
    out.push_back(rest == 2 ? kAlphabet[(v >> 6) & 63] : '=');
    out.push_back('=');
  }
  return out;
}

std::string DecodeBase64(std::string_view text) {
  static constexpr std::array<int8_t, 256> kTable = DecodeTable();
  std::string out;
  out.reserve(text.size() / 4 * 3);
  uint32_t bits = 0;
  int count = 0;
  for (char c : text) {
    if (c == '=') break;
    const int8_t v = kTable[static_cast<uint8_t>(c)];
    if (v < 0) continue;
    bits = bits << 6 | static_cast<uint32_t>(v);
    if (++count == 4) {
      out.push_back(static_cast<char>(bits >> 16));
      out.push_back(static_cast<char>((bits >> 8) & 0xFF));
      out.push_back(static_cast<char>(bits & 0xFF));
      bits = 0;
      count = 0;
    }
  }
  if (count == 2) {
    out.push_back(static_cast<char>(bits >> 4));
  } else if (count == 3) {
    out.push_back(static_cast<char>(bits >> 10));
    out.push_back(static_cast<char>((bits >> 2) & 0xFF));
  }
  return out;
}

}  // namespace quill
