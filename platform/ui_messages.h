// The program's warnings and caution questions through a Ui, with their
// captions from the message table.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/messages.h"

namespace quill {

class Ui;

// `text` with the caption "警告" and an OK button.
void ShowWarning(Ui& ui, const std::string& text);
void ShowWarning(Ui& ui, MessageId text, std::initializer_list<std::string_view> args = {});
// A question with the caption "注意" and Yes and No: true on Yes.
bool ConfirmCaution(Ui& ui, MessageId question);

}  // namespace quill
