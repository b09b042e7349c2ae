// The parts of TMainForm's command glue that paste-out and the popups work
// with. Private to main_form_paste.cpp, main_form_popup.cpp,
// main_form_register.cpp and main_form_dispatch.cpp.
#pragma once

#include "clip/clip_history.h"
#include "clip/dispatcher.h"
#include "clip/one_shot.h"
#include "clip/paste_out.h"
#include "clip/paste_target.h"
#include "main/ui/main_form.h"
#include "platform/clock.h"
#include "platform/key_injector.h"
#include "platform/protocol/shared_hook_block.h"
#include "platform/window_system.h"

namespace quill {

struct TMainForm::PasteParts {
  SharedHookBlock& block;
  Dispatcher& dispatcher;
  WindowSystem& windows;
  PasteTarget& target;
  ClipboardAccess& clipboard;
  ClipHistory& history;
  KeyInjector& keys;
  Clock& clock;
  DispatchTarget& commands;  // the window's side of the dispatcher
  OneShot& one_shot;
  OneShotView& one_shot_view;  // the window's side of the registration
  MessageBus& bus;           // posts to this window and to others
};

}  // namespace quill
