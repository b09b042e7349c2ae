#include "main/exchange/transfer_format.h"

#include <cstdlib>

#include "store/card_row.h"
#include "store/card_store.h"
#include "platform/sjis.h"

namespace quill {

namespace {

constexpr std::string_view kCrLf = "\r\n";

struct Header {
  std::string_view line;
  int version;
};
constexpr Header kHeaders[] = {
    {"Quillbox V6.00\r\n", 0},   {"Quillbox V7.00\r\n", 0},   {"Quillbox V7.40\r\n", 740},
    {"Quillbox V7.60\r\n", 760}, {"Quillbox V7.63\r\n", 763}, {"Quillbox V7.68\r\n", 768},
    {"Quillbox V7.73\r\n", 773}, {"Quillbox V7.80\r\n", 780},
};

// A number as a 32-bit signed decimal.
void Num(int64_t v, std::string* out) {
  out->append(std::to_string(static_cast<int32_t>(static_cast<uint32_t>(v))));
  out->append(kCrLf);
}
void SignedByte(int v, std::string* out) { Num(static_cast<int8_t>(v), out); }
void Text(std::string_view s, std::string* out) {
  out->append(s);
  out->append(kCrLf);
}

// The leading decimal of a line (blanks, a sign, digits); 0 when none.
int64_t ParseNumber(std::string_view s) {
  std::string t(s.substr(0, 40));
  return std::strtoll(t.c_str(), nullptr, 10);
}
uint32_t U32(std::string_view s) { return static_cast<uint32_t>(ParseNumber(s)); }
int32_t I8(std::string_view s) { return static_cast<int8_t>(ParseNumber(s)); }
int32_t I32(std::string_view s) { return static_cast<int32_t>(ParseNumber(s)); }

}  // namespace

int TransferVersion(std::string_view header_line) {
  for (const Header& h : kHeaders) {
    if (header_line == h.line) return h.version;
  }
  return -1;
}

void AppendCardBlock(const store::CardRecord& card, std::string_view folder, std::string* out) {
  Text(folder, out);
  Text(card.title, out);
  Text(card.source, out);
  SignedByte(card.one_shot_paste, out);
  Num(card.ctime, out);
  Num(card.ctick, out);
  Num(card.utime, out);
  Num(card.position, out);
  SignedByte(card.icon, out);
  SignedByte(card.kind, out);
  SignedByte(card.two_column ? 1 : 0, out);
  for (int8_t w : card.column_widths) {
    out->append(std::to_string(static_cast<int>(w)));
    out->push_back('\t');
  }
  out->append(kCrLf);
  // A card in the default font has no font of its own: its fields are
  // written as the defaults, whatever an earlier card left in the record.
  const bool own_font = !card.font_name.empty();
  Text(card.font_name, out);
  Num(own_font ? card.font_size : 9, out);
  Num(own_font ? card.font_color : 0, out);
  Num(own_font ? (card.bold ? 1 : 0) | (card.italic ? 2 : 0) | (card.underline ? 4 : 0) : 0, out);
  Num(own_font ? card.font_charset : 128, out);
  SignedByte(card.auto_title ? 1 : 0, out);
  SignedByte(card.locked ? 1 : 0, out);
  out->append(card.text);
  out->append(kCrLf);
  out->append(RecordSeparator);
  out->append(kCrLf);
}

bool TransferParser::Line(std::string_view* line) {
  if (pos_ >= data_.size()) return false;
  size_t lf = data_.find('\n', pos_);
  const size_t end = lf == std::string_view::npos ? data_.size() : lf;
  std::string_view l = data_.substr(pos_, end - pos_);
  pos_ = lf == std::string_view::npos ? data_.size() : lf + 1;
  const size_t cr = l.find('\r');
  if (cr != std::string_view::npos) l = l.substr(0, cr);
  *line = l;
  return true;
}

TransferParser::Result TransferParser::Next(TransferCard* c) {
  *c = TransferCard();
  std::string_view l;
  if (!Line(&l)) return kEnd;
  c->folder.assign(l);
  // Every further field line must be there.
  auto need = [&](std::string_view* line) { return Line(line); };
  std::string_view f[18];
  int count = 6;  // lines 2..7
  if (version_ >= 740) count = 11;
  if (version_ >= 760) count = 15;
  if (version_ >= 763) count = 16;
  if (version_ >= 768) count = 17;
  if (version_ >= 773) count = 18;
  for (int i = 0; i < count; ++i) {
    if (!need(&f[i])) return kTruncated;
  }
  c->title.assign(f[0]);
  c->source.assign(f[1]);
  c->one_shot_paste = I8(f[2]);
  c->ctime = U32(f[3]);
  c->ctick = U32(f[4]);
  c->utime = U32(f[5]);
  if (version_ >= 740) {
    c->position = U32(f[6]);
    c->icon = I8(f[7]);
    const int32_t kind = I8(f[8]);
    // Before V7.80 this line was a table flag.
    c->kind = version_ >= 780 ? kind : (kind != 0 ? 'C' : 0);
    c->two_column = I8(f[9]);
    std::string_view w = f[10];
    for (int i = 0; i < 20 && !w.empty(); ++i) {
      const size_t tab = w.find('\t');
      c->widths.push_back(static_cast<int8_t>(ParseNumber(w.substr(0, tab))));
      w = tab == std::string_view::npos ? std::string_view() : w.substr(tab + 1);
    }
    if (c->widths.size() > 19) c->widths.resize(19);
  }
  if (version_ >= 760) {
    c->font_name.assign(f[11]);
    c->font_size = I32(f[12]);
    c->font_color = U32(f[13]);
    c->style = I32(f[14]);
  }
  if (version_ >= 763) c->charset = I32(f[15]);
  if (version_ >= 768) c->auto_title = I8(f[16]);
  if (version_ >= 773) c->locked = I8(f[17]);
  // The text: the lines up to the separator (or the end), joined by CR LF.
  bool first = true;
  while (Line(&l) && l != RecordSeparator) {
    if (!first) c->text.append(kCrLf);
    c->text.append(l);
    first = false;
  }
  return kCard;
}

void FillCardFromTransfer(const TransferCard& in, store::CardRecord* card) {
  card->text = in.text;
  card->text_guard = store::kTextLoaded;
  card->title = in.title;
  quill::TruncateSjis(card->title, store::card_row::kTitleStored);
  card->source = in.source;
  quill::TruncateSjis(card->source, store::card_row::kSourceLength);
  card->one_shot_paste = static_cast<uint8_t>(in.one_shot_paste);
  card->ctime = in.ctime;
  card->ctick = in.ctick;
  card->utime = in.utime;
  if (in.position) card->position = *in.position;
  card->icon = in.icon >= 0 && in.icon <= 99 ? static_cast<uint8_t>(in.icon) : 0;
  card->kind = in.kind == 'C' || in.kind == 'H' ? static_cast<char>(in.kind) : 0;
  card->auto_title = in.auto_title != 0;
  card->two_column = in.two_column != 0;
  card->bold = in.style & 1;
  card->italic = in.style & 2;
  card->underline = in.style & 4;
  card->font_size = in.font_size;
  card->font_color = in.font_color;
  card->font_name = in.font_name;
  quill::TruncateSjis(card->font_name, store::card_row::kFontNameLength);
  card->font_charset = in.charset;
  card->locked = in.locked != 0;
  for (size_t i = 0; i < in.widths.size() && i < card->column_widths.size(); ++i) {
    card->column_widths[i] = in.widths[i];
  }
  card->deleted = 0;
}

}  // namespace quill
