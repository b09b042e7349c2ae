// The dispatcher in tests: a main window that does nothing.
#pragma once

#include <functional>
#include <string>

#include "clip/dispatcher.h"
#include "platform/headless/fake_clipboard.h"
#include "platform/headless/fake_key_injector.h"
#include "platform/headless/fake_window_system.h"

namespace quill {

// The dispatcher's side of the main window, doing nothing but noting the
// re-hooks. A test overrides the calls it wants to see through.
class QuietTarget : public DispatchTarget {
 public:
  int rehooks = 0;
  DispatchSettings CurrentSettings() override { return {}; }
  void RunWhenIdle(std::function<void()> command) override { command(); }
  void RestoreApplication() override {}
  void MinimizeApplication() override {}
  void SetTaskbarButtonVisible(bool) override {}
  void CheckWindowPlacement() override {}
  int EditorCaret() override { return 0; }
  void StartButtonBar() override {}
  void CloseMainWindow() override {}
  void SaveEditorCard() override {}
  void AddNewClick() override {}
  void KensakuButtonClick() override {}
  void ResortSelectedFolder() override {}
  void TakeCardWindowResult() override {}
  void WindowClick(int, int) override {}
  void ReopenDataSet() override {}
  void ShowSelectedNode() override {}
  std::string DataSetName(int) override { return {}; }
  void SwitchDataSet(int) override {}
  std::string OneShotHint() override { return {}; }
  void ActivateTargetWindow(WindowHandle, bool) override {}
  WindowHandle FocusedWindowOf(WindowHandle) override { return 0; }
  CopyResult CopyFromTarget() override { return CopyResult::kCopied; }
  void RestoreClipboard(bool) override {}
  void ReshowCapturedCard() override {}
  bool HasAppendTitle() override { return false; }
  void AppendToCard() override {}
  void RegisterFromClipboard() override {}
  void KeepClipboardText() override {}
  std::function<void()> ShowKubunPopup() override { return {}; }
  std::function<void()> ShowMagicMenu() override { return {}; }
  void SuperPaste(int) override {}
  void CaptureHistory() override {}
  void Rehook() override { ++rehooks; }
};

// Clipboard notices reach the dispatcher, and the scripted applications
// react to their keys, when the window system pumps, as they would from the
// event loop.
inline void DeliverOnPump(FakeWindowSystem& windows, FakeClipboard& clipboard,
                          FakeKeyInjector& keys, Dispatcher& dispatcher) {
  clipboard.queue_notices = true;
  clipboard.SetChangeListener(
      [&dispatcher](const ClipboardChange& c) { dispatcher.ClipboardChangedNotice(c); });
  windows.on_pump = [&keys, &clipboard](uint32_t ms) {
    keys.Pump(ms);
    clipboard.DeliverNotices();
  };
}

}  // namespace quill
