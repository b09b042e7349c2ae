// A test suite that shares one terminal and one editor
// (TerminalAndEditor::StartTyping with the editor holding kEditorText):
// started before the first test, ended after the last.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/headless/desktop_clients.h"

namespace quill {

template <const char* kEditorText>
class TypingClientsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    clients_ = TerminalAndEditor::StartTyping(kEditorText);
    if (clients_ != nullptr) typed_ = clients_->typed_file();
  }
  static void TearDownTestSuite() {
    delete clients_;
    clients_ = nullptr;
  }

  // Waits for both windows into term_ and pad_ (call it from SetUp once
  // a display is known to be there).
  void WaitForClients() {
    ASSERT_NE(clients_, nullptr);
    term_ = clients_->terminal.WaitForWindow();
    pad_ = clients_->editor.WaitForWindow();
    ASSERT_NE(term_, 0u) << "xterm showed no window";
    ASSERT_NE(pad_, 0u) << "mousepad showed no window";
  }

  static inline TerminalAndEditor* clients_ = nullptr;
  static inline std::string typed_;  // what the terminal's `cat` writes
  WindowHandle term_ = 0;
  WindowHandle pad_ = 0;
};

}  // namespace quill
