// What the benchmarks' data sets are made of: the number of cards, the
// folder names and random CP932 texts; the writing of such cards.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "platform/status.h"
#include "store/card_store.h"

namespace quill::bench {

// QUILL_BENCH_CARDS, or 100,000.
inline size_t CardCount() {
  const char* v = std::getenv("QUILL_BENCH_CARDS");
  long n = v ? std::atol(v) : 0;
  return n > 0 ? static_cast<size_t>(n) : 100000;
}

inline std::string FolderName(int f) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "Folder%03d", f);
  return buf;
}

// n bytes of CP932 text: ASCII, double-byte characters and CR LF.
inline std::string RandomText(std::mt19937& rng, size_t n) {
  std::string text;
  while (text.size() < n) {
    unsigned pick = rng() % 8;
    if (pick < 3 && text.size() + 2 <= n) {
      text.push_back(static_cast<char>(0x88 + rng() % 0x17));
      text.push_back(static_cast<char>(0x40 + rng() % 0x3F));
    } else if (pick < 4 && text.size() + 2 <= n) {
      text += "\r\n";
    } else {
      text.push_back(static_cast<char>('!' + rng() % 90));
    }
  }
  return text;
}

// Writes the cards (each with a folder, title, text, ctime and ctick)
// through `card`, its store held open meanwhile, and closes it.
template <typename Card>
Status WriteBenchCards(store::CardRecord& card, const std::vector<Card>& cards) {
  card.keep_open = true;
  for (const Card& d : cards) {
    card.Clear();
    card.folder = d.folder;
    card.title = d.title;
    card.text = d.text;
    card.ctime = card.utime = d.ctime;
    card.ctick = d.ctick;
    QUILL_RETURN_IF_ERROR(card.Write());
  }
  return card.Close();
}

}  // namespace quill::bench
