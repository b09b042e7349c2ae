#include "platform/text_codec.h"

#include <iconv.h>

#include <cerrno>
#include <cstddef>

namespace quill {
namespace {

constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";  // U+FFFD

// One conversion direction, opened on first use in each thread and closed
// when the thread ends. Should the system lack the conversion, only ASCII
// passes and every other byte goes the way of an unconvertible one.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (valid()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts as much of in as it can, appending to out and advancing in.
  // Returns 0 when all of in is done, else the errno that stopped it
  // (EILSEQ or EINVAL) with in at the offending bytes.
  int Convert(std::string_view& in, std::string& out) {
    if (!valid()) {
      size_t n = 0;
      while (n < in.size() && static_cast<unsigned char>(in[n]) < 0x80) ++n;
      out.append(in.substr(0, n));
      in.remove_prefix(n);
      return in.empty() ? 0 : EILSEQ;
    }
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    while (!in.empty()) {
      const size_t used = out.size();
      out.resize(used + in.size() * 2 + 16);
      char* src = const_cast<char*>(in.data());
      size_t src_left = in.size();
      char* dst = out.data() + used;
      size_t dst_left = out.size() - used;
      const size_t rc = iconv(cd_, &src, &src_left, &dst, &dst_left);
      const int err = errno;
      out.resize(out.size() - dst_left);
      in.remove_prefix(in.size() - src_left);
      if (rc != static_cast<size_t>(-1)) return 0;
      if (err != E2BIG) return err;
    }
    return 0;
  }

 private:
  bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t cd_;
};

Converter& FromCp932() {
  thread_local Converter c("UTF-8", "CP932");
  return c;
}

Converter& ToCp932() {
  thread_local Converter c("CP932", "UTF-8");
  return c;
}

bool IsTrailByte(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC); }
bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// The single bytes that the iconv table lacks, with their characters.
struct ByteMapping {
  unsigned char byte;
  const char* utf8;
};
constexpr ByteMapping kExtraBytes[] = {
    {0x80, "\xC2\x80"},      // U+0080
    {0xA0, "\xEF\xA3\xB0"},  // U+F8F0
    {0xFD, "\xEF\xA3\xB1"},  // U+F8F1
    {0xFE, "\xEF\xA3\xB2"},  // U+F8F2
    {0xFF, "\xEF\xA3\xB3"},  // U+F8F3
};

// Length of the well-formed UTF-8 sequence at the start of s, or 0.
size_t Utf8SequenceLength(std::string_view s) {
  const auto b0 = static_cast<unsigned char>(s[0]);
  size_t n;
  unsigned char lo = 0x80, hi = 0xBF;  // range of the second byte
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    n = 2;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    n = 3;
    if (b0 == 0xE0) lo = 0xA0;
    if (b0 == 0xED) hi = 0x9F;  // no surrogates
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    n = 4;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  if (s.size() < n) return 0;
  for (size_t k = 1; k < n; ++k) {
    const auto b = static_cast<unsigned char>(s[k]);
    if (k == 1 ? (b < lo || b > hi) : (b < 0x80 || b > 0xBF)) return 0;
  }
  return n;
}

}  // namespace

std::string Cp932ToUtf8(std::string_view cp932) {
  std::string out;
  out.reserve(cp932.size() * 3 / 2 + 16);
  std::string_view in = cp932;
  while (!in.empty()) {
    if (FromCp932().Convert(in, out) == 0) break;
    // in starts at bytes iconv could not take.
    const auto c = static_cast<unsigned char>(in[0]);
    size_t skip = 1;
    std::string_view replacement = kReplacementUtf8;
    for (const ByteMapping& m : kExtraBytes) {
      if (m.byte == c) replacement = m.utf8;
    }
    // An unassigned double-byte code counts as one character.
    if (IsLeadByte(c) && in.size() > 1 && IsTrailByte(static_cast<unsigned char>(in[1]))) {
      skip = 2;
    }
    out += replacement;
    in.remove_prefix(skip);
  }
  return out;
}

std::string FileNameFromCp932(std::string_view cp932, std::string_view ext, bool add_ext) {
  const std::string utf8 = Cp932ToUtf8(cp932);
  std::string name;
  name.reserve(utf8.size() + ext.size() + 8);
  for (size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c == '/') {
      name += "\xEF\xBC\x8F";  // ／
    } else if (c < 0x20 || c == 0x7F) {
      name += '_';
    } else if (c == 0xC2 && i + 1 < utf8.size() &&
               static_cast<unsigned char>(utf8[i + 1]) <= 0x9F) {
      name += '_';  // U+0080..U+009F
      ++i;
    } else {
      name += static_cast<char>(c);
    }
  }
  if (name.empty()) name = "_";
  if (add_ext || name == "." || name == "..") name += ext;
  if (name == "." || name == "..") name = "_";
  return name;
}

std::string Utf8ToCp932(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size() + 16);
  std::string_view in = utf8;
  while (!in.empty()) {
    if (ToCp932().Convert(in, out) == 0) break;
    const size_t n = Utf8SequenceLength(in);
    char replacement = '?';
    for (const ByteMapping& m : kExtraBytes) {
      if (n > 0 && in.substr(0, n) == m.utf8) replacement = static_cast<char>(m.byte);
    }
    out += replacement;
    in.remove_prefix(n > 0 ? n : 1);
  }
  return out;
}

std::string CrLfToLf(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t k = 0; k < s.size(); ++k) {
    if (s[k] == '\r' && k + 1 < s.size() && s[k + 1] == '\n') continue;
    out += s[k];
  }
  return out;
}

std::string LfToCrLf(std::string_view s) {
  std::string out;
  out.reserve(s.size() + s.size() / 16 + 2);
  for (size_t k = 0; k < s.size(); ++k) {
    if (s[k] == '\n' && (k == 0 || s[k - 1] != '\r')) out += '\r';
    out += s[k];
  }
  return out;
}

}  // namespace quill
