// Tests of the main window: a window over the data set in a test's own
// folder, and the cards it stored.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>

#include "main/ui/main_form.h"
#include "platform/headless/temp_dir.h"
#include "store/card_store.h"

namespace quill {

// The context of a window whose program folder and registry are in `dir`,
// answering through `ui`.
inline MainFormContext TestFormContext(const TempDir& dir, Ui& ui) {
  MainFormContext context;
  context.program_folder = dir.Path() + "/";
  context.registry_path = dir.File("registry.ini");
  context.ui = &ui;
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

}  // namespace quill
