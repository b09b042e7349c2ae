#include "clip/ui/add_hyou_form.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "platform/qt/test_app.h"
#include "platform/text_codec.h"
#include "platform/ui.h"

namespace quill {
namespace {

std::string S(const char* utf8) { return Utf8ToCp932(utf8); }

// The dialog as it comes up, and what each way of closing it gives back.
TEST(AddHyouFormTest, OkGivesTheEditedCellsAndCancelSkips) {
  TestApp();
  struct Case {
    const char* name;
    bool ok;
    int result;
    std::string title, text;
  };
  for (const Case& c : {Case{"add", true, kResultOk, S("名前"), S("値")},
                        Case{"do not add", false, kResultCancel, S("行"), S("行")}}) {
    SCOPED_TRACE(c.name);
    std::string title = S("行");
    std::string text = S("行");
    QTimer::singleShot(0, [&] {
      auto* form = qobject_cast<TAddHyouFm*>(QApplication::activeModalWidget());
      ASSERT_NE(form, nullptr);
      EXPECT_EQ(form->windowTitle(), QString::fromUtf8("表に一発追加登録"));
      EXPECT_EQ(form->Button1->text(), QString::fromUtf8("追加"));
      EXPECT_EQ(form->Cancel->text(), QString::fromUtf8("追加しない"));
      EXPECT_EQ(form->Title->text(), QString::fromUtf8("行"));
      EXPECT_EQ(form->Text->text(), QString::fromUtf8("行"));
      form->Title->setText(QString::fromUtf8("名前"));
      form->Text->setText(QString::fromUtf8("値"));
      (c.ok ? form->Button1 : form->Cancel)->click();
    });
    EXPECT_EQ(RunAddHyouForm(nullptr, &title, &text), c.result);
    EXPECT_EQ(title, c.title);
    EXPECT_EQ(text, c.text);
  }
}

}  // namespace
}  // namespace quill
