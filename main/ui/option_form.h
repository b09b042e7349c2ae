// TOptionFm, the options dialog ("環境設定"), and TDbFm, its data-set form:
// views over OptionDialog and DbForm (main/settings/). THotKey is the
// hot-key field of both hot-key pages.
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <array>
#include <cstdint>
#include <functional>

#include "main/settings/hotkey_field.h"
#include "platform/protocol/key_map.h"

class QCheckBox;
class QKeyEvent;
class QLabel;
class QPixmap;
class QPushButton;
class QRadioButton;
class QButtonGroup;
class QTabWidget;
class QTableWidget;
class QTreeView;
class QFileSystemModel;

namespace quill {

class DbForm;
class OptionDialog;

// A field that shows a hot key and takes the key pressed in it: the
// keycode's virtual key through `keys` (the keyboard's map), with Shift,
// Ctrl and Alt. Tab, Enter and Esc without a modifier are left to the
// dialog.
class THotKey : public QLineEdit {
  Q_OBJECT
 public:
  THotKey(QWidget* parent, const char* name, const KeyMap& keys);
  uint16_t HotKey() const { return word_; }
  void SetHotKey(uint16_t word);

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  const KeyMap& keys_;
  uint16_t word_ = 0;
};

// The keyboard map of the display the program runs on (empty without X).
KeyMap DisplayKeyMap();

// The raw key events of the display the program runs on: each press and
// release by keycode, whichever window has the focus and whatever the
// server then does with the key. Nothing comes without an X display.
class RawKeyFeed : public QObject {
 public:
  RawKeyFeed(QObject* parent, std::function<void(uint32_t keycode, bool press)> on_key);
  ~RawKeyFeed() override;

 private:
  void Read();

  void* display_ = nullptr;  // the feed's own connection (Display*)
  int xi_opcode_ = 0;
  std::function<void(uint32_t, bool)> on_key_;
};

class TOptionFm : public QDialog {
  Q_OBJECT
 public:
  // icon(k) is card icon k as the main window shows it; ctrl_down tells
  // whether Ctrl is held.
  TOptionFm(QWidget* owner, OptionDialog& logic, const KeyMap& keys,
            std::function<QPixmap(int)> icon, std::function<bool()> ctrl_down);

  QTabWidget* Pages;
  // Page controls, named as the settings they edit.
  std::array<THotKey*, 8> Hotkeys;  // PopupKubunKey .. FindKey, page order
  QLineEdit *Paste1, *Paste2, *Paste3, *Cut1, *Cut2, *Cut3, *Cut4, *Copy1, *Copy2, *Copy3,
      *Copy4, *NoHukkiClass, *FileName, *Floppy, *TuikaOrikaesiSuu;
  QLabel* NoBack;
  QCheckBox *BackClipBoard, *DefPasteList, *UseHistoryPaste, *ClipHistoryRoot, *RetActive,
      *SaveUrl, *SaveDate, *SaveTitle, *JikkouIcon, *UseButton, *AutoMove, *ToolBar, *TextIme,
      *SingleFolder, *TabKey, *UseHistory, *ClipSave, *CtrlColor, *NewCardWin, *AutoSort,
      *OpenByMain, *IppatuMemory, *RunTreeOpen, *DefAutoTitle, *ShiftEnd, *IppatuLock;
  QButtonGroup *AddIti, *TrayDblClick;
  QTableWidget *Syutten, *DataFile, *Addin, *IconGrid;
  QPushButton *Sanstou, *DataPathClear, *OK, *Cancel;
  std::array<THotKey*, 10> SuperPasteKeys;  // slots 0..9
  QLabel *WindowClassLabel, *ControlClassLabel;

 public slots:
  void BackClipBoardClick();
  void UseButtonClick();
  void SanstouClick();
  void DataFileDblClick();
  void DataPathClearClick();
  void IconGridDblClick();
  void OKClick();
  void CancelClick();

 public:
  // A raw key event of the display: a press the server keeps from the
  // dialog (Ctrl+Alt+F1 .. F12) goes to the hot-key field that has the
  // focus.
  void RawKey(uint32_t keycode, bool press);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildPages(const KeyMap& keys);
  void FormShow();
  void ShowDataRows();
  void ShowIcons();
  // The controls into the logic's values.
  void TakeValues();

  OptionDialog& logic_;
  const KeyMap& keys_;
  KeptKeyPresses kept_keys_;
  std::function<QPixmap(int)> icon_;
  std::function<bool()> ctrl_down_;
};

class TDbFm : public QDialog {
  Q_OBJECT
 public:
  TDbFm(QWidget* owner, DbForm& logic);
  QLineEdit* Meisyou;
  QTreeView* Dir;
  QPushButton *Button1, *Button2;
  // The folder the tree shows as chosen ("" none).
  std::string Folder() const;
  void SetFolder(const std::string& folder);

 public slots:
  void Button1Click();
  void Button2Click();

 private:
  DbForm& logic_;
  QFileSystemModel* model_;
};

}  // namespace quill
