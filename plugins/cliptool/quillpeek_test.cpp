// quillpeek.cta loaded by path with dlopen and driven through its two
// exports, as the host drives it.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "platform/text_codec.h"
#include "plugins/cliptool/clip_tools.h"

namespace {

using quill::cliptool::kMaxCaption;
using quill::cliptool::kMaxResult;
using quill::cliptool::ToolTable;

constexpr size_t kHostBuffer = kMaxResult + 1;
constexpr int kToolCount = 13;
enum Tool {
  kQuoteWide, kQuote78, kJoin, kUpper, kLower, kIndentRight, kIndentLeft,
  kParens, kSwap, kDateTime, kTabToComma, kCommaToTab, kHtmlTable,
};

// Test texts are written in UTF-8 and handed over in CP932.
std::string J(std::string_view utf8) { return quill::Utf8ToCp932(utf8); }

using ClipFn = int (*)(int, char*, const char*);
using MenuFn = int (*)(int, char*, int*);

class Plugin {
 public:
  Plugin() : handle_(dlopen(QUILLPEEK_PATH, RTLD_NOW | RTLD_LOCAL)) {
    if (handle_ == nullptr) return;
    clip_ = reinterpret_cast<ClipFn>(dlsym(handle_, "_GetClipData"));
    menu_ = reinterpret_cast<MenuFn>(dlsym(handle_, "_GetMenuData"));
  }
  ~Plugin() {
    if (handle_ != nullptr) dlclose(handle_);
  }
  bool Loaded() const { return clip_ != nullptr && menu_ != nullptr; }
  MenuFn menu() const { return menu_; }
  ClipFn clip() const { return clip_; }

 private:
  void* handle_;
  ClipFn clip_ = nullptr;
  MenuFn menu_ = nullptr;
};

Plugin& Peek() {
  static Plugin plugin;
  return plugin;
}

struct ToolRun {
  int rc;
  std::string out;
};

// Runs a tool as the host does: the input in a buffer of exactly its size,
// the output buffer of the host's size with its header (window handle and
// source name) in front.
ToolRun RunTool(int index, std::string_view in) {
  std::unique_ptr<char[]> text(new char[in.size() + 1]);
  std::memcpy(text.get(), in.data(), in.size());
  text[in.size()] = '\0';
  std::vector<char> out(kHostBuffer, '\xEE');
  std::memcpy(out.data(), "\x01\x02\x03\x04source", 11);
  const int rc = Peek().clip()(index, out.data(), text.get());
  const auto nul = std::find(out.begin(), out.end(), '\0');
  EXPECT_NE(nul, out.end());
  return {rc, std::string(out.begin(), nul)};
}

struct Case {
  std::string in;
  std::string want;
};

void ExpectTool(int index, const std::vector<Case>& cases) {
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE("tool " + std::to_string(index) + ", case " + std::to_string(i));
    const ToolRun run = RunTool(index, cases[i].in);
    EXPECT_EQ(run.rc, 0);
    EXPECT_EQ(run.out, cases[i].want);
  }
}

class QuillpeekTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(Peek().Loaded()) << QUILLPEEK_PATH << ": " << dlerror(); }
};

TEST_F(QuillpeekTest, ListsTheThirteenToolsInMenuOrder) {
  const char* captions[] = {
      "引用マーク(&I)", "引用マーク(78byte)(&8)", "改行を取る(&D)", "大文字に変換(&B)",
      "小文字に変換(&S)", "ｲﾝﾃﾞﾝﾄ４つ右へ(&R)", "ｲﾝﾃﾞﾝﾄ４つ左へ(&L)", "()で囲む(&K)",
      "代入逆転(&X)", "日時挿入(&T)", "ＴＡＢ－＞ＣＳＶ", "ＣＳＶ－＞ＴＡＢ", "TAB区切りをHTMLに",
  };
  const int modes[] = {1, 1, 3, 3, 3, 3, 3, 3, 0, 2, 3, 3, 0};
  for (int i = 0; i < kToolCount; ++i) {
    SCOPED_TRACE(i);
    char caption[92] = {};
    int mode = -7;
    ASSERT_EQ(Peek().menu()(i, caption, &mode), 0);
    EXPECT_EQ(std::string(caption), J(captions[i]));
    EXPECT_LE(std::strlen(caption), kMaxCaption);
    EXPECT_EQ(mode, modes[i]);
  }
  for (int i : {kToolCount, -1, INT_MIN, INT_MAX}) {
    SCOPED_TRACE(i);
    char caption[92] = "untouched";
    int mode = -7;
    EXPECT_EQ(Peek().menu()(i, caption, &mode), 1);
    EXPECT_STREQ(caption, "untouched");
    EXPECT_EQ(mode, -7);
  }
}

