// X11SelectionProbe on a real X display: an owner that answers (xclip), no
// owner, and an owner that never reads its events.
#include "platform/x11/x11_selection_probe.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "platform/headless/desktop_clients.h"

// Xlib last: its macros (Status, Bool, None) clash with other headers.
#include <X11/Xlib.h>

namespace quill {
namespace {

using Clock = std::chrono::steady_clock;

long MsSince(Clock::time_point start) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

TEST(X11SelectionProbeTest, OnlyAnOwnerThatNeverAnswersCountsAsSilent) {
  if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "needs an X display";
  std::unique_ptr<X11SelectionProbe> probe = X11SelectionProbe::Open();
  ASSERT_NE(probe, nullptr);
  bool asked = true;

  // xclip answers (it stays behind to serve the text).
  RunTool({"sh", "-c", "printf 'x' | xclip -selection clipboard >/dev/null 2>&1"});
  ASSERT_TRUE(WaitFor([] { return RunTool({"xclip", "-o", "-selection", "clipboard"}).out == "x"; },
                      20000));
  EXPECT_TRUE(probe->OwnerAnswers(false, 20000, &asked));
  EXPECT_TRUE(asked);

  // A window of a connection that never reads its events owns both
  // selections; it gets the time it was given, once.
  Display* silent = XOpenDisplay(nullptr);
  ASSERT_NE(silent, nullptr);
  const Window owner = XCreateSimpleWindow(silent, DefaultRootWindow(silent), 0, 0, 1, 1, 0, 0, 0);
  XSetSelectionOwner(silent, XInternAtom(silent, "CLIPBOARD", False), owner, CurrentTime);
  XSetSelectionOwner(silent, XInternAtom(silent, "PRIMARY", False), owner, CurrentTime);
  XSync(silent, False);
  for (bool primary : {false, true}) {
    SCOPED_TRACE(primary ? "PRIMARY" : "CLIPBOARD");
    const Clock::time_point start = Clock::now();
    EXPECT_FALSE(probe->OwnerAnswers(primary, 300, &asked));
    EXPECT_TRUE(asked);
    EXPECT_GE(MsSince(start), 300);  // it waited its time, and then gave up
    // Known now: no second wait for the same owner.
    EXPECT_FALSE(probe->OwnerAnswers(primary, 300, &asked));
    EXPECT_FALSE(asked);
  }

  // The owner gone, nobody owns the selections: there is nothing to wait for.
  XCloseDisplay(silent);
  EXPECT_TRUE(WaitFor([&] { return probe->OwnerAnswers(false, 300, &asked); }, 20000));
  EXPECT_FALSE(asked);
}

}  // namespace
}  // namespace quill
