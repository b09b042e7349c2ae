// BrowserClasses: the window classes known to be web browsers, newest
// first, kept in the shared block (where the button bar reads them too)
// and in the registry value "BrowserClass" (class names, each followed by
// a TAB).
//
// A class joins the list when a copy from a window of that class put HTML
// on the clipboard; the HTML capture asks the list whether the target is a
// browser.
#pragma once

#include <string>

#include "platform/message_bus.h"
#include "platform/protocol/shared_hook_block.h"
#include "platform/registry_store.h"
#include "platform/status.h"
#include "platform/window_system.h"

namespace quill {

// The longest class name the program keeps (longer ones are cut on a
// character boundary).
inline constexpr size_t kWindowClassMax = 89;

// The class of a window as the program keeps it: at most 89 bytes.
std::string WindowClass(WindowSystem& windows, WindowHandle window);

class BrowserClassList {
 public:
  BrowserClassList(SharedHookBlock& block, RegistryStore& registry, WindowSystem& windows)
      : block_(block), registry_(registry), windows_(windows) {}

  // LoadBrowserClassList: the registry value into the block (at most 50
  // names, each cut to 99 bytes).
  void Load();
  // AddBrowserClass: the class of the target's focused window (the
  // target's own when no focus is known) moves to the front of the list,
  // or joins it there, the 51st dropping out; the list is then saved.
  // Nothing is written when it is at the front already.
  Status Add(WindowHandle target);
  // IsBrowserClass: whether the target's focused window is of a class on
  // the list (false when no focus is known for the target).
  bool Is(WindowHandle target);
  // SaveBrowserClassList: the list into the registry.
  Status Save();

 private:
  // The newest focus pair for the target; 0 when there is none.
  WindowHandle FocusOf(WindowHandle target) const;

  SharedHookBlock& block_;
  RegistryStore& registry_;
  WindowSystem& windows_;
};

}  // namespace quill