TEST_F(QuillpeekTest, RefusesNullPointersAndUnknownTools) {
  char caption[92] = "untouched";
  int mode = -7;
  EXPECT_EQ(Peek().menu()(0, nullptr, &mode), 1);
  EXPECT_EQ(Peek().menu()(0, caption, nullptr), 1);
  EXPECT_STREQ(caption, "untouched");
  EXPECT_EQ(mode, -7);

  std::vector<char> out(kHostBuffer, '\0');
  std::strcpy(out.data(), "header");
  EXPECT_EQ(Peek().clip()(0, nullptr, "x"), 1);
  EXPECT_EQ(Peek().clip()(0, out.data(), nullptr), 1);
  EXPECT_STREQ(out.data(), "header");

  for (int i : {kToolCount, -1, INT_MIN}) {
    const ToolRun run = RunTool(i, J("そのまま\r\n"));
    EXPECT_EQ(run.rc, 1);
    EXPECT_EQ(run.out, J("そのまま\r\n"));
  }
}

TEST_F(QuillpeekTest, QuoteLinesWide) {
  const std::string a9999(9999, 'a');
  ExpectTool(kQuoteWide, {
      {J("あ\r\n\r\nb"), J(">あ\r\n>\r\n>b\r\n")},
      {a9999 + J("あ"), ">" + a9999 + J("あ") + "\r\n>\r\n"},
      {"a\x82", ">a\x82\r\n"},
  });
}

TEST_F(QuillpeekTest, QuoteLines78) {
  const std::string a22(22, 'a'), a77(77, 'a'), a78(78, 'a');
  ExpectTool(kQuote78, {
      {std::string(100, 'a'), ">" + a78 + "\r\n>" + a22 + "\r\n"},
      {a77 + J("あい"), ">" + a77 + J("あ") + "\r\n" + J(">い\r\n")},
      {a78, ">" + a78 + "\r\n>\r\n"},
      // A lead byte closing the line is a piece's last byte on its own.
      {a77 + "\x82", ">" + a77 + "\x82\r\n>\r\n"},
  });
}

TEST_F(QuillpeekTest, JoinLines) {
  ExpectTool(kJoin, {
      {J("名前\r\n値\r\n"), J("名前値")},
      {"a\nb", "a\nb"},
      {"a\rb", "ab"},
  });
}

TEST_F(QuillpeekTest, ToUpperText) {
  ExpectTool(kUpper, {
      {J("aｂカﾅ"), J("AＢカﾅ")},
      {J("azａｚ`{@"), J("AZＡＺ`{@")},
      {"\x82\x61", "\x82\x61"},  // Ｂ: its trail byte is no letter
      {"x\x82", "X\x82"},
  });
}

TEST_F(QuillpeekTest, ToLowerText) {
  ExpectTool(kLower, {
      {J("ＡＢc"), J("ａｂc")},
      {J("AZＡＺ@["), J("azａｚ@[")},
      {"\x83\x41", "\x83\x41"},  // ア
      {"\xFD", "\xFD"},
      {"X\x82", "x\x82"},
  });
}

TEST_F(QuillpeekTest, IndentRight4) {
  ExpectTool(kIndentRight, {
      {"a\r\n\r\nb", "    a\r\n    \r\n    b\r\n"},
      {J("\t名前"), J("\t    名前\r\n")},
  });
}

TEST_F(QuillpeekTest, IndentLeft4) {
  ExpectTool(kIndentLeft, {
      {J("\t  値"), J("      値\r\n")},
      {J("   値"), J("値\r\n")},
      {std::string(12, ' ') + "x", std::string(8, ' ') + "x\r\n"},
  });
}

TEST_F(QuillpeekTest, ParenthesizeKeepsEveryByte) {
  std::string long_text;
  while (long_text.size() < 5000) long_text += J("長い行です\r\n");
  ExpectTool(kParens, {
      {J("漢字"), J("(漢字)")},
      {"", "()"},
      {long_text, "(" + long_text + ")"},
  });
}

TEST_F(QuillpeekTest, SwapAssignment) {
  ExpectTool(kSwap, {
      {"a = b;", "b=a ;\r\n"},
      {"  x := y+1;//c", "  y+1:=x ;//c\r\n"},
      {J("x = a＋b;"), J("a＋b=x ;\r\n")},  // ＋ is 0x81 0x7B: its trail byte is "{"
      {J("名前 = 値;"), J("値=名前 ;\r\n")},
      {"no eq", "no eq\r\n"},
      {"\tp = q 'r", "\tq =p 'r\r\n"},
  });
}

TEST_F(QuillpeekTest, InsertDateTime) {
  std::tm t{};
  t.tm_year = 2026 - 1900;
  t.tm_mon = 11;
  t.tm_mday = 8;
  t.tm_hour = 6;
  t.tm_min = 5;
  EXPECT_EQ(quill::cliptool::InsertDateTime(t), "2026/12/08  6:05");
  t.tm_hour = 23;
  t.tm_min = 59;
  EXPECT_EQ(quill::cliptool::InsertDateTime(t), "2026/12/08 23:59");

  // Through the export: the local time of the call, whatever the input.
  auto local_now = [] {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return quill::cliptool::InsertDateTime(local);
  };
  const std::string before = local_now();
  const ToolRun run = RunTool(kDateTime, J("無視される"));
  const std::string after = local_now();
  EXPECT_EQ(run.rc, 0);
  EXPECT_TRUE(run.out == before || run.out == after) << run.out;
}

