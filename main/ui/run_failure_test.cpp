// Failures that end quillmain's run: the program's own QApplication keeps
// an exception that leaves an event handler and ends the loop with it;
// the run then ends with the failure's message and a non-zero code.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QTimer>
#include <new>
#include <stdexcept>

#include "main/ui/quill_app.h"
#include "platform/headless/fake_ui.h"
#include "platform/messages.h"
#include "platform/qt/test_app_of.h"
#include "platform/text_codec.h"

namespace quill {
namespace {

QuillApplication& App() { return TestAppOf<QuillApplication>(); }

// An object whose event handler throws what it is given.
class Thrower : public QObject {
 public:
  explicit Thrower(std::function<void()> t) : throw_(std::move(t)) {}
  bool event(QEvent* e) override {
    if (e->type() == QEvent::User) throw_();
    return QObject::event(e);
  }

 private:
  std::function<void()> throw_;
};

TEST(RunFailureTest, EachFailureHasItsMessageAndANonZeroCode) {
  struct Case {
    std::function<void()> raise;
    std::string text;
    int code;
  } cases[] = {
      {[] { throw std::bad_alloc(); }, "Out of memory", -1},
      {[] { throw std::runtime_error("索引が壊れています"); }, Utf8ToCp932("索引が壊れています"),
       kFailedRunExitCode},
      {[] { throw 42; }, MessageText(MessageId::kUnexpectedFailure), kFailedRunExitCode},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::exception_ptr e;
    try {
      c.raise();
    } catch (...) {
      e = std::current_exception();
    }
    const RunFailure f = DescribeFailure(e);
    EXPECT_EQ(f.text, c.text);
    EXPECT_EQ(f.exit_code, c.code);
  }
}

// One run after the other, as the application keeps its first failure:
// a failure that leaves the body, then one that leaves an event handler
// while the loop runs. Each is shown after the run was released; memory
// that ran out is written to standard output too.
TEST(RunFailureTest, AFailureEndsTheRunWithItsMessage) {
  QuillApplication& app = App();
  FakeUi ui;
  int finished = 0;
  const auto finish = [&] { ++finished; };

  EXPECT_EQ(RunToEnd(app, ui, [] { return 0; }, finish), 0);
  EXPECT_EQ(RunToEnd(app, ui, [] { return 5; }, finish), 5);
  EXPECT_EQ(finished, 0);
  EXPECT_TRUE(ui.questions().empty());

  const int direct = RunToEnd(
      app, ui, []() -> int { throw std::runtime_error("start failed"); }, finish);
  EXPECT_EQ(direct, kFailedRunExitCode);
  EXPECT_EQ(finished, 1);
  ASSERT_EQ(ui.questions().size(), 1u);
  EXPECT_EQ(ui.questions()[0].text, "start failed");
  EXPECT_EQ(ui.questions()[0].caption, "Quillbox ");

  Thrower thrower([] { throw std::bad_alloc(); });
  // The loop would otherwise run on: a deadline ends it with 99.
  QTimer deadline;
  deadline.setSingleShot(true);
  QObject::connect(&deadline, &QTimer::timeout, [] { QCoreApplication::exit(99); });
  testing::internal::CaptureStdout();
  const int in_loop = RunToEnd(
      app, ui,
      [&] {
        deadline.start(5000);
        QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
        return app.Run();
      },
      finish);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(in_loop, -1);
  EXPECT_TRUE(deadline.isActive());
  EXPECT_TRUE(app.failure() != nullptr);
  EXPECT_EQ(finished, 2);
  ASSERT_EQ(ui.questions().size(), 2u);
  EXPECT_EQ(ui.questions()[1].text, "Out of memory");
  EXPECT_EQ(out, "Out of memory\n");
}

}  // namespace
}  // namespace quill
