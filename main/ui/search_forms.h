// The dialogs of the search on the desktop (QtUi runs them): the card
// search TFindFm, the search string TKensakuFm, replace TReplaceFm with
// its question TRepCheckFm, and the icon picker TKindFm. Each shows the
// contents of a plain form (platform/search_dialogs.h) and gives them back
// as the user left them; the rules of their OK buttons are the search's.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QList>

#include "main/dialogs/kind_picker.h"
#include "platform/search_dialogs.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace quill {

// Fills a combo box from the plain form and reads it back.
void ShowCombo(QComboBox* box, const ComboContent& content);
ComboContent ReadCombo(QComboBox* box);

class TKindFm : public QDialog {
  Q_OBJECT
 public:
  // icons: the 100 card icons (none: the cells show the icon numbers).
  TKindFm(QWidget* owner, int current, QList<QIcon> icons = {});
  int Result() const { return picker_.result(); }
  const KindPicker& Picker() const { return picker_; }
  // Before showing it again: `current` highlighted, nothing picked.
  void Reset(int current) {
    picker_.Reset(current);
    update();
  }
  void SetIcons(QList<QIcon> icons) {
    icons_ = std::move(icons);
    update();
  }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  KindPicker picker_;
  QList<QIcon> icons_;
};

class TFindFm : public QDialog {
  Q_OBJECT
 public:
  // icons: the 100 card icons, which the icon button and its picker show.
  TFindFm(QWidget* owner, const CardSearchForm& form, QList<QIcon> icons = {});
  CardSearchForm Form() const;

  QComboBox* FindStr;
  QCheckBox* Aimai;
  QCheckBox* Title;
  QRadioButton* KindAnd;
  QRadioButton* KindOr;
  QLineEdit* cdate1;
  QLineEdit* cdate2;
  QLineEdit* udate1;
  QLineEdit* udate2;
  QPushButton* KindButton;
  QPushButton* ClearButton;
  QLineEdit* Syutten;
  QCheckBox* FindDel;
  QCheckBox* NowFolder;
  QCheckBox* FindFolderMark;
  QPushButton* OKButton;
  QPushButton* CancelButton;

 public slots:
  // Closes with 1 only when the criteria allow it; otherwise nothing.
  void OKButtonClick();
  void KindButtonClick();
  void ClearButtonClick();
  void FindDelClick();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void SetIcon(int icon);
  int icon_ = -1;
  QList<QIcon> icons_;
};

class TKensakuFm : public QDialog {
  Q_OBJECT
 public:
  TKensakuFm(QWidget* owner, const SearchStringForm& form);
  SearchStringForm Form() const;

  QComboBox* FindStr;
  QPushButton* OKButton;
  QPushButton* CancelButton;

 public slots:
  // Closes with 1 only when the text is not empty.
  void OKButtonClick();
};

class TReplaceFm : public QDialog {
  Q_OBJECT
 public:
  TReplaceFm(QWidget* owner, const ReplaceForm& form);
  ReplaceForm Form() const;

  QComboBox* FindStr;
  QLineEdit* RepStr;
  QCheckBox* BigSmall;
  QLabel* IkkatuLavel;
  QPushButton* OKButton;
  QPushButton* CancelButton;

 public slots:
  // Replace in the card closes with 1 only when the search text is not
  // empty; batch replace judges the text itself.
  void OKButtonClick();

 private:
  bool batch_;
};

class TRepCheckFm : public QDialog {
  Q_OBJECT
 public:
  explicit TRepCheckFm(QWidget* owner);

  QPushButton* Rep;
  QPushButton* Find;
  QPushButton* All;
  QPushButton* Cancel;

 public slots:
  // The close box and Esc give 2.
  void reject() override;

 protected:
  // Keys typed on the form or any of its buttons answer it.
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  bool Answer(QKeyEvent* event);
};

}  // namespace quill
