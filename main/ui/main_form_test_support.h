// Tests of the main window: a window over the data set in a test's own
// folder, and the cards it stored.
#pragma once

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>

#include "main/ui/main_form.h"
#include "platform/headless/temp_dir.h"
#include "platform/input_method.h"
#include "store/card_store.h"

namespace quill {

// The context of a window whose program folder and registry are in `dir`,
// answering through `ui`.
inline MainFormContext TestFormContext(const TempDir& dir, Ui& ui) {
  MainFormContext context;
  context.program_folder = dir.Path() + "/";
  context.registry_path = dir.File("registry.ini");
  context.ui = &ui;
  // Never the input method of a session bus the tests run under.
  static UnknownInputMethodStatus unknown_input_method;
  context.input_method = &unknown_input_method;
  return context;
}

// The window, created.
inline std::unique_ptr<TMainForm> StartedForm(MainFormContext context) {
  auto form = std::make_unique<TMainForm>(std::move(context));
  Status s = form->FormCreate();
  EXPECT_TRUE(s.ok()) << s.ToString();
  return form;
}

// The card with this id as the window's store holds it now.
inline store::CardRecord StoredCard(TMainForm& form, const std::string& id) {
  store::CardRecord r(form.EditCard().store());
  bool found = false;
  EXPECT_TRUE(r.FindByKey("TEXT_ID", id, true, &found).ok());
  EXPECT_TRUE(found);
  return r;
}

// How many pixels of `image` have `color`, each of red, green and blue
// within `tolerance` (text is drawn smoothed, and a current row tinted).
inline int PixelsOf(const QImage& image, const QColor& color, int tolerance = 0) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      n += std::abs(c.red() - color.red()) <= tolerance &&
           std::abs(c.green() - color.green()) <= tolerance &&
           std::abs(c.blue() - color.blue()) <= tolerance;
    }
  }
  return n;
}

}  // namespace quill