TEST_F(QuillpeekTest, TabToComma) {
  ExpectTool(kTabToComma, {{J("名前\t値\r\n1\t2"), J("名前,値\r\n1,2\r\n")}});
}

TEST_F(QuillpeekTest, CommaToTab) {
  // ソ is 0x83 0x5C.
  ExpectTool(kCommaToTab, {{J("\"a,b\",ソ"), J("\"a\tb\"\tソ\r\n")}});
}

TEST_F(QuillpeekTest, TabToHtmlTable) {
  ExpectTool(kHtmlTable, {
      {"", "<TABLE>\r\n</TABLE>\r\n"},
      {J("名前\t<&>"), J("<TABLE>\r\n<TR><TD>名前</TD><TD><&></TD></TR>\r\n</TABLE>\r\n")},
  });
}

// Every line tool sees the same lines: CR LF and a lone CR end a line, the
// last line needs no end, an empty text has none.
TEST_F(QuillpeekTest, LineToolsSplitLinesAlike) {
  struct LineForm {
    int tool;
    std::string head, before, after, foot;
  };
  const LineForm forms[] = {
      {kQuoteWide, "", ">", "\r\n", ""},
      {kQuote78, "", ">", "\r\n", ""},
      {kJoin, "", "", "", ""},
      {kIndentRight, "", "    ", "\r\n", ""},
      {kIndentLeft, "", "", "\r\n", ""},
      {kSwap, "", "", "\r\n", ""},
      {kTabToComma, "", "", "\r\n", ""},
      {kCommaToTab, "", "", "\r\n", ""},
      {kHtmlTable, "<TABLE>\r\n", "<TR><TD>", "</TD></TR>\r\n", "</TABLE>\r\n"},
  };
  const std::pair<std::string, std::vector<std::string>> texts[] = {
      {"a\r\n\r\nb", {"a", "", "b"}},
      {"a", {"a"}},
      {"a\r", {"a"}},
      {"a\r\n", {"a"}},
      {"a\r\rb\r\n", {"a", "", "b"}},
      {"", {}},
  };
  for (const LineForm& form : forms) {
    std::vector<Case> cases;
    for (const auto& [text, lines] : texts) {
      std::string want = form.head;
      for (const std::string& line : lines) want += form.before + line + form.after;
      cases.push_back({text, want + form.foot});
    }
    ExpectTool(form.tool, cases);
  }
}

// The host's buffer holds 1,099,999 bytes and a NUL: a longer result is not
// written, the input comes back unchanged instead.
TEST_F(QuillpeekTest, ResultBeyondTheHostBufferGivesTheInputUnchanged) {
  std::string in;
  const std::string unit = J("  x = あ\tｂ,c;\r\n");
  while (in.size() + unit.size() <= kMaxResult) in += unit;
  in.append(kMaxResult - in.size(), 'z');
  ASSERT_EQ(in.size(), kMaxResult);

  int unchanged = 0;
  for (int i = 0; i < kToolCount; ++i) {
    SCOPED_TRACE(i);
    const ToolRun run = RunTool(i, in);
    EXPECT_EQ(run.rc, 0);
    ASSERT_LE(run.out.size(), kMaxResult);
    if (i == kDateTime) continue;
    const std::string whole = ToolTable()[static_cast<size_t>(i)].routine(in);
    if (whole.size() <= kMaxResult) {
      EXPECT_TRUE(run.out == whole);
    } else {
      EXPECT_TRUE(run.out == in);
      ++unchanged;
    }
  }
  EXPECT_GT(unchanged, 0);
}

// Texts that end in a lead byte, in a CR, or are empty: no tool reads past
// the end (the input buffers have exactly the text's size, once with its
// NUL through the export, once without for the tool itself), and a lone
// lead byte is kept as it is.
TEST_F(QuillpeekTest, ToolsStopAtTheEndOfTheText) {
  const std::string texts[] = {
      "", "\r", "a\r", "\r\n\r", "\x82", "a\x82", "x=\x82", "\t\x82", "a\r\n\x82",
      "a = b\x82", "a = \x82", J("あ") + "\r", "\x82\r\n",
  };
  for (int i = 0; i < kToolCount; ++i) {
    for (const std::string& text : texts) {
      SCOPED_TRACE("tool " + std::to_string(i) + ", text of " + std::to_string(text.size()));
      const ToolRun run = RunTool(i, text);
      EXPECT_EQ(run.rc, 0);
      if (i == kDateTime) continue;
      std::unique_ptr<char[]> exact(new char[text.size()]);
      std::memcpy(exact.get(), text.data(), text.size());
      const std::string direct =
          ToolTable()[static_cast<size_t>(i)].routine(std::string_view(exact.get(), text.size()));
      EXPECT_EQ(run.out, direct);
      if (text.find('\x82') != std::string::npos) {
        EXPECT_NE(run.out.find('\x82'), std::string::npos);
      }
    }
  }
}

}  // namespace
