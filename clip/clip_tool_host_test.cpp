#include "clip/clip_tool_host.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "clip/paste_target_test_rig.h"
#include "platform/headless/fake_plugin_loader.h"
#include "platform/headless/watchdog.h"

namespace quill {
namespace {

using Strings = std::vector<std::string>;

// The main window, as the menu items reach it.
class HostOwner final : public MenuItemOwner {
 public:
  ClipToolHost* host = nullptr;
  void SelectCardWindow(int) override {}
  void SelectDataFile(int) override {}
  void RunClipToolItem(int plugin, int tool, int mode) override {
    host->RunClipToolItem(plugin, tool, mode);
  }
  void PasteCard(const std::string&, int, std::optional<std::string>) override {}
  void AppendClipboardToCard(const std::string&) override {}
  void AssignSuperKeySlot(int) override {}
  void AddMenuClick(const AddMenuItem&) override {}
};

// The paste target's rig with the host over the fake plug-in
// "upper.cta", or over the real loader. The application holds "hello
// world" with "world" selected.
struct HostRig : PasteTargetRig {
  FakePluginLoader fakes;
  bool paste_through = false;
  HostOwner owner;
  ClipToolHost host;

  explicit HostRig(PluginLoader* loader = nullptr)
      : host(loader != nullptr ? *loader : static_cast<PluginLoader&>(fakes), block, state(), target, access, paste_through) {
    owner.host = &host;
    fakes.Add("upper.cta", UpperCaseTools::Exports());
    host.LoadClipTools({"upper.cta"}, &owner);
    view.settings.back_clipboard = true;
    app->document = "hello world";
    keys.Select(kApp, 6, 5);
    clipboard.DeliverNotices();
    state().CommandTarget = kApp;
    state().TargetFocus = target.GetTargetFocusWindow(kApp);
    UpperCaseTools::calls = 0;
  }
  Strings Captions() {
    Strings out;
    for (const PopupEntry& e : host.MagicMenu()) out.push_back(e.caption);
    return out;
  }
  const MagicMenuItem& Item(size_t i) {
    return std::get<MagicMenuItem>(host.MagicMenu().at(i).item);
  }
  // Runs the tool as the menu's click does.
  void Choose(size_t i) { Click(host.MagicMenu().at(i).item); }
};

// What each mode does to the target, the clipboard and the user's
// clipboard, which comes back a second after a paste.
TEST(ClipToolHostTest, EachModeTakesAndDeliversItsOwnWay) {
  struct Case {
    int mode;
    const char* document;
    const char* clipboard;
    const char* after_restore;  // null: nothing pasted, no restore
  };
  const Case cases[] = {
      {0, "hello world", "MINE", nullptr},
      {1, "hello world", "WORLD", nullptr},
      {2, "hello MINE", "MINE", "mine"},
      {3, "hello WORLD", "WORLD", "mine"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    HostRig rig;
    ASSERT_EQ(rig.Captions(), (Strings{"upper0", "upper1", "upper2", "upper3"}));
    EXPECT_EQ(rig.Item(static_cast<size_t>(c.mode)).mode, c.mode);
    // The tracking heard last of the main window, which the menu brought
    // forward; the tool still takes the command's target.
    rig.block.SetTargetWindow(rig.main);
    rig.Choose(static_cast<size_t>(c.mode));
    rig.windows.PumpMessages(10);
    EXPECT_EQ(rig.app->document, c.document);
    EXPECT_EQ(rig.clipboard.Text(), c.clipboard);
    EXPECT_EQ(rig.fakes.log(), (Strings{"load upper.cta", "free upper.cta", "load upper.cta",
                                        "free upper.cta"}));
    EXPECT_EQ(rig.windows.ActiveWindow(), kApp);
    const auto pending = rig.scheduler.pending();
    EXPECT_EQ(pending.has_value(), c.after_restore != nullptr);
    if (c.after_restore == nullptr) continue;
    EXPECT_EQ(pending->code, static_cast<uint16_t>(CommandCode::kRestoreClipboard));
    rig.target.RestoreClipboard(false);
    EXPECT_EQ(rig.clipboard.Text(), c.after_restore);
  }
}

TEST(ClipToolHostTest, ACopyThatTimesOutRunsNothingAndPutsTheClipboardBack) {
  for (int mode : {1, 3}) {
    SCOPED_TRACE(mode);
    HostRig rig;
    rig.app->deaf = true;
    rig.Choose(static_cast<size_t>(mode));
    EXPECT_EQ(UpperCaseTools::calls, 0);
    EXPECT_EQ(rig.clipboard.Text(), "mine");
    EXPECT_EQ(rig.app->document, "hello world");
    EXPECT_EQ(rig.windows.ActiveWindow(), kApp);
    EXPECT_EQ(rig.state().CommandTarget, kApp);
  }
}

// Paste-out chose a text with Shift held: the tool takes it from the
// clipboard and pastes. Closing the menu instead ends that, so the next
// tool copies the selection as its mode says.
TEST(ClipToolHostTest, PasteThroughLastsUntilARunOrTheMenuCloses) {
  HostRig rig;
  rig.clipboard.SetText("entry");
  rig.paste_through = true;
  rig.ui.ChooseCaption("upper0");
  std::function<void()> chosen = rig.host.ShowMagicMenu(rig.ui, ScreenPoint{});
  ASSERT_TRUE(chosen);
  chosen();
  EXPECT_EQ(rig.app->document, "hello ENTRY");
  EXPECT_FALSE(rig.paste_through);
  // The user's clipboard, not paste-out's text, is the one to put back.
  EXPECT_EQ(rig.target.SavedClipboard, "");

  HostRig dismissed;
  dismissed.clipboard.SetText("entry");
  dismissed.paste_through = true;
  EXPECT_FALSE(dismissed.host.ShowMagicMenu(dismissed.ui, ScreenPoint{}));
  EXPECT_FALSE(dismissed.paste_through);
  dismissed.ui.ChooseCaption("upper1");
  dismissed.host.ShowMagicMenu(dismissed.ui, ScreenPoint{})();
  EXPECT_EQ(dismissed.keys.KeysTo(kApp), (Strings{"O 0", "C 3"}));
  EXPECT_EQ(dismissed.clipboard.Text(), "WORLD");
  EXPECT_EQ(dismissed.app->document, "hello world");
}

TEST(ClipToolHostTest, AToolFromTheEditorPopupChangesOnlyTheEditor) {
  HostRig rig;
  // The card editor: "abc def" with "def" selected; the main window is
  // in front.
  FakeKeyInjector::Target& editor = rig.keys.AddTarget(rig.main, "Quillmain", "abc def");
  editor.sel_start = 4;
  editor.sel_length = 3;
  rig.view.on_edit = [&](EditAction action) {
    if (action != EditAction::kCut) return false;
    rig.access.SetClipboardText(editor.document.substr(editor.sel_start, editor.sel_length));
    editor.document.erase(editor.sel_start, editor.sel_length);
    editor.sel_length = 0;
    return true;
  };
  rig.windows.SetActiveWindow(rig.main);
  rig.host.RunClipToolFromEditor(0, 3, 3);
  rig.windows.PumpMessages(10);
  EXPECT_EQ(editor.document, "abc DEF");
  EXPECT_EQ(rig.app->document, "hello world");
  EXPECT_TRUE(rig.keys.KeysTo(kApp).empty());
}

// The real loader over test plug-ins built as ".cta" libraries.
struct RealTools : ::testing::Test {
  TempDir dir;
  std::string Copy(const char* built, const std::string& name) {
    const std::string path = dir.File(name);
    std::filesystem::copy_file(built, path);
    return path;
  }
};

TEST_F(RealTools, TheHostDoesNotTrustAPlugin) {
  const std::string pipe = dir.File("pipe.cta");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  const std::string removed = Copy(TOOLS_FULL, "removed.cta");
  HostRig rig(&PluginLoader::Default());
  ASSERT_TRUE(ReturnsWithin([&] {
                rig.host.LoadClipTools({TOOLS_FULL, TOOLS_NO_CLIP, TOOLS_NO_MENU, TOOLS_ENDLESS,
                                        pipe, dir.File("missing.cta"), removed},
                                       &rig.owner);
                return Status::Ok();
              }).ok());
  const Strings captions = rig.Captions();
  ASSERT_EQ(captions.size(), 4u + 1u + ClipToolHost::kMaxTools + 4u);
  // Cut to 91 bytes, and then before a split character.
  std::string long_caption = "ab";
  for (int i = 0; i < 44; ++i) long_caption += "\x82\xa0";
  EXPECT_EQ(Strings(captions.begin(), captions.begin() + 5),
            (Strings{"mark(&M)", "upper(&U)", long_caption, "fill(&F)", "mark(&M)"}));
  EXPECT_EQ(captions[5], "t0");
  EXPECT_EQ(captions[5 + ClipToolHost::kMaxTools - 1], "t255");
  EXPECT_EQ(rig.Item(4).plugin, 1);
  EXPECT_EQ(rig.Item(5).plugin, 3);
  EXPECT_EQ(rig.Item(captions.size() - 1).plugin, 6);

  // A result without an end ends within the buffer.
  rig.Choose(3);
  EXPECT_EQ(rig.clipboard.Text(), std::string(ClipToolHost::kBufferSize - 1, 'x'));
  // Without _GetClipData, and from a file gone since the start, the text
  // passes unchanged.
  std::filesystem::remove(removed);
  for (size_t i : {size_t{4}, captions.size() - 4}) {
    rig.clipboard.SetText("kept");
    rig.Choose(i);
    EXPECT_EQ(rig.clipboard.Text(), "kept");
  }
  // Right clicks in the menu ask for more rounds, at most ten in all.
  for (auto [clicks, marks] : {std::pair{0, 1}, {1, 1}, {2, 1}, {3, 1}, {4, 2}, {5, 2}, {6, 3},
                               {60000, 10}}) {
    SCOPED_TRACE(clicks);
    rig.clipboard.SetText("x");
    rig.block.SetRightClickCount(static_cast<uint16_t>(clicks));
    rig.Choose(0);
    EXPECT_EQ(rig.clipboard.Text(), "x" + std::string(static_cast<size_t>(marks), '!'));
  }
}

}  // namespace
}  // namespace quill
