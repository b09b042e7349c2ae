#include "platform/protocol/shared_hook_block.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace quill {
namespace {

using Bytes = std::vector<uint8_t>;

struct Buffer {
  alignas(8) std::array<uint8_t, kSharedHookBlockSize> bytes{};
  SharedHookBlock View() { return SharedHookBlock(std::span<uint8_t, kSharedHookBlockSize>(bytes)); }
};

std::string Repeat(std::string_view s, int n) {
  std::string r;
  for (int i = 0; i < n; ++i) r += s;
  return r;
}

const std::string kA = "\x82\xA0";  // あ, a double-byte character

// Each row writes one field of a zeroed block through the accessor; exactly
// the bytes at `offset` may change, and they must be `expected`. The getter
// must read the same value back from those raw bytes.
struct FieldRow {
  const char* field;
  size_t offset;
  Bytes expected;
  std::function<void(SharedHookBlock&)> write;
  std::function<bool(const SharedHookBlock&)> read_back;
};

HookRecord Hook(uint16_t type) { return HookRecord{type, 0x11223344, 0xAABBCCDD}; }
Bytes HookBytes(uint8_t type) {
  return {type, 0, 0, 0, 0x44, 0x33, 0x22, 0x11, 0xDD, 0xCC, 0xBB, 0xAA};
}

std::vector<FieldRow> FieldRows() {
  using B = SharedHookBlock;
  std::vector<FieldRow> rows = {
      {"CbtHook", 0x0000, HookBytes(5), [](B& b) { b.SetCbtHook(Hook(5)); },
       [](const B& b) { return b.CbtHook() == Hook(5); }},
      {"KeyboardHook", 0x000C, HookBytes(2), [](B& b) { b.SetKeyboardHook(Hook(2)); },
       [](const B& b) { return b.KeyboardHook() == Hook(2); }},
      {"TargetWindow", 0x0018, {4, 3, 2, 1}, [](B& b) { b.SetTargetWindow(0x01020304); },
       [](const B& b) { return b.TargetWindow() == 0x01020304u; }},
      {"MainWindow", 0x001C, {0x78, 0x56, 0x34, 0x82},
       [](B& b) { b.SetMainWindow(0x82345678); },
       [](const B& b) { return b.MainWindow() == 0x82345678u; }},
      {"BarWindow", 0x0020, {9, 0, 0, 0}, [](B& b) { b.SetBarWindow(9); },
       [](const B& b) { return b.BarWindow() == 9u; }},
      {"BarLeft", 0x003A, {0xFE, 0xFF}, [](B& b) { b.SetBarLeft(-2); },
       [](const B& b) { return b.BarLeft() == -2; }},
      {"BarTop", 0x003C, {0x00, 0x80}, [](B& b) { b.SetBarTop(-32768); },
       [](const B& b) { return b.BarTop() == -32768; }},
      {"AutoMove", 0x0042, {1}, [](B& b) { b.SetAutoMove(1); },
       [](const B& b) { return b.AutoMove() == 1; }},
      {"NoTrack", 0x0043, {1}, [](B& b) { b.SetNoTrack(1); },
       [](const B& b) { return b.NoTrack() == 1; }},
      {"SaveState", 0x0044, {2}, [](B& b) { b.SetSaveState(2); },
       [](const B& b) { return b.SaveState() == 2; }},
      {"InjectCount", 0x0045, {2}, [](B& b) { b.SetInjectCount(2); },
       [](const B& b) { return b.InjectCount() == 2; }},
      {"RetActive", 0x0046, {1}, [](B& b) { b.SetRetActive(1); },
       [](const B& b) { return b.RetActive() == 1; }},
      {"LastKeyUp", 0x0047, {13}, [](B& b) { b.SetLastKeyUp(13); },
       [](const B& b) { return b.LastKeyUp() == 13; }},
      {"FocusPairs[0]", 0x004C, {1, 0, 0, 0, 2, 0, 0, 0},
       [](B& b) { b.SetFocusPair(0, {1, 2}); },
       [](const B& b) { return b.FocusPairAt(0) == FocusPair{1, 2}; }},
      {"FocusPairs[9]", 0x0094, {3, 0, 0, 0, 4, 0, 0, 0},
       [](B& b) { b.SetFocusPair(9, {3, 4}); },
       [](const B& b) { return b.FocusPairAt(9) == FocusPair{3, 4}; }},
      {"RightClickCount", 0x009C, {0xEF, 0xBE}, [](B& b) { b.SetRightClickCount(0xBEEF); },
       [](const B& b) { return b.RightClickCount() == 0xBEEF; }},
      {"MouseHook", 0x00A0, HookBytes(7), [](B& b) { b.SetMouseHook(Hook(7)); },
       [](const B& b) { return b.MouseHook() == Hook(7); }},
      {"SaveHint (79 bytes + NUL)", 0x00AC, [] {
         Bytes e(79, 'h');
         e.push_back(0);
         return e;
       }(),
       [](B& b) { b.SetSaveHint(std::string(79, 'h')); },
       [](const B& b) { return b.SaveHint() == std::string(79, 'h'); }},
      {"SuperPasteKeys[0]", 0x00FC, {0x31, 0x40}, [](B& b) { b.SetSuperPasteKey(0, HotkeyWord(0x4031)); },
       [](const B& b) { return b.SuperPasteKey(0) == HotkeyWord(0x4031); }},
      {"SuperPasteKeys[9]", 0x010E, {0x39, 0x40}, [](B& b) { b.SetSuperPasteKey(9, HotkeyWord(0x4039)); },
       [](const B& b) { return b.SuperPasteKey(9) == HotkeyWord(0x4039); }},
      {"BrowserClasses[0]", 0x0110, {'X', 'T', 0}, [](B& b) { b.SetBrowserClass(0, "XT"); },
       [](const B& b) { return b.BrowserClass(0) == "XT"; }},
      {"BrowserClasses[49] (last byte of the block)", 0x1434, [] {
         Bytes e(99, 'c');
         e.push_back(0);
         return e;
       }(),
       [](B& b) { b.SetBrowserClass(49, std::string(99, 'c')); },
       [](const B& b) { return b.BrowserClass(49) == std::string(99, 'c'); }},
  };
  // The eight hot-key words, in block order from 0x0028.
  const SharedHookBlock::HotkeySlot slots[] = {
      B::kPopupKubunKey, B::kSaveKey, B::kSaveHtmlKey, B::kNewCardKey,
      B::kActiveKey,     B::kSaveKubunKey, B::kMagicKey, B::kFindKey};
  const char* names[] = {"PopupKubunKey", "SaveKey",      "SaveHtmlKey", "NewCardKey",
                         "ActiveKey",     "SaveKubunKey", "MagicKey",    "FindKey"};
  for (size_t i = 0; i < 8; ++i) {
    auto slot = slots[i];
    uint16_t w = static_cast<uint16_t>(0x2041 + i);
    rows.push_back({names[i], 0x0028 + 2 * i,
                    {static_cast<uint8_t>(w & 0xFF), 0x20},
                    [slot, w](B& b) { b.SetHotkey(slot, HotkeyWord(w)); },
                    [slot, w](const B& b) { return b.Hotkey(slot) == HotkeyWord(w); }});
  }
  return rows;
}

TEST(SharedHookBlockTest, EveryFieldSitsAtItsOffsetInLittleEndian) {
  static_assert(kSharedHookBlockSize == 5272);
  for (const FieldRow& row : FieldRows()) {
    SCOPED_TRACE(row.field);
    Buffer buf;
    SharedHookBlock block = buf.View();
    row.write(block);
    ASSERT_LE(row.offset + row.expected.size(), kSharedHookBlockSize);
    for (size_t i = 0; i < kSharedHookBlockSize; ++i) {
      bool inside = i >= row.offset && i < row.offset + row.expected.size();
      uint8_t want = inside ? row.expected[i - row.offset] : 0;
      ASSERT_EQ(buf.bytes[i], want) << "byte 0x" << std::hex << i;
    }
    EXPECT_TRUE(row.read_back(block));
  }
}

TEST(SharedHookBlockTest, FieldsAndReservedGapsMakeUpTheWholeBlock) {
  // Writing every field with all bits set leaves exactly the reserved gaps
  // zero: 0x24 (4), 0x38 (2), 0x3E (4), 0x48 (4), 0x9E (2) and the hook
  // records' padding.
  Buffer buf;
  SharedHookBlock b = buf.View();
  const HookRecord full{0xFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
  b.SetCbtHook(full);
  b.SetKeyboardHook(full);
  b.SetMouseHook(full);
  b.SetTargetWindow(~0u);
  b.SetMainWindow(~0u);
  b.SetBarWindow(~0u);
  for (int s = 0; s < SharedHookBlock::kHotkeySlotCount; ++s) {
    b.SetHotkey(static_cast<SharedHookBlock::HotkeySlot>(s), HotkeyWord(0xFFFF));
  }
  b.SetBarLeft(-1);
  b.SetBarTop(-1);
  b.SetAutoMove(0xFF);
  b.SetNoTrack(0xFF);
  b.SetSaveState(0xFF);
  b.SetInjectCount(0xFF);
  b.SetRetActive(0xFF);
  b.SetLastKeyUp(0xFF);
  for (size_t i = 0; i < 10; ++i) b.SetFocusPair(i, {~0u, ~0u});
  b.SetRightClickCount(0xFFFF);
  b.SetSaveHint(std::string(79, '\xFF'));
  for (size_t i = 0; i < 10; ++i) b.SetSuperPasteKey(i, HotkeyWord(0xFFFF));
  for (size_t i = 0; i < 50; ++i) b.SetBrowserClass(i, std::string(99, '\xFF'));

  std::vector<size_t> zero;
  for (size_t i = 0; i < kSharedHookBlockSize; ++i) {
    if (buf.bytes[i] == 0) zero.push_back(i);
  }
  std::vector<size_t> want = {0x02, 0x03, 0x0E, 0x0F, 0x24, 0x25, 0x26, 0x27, 0x38, 0x39,
                              0x3E, 0x3F, 0x40, 0x41, 0x48, 0x49, 0x4A, 0x4B, 0x9E, 0x9F,
                              0xA2, 0xA3, 0xAC + 79};
  for (size_t i = 0; i < 50; ++i) want.push_back(0x110 + 100 * i + 99);
  std::sort(want.begin(), want.end());
  EXPECT_EQ(zero, want);
}

TEST(SharedHookBlockTest, TextFieldsAreCutOnCharacterBoundaries) {
  struct Case {
    const char* what;
    std::string in;
    std::string hint;     // what SaveHint keeps (79 bytes at most)
    std::string browser;  // what a browser class keeps (99 bytes at most)
  } cases[] = {
      {"empty", "", "", ""},
      {"80 single bytes", std::string(80, 'a'), std::string(79, 'a'), std::string(80, 'a')},
      {"double-byte character across byte 79", std::string(78, 'a') + kA,
       std::string(78, 'a'), std::string(78, 'a') + kA},
      {"double-byte character ending at byte 79", std::string(77, 'a') + kA,
       std::string(77, 'a') + kA, std::string(77, 'a') + kA},
      {"100 bytes of double-byte characters", Repeat(kA, 50), Repeat(kA, 39), Repeat(kA, 49)},
      {"half-width katakana are single bytes", std::string(100, '\xB1'),
       std::string(79, '\xB1'), std::string(99, '\xB1')},
      {"double-byte character across byte 99", std::string(98, 'b') + kA,
       std::string(79, 'b'), std::string(98, 'b')},
      {"text after an embedded NUL", std::string("ab\0cd", 5), "ab", "ab"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Buffer buf;
    buf.bytes.fill(0xEE);  // stale bytes everywhere
    SharedHookBlock b = buf.View();
    b.SetSaveHint(c.in);
    b.SetBrowserClass(0, c.in);
    EXPECT_EQ(b.SaveHint(), c.hint);
    EXPECT_EQ(b.BrowserClass(0), c.browser);
    // The rest of each field is zeroed; the bytes around it are untouched.
    for (size_t i = c.hint.size(); i < 80; ++i) ASSERT_EQ(buf.bytes[0xAC + i], 0) << i;
    for (size_t i = c.browser.size(); i < 100; ++i) ASSERT_EQ(buf.bytes[0x110 + i], 0) << i;
    EXPECT_EQ(buf.bytes[0xAB], 0xEE);
    EXPECT_EQ(buf.bytes[0xFC], 0xEE);
    EXPECT_EQ(buf.bytes[0x174], 0xEE);
  }
}

TEST(SharedHookBlockTest, SaveHintWithoutTerminatorReadsAtMostItsField) {
  Buffer buf;
  std::fill_n(buf.bytes.begin() + 0xAC, 80, 'z');
  buf.bytes[0xFC] = 'q';
  EXPECT_EQ(buf.View().SaveHint(), std::string(80, 'z'));
}

TEST(SharedHookBlockTest, BrowserClassList) {
  Buffer buf;
  SharedHookBlock b = buf.View();
  EXPECT_TRUE(b.BrowserClasses().empty());
  EXPECT_FALSE(b.IsBrowserClass(""));

  std::vector<std::string> names;
  for (int i = 0; i < 51; ++i) names.push_back("Class" + std::to_string(i));
  b.SetBrowserClasses(names);
  std::vector<std::string> stored = b.BrowserClasses();
  ASSERT_EQ(stored.size(), 50u);
  EXPECT_EQ(stored.front(), "Class0");
  EXPECT_EQ(stored.back(), "Class49");
  EXPECT_FALSE(b.IsBrowserClass("Class50"));  // the 51st is not stored
  EXPECT_TRUE(b.IsBrowserClass("Class7"));
  EXPECT_FALSE(b.IsBrowserClass("class7"));  // case-sensitive
  EXPECT_FALSE(b.IsBrowserClass("Class"));   // exact, not a prefix

  // A shorter list clears the old entries behind it; an empty first entry
  // means no browser class, whatever follows.
  b.SetBrowserClasses({"firefox", "", "Navigator"});
  EXPECT_EQ(b.BrowserClasses(), (std::vector<std::string>{"firefox", "Navigator"}));
  EXPECT_EQ(b.BrowserClass(2), "");
  b.SetBrowserClass(0, "");
  EXPECT_TRUE(b.BrowserClasses().empty());
  EXPECT_FALSE(b.IsBrowserClass("Navigator"));
}

TEST(SharedHookBlockTest, NewFocusPairGoesToSlotNineAndTheOldestDrops) {
  Buffer buf;
  SharedHookBlock b = buf.View();
  for (uint32_t i = 1; i <= 11; ++i) b.PushFocusPair({i, 100 + i});
  EXPECT_EQ(b.FocusPairAt(0), (FocusPair{2, 102}));
  EXPECT_EQ(b.FocusPairAt(8), (FocusPair{10, 110}));
  EXPECT_EQ(b.FocusPairAt(9), (FocusPair{11, 111}));
}

TEST(HotkeyWordTest, Matching) {
  constexpr uint8_t kS = HotkeyWord::kShift, kC = HotkeyWord::kCtrl, kA_ = HotkeyWord::kAlt;
  constexpr uint8_t kDouble = HotkeyWord::kDoublePressKey;
  struct Case {
    uint16_t word;
    uint8_t modifiers;
    uint8_t key;
    bool match;
  } cases[] = {
      {0x0053, kS, kDouble, true},   // double Shift
      {0x0053, 0, 'S', false},       // a plain S is not a double Shift
      {0x0053, kS, 'S', false},
      {0x0043, kC, kDouble, true},   // double Ctrl
      {0x0041, kA_, kDouble, true},  // double Alt
      {0x0041, kS, kDouble, false},
      {0x2053, kS, 'S', true},       // Shift+S
      {0x2053, kS, kDouble, false},
      {0x2053, kS | kC, 'S', false},
      {0x0000, 0, 0, false},         // 0 never matches
      {0x0000, kS, kDouble, false},
      {0xC041, kC | kA_, 'A', true},  // Ctrl+Alt+A
      {0xC041, kC | kA_ | kS, 'A', false},  // ... not with Shift held too
      {0xC041, kC, 'A', false},
      {0x0070, 0, 0x70, true},       // F1 alone
      {0x0070, kS, 0x70, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HotkeyWord(c.word).Matches(c.modifiers, c.key), c.match)
        << std::hex << "word 0x" << c.word << " modifiers 0x" << int(c.modifiers) << " key 0x"
        << int(c.key);
  }
}

TEST(HotkeyWordTest, NormalizeTurnsDoublePressWordsIntoModifierWithKeyFF) {
  struct Case {
    uint16_t in, out;
  } cases[] = {{0x0053, 0x20FF}, {0x0043, 0x40FF}, {0x0041, 0x80FF},
               {0x2053, 0x2053}, {0x0044, 0x0044}, {0x0000, 0x0000}};
  for (const Case& c : cases) {
    EXPECT_EQ(NormalizeHotkey(HotkeyWord(c.in)).value, c.out) << std::hex << c.in;
  }
}

}  // namespace
}  // namespace quill
