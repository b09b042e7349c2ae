// The small dialogs on the desktop: the bin TUndelete, the batch change
// TSyuttenFm, the version box TAboutFm and the transfer import's questions
// TChgFolderFm and TLockCheckFm. QtSmallDialogs runs the first three (and
// the main window's icon picker) for the plain commands; the transfer's
// dialogs (main/ui/transfer_forms.h) run the two questions. Each dialog
// closes with its button's result; the close box gives 2.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QList>
#include <functional>
#include <memory>

#include "main/dialogs/small_dialogs.h"
#include "main/exchange/transfer_dialogs.h"

class QButtonGroup;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace quill {

class TKindFm;
class Ui;

// The version of the program, as the build defines it.
const char* ProgramVersion();

class TUndelete : public QDialog {
  Q_OBJECT
 public:
  TUndelete(QWidget* owner, Ui& ui, const UndeleteForm& form);
  UndeleteForm Form() const;

  QLabel* Label1;
  QListWidget* List;
  QPushButton* CloseButton;
  QPushButton* Cancel;
  QPushButton* AllMark;
  QPushButton* AllClear;
  QPushButton* KanzenSakujo;

 public slots:
  void CloseButtonClick();
  void CancelClick();
  void AllMarkClick();
  void AllClearClick();
  // Asks first; No keeps the dialog open.
  void KanzenSakujoClick();

 private:
  void CheckAll(bool on);
  Ui& ui_;
};

class TSyuttenFm : public QDialog {
  Q_OBJECT
 public:
  // icons: the 100 card icons for the picker and the button.
  TSyuttenFm(QWidget* owner, QList<QIcon> icons);
  SyuttenForm Form() const;

  QLineEdit* Syutten;
  QPushButton* KindButton;
  QPushButton* ClearButton;
  QButtonGroup* Paste;
  QPushButton* PasteClear;
  QButtonGroup* AutoTitle;
  QPushButton* Button1;
  QPushButton* OK;
  QPushButton* Cancel;

 public slots:
  void KindButtonClick();
  void ClearButtonClick();
  void PasteClearClick();
  void Button1Click();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void SetIcon(int icon);
  QList<QIcon> icons_;
  int icon_ = -1;
};

class TAboutFm : public QDialog {
  Q_OBJECT
 public:
  explicit TAboutFm(QWidget* owner);
};

class TChgFolderFm : public QDialog {
  Q_OBJECT
 public:
  TChgFolderFm(QWidget* owner, const ChangeFolderForm& form);
  // The index chosen in AfterSyori.
  int After() const;

  QLineEdit* NowFolder;
  QLineEdit* ReadFolder;
  QLineEdit* Title;
  QButtonGroup* AfterSyori;
  QPushButton* NoChange;
  QPushButton* Button2;
  QPushButton* Cancel;
};

class TLockCheckFm : public QDialog {
  Q_OBJECT
 public:
  TLockCheckFm(QWidget* owner, const std::string& title);

  QLineEdit* Title;
  QPushButton* Kousin;
  QPushButton* NotKousin;
  QPushButton* Tyuudan;
};

// The dialogs above over the main window; the icon picker is one instance
// kept for the run, showing the window's card icons.
class QtSmallDialogs final : public SmallDialogs {
 public:
  QtSmallDialogs(QWidget* owner, Ui& ui, std::function<QList<QIcon>()> icons);
  ~QtSmallDialogs() override;

  int RunUndelete(UndeleteForm* form) override;
  int RunSyuttenForm(SyuttenForm* form) override;
  int RunKindPicker(int current, ScreenPoint at) override;
  void ShowAbout() override;

  // The picker kept for the run (made at the first call).
  TKindFm& KindForm();

 private:
  QWidget* owner_;
  Ui& ui_;
  std::function<QList<QIcon>()> icons_;
  std::unique_ptr<TKindFm> kind_;
};

// A dialog's result as the commands count it: the close box (rejected,
// 0) is 2.
int DialogResult(int exec_result);

}  // namespace quill
