#include "main/ui/transfer_forms.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "main/ui/small_forms.h"
#include "main/ui/widget_text.h"

namespace quill {

namespace {

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

// A modal, always-on-top dialog with a caption.
struct Form {
  Form(QWidget* owner, const char* name, const char* caption) : dialog(owner) {
    dialog.setObjectName(name);
    dialog.setWindowTitle(U(caption));
    dialog.setWindowFlag(Qt::WindowStaysOnTopHint);
    layout = new QVBoxLayout(&dialog);
  }
  QPushButton* Button(QHBoxLayout* row, const char* name, const char* caption, int result) {
    auto* b = new QPushButton(U(caption), &dialog);
    b->setObjectName(name);
    row->addWidget(b);
    QObject::connect(b, &QPushButton::clicked, &dialog, [this, result] { dialog.done(result); });
    return b;
  }
  QLabel* Label(const QString& text, const char* name = "") {
    auto* l = new QLabel(text, &dialog);
    l->setObjectName(name);
    layout->addWidget(l);
    return l;
  }
  QDialog dialog;
  QVBoxLayout* layout;
};

}  // namespace

int QtTransferDialogs::RunReadPath(ReadPathForm* form) {
  Form f(owner_, "ReadPath", "パス設定");
  const char* titles[] = {"", "他のQuillboxへ渡すために書き出すパス",
                          "他のQuillboxで書き出したデータのあるパス", "カードを書き出すパス"};
  f.Label(U(titles[form->mode >= 1 && form->mode <= 3 ? form->mode : 1]), "Title");
  auto* path = new QComboBox(&f.dialog);
  path->setObjectName("path");
  path->setEditable(true);
  // The typed path is the one taken; the history stays in the list.
  path->setCompleter(nullptr);
  for (const std::string& item : form->path.items) path->addItem(TextToWidget(item));
  path->setEditText(TextToWidget(form->path.text));
  f.layout->addWidget(path);
  f.Label(U("パスのみを指定して下さい。ファイル名は書かないように。"));
  auto* all = new QCheckBox(U("すでにあるカードとの更新日の比較はしないで全て取り込む"), &f.dialog);
  all->setObjectName("AllTorikomi");
  all->setVisible(form->mode == kPathForRead);
  f.layout->addWidget(all);
  auto* row = new QHBoxLayout;
  f.layout->addLayout(row);
  f.Button(row, "OK", "OK", 1)->setDefault(true);
  f.Button(row, "Cancel", "キャンセル", 2);
  if (f.dialog.exec() != 1) return 2;
  form->path.text = WidgetToText(path->currentText());
  form->all_torikomi = all->isChecked();
  return 1;
}

int QtTransferDialogs::RunChangeFolder(ChangeFolderForm* form) {
  TChgFolderFm dialog(owner_, *form);
  const int result = DialogResult(dialog.exec());
  form->after_mode = dialog.After();
  return result;
}

int QtTransferDialogs::RunLockCheck(const std::string& title) {
  TLockCheckFm dialog(owner_, title);
  return DialogResult(dialog.exec());
}

int QtTransferDialogs::RunWriteOptions(WriteOptionsForm* form) {
  Form f(owner_, "WriteOpFm", "書き出しオプション");
  f.Label(U("テキストファイルに書き出し"));
  auto check = [&](const char* name, const char* caption, bool on) {
    auto* c = new QCheckBox(U(caption), &f.dialog);
    c->setObjectName(name);
    c->setChecked(on);
    f.layout->addWidget(c);
    return c;
  };
  QCheckBox* to_clip = check("ToClip", "書き出し後クリップボードに入れる", form->to_clip);
  QCheckBox* tab = check("TabKugiri", "１行データをタブ区切りに", form->tab_kugiri);
  QCheckBox* line = check("KugiriLine", "カードの区切りに区切り線を入れる", form->kugiri_line);
  f.Label(U("書き出し内容"), "KakidasiNaiyou");
  QButtonGroup group(&f.dialog);
  const char* layouts[] = {"全情報", "本文のみ", "タイトルと本文", "階層付き（タイトルと本文）"};
  for (int i = 0; i < 4; ++i) {
    auto* r = new QRadioButton(U(layouts[i]), &f.dialog);
    group.addButton(r, i);
    f.layout->addWidget(r);
    r->setChecked(i == form->naiyou);
  }
  auto* row = new QHBoxLayout;
  f.layout->addLayout(row);
  f.Button(row, "kakidasi", "書き出し", 1)->setDefault(true);
  f.Button(row, "Cancel", "キャンセル", 2);
  if (f.dialog.exec() != 1) return 2;
  form->to_clip = to_clip->isChecked();
  form->tab_kugiri = tab->isChecked();
  form->kugiri_line = line->isChecked();
  form->naiyou = group.checkedId() < 0 ? 0 : group.checkedId();
  return 1;
}

bool QtTransferDialogs::ChooseImportFiles(std::vector<std::string>* paths) {
  QFileDialog dialog(owner_);
  dialog.setObjectName("OpenDialog");
  dialog.setFileMode(QFileDialog::ExistingFiles);
  dialog.setNameFilter("*.txt");
  dialog.setDefaultSuffix("txt");
  if (dialog.exec() != QDialog::Accepted) return false;
  paths->clear();
  for (const QString& f : dialog.selectedFiles()) paths->push_back(f.toStdString());
  return !paths->empty();
}

}  // namespace quill
