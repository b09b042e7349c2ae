#include "clip/page_images.h"

#include <algorithm>
#include <cctype>

#include "clip/base64.h"
#include "platform/text_codec.h"

namespace quill {

namespace {

constexpr size_t kBase64Line = 80;

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The scheme of an absolute address ("http"), lower case; "" without one.
std::string SchemeOf(std::string_view url) {
  size_t i = 0;
  while (i < url.size() && (std::isalnum(static_cast<unsigned char>(url[i])) || url[i] == '+' ||
                            url[i] == '-' || url[i] == '.')) {
    ++i;
  }
  if (i == 0 || i >= url.size() || url[i] != ':' ||
      !std::isalpha(static_cast<unsigned char>(url[0]))) {
    return std::string();
  }
  std::string scheme(url.substr(0, i));
  std::transform(scheme.begin(), scheme.end(), scheme.begin(), AsciiLower);
  return scheme;
}

// "a/b/../c/./d" -> "a/c/d", as browsers read paths.
std::string RemoveDotSegments(std::string_view path) {
  std::vector<std::string_view> out;
  size_t i = 0;
  const bool absolute = path.starts_with('/');
  if (absolute) i = 1;
  bool trailing = false;
  while (i <= path.size()) {
    size_t slash = path.find('/', i);
    if (slash == std::string_view::npos) slash = path.size();
    const std::string_view seg = path.substr(i, slash - i);
    trailing = false;
    if (seg == "..") {
      if (!out.empty()) out.pop_back();
      trailing = true;
    } else if (seg == ".") {
      trailing = true;
    } else {
      out.push_back(seg);
    }
    i = slash + 1;
  }
  std::string result = absolute ? "/" : "";
  for (size_t k = 0; k < out.size(); ++k) {
    if (k > 0) result += '/';
    result += out[k];
  }
  if (trailing && !result.empty() && result.back() != '/') result += '/';
  return result;
}

}  // namespace

bool IsHttpAddress(std::string_view url) {
  const std::string scheme = SchemeOf(url);
  return scheme == "http" || scheme == "https";
}

std::string ResolveAddress(std::string_view base, std::string_view ref) {
  // Blanks around an attribute value are not part of the address.
  while (!ref.empty() && ref.front() == ' ') ref.remove_prefix(1);
  while (!ref.empty() && ref.back() == ' ') ref.remove_suffix(1);
  if (!SchemeOf(ref).empty()) return std::string(ref);
  const std::string scheme = SchemeOf(base);
  if (scheme.empty()) return std::string();
  const std::string_view after_scheme = base.substr(scheme.size() + 1);
  if (ref.starts_with("//")) return scheme + ":" + std::string(ref);
  // Authority and path of the base.
  std::string_view authority;
  std::string_view rest = after_scheme;
  if (rest.starts_with("//")) {
    const size_t end = rest.find_first_of("/?#", 2);
    authority = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
  }
  const size_t query_at = rest.find_first_of("?#");
  const std::string_view path = rest.substr(0, query_at);
  const std::string prefix = scheme + ":" + std::string(authority);
  if (ref.empty()) return std::string(base.substr(0, base.find('#')));
  if (ref.starts_with('#')) return std::string(base.substr(0, base.find('#'))) + std::string(ref);
  if (ref.starts_with('?')) return prefix + std::string(path) + std::string(ref);
  // The query and fragment of the reference are kept as they are.
  const size_t ref_query = ref.find_first_of("?#");
  const std::string_view ref_path = ref.substr(0, ref_query);
  const std::string_view ref_tail =
      ref_query == std::string_view::npos ? std::string_view() : ref.substr(ref_query);
  std::string merged;
  if (ref_path.starts_with('/')) {
    merged = ref_path;
  } else {
    const size_t last = path.rfind('/');
    merged = (last == std::string_view::npos ? std::string(authority.empty() ? "" : "/")
                                             : std::string(path.substr(0, last + 1))) +
             std::string(ref_path);
  }
  return prefix + RemoveDotSegments(merged) + std::string(ref_tail);
}

namespace {

// UTF-8 text as an address: blanks and bytes outside ASCII
// percent-encoded, blanks at either end dropped.
std::string EncodeAddress(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c <= 0x20 || c >= 0x7F) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += ch;
    }
  }
  return out;
}

}  // namespace

std::string AddressOfAttribute(std::string_view value) {
  std::string text = Cp932ToUtf8(value);
  for (size_t at = text.find("&amp;"); at != std::string::npos; at = text.find("&amp;", at + 1)) {
    text.replace(at, 5, "&");
  }
  return EncodeAddress(text);
}

std::string ImageBlock(std::string_view name, std::string_view bytes) {
  const std::string base64 = EncodeBase64(bytes);
  std::string block = "<IMGFILE=" + std::string(name) + ">\r\n";
  block.reserve(block.size() + base64.size() + base64.size() / kBase64Line * 2 + 20);
  for (size_t i = 0; i < base64.size(); i += kBase64Line) {
    block.append(base64, i, kBase64Line);
    block += "\r\n";
  }
  return block + "\r\n</IMGFILE>\r\n";
}

PageImageFetch::PageImageFetch(const PageResourceMap& map, std::string page_url, Clock& clock,
                               std::string* text, size_t max_text)
    : entries_(map.begin(), map.end()),
      referer_(EncodeAddress(Cp932ToUtf8(page_url))),
      clock_(clock),
      text_(text),
      max_text_(max_text) {}

bool PageImageFetch::Next(Step* step) {
  if (next_ >= entries_.size()) return false;
  if (!started_) {
    started_ = true;
    start_tick_ = clock_.TickCount();
  }
  const auto spent = static_cast<int32_t>(clock_.TickCount() - start_tick_);
  if (spent >= static_cast<int32_t>(kCaptureMs)) {
    next_ = entries_.size();  // the rest is skipped
    return false;
  }
  *step = Step();
  step->index = next_;
  step->written = entries_[next_].first;
  step->name = entries_[next_].second;
  ++next_;
  const std::string url = ResolveAddress(referer_, AddressOfAttribute(step->written));
  if (IsHttpAddress(url)) step->url = url;
  step->referer = referer_;
  step->limits.connect_ms = kConnectMs;
  step->limits.total_ms = std::min(kResourceMs, static_cast<int>(kCaptureMs) - spent);
  step->limits.max_bytes = kMaxImageBytes;
  return true;
}

void PageImageFetch::Accept(const Step& step, const Status& status, const std::string& body) {
  if (step.url.empty() || !status.ok() || body.size() >= kMaxImageBytes ||
      !IsPlainLocalName(step.name)) {
    return;
  }
  const std::string block = ImageBlock(step.name, body);
  if (text_->size() + block.size() > max_text_) return;
  *text_ += block;
  embedded_.push_back(step.name);
}

void PageImageFetch::RunAll(HttpFetcher& fetcher) {
  Step step;
  while (Next(&step)) {
    std::string body;
    Status s = step.url.empty() ? Status::Invalid("not fetched")
                                : fetcher.Fetch(step.url, step.referer, step.limits, &body);
    Accept(step, s, body);
  }
}

}  // namespace quill
