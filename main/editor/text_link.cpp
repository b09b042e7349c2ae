#include "main/editor/text_link.h"

#include <memory>

#include "platform/file_env.h"
#include "platform/messages.h"
#include "platform/shell.h"
#include "platform/text_codec.h"
#include "platform/ui.h"
#include "platform/ui_messages.h"
#include "platform/sjis.h"

namespace quill {
namespace {

bool IsLead(char c) { return quill::IsSjisLead(static_cast<unsigned char>(c)); }

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

TextLink Link(TextLink::Kind kind, std::string text) {
  TextLink link{kind, std::move(text), {}};
  switch (kind) {
    case TextLink::Kind::kMailAddress: link.target = "mailto:" + link.text; break;
    case TextLink::Kind::kFile:
    case TextLink::Kind::kCard: link.target = link.text.substr(6); break;
    default: link.target = link.text; break;
  }
  return link;
}

// Offers to create a missing file; true when it is there to open.
bool EnsureFile(const std::string& path, LinkContext& c) {
  const std::string name = Cp932ToUtf8(path);
  if (c.env.Exists(name)) return true;
  if (IsWindowsPath(path)) {
    c.ui.MessageBeep();
    return false;
  }
  if (!ConfirmCaution(c.ui, MessageId::kLinkedFileMissing)) return false;
  // Made only when still missing: a file that appeared meanwhile is
  // never emptied.
  std::unique_ptr<RandomFile> file;
  Status s = c.env.Open(name, OpenMode::kCreateNew, &file);
  if (s.ok()) s = file->Close();
  if (!s.ok()) {
    ShowWarning(c.ui, MessageId::kLinkedFileNotCreated);
    return false;
  }
  return true;
}

}  // namespace

bool IsWindowsPath(std::string_view path) {
  if (path.size() >= 2 && path[1] == ':' &&
      ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'))) {
    return true;
  }
  for (size_t i = 0; i < path.size(); ++i) {
    if (IsLead(path[i])) {
      ++i;  // a trail byte 0x5C is part of its character
    } else if (path[i] == '\\') {
      return true;
    }
  }
  return false;
}

std::string LinkFilePath(const std::string& path, const std::string& data_folder) {
  if (path.find('/') != std::string::npos || IsWindowsPath(path)) return path;
  return data_folder + path;
}

TextLink FindLinkAt(std::string_view text, size_t pos) {
  if (text.empty()) return {};
  size_t i = std::min(pos, text.size() - 1);
  size_t stop = 0;
  bool stopped_on_delimiter = false;
  size_t word_start = std::string_view::npos;  // after the nearest blank or colon
  for (;;) {
    const TextLink::Kind kind = LinkStartAt(text, i);
    if (kind != TextLink::Kind::kNone) return Link(kind, LinkFrom(text, i, kind));
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
    if (c == '@') return Link(TextLink::Kind::kMailAddress, LinkFrom(text, start, TextLink::Kind::kMailAddress));
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
    case TextLink::Kind::kMailAddress:
      c.shell.OpenAddress(link.target);
      return;
    case TextLink::Kind::kFile: {
      if (link.target.empty()) return;
      const std::string full = LinkFilePath(link.target, c.data_folder);
      if (EnsureFile(full, c)) c.shell.OpenFile(full);
      return;
    }
    case TextLink::Kind::kCard:
      if (!link.target.empty() && c.open_card) c.open_card(link.target);
      return;
  }
}

}  // namespace quill
