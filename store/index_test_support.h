// Index files made from their bytes, for tests of damaged indexes.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "store/byte_order.h"

namespace quill::store {

// An index on `expr` with keys of key_length bytes. A page lists its
// children (an internal page) or its rows (a leaf); every key is `key`,
// blank-padded. A page listing more entries than fit is written with that
// count and as many entries as fit: a damaged page.
struct RawIndex {
  struct Page {
    std::vector<uint32_t> children;
    std::vector<uint32_t> rows;
  };
  std::string expr = "KEY";
  uint32_t key_length = 20;
  std::string key = "A";
  uint32_t root = 1;
  std::vector<Page> pages;  // page 1 onwards

  uint32_t EntrySize() const { return ((key_length - 1) & ~uint32_t{3}) + 12; }
  uint32_t KeysPerPage() const { return 508 / EntrySize(); }

  static Page Internal(std::vector<uint32_t> children) { return Page{std::move(children), {}}; }
  static Page Leaf(std::vector<uint32_t> rows) { return Page{{}, std::move(rows)}; }

  // `levels` internal pages whose children are all the next page, over one
  // full leaf of `row`: (keys per page + 1)^levels leaves to a walk that
  // trusts the pages.
  void ShareEveryChild(uint32_t levels, uint32_t row) {
    pages.clear();
    for (uint32_t p = 1; p <= levels; ++p) {
      pages.push_back(Internal(std::vector<uint32_t>(KeysPerPage() + 1, p + 1)));
    }
    pages.push_back(Leaf(std::vector<uint32_t>(KeysPerPage(), row)));
  }

  std::string Bytes() const {
    const uint32_t E = EntrySize(), K = KeysPerPage();
    std::string b(512 * (pages.size() + 1), '\0');
    PutU32(&b[0], root);
    PutU32(&b[4], static_cast<uint32_t>(pages.size() + 1));
    PutU32(&b[12], key_length);
    PutU32(&b[16], K);
    PutU32(&b[24], E);
    std::memcpy(&b[34], expr.data(), expr.size());
    b[34 + expr.size()] = ' ';
    std::string padded = key;
    padded.resize(key_length, ' ');
    for (size_t p = 0; p < pages.size(); ++p) {
      char* at = &b[512 * (p + 1)];
      const Page& pg = pages[p];
      const bool leaf = pg.children.empty();
      const uint32_t c = static_cast<uint32_t>(leaf ? pg.rows.size() : pg.children.size() - 1);
      PutU32(at, c);
      for (uint32_t i = 0; i < c && i < K; ++i) {
        if (!leaf) PutU32(at + 4 + i * E, pg.children[i]);
        PutU32(at + 8 + i * E, leaf ? pg.rows[i] : 0);
        std::memcpy(at + 12 + i * E, padded.data(), key_length);
      }
      if (!leaf && c <= K) PutU32(at + 4 + c * E, pg.children[c]);
    }
    return b;
  }
};

}  // namespace quill::store
