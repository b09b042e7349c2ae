// ShowMessageDialog: the program's one modal message box.
//
// A call names its owner window, the text, the caption and a mode. Mode 4
// (kMessageYesNo) offers "はい" and "いいえ" and returns 6 or 7; any other
// mode offers only "OK" and returns 1; closing the box with its close box
// returns 2 in either mode, so callers that test "== 6" treat it as No.
//
// Text and caption are the system's CP932 bytes. The answer comes from a
// MessageDialogPort: the Qt form in the program, a scripted answerer in
// tests. Until a port is installed every call returns 2 (as if closed)
// without showing anything.
#pragma once

#include <deque>
#include <string>
#include <vector>

namespace quill {

constexpr int kMessageOk = 0;
constexpr int kMessageYesNo = 4;

constexpr int kResultOk = 1;
constexpr int kResultCancel = 2;
constexpr int kResultYes = 6;
constexpr int kResultNo = 7;

class MessageDialogPort {
 public:
  virtual ~MessageDialogPort() = default;
  // Shows the box modally and returns its result. `owner` is the calling
  // form (a QWidget* in the program) or null.
  virtual int Show(void* owner, const std::string& text, const std::string& caption,
                   int mode) = 0;
};

// The port that ShowMessageDialog uses; null uninstalls. The caller keeps
// ownership; returns the previous port.
MessageDialogPort* SetMessageDialogPort(MessageDialogPort* port);
MessageDialogPort* GetMessageDialogPort();

int ShowMessageDialog(void* owner, const std::string& text, const std::string& caption,
                      int mode);

// Installs a port for the lifetime of the object and puts the previous one
// back afterwards.
class ScopedMessageDialogPort {
 public:
  explicit ScopedMessageDialogPort(MessageDialogPort* port)
      : previous_(SetMessageDialogPort(port)) {}
  ~ScopedMessageDialogPort() { SetMessageDialogPort(previous_); }
  ScopedMessageDialogPort(const ScopedMessageDialogPort&) = delete;
  ScopedMessageDialogPort& operator=(const ScopedMessageDialogPort&) = delete;

 private:
  MessageDialogPort* previous_;
};

// Answers from a script and records every question, for tests. A question
// with no answer left is answered as the close box would (2).
class ScriptedMessageDialog : public MessageDialogPort {
 public:
  struct Question {
    std::string text;
    std::string caption;
    int mode = 0;
  };

  // Queues the result of the next unanswered question.
  void Answer(int result) { answers_.push_back(result); }

  int Show(void* owner, const std::string& text, const std::string& caption,
           int mode) override;

  const std::vector<Question>& questions() const { return questions_; }

 private:
  std::deque<int> answers_;
  std::vector<Question> questions_;
};

}  // namespace quill
