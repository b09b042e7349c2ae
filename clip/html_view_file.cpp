#include "clip/html_view_file.h"

#include <vector>

#include "clip/base64.h"
#include "clip/html_capture.h"
#include "clip/html_cleaner.h"
#include "clip/html_marker.h"
#include "platform/text_codec.h"

namespace quill {

namespace {

std::string InFolder(const std::string& folder, std::string_view name) {
  std::string path = folder;
  if (!path.empty() && path.back() != '/') path += '/';
  return path + Cp932ToUtf8(name);
}

Status WriteNotHtml(FileEnv& env, const std::string& folder) {
  const std::string page = NotHtmlPage();
  QUILL_RETURN_IF_ERROR(env.WriteFileAtomic(InFolder(folder, kNotHtmlViewFileName), page));
  return env.WriteFileAtomic(InFolder(folder, kHtmlViewFileName), page);
}

// Removes the regular files of the folder (what an earlier view left).
Status ClearFolder(FileEnv& env, const std::string& folder) {
  std::vector<std::string> names;
  QUILL_RETURN_IF_ERROR(env.ListDir(folder, &names));
  for (const std::string& name : names) {
    const std::string path = (folder.ends_with('/') ? folder : folder + "/") + name;
    if (env.IsRegularFile(path)) QUILL_RETURN_IF_ERROR(env.Remove(path));
  }
  return Status::Ok();
}

}  // namespace

std::string NotHtmlPage() {
  return "<html>\n<Br><br>" + Utf8ToCp932("ＨＴＭＬデータではありませんでした") +
         "<br></html>";
}

Status WriteHtmlViewFile(FileEnv& env, const std::string& folder, std::string_view text) {
  QUILL_RETURN_IF_ERROR(ClearFolder(env, folder));
  const size_t marker = text.find(kHtmlMarkerLine);
  if (marker == std::string_view::npos) return WriteNotHtml(env, folder);
  size_t page_start = marker + kHtmlMarkerLine.size();
  if (text.substr(page_start).starts_with("\r\n")) page_start += 2;
  const std::string data_line = std::string(kHtmlDataLine) + "\r\n";
  const size_t data = text.find(data_line, page_start);
  if (data == std::string_view::npos) return WriteNotHtml(env, folder);
  QUILL_RETURN_IF_ERROR(env.WriteFileAtomic(InFolder(folder, kHtmlViewFileName),
                                            text.substr(page_start, data - page_start)));

  constexpr std::string_view kOpen = "<IMGFILE=";
  constexpr std::string_view kClose = "</IMGFILE>";
  size_t at = data + data_line.size();
  while ((at = text.find(kOpen, at)) != std::string_view::npos) {
    const size_t name_start = at + kOpen.size();
    const size_t name_end = text.find(">\r", name_start);
    if (name_end == std::string_view::npos) return WriteNotHtml(env, folder);
    size_t bytes_start = name_end + 2;
    if (bytes_start < text.size() && text[bytes_start] == '\n') ++bytes_start;
    const size_t close = text.find(kClose, bytes_start);
    if (close == std::string_view::npos) return WriteNotHtml(env, folder);
    const std::string_view name = text.substr(name_start, name_end - name_start);
    const std::string file = Cp932ToUtf8(name);
    if (IsPlainLocalName(name) && file.find('/') == std::string::npos && file != "." &&
        file != "..") {
      // The decoder passes over the line ends itself.
      QUILL_RETURN_IF_ERROR(env.WriteFileAtomic(
          InFolder(folder, name), DecodeBase64(text.substr(bytes_start, close - bytes_start))));
    }
    at = close + kClose.size();
  }
  return Status::Ok();
}

}  // namespace quill
