// Clipboard: the desktop's shared clipboards, as the program sees them.
//
// There are two selections: CLIPBOARD (what Ctrl+C / Ctrl+V and the
// program's own copy and paste use) and PRIMARY (what the user has just
// selected with the mouse, pasted by Shift+Insert or the middle button).
//
// Text crosses this port as the program's text: CP932 bytes with CR LF
// line ends. On the desktop the clipboard holds UTF-8 with LF; the
// conversion happens inside the implementation (platform/text_codec.h).
//
// A snapshot holds every format a selection offered, by MIME type, with
// its bytes as offered; putting a snapshot back offers the same formats
// again (text, HTML, an image, ...).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quill {

enum class Selection {
  kClipboard,  // CLIPBOARD
  kPrimary,    // PRIMARY
};

// The MIME type of HTML text, as browsers offer it.
inline constexpr const char* kHtmlMimeType = "text/html";
// The types in which browsers name the page a selection came from, the
// first one offered wins.
inline constexpr const char* kSourceUrlMimeTypes[] = {"text/x-moz-url-priv",
                                                      "chromium/x-source-url", "text/x-moz-url"};

struct ClipboardFormat {
  std::string mime_type;  // "text/plain;charset=utf-8", "image/png", ...
  std::string data;       // the bytes as offered
  bool operator==(const ClipboardFormat&) const = default;
};

struct ClipboardSnapshot {
  std::vector<ClipboardFormat> formats;  // in the order they were offered
  bool empty() const { return formats.empty(); }
  bool operator==(const ClipboardSnapshot&) const = default;
};

// One change of a selection's contents or owner.
struct ClipboardChange {
  Selection selection = Selection::kClipboard;
  // True when the program itself made the change (SetText, Restore,
  // Clear); false when another application took the selection.
  bool ours = false;
};

class Clipboard {
 public:
  using ChangeListener = std::function<void(const ClipboardChange&)>;

  virtual ~Clipboard() = default;

  // True when the selection offers text.
  virtual bool HasText(Selection selection = Selection::kClipboard) = 0;
  // The selection's whole text as CP932 with CR LF; "" when it offers no
  // text. Callers that keep a limit apply it themselves.
  virtual std::string Text(Selection selection = Selection::kClipboard) = 0;
  // Takes the selection and offers `cp932` (CR LF inside) as text.
  virtual void SetText(const std::string& cp932,
                       Selection selection = Selection::kClipboard) = 0;
  // True when the selection offers HTML ("text/html").
  virtual bool HasHtml(Selection selection = Selection::kClipboard) = 0;

  // Every format the selection offers, with its data.
  virtual ClipboardSnapshot Snapshot(Selection selection = Selection::kClipboard) = 0;
  // Takes the selection and offers the snapshot's formats; an empty
  // snapshot empties the selection.
  virtual void Restore(const ClipboardSnapshot& snapshot,
                       Selection selection = Selection::kClipboard) = 0;
  // Empties the selection (the program becomes its owner, offering nothing).
  virtual void Clear(Selection selection = Selection::kClipboard) = 0;

  // True while what the selection offers was put there by the program.
  virtual bool OwnsSelection(Selection selection = Selection::kClipboard) = 0;
  // How many times another application has fetched data that the program
  // offers on the selection; grows while the program owns it.
  virtual uint64_t FetchCount(Selection selection = Selection::kClipboard) = 0;

  // Called on the program's event thread after each change of either
  // selection; an empty listener stops the notices.
  virtual void SetChangeListener(ChangeListener listener) = 0;
};

// The selection's HTML as the format "HTML Format": one UTF-8 text of the
// header line "Version:0.9", the line "SourceURL:" with the page's address
// when the application named it, each ended by CR LF, then the HTML from
// its "<html" (a bare fragment is put inside <html><body>). "" when the
// snapshot holds no HTML. HTML and addresses offered as UTF-16 (with a
// byte-order mark, or little-endian without one) are read as such.
std::string HtmlFormatOf(const ClipboardSnapshot& snapshot);

}  // namespace quill
