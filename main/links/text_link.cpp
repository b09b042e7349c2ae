#include "main/links/text_link.h"

#include <memory>

#include "platform/file_env.h"
#include "platform/messages.h"
#include "platform/shell.h"
#include "platform/text_codec.h"
#include "platform/ui.h"
#include "store/sjis.h"

namespace quill {
namespace {

bool IsLead(char c) { return store::IsSjisLead(static_cast<unsigned char>(c)); }

// The characters that end a link and stop the scan back to its start.
bool IsDelimiter(char c) {
  return c == ',' || c == '\r' || c == '\n' || c == '\t' || c == '(' || c == ')';
}

TextLink::Kind LinkStartAt(std::string_view text, size_t i) {
  const std::string_view rest = text.substr(i);
  if (rest.starts_with("mailto:")) return TextLink::Kind::kMail;
  if (rest.starts_with("http://") || rest.starts_with("https://")) return TextLink::Kind::kWeb;
  if (rest.starts_with("<file=")) return TextLink::Kind::kFile;
  if (rest.starts_with("<card=")) return TextLink::Kind::kCard;
  return TextLink::Kind::kNone;
}

// The link from `start` up to its end.
std::string LinkFrom(std::string_view text, size_t start, TextLink::Kind kind) {
  const bool tagged = kind == TextLink::Kind::kFile || kind == TextLink::Kind::kCard;
  std::string out;
  size_t i = start;
  while (i < text.size()) {
    const char c = text[i];
    if (IsDelimiter(c)) break;
    if (tagged) {
      if (c == '>') break;
      if (IsLead(c) && i + 1 < text.size()) {
        out.append(text.substr(i, 2));
        i += 2;
        continue;
      }
    } else if (c == ' ' || IsLead(c)) {
      break;
    }
    out.push_back(c);
    ++i;
  }
  return out;
}

// A bare name (no folder and no drive) lives in the data folder.
std::string FilePath(const std::string& path, const std::string& data_folder) {
  if (path.starts_with('/') || path.find(':') != std::string::npos ||
      path.find('\\') != std::string::npos) {
    return path;
  }
  return data_folder + path;
}

// Offers to create a missing file; true when it is there to open.
bool EnsureFile(const std::string& path, LinkContext& c) {
  const std::string name = Cp932ToUtf8(path);
  if (c.env.Exists(name)) return true;
  if (c.ui.ShowMessageDialog(MessageText(MessageId::kLinkedFileMissing),
                             MessageText(MessageId::kCautionCaption),
                             kMessageYesNo) != kResultYes) {
    return false;
  }
  std::unique_ptr<RandomFile> file;
  Status s = c.env.Open(name, OpenMode::kCreate, &file);
  if (s.ok()) s = file->Close();
  if (!s.ok()) {
    c.ui.ShowMessageDialog(MessageText(MessageId::kLinkedFileNotCreated),
                           MessageText(MessageId::kWarningCaption), kMessageOk);
    return false;
  }
  return true;
}

}  // namespace

TextLink FindLinkAt(std::string_view text, size_t pos) {
  if (text.empty()) return {};
  size_t i = std::min(pos, text.size() - 1);
  size_t stop = 0;
  bool stopped_on_delimiter = false;
  size_t word_start = std::string_view::npos;  // after the nearest blank or colon
  for (;;) {
    const TextLink::Kind kind = LinkStartAt(text, i);
    if (kind != TextLink::Kind::kNone) return {kind, LinkFrom(text, i, kind)};
    const char c = text[i];
    if (IsLead(c) || IsDelimiter(c)) {
      stop = i;
      stopped_on_delimiter = true;
      break;
    }
    if (word_start == std::string_view::npos && (c == ' ' || c == ':')) word_start = i + 1;
    if (i == 0) break;
    --i;
  }
  size_t start = word_start;
  if (start == std::string_view::npos) start = stopped_on_delimiter ? stop + 1 : 0;
  for (size_t j = start; j < text.size(); ++j) {
    const char c = text[j];
    if (c == ' ' || IsLead(c)) break;
    if (c == '@') return {TextLink::Kind::kMailAddress, LinkFrom(text, start, TextLink::Kind::kMailAddress)};
  }
  return {};
}

void OpenLinkAt(std::string_view text, size_t pos, LinkContext& c) {
  const TextLink link = FindLinkAt(text, pos);
  switch (link.kind) {
    case TextLink::Kind::kNone:
      return;
    case TextLink::Kind::kMail:
    case TextLink::Kind::kWeb:
      c.shell.OpenAddress(link.text);
      return;
    case TextLink::Kind::kMailAddress:
      c.shell.OpenAddress("mailto:" + link.text);
      return;
    case TextLink::Kind::kFile: {
      const std::string path = link.text.substr(6);
      if (path.empty()) return;
      const std::string full = FilePath(path, c.data_folder);
      if (EnsureFile(full, c)) c.shell.OpenFile(full);
      return;
    }
    case TextLink::Kind::kCard: {
      const std::string title = link.text.substr(6);
      if (!title.empty() && c.open_card) c.open_card(title);
      return;
    }
  }
}

}  // namespace quill
