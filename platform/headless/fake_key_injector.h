// FakeKeyInjector: a key log and scripted target applications.
//
// Every key is logged with the window in front at that moment
// ("C 3 -> 00000100", "enter -> ...", "shift+insert -> ..."). A target
// application is a window of the FakeWindowSystem with a document and a
// selection; the keys it receives make it copy (its selection onto the
// CLIPBOARD), cut (the same, and the selection leaves the document) or
// paste (the CLIPBOARD's text, fetched from its owner, replaces the
// selection); Shift+Insert pastes the PRIMARY selection. Which rows it
// understands, a delay before it reacts and deafness are scripted per
// target. Selecting text puts it on PRIMARY, as X applications do.
//
// Reactions with a delay wait for the clock: call Pump from the window
// system's on_pump (the fixture of a test wires it).
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/headless/fake_clipboard.h"
#include "platform/headless/fake_clock.h"
#include "platform/headless/fake_window_system.h"
#include "platform/key_injector.h"

namespace quill {

class FakeKeyInjector final : public KeyInjector {
 public:
  enum class Reaction { kCopy, kCut, kPaste, kPastePrimary, kInterrupt, kNothing };

  struct Target {
    std::string document;  // CP932
    size_t sel_start = 0;
    size_t sel_length = 0;
    uint32_t delay_ms = 0;  // between the key and the reaction
    bool deaf = false;      // reacts to nothing
    // Rows with a reaction of their own; the others react by their letter
    // (C copy, X cut, P paste, O nothing).
    std::map<std::pair<int, int>, Reaction> rows;
    int interrupts = 0;     // kInterrupt reactions so far
  };

  FakeKeyInjector(FakeWindowSystem& windows, FakeClipboard& clipboard, FakeClock& clock)
      : windows_(windows), clipboard_(clipboard), clock_(clock) {}

  // A target application in window `w` (added to the window system with
  // `class_name`), with a document.
  Target& AddTarget(WindowHandle w, std::string class_name, std::string document = "") {
    windows_.AddWindow(w, std::move(class_name));
    Target& t = targets_[w];
    t.document = std::move(document);
    return t;
  }
  Target* FindTarget(WindowHandle w) {
    auto it = targets_.find(w);
    return it == targets_.end() ? nullptr : &it->second;
  }
  // The user selects part of the document: it goes on PRIMARY.
  void Select(WindowHandle w, size_t start, size_t length) {
    Target& t = targets_.at(w);
    t.sel_start = start;
    t.sel_length = length;
    clipboard_.OtherSetsText(Selected(t), Selection::kPrimary);
  }

  // KeyInjector

  void KeyIn(int what, int row) override {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%c %d", what, row);
    Log(buf);
    Reaction r = ReactionFor(what, row);
    if (r != Reaction::kNothing) React(r);
  }
  void PressEnter() override { Log("enter"); }
  void PressShiftInsert() override {
    Log("shift+insert");
    React(Reaction::kPastePrimary);
  }

  // Runs the reactions due within the next `ms` milliseconds.
  void Pump(uint32_t ms) {
    const uint32_t until = clock_.TickCount() + ms;
    for (auto it = pending_.begin(); it != pending_.end();) {
      if (static_cast<int32_t>(until - it->due) >= 0) {
        Pending p = *it;
        it = pending_.erase(it);
        Apply(p.window, p.reaction);
      } else {
        ++it;
      }
    }
  }

  // Every key so far, in order.
  std::vector<std::string>& log() { return log_; }
  // The keys that reached window `w`.
  std::vector<std::string> KeysTo(WindowHandle w) const {
    std::vector<std::string> out;
    const std::string suffix = " -> " + Hex(w);
    for (const std::string& line : log_) {
      if (line.size() > suffix.size() &&
          line.compare(line.size() - suffix.size(), suffix.size(), suffix) == 0) {
        out.push_back(line.substr(0, line.size() - suffix.size()));
      }
    }
    return out;
  }

 private:
  struct Pending {
    WindowHandle window;
    Reaction reaction;
    uint32_t due;
  };

  static std::string Hex(WindowHandle w) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08x", static_cast<unsigned>(w));
    return buf;
  }
  static std::string Selected(const Target& t) {
    return t.document.substr(t.sel_start, t.sel_length);
  }
  void Log(const std::string& key) { log_.push_back(key + " -> " + Hex(windows_.ActiveWindow())); }

  Reaction ReactionFor(int what, int row) {
    Target* t = FindTarget(windows_.ActiveWindow());
    if (t == nullptr) return Reaction::kNothing;
    auto it = t->rows.find({what, row});
    if (it != t->rows.end()) return it->second;
    switch (what) {
      case KeyInjector::kCopy: return Reaction::kCopy;
      case KeyInjector::kCut: return Reaction::kCut;
      case KeyInjector::kPaste: return Reaction::kPaste;
      default: return Reaction::kNothing;
    }
  }
  void React(Reaction r) {
    const WindowHandle w = windows_.ActiveWindow();
    Target* t = FindTarget(w);
    if (t == nullptr || t->deaf) return;
    if (t->delay_ms == 0) {
      Apply(w, r);
    } else {
      pending_.push_back({w, r, clock_.TickCount() + t->delay_ms});
    }
  }
  void Apply(WindowHandle w, Reaction r) {
    Target* t = FindTarget(w);
    if (t == nullptr) return;
    switch (r) {
      case Reaction::kCopy:
        if (t->sel_length > 0) clipboard_.OtherSetsText(Selected(*t));
        break;
      case Reaction::kCut:
        if (t->sel_length > 0) {
          clipboard_.OtherSetsText(Selected(*t));
          t->document.erase(t->sel_start, t->sel_length);
          t->sel_length = 0;
        }
        break;
      case Reaction::kPaste:
      case Reaction::kPastePrimary: {
        const Selection from =
            r == Reaction::kPaste ? Selection::kClipboard : Selection::kPrimary;
        if (!clipboard_.HasText(from)) break;
        const std::string text = clipboard_.OtherPastesText(from);
        t->document.replace(t->sel_start, t->sel_length, text);
        t->sel_start += text.size();
        t->sel_length = 0;
        break;
      }
      case Reaction::kInterrupt:
        ++t->interrupts;
        break;
      case Reaction::kNothing:
        break;
    }
  }

  FakeWindowSystem& windows_;
  FakeClipboard& clipboard_;
  FakeClock& clock_;
  std::map<WindowHandle, Target> targets_;
  std::vector<Pending> pending_;
  std::vector<std::string> log_;
};

}  // namespace quill
