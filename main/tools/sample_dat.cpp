// Builds "Sample.dat" from the UTF-8 source of the sample cards:
//   sample_dat <sample_cards.txt> <Sample.dat>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "main/samples/sample_cards.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <source> <output>\n", argv[0]);
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 1;
  }
  const std::string source((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<quill::TransferCard> cards;
  quill::Status s = quill::ParseSampleCards(source, &cards);
  if (!s.ok()) {
    std::fprintf(stderr, "%s: %s\n", argv[1], s.ToString().c_str());
    return 1;
  }
  const std::string bytes = quill::BuildSampleFile(cards);
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "cannot write %s\n", argv[2]);
    std::remove(argv[2]);
    return 1;
  }
  return 0;
}
