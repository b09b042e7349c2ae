// Clip-tool plug-ins for the host's tests, one library per variant:
//   QUILL_TOOLS_FULL     tools that mark, upper-case, give a long caption and
//                        fill the whole output buffer without an end;
//   QUILL_TOOLS_NO_CLIP  a tool list without _GetClipData;
//   QUILL_TOOLS_NO_MENU  _GetClipData without a tool list;
//   QUILL_TOOLS_ENDLESS  a tool list that never ends.
#include <cstring>
#include <string>

namespace {

constexpr size_t kOutSize = 1100000;

struct Tool {
  const char* caption;
  int mode;
};

// "ab" and 99 times "あ" (CP932): 200 bytes.
[[maybe_unused]] std::string LongCaption() {
  std::string s = "ab";
  for (int i = 0; i < 99; ++i) s += "\x82\xa0";
  return s;
}

const Tool kTools[] = {
    {"mark(&M)", 0},   // the input and "!"
    {"upper(&U)", 3},  // a..z upper-cased
    {nullptr, 1},      // the long caption; the input unchanged
    {"fill(&F)", 0},   // the whole buffer, no end
};

}  // namespace

#define QUILL_EXPORT extern "C" __attribute__((visibility("default")))

#if defined(QUILL_TOOLS_FULL) || defined(QUILL_TOOLS_NO_CLIP) || defined(QUILL_TOOLS_ENDLESS)
QUILL_EXPORT int _GetMenuData(int index, char* caption, int* mode) {
#if defined(QUILL_TOOLS_ENDLESS)
  std::strcpy(caption, ("t" + std::to_string(index)).c_str());
  *mode = 0;
  return 0;
#else
#if defined(QUILL_TOOLS_NO_CLIP)
  if (index != 0) return 1;
#endif
  if (index < 0 || index >= static_cast<int>(sizeof kTools / sizeof kTools[0])) return 1;
  const std::string text = kTools[index].caption != nullptr ? kTools[index].caption : LongCaption();
  std::memcpy(caption, text.c_str(), text.size() + 1);
  *mode = kTools[index].mode;
  return 0;
#endif
}
#endif

#if defined(QUILL_TOOLS_FULL) || defined(QUILL_TOOLS_NO_MENU)
QUILL_EXPORT int _GetClipData(int index, char* out, const char* in) {
  std::string result = in;
  switch (index) {
    case 0:
      result += "!";
      break;
    case 1:
      for (char& c : result) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      }
      break;
    case 3:
      std::memset(out, 'x', kOutSize);
      return 0;
    default:
      break;
  }
  std::memcpy(out, result.c_str(), result.size() + 1);
  return 0;
}
#endif
