#include "store/fold_key.h"

#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/sjis.h"

namespace quill::store {
namespace {

// Half-width katakana for the kana of one sound, in code order: hiragana
// from 0x829F and katakana from 0x8340 (0x837F is skipped) run in the same
// order, so one list serves both. The last three entries exist only as
// katakana; the hiragana code 0x82F2 in the place of ヴ is unassigned.
constexpr const char* kKana[] = {
    "\xB1",      // ぁ ァ (small a folds to the large one)
    "\xB1",      // あ ア
    "\xA8",      // ぃ ィ
    "\xB2",      // い イ
    "\xA9",      // ぅ ゥ
    "\xB3",      // う ウ
    "\xAA",      // ぇ ェ
    "\xB4",      // え エ
    "\xAB",      // ぉ ォ
    "\xB5",      // お オ
    "\xB6",      // か カ
    "\xB6\xDE",  // が ガ
    "\xB7",      // き キ
    "\xB7\xDE",  // ぎ ギ
    "\xB8",      // く ク
    "\xB8\xDE",  // ぐ グ
    "\xB9",      // け ケ
    "\xB9\xDE",  // げ ゲ
    "\xBA",      // こ コ
    "\xBA\xDE",  // ご ゴ
    "\xBB",      // さ サ
    "\xBB\xDE",  // ざ ザ
    "\xBC",      // し シ
    "\xBC\xDE",  // じ ジ
    "\xBD",      // す ス
    "\xBD\xDE",  // ず ズ
    "\xBE",      // せ セ
    "\xBE\xDE",  // ぜ ゼ
    "\xBF",      // そ ソ
    "\xBF\xDE",  // ぞ ゾ
    "\xC0",      // た タ
    "\xC0\xDE",  // だ ダ
    "\xC1",      // ち チ
    "\xC1\xDE",  // ぢ ヂ
    "\xAF",      // っ ッ
    "\xC2",      // つ ツ
    "\xC2\xDE",  // づ ヅ
    "\xC3",      // て テ
    "\xC3\xDE",  // で デ
    "\xC4",      // と ト
    "\xC4\xDE",  // ど ド
    "\xC5",      // な ナ
    "\xC6",      // に ニ
    "\xC7",      // ぬ ヌ
    "\xC8",      // ね ネ
    "\xC9",      // の ノ
    "\xCA",      // は ハ
    "\xCA\xDE",  // ば バ
    "\xCA\xDF",  // ぱ パ
    "\xCB",      // ひ ヒ
    "\xCB\xDE",  // び ビ
    "\xCB\xDF",  // ぴ ピ
    "\xCC",      // ふ フ
    "\xCC\xDE",  // ぶ ブ
    "\xCC\xDF",  // ぷ プ
    "\xCD",      // へ ヘ
    "\xCD\xDE",  // べ ベ
    "\xCD\xDF",  // ぺ ペ
    "\xCE",      // ほ ホ
    "\xCE\xDE",  // ぼ ボ
    "\xCE\xDF",  // ぽ ポ
    "\xCF",      // ま マ
    "\xD0",      // み ミ (katakana 0x837E; ム follows at 0x8380)
    "\xD1",      // む ム
    "\xD2",      // め メ
    "\xD3",      // も モ
    "\xAC",      // ゃ ャ
    "\xD4",      // や ヤ
    "\xAD",      // ゅ ュ
    "\xD5",      // ゆ ユ
    "\xAE",      // ょ ョ
    "\xD6",      // よ ヨ
    "\xD7",      // ら ラ
    "\xD8",      // り リ
    "\xD9",      // る ル
    "\xDA",      // れ レ
    "\xDB",      // ろ ロ
    "\xDC",      // ゎ ヮ
    "\xDC",      // わ ワ
    "\xB2",      // ゐ ヰ
    "\xB4",      // ゑ ヱ
    "\xA6",      // を ヲ
    "\xDD",      // ん ン
    "\xB3\xDE",  // ヴ (hiragana 0x82F2 folds to ｱ instead)
    "\xB6",      // ヵ
    "\xB9",      // ヶ
};
constexpr size_t kKanaCount = sizeof(kKana) / sizeof(kKana[0]);
static_assert(kKanaCount == 0x96 - 0x40);  // katakana 0x8340..0x8396 less 0x837F

// Full-width symbols with lead byte 0x81: trail byte and folded form; an
// empty form drops the character. Trail bytes not listed stay unchanged.
struct SymbolFold {
  unsigned char trail;
  const char* out;
};
constexpr SymbolFold kSymbols[] = {
    {0x40, ""},      //   full-width blank
    {0x41, ","},     // 、
    {0x42, "."},     // 。
    {0x43, ","},     // ，
    {0x44, "."},     // ．
    {0x45, "\xA5"},  // ・ half-width middle dot
    {0x46, ":"},     // ：
    {0x47, ";"},     // ；
    {0x48, "?"},     // ？
    {0x49, "!"},     // ！
    {0x4A, "'"},     // ゛
    {0x4B, "\xDE"},  // ゜ half-width voiced mark
    {0x4C, "\xDF"},  // ´ half-width semi-voiced mark
    {0x4D, "'"},     // ｀
    {0x4E, "'"},     // ¨
    {0x4F, "^"},     // ＾
    {0x51, "_"},     // ＿
    {0x5B, "-"},     // ー
    {0x5E, "/"},     // ／
    {0x60, "~"},     // ～
    {0x62, "|"},     // ｜
    {0x69, "("},     // （
    {0x6A, ")"},     // ）
    {0x6D, "["},     // ［
    {0x6E, "]"},     // ］
    {0x6F, "{"},     // ｛
    {0x70, "}"},     // ｝
    {0x75, "\xA2"},  // 「 half-width opening corner bracket
    {0x76, "\xA3"},  // 」 half-width closing corner bracket
    {0x7B, "+"},     // ＋
    {0x7C, "-"},     // －
    {0x81, "="},     // ＝
    {0x83, "<"},     // ＜
    {0x84, ">"},     // ＞
    {0x8F, "\x5C"},  // ￥ (0x5C shows as the yen sign in CP932)
    {0x90, "$"},     // ＄
    {0x93, "%"},     // ％
    {0x94, "#"},     // ＃
    {0x95, "&"},     // ＆
    {0x96, "*"},     // ＊
    {0x97, "@"},     // ＠
};

void FoldSymbol(unsigned char lead, unsigned char trail, std::string& out) {
  for (const SymbolFold& s : kSymbols) {
    if (s.trail == trail) {
      out += s.out;
      return;
    }
  }
  out += static_cast<char>(lead);
  out += static_cast<char>(trail);
}

// Lead byte 0x82: digits, letters and hiragana; anything else vanishes.
void FoldRow82(unsigned char trail, std::string& out) {
  if (trail >= 0x4F && trail <= 0x58) {
    out += static_cast<char>(trail - 0x1F);  // '0'..'9'
  } else if (trail >= 0x60 && trail <= 0x79) {
    out += static_cast<char>(trail - 0x1F);  // 'A'..'Z'
  } else if (trail >= 0x81 && trail <= 0x9A) {
    out += static_cast<char>(trail - 0x40);  // a..z -> 'A'..'Z'
  } else if (trail == 0xF2) {
    out += "\xB1";
  } else if (trail >= 0x9F && trail <= 0xF1) {
    out += kKana[trail - 0x9F];
  }
}

// Lead byte 0x83: katakana; anything else stays.
void FoldRow83(unsigned char trail, std::string& out) {
  if (trail >= 0x40 && trail <= 0x7E) {
    out += kKana[trail - 0x40];
  } else if (trail >= 0x80 && trail <= 0x96) {
    out += kKana[trail - 0x41];
  } else {
    out += '\x83';
    out += static_cast<char>(trail);
  }
}

// What one character folds to: up to two bytes.
struct Folded {
  uint8_t length = 0;
  char bytes[2] = {0, 0};
};

Folded FoldedFrom(const std::string& s) {
  Folded f;
  f.length = static_cast<uint8_t>(s.size());
  for (size_t i = 0; i < s.size(); ++i) f.bytes[i] = s[i];
  return f;
}

// The folds of every single byte and of every character with lead byte
// 0x81, 0x82 or 0x83, made once from the rules above; other double-byte
// characters stay as they are.
struct FoldTables {
  std::array<Folded, 256> single;
  std::array<std::array<Folded, 256>, 3> rows;  // lead bytes 0x81..0x83
};

const FoldTables& Tables() {
  static const FoldTables tables = [] {
    FoldTables t;
    for (int c = 0; c < 256; ++c) {
      std::string out;
      switch (c) {
        case '\t':
        case ' ':
        case '\n':
        case '\r':
          break;
        case 0xB0:
          out = "-";
          break;
        case 0xA4:
          out = ",";
          break;
        case 0xA1:
          out = ".";
          break;
        default:
          out = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : static_cast<char>(c);
      }
      t.single[static_cast<size_t>(c)] = FoldedFrom(out);
      for (unsigned char lead = 0x81; lead <= 0x83; ++lead) {
        out.clear();
        const auto trail = static_cast<unsigned char>(c);
        if (lead == 0x81) {
          FoldSymbol(lead, trail, out);
        } else if (lead == 0x82) {
          FoldRow82(trail, out);
        } else {
          FoldRow83(trail, out);
        }
        t.rows[lead - 0x81][static_cast<size_t>(c)] = FoldedFrom(out);
      }
    }
    return t;
  }();
  return tables;
}

void Put(const Folded& f, char*& o) {
  o[0] = f.bytes[0];
  o[1] = f.bytes[1];
  o += f.length;
}

}  // namespace

void FoldSjisKeyInto(std::string_view src, std::string* out) {
  const std::string_view text = CText(src);
  const FoldTables& t = Tables();
  // The key is never longer than the text; two spare bytes let every
  // character write both of its bytes.
  out->resize(text.size() + 2);
  char* o = out->data();
  const size_t n = text.size();
  size_t k = 0;
  while (k < n) {
    const auto c = static_cast<unsigned char>(text[k]);
    if (IsSjisLead(c) && k + 1 < n) {
      const auto trail = static_cast<unsigned char>(text[k + 1]);
      k += 2;
      if (c <= 0x83) {
        Put(t.rows[c - 0x81][trail], o);
      } else {
        o[0] = static_cast<char>(c);
        o[1] = static_cast<char>(trail);
        o += 2;
      }
      continue;
    }
    ++k;  // a single byte, or a lead byte that lost its trail byte
    Put(t.single[c], o);
  }
  out->resize(static_cast<size_t>(o - out->data()));
}

std::string FoldSjisKey(std::string_view src) {
  std::string out;
  FoldSjisKeyInto(src, &out);
  return out;
}

}  // namespace quill::store
