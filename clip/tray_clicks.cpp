#include "clip/tray_clicks.h"

#include "platform/protocol/shared_hook_block.h"

namespace quill {

namespace {

bool Within(const std::optional<uint32_t>& then, uint32_t now, uint32_t ms) {
  return then.has_value() && now - *then <= ms;  // unsigned: wraps with the tick
}

}  // namespace

int32_t TrayClicks::FromTrayEvent(TrayEvent event, uint32_t now) {
  switch (event) {
    case TrayEvent::kClick:
      return kTrayLButtonDown;
    case TrayEvent::kDoubleClick:
      return kTrayLButtonDblClk;
    case TrayEvent::kContext:
      // The press after a double click starts a new pair.
      if (Within(last_context_, now, kTrayDoubleClickMs)) {
        last_context_.reset();
        return kTrayRButtonDblClk;
      }
      last_context_ = now;
      return kTrayRButtonDown;
    case TrayEvent::kMiddleClick:
      return 0;
  }
  return 0;
}

std::optional<TrayDecision> TrayClicks::Decide(int32_t mouse_message, uint32_t now,
                                               bool single_folder, bool tray_dbl_click) {
  if (single_folder) {
    if (mouse_message == kTrayRButtonDown) {
      mouse_message = kTrayRButtonDblClk;
    } else if (mouse_message == kTrayRButtonDblClk) {
      mouse_message = kTrayRButtonDown;
    }
  }
  const uint16_t save_html = static_cast<uint16_t>(CommandCode::kSaveHtml);
  const uint16_t save_kubun = static_cast<uint16_t>(CommandCode::kSaveKubun);
  switch (mouse_message) {
    case kTrayLButtonDown:
      return TrayDecision{300, static_cast<uint16_t>(CommandCode::kPopupKubun), std::nullopt};
    case kTrayLButtonDblClk:
      return TrayDecision{
          0,
          static_cast<uint16_t>(tray_dbl_click ? CommandCode::kActive : CommandCode::kNewCard),
          std::nullopt};
    case kTrayRButtonDown: {
      const bool second = Within(last_right_down_, now, 500);
      last_right_down_ = now;
      return second ? TrayDecision{500, save_kubun, 1} : TrayDecision{500, save_html, 0};
    }
    case kTrayRButtonDblClk: {
      const bool second = Within(last_right_double_, now, 500);
      last_right_double_ = now;
      return second ? TrayDecision{500, save_html, 0} : TrayDecision{500, save_kubun, 1};
    }
    default:
      return std::nullopt;
  }
}

}  // namespace quill
