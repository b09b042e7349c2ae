// The main window's folder tree and card editor glue: the plain model and
// controller, and the views through which they see the window's widgets.
// Private to main_form_tree.cpp and main_form_editor.cpp.
#pragma once

#include <QObject>
#include <QPoint>
#include <QString>
#include <memory>
#include <string>

class QEvent;
class QLabel;

#include "main/editor/card_editor.h"
#include "main/tree/folder_commands.h"
#include "main/tree/folder_tree_model.h"
#include "main/ui/card_icons.h"
#include "main/ui/folder_tree_qt_model.h"
#include "main/ui/main_form.h"

namespace quill {

struct TMainForm::TreeGlue {
  // What the tree model shows besides the tree: progress, counters, the
  // editor's reset, and the busy state of the window.
  class TreeView final : public FolderTreeView, public BusyObserver {
   public:
    explicit TreeView(TMainForm* form) : form_(form) {}
    void ProcessMessages() override;
    void ShowProgress(int64_t maximum) override;
    void SetProgress(int64_t position) override;
    void HideProgress() override;
    void ShowCounts(int64_t cards, int64_t marked) override;
    void ClearEditor() override;
    void SaveSettingsGroup(int group) override;
    void BusyChanged(bool busy) override;
    void ShowStatus(const std::string& text) override;

   private:
    TMainForm* form_;
  };

  // The tree widget as the folder commands see it (main_form_folders.cpp).
  class FolderView final : public FolderCommandsView {
   public:
    explicit FolderView(TMainForm* form) : form_(form) {}
    void OpenCardWindow(const std::string& card_id) override;
    void EditInCardWindow() override;
    void ChooseKind() override;
    void PopupListMenu() override;
    void SelectNode(TreeNode* node) override;
    void SelectNextRow() override;
    void SetBusyCursor(bool on) override;

   private:
    TMainForm* form_;
  };

  // The card panel's widgets as the editor sees them
  // (main_form_editor.cpp).
  class EditorView final : public CardEditorView {
   public:
    explicit EditorView(TMainForm* form) : form_(form) {}
    std::string TitleText() override;
    void SetTitleText(const std::string& title) override;
    std::string BodyText() override;
    void SetBodyText(const std::string& text, bool as_edit) override;
    bool BodyModified() override;
    size_t BodyCaret() override;
    void SetBodyCaret(size_t offset) override;
    std::string SourceText() override;
    void SetSourceText(const std::string& source) override;
    void SetSourceItems(const std::vector<std::string>& items) override;
    bool Checked(EditorControl c) override;
    void SetChecked(EditorControl c, bool on) override;
    void SetEnabled(EditorControl c, bool on) override;
    void SetTitleReadOnly(bool read_only, bool red) override;
    void SetBodyReadOnly(bool read_only) override;
    void SetTimeCaptions(const std::string& update, const std::string& create) override;
    void SetBodyFont(const CardFont& font) override;
    void SetFieldColor(EditorControl c, int32_t color) override;
    void ShowTextBody() override;
    void ShowTableBody() override;
    void ShowHtmlBody() override;
    void InsertIntoBody(size_t offset, const std::string& text) override;
    void SelectNode(TreeNode* node) override;
    void FocusBody() override;
    void KindChanged(int icon) override;
    void SaveSettingsGroup(int group) override;
    void RefreshSuperKeyStatus() override;
    bool MainWindowInFront() override;
    void OpenCardWindow(const std::string& card_id) override;

   private:
    TMainForm* form_;
  };

  // The deferred open goes through the window's one-slot scheduler.
  class Deferred final : public DeferredCommands {
   public:
    explicit Deferred(TMainForm* form) : form_(form) {}
    void ScheduleCommand(uint32_t delay_ms, uint16_t code, int32_t lparam) override {
      form_->ScheduleCommand(delay_ms, code, lparam);
    }

   private:
    TMainForm* form_;
  };

  explicit TreeGlue(TMainForm* f);

  // The card panel's extra widgets and their signals (main_form_editor.cpp).
  void SetupEditorControls();
  // The source box's list from the remembered sources.
  void FillSourceCombo();

  // Makes node the view's current row without running TreeChange.
  void SelectInView(TreeNode* node);
  // Makes node the view's current row and hands it to the editor, as the
  // user's choice of a row does.
  void SelectAndOpen(TreeNode* node);
  // The settings group through the window's one writer.
  void SaveSettingsGroup(int group);

  TMainForm* form;
  TreeView tree_view;
  FolderTreeModel model;
  // Destroyed before the model: it observes the model's tree.
  std::unique_ptr<FolderTreeQtModel> qt_model;
  EditorView editor_view;
  Deferred deferred;
  CardEditor editor;
  // The image list of the tree, the popups and the kind button.
  CardIconList icons;
  FolderView folder_view;
  FolderCommands folders;
  // The status label under the tree ("Status").
  QLabel* status_label = nullptr;
  // A caption edited in place, waiting for TreeEdited.
  std::string edited_path;
  QString edited_text;
  // The event of the tree that its handler runs for now.
  QEvent* tree_event = nullptr;
  // Where the pointer is on the tree for the event handled now.
  TreeHit HitAt(QPoint at) const;
  // Set while the window moves the tree's current row itself.
  int selecting = 0;
  // The window's cursor is replaced while busy.
  bool cursor_overridden = false;
};

}  // namespace quill
