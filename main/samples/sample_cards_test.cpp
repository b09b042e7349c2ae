// The sample cards: what their source promises, the bytes built from it,
// and the source's refusals.
#include "main/samples/sample_cards.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>

#include "platform/text_codec.h"

namespace quill {
namespace {

std::vector<TransferCard> SourceCards() {
  std::ifstream in(QUILL_SAMPLE_SOURCE, std::ios::binary);
  const std::string source((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<TransferCard> cards;
  Status s = ParseSampleCards(source, &cards);
  EXPECT_TRUE(s.ok()) << s.ToString();
  return cards;
}

bool Has(const TransferCard& c, std::string_view utf8) {
  return c.text.find(Utf8ToCp932(utf8)) != std::string::npos;
}

TEST(SampleCardsTest, TheSourceShowsWhatTheProgramDoes) {
  const std::vector<TransferCard> cards = SourceCards();
  ASSERT_GE(cards.size(), 5u);
  std::set<std::string> titles;
  int listed = 0, variables = 0, tables = 0, links = 0;
  for (const TransferCard& c : cards) {
    titles.insert(c.title);
    EXPECT_EQ(c.folder.rfind(Utf8ToCp932("サンプル"), 0), 0u) << Cp932ToUtf8(c.title);
    // Lines end in CR LF.
    size_t crlf = 0;
    for (size_t at = c.text.find("\r\n"); at != std::string::npos; at = c.text.find("\r\n", at + 2)) {
      ++crlf;
    }
    EXPECT_EQ(static_cast<size_t>(std::count(c.text.begin(), c.text.end(), '\n')), crlf);
    listed += c.one_shot_paste;
    if (Has(c, "$_NAME_") && Has(c, "$_YEAR_")) ++variables;
    if (c.kind == 'C' && c.two_column == 1 && c.text.find('\t') != std::string::npos) ++tables;
    if (Has(c, "https://") && Has(c, "mailto:") && Has(c, "<card=")) {
      ++links;
      // The card link names a sample card.
      const size_t at = c.text.find("<card=") + 6;
      EXPECT_EQ(titles.count(c.text.substr(at, c.text.find('>', at) - at)), 1u);
    }
  }
  EXPECT_EQ(listed, 1);
  EXPECT_EQ(variables, 1);
  EXPECT_EQ(tables, 1);
  EXPECT_EQ(links, 1);
  EXPECT_EQ(titles.count(Utf8ToCp932("取り込みのメモ")), 1u);
}

TEST(SampleCardsTest, TheBuiltFileReadsBackCardForCard) {
  const std::vector<TransferCard> cards = SourceCards();
  const std::string bytes = BuildSampleFile(cards);
  ASSERT_EQ(bytes.rfind("Quillbox V7.80\r\n", 0), 0u);
  for (size_t at = bytes.find('\n'); at != std::string::npos; at = bytes.find('\n', at + 1)) {
    ASSERT_EQ(bytes[at - 1], '\r') << at;
  }
  // CP932, not UTF-8: the first title's bytes are there as converted.
  EXPECT_NE(bytes.find(cards[0].title), std::string::npos);
  EXPECT_EQ(bytes.find("Quillboxへようこそ"), std::string::npos);

  TransferParser parser(std::string_view(bytes).substr(16), 780);
  for (const TransferCard& want : cards) {
    TransferCard got;
    ASSERT_EQ(parser.Next(&got), TransferParser::kCard);
    EXPECT_EQ(got.folder, want.folder);
    EXPECT_EQ(got.title, want.title);
    EXPECT_EQ(got.source, want.source);
    EXPECT_EQ(got.one_shot_paste, want.one_shot_paste);
    EXPECT_EQ(got.ctime, want.ctime);
    EXPECT_EQ(got.ctick, want.ctick);
    EXPECT_EQ(got.utime, want.utime);
    EXPECT_EQ(got.position, want.position);
    EXPECT_EQ(got.icon, want.icon);
    EXPECT_EQ(got.kind, want.kind);
    EXPECT_EQ(got.two_column, want.two_column);
    EXPECT_EQ(got.text, want.text);
    for (size_t i = 0; i < want.widths.size(); ++i) EXPECT_EQ(got.widths[i], want.widths[i]);
  }
  TransferCard rest;
  EXPECT_EQ(parser.Next(&rest), TransferParser::kEnd);
}

TEST(SampleCardsTest, TheSourceRefusesWhatItCannotBuild) {
  const std::string card = "=== card\nfolder: F\ntitle: T\n";
  const struct {
    std::string source;
    const char* why;
  } refused[] = {
      {card + "---\n", "no id"},
      {card + "id: 1 2\ncolour: red\n---\n", "unknown key"},
      {card + "id: 1 x\n---\n", "bad id"},
      {card + "id: 1 2\nicon: 100\n---\n", "icon out of range"},
      {card + "id: 1 2\n---\n" + card + "id: 1 2\n---\n", "id used twice"},
      {"stray text\n" + card + "id: 1 2\n---\n", "text outside a card"},
      {card + "id: 1 2\ntitle: " + std::string(51, 'x') + "\n---\n", "title too long"},
  };
  for (const auto& r : refused) {
    std::vector<TransferCard> cards;
    EXPECT_EQ(ParseSampleCards(r.source, &cards).code(), Status::kInvalid) << r.why;
  }
  std::vector<TransferCard> cards;
  ASSERT_TRUE(ParseSampleCards(card + "id: 1 2\nkind: table\n---\na | b | c\nd | e | f\n\n\n", &cards)
                  .ok());
  ASSERT_EQ(cards.size(), 1u);
  EXPECT_EQ(cards[0].text, "a\tb\tc\r\nd\te\tf");
  EXPECT_EQ(cards[0].kind, 'C');
  EXPECT_EQ(cards[0].two_column, 0);  // three columns
}

}  // namespace
}  // namespace quill
