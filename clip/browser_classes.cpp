#include "clip/browser_classes.h"

#include <algorithm>
#include <vector>

#include "platform/sjis.h"

namespace quill {

namespace {

constexpr char kBrowserClassValue[] = "BrowserClass";

}  // namespace

std::string WindowClass(WindowSystem& windows, WindowHandle window) {
  std::string name = windows.ClassName(window);
  quill::TruncateSjis(name, kWindowClassMax);
  return name;
}

void BrowserClassList::Load() {
  const std::string value = registry_.ReadString(kQuillmainEnvKey, kBrowserClassValue, "");
  std::vector<std::string> names;
  size_t start = 0;
  while (start < value.size() && names.size() < SharedHookBlock::kBrowserClassCount) {
    size_t tab = value.find('\t', start);
    if (tab == std::string::npos) tab = value.size();
    names.push_back(value.substr(start, tab - start));
    start = tab + 1;
  }
  // An empty name ends the list in the block, as it would have ended it
  // when the value was written.
  auto empty = std::find(names.begin(), names.end(), std::string());
  names.erase(empty, names.end());
  block_.SetBrowserClasses(names);
}

WindowHandle BrowserClassList::FocusOf(WindowHandle target) const {
  for (size_t slot = SharedHookBlock::kFocusPairCount; slot-- > 0;) {
    const FocusPair pair = block_.FocusPairAt(slot);
    if (pair.top == target) return pair.focus;
  }
  return 0;
}

Status BrowserClassList::Add(WindowHandle target) {
  WindowHandle focus = FocusOf(target);
  const std::string name = WindowClass(windows_, focus != 0 ? focus : target);
  if (name.empty()) return Status::Ok();
  std::vector<std::string> names = block_.BrowserClasses();
  if (!names.empty() && names.front() == name) return Status::Ok();
  names.erase(std::remove(names.begin(), names.end(), name), names.end());
  names.insert(names.begin(), name);
  block_.SetBrowserClasses(names);  // keeps the first 50
  return Save();
}

bool BrowserClassList::Is(WindowHandle target) {
  const WindowHandle focus = FocusOf(target);
  return focus != 0 && block_.IsBrowserClass(WindowClass(windows_, focus));
}

Status BrowserClassList::Save() {
  std::string value;
  for (const std::string& name : block_.BrowserClasses()) value += name + "\t";
  return registry_.WriteString(kQuillmainEnvKey, kBrowserClassValue, value);
}

}  // namespace quill
