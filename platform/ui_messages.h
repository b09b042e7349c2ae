// The program's warnings and caution questions through a Ui, with their
// captions from the message table.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/messages.h"
#include "platform/status.h"

namespace quill {

class Ui;

// `text` with the caption "警告" and an OK button.
void ShowWarning(Ui& ui, const std::string& text);
void ShowWarning(Ui& ui, MessageId text, std::initializer_list<std::string_view> args = {});
// A question with the caption "注意" and Yes and No: true on Yes.
bool ConfirmCaution(Ui& ui, MessageId question);

// The exit code of a program ended by a fatal status.
inline constexpr int kFatalExitCode = 1;
// The one answer to Status::kFatal (an impossible state of the card store):
// its message as a warning, then the program ends with kFatalExitCode.
// True when s was fatal; the caller then stops what it was doing and
// reports nothing more.
bool EndOnFatal(Ui& ui, const Status& s);

}  // namespace quill
