#include "main/ui/print_form.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

#include "controls/ui/qt_text_canvas.h"
#include "controls/ui/up_down_with_field.h"
#include "platform/qt/cp932_text.h"

namespace quill {

namespace {

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

}  // namespace

TPrintFm::TPrintFm(QWidget* owner, QPrinter* printer, RegistryStore& registry, Ui& ui)
    : QDialog(owner), device_(printer), panel_(device_, MakeScreenCanvas, registry, ui) {
  setObjectName("PrintFm");
  setWindowTitle(U("印刷"));
  RunPrinterSetup = [this](QPrinter* p) {
    QPrintDialog dialog(p, this);
    return dialog.exec() == QDialog::Accepted;
  };

  auto* settings = new QWidget(this);
  auto* grid = new QGridLayout(settings);
  int row = 0;
  auto number = [&](QWidget* parent, QGridLayout* layout, const char* name, const char* caption,
                    QLineEdit*& edit, TUpDownWithField*& updown) {
    edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setMaximumWidth(60);
    updown = new TUpDownWithField(parent);
    updown->setObjectName(QString(name) + "B");
    updown->EditField = edit;
    layout->addWidget(new QLabel(U(caption), parent), row, 0);
    layout->addWidget(edit, row, 1);
    layout->addWidget(updown, row, 2, Qt::AlignLeft);
    ++row;
  };

  FontList = new QComboBox(settings);
  FontList->setObjectName("FontList");
  FontList->setEditable(true);
  FontList->setInsertPolicy(QComboBox::NoInsert);
  grid->addWidget(new QLabel(U("フォント"), settings), row, 0);
  grid->addWidget(FontList, row, 1, 1, 2);
  ++row;
  number(settings, grid, "FontSize", "サイズ", FontSize, FontSizeB);
  number(settings, grid, "LinePitch", "行間(mm)", LinePitch, LinePitchB);

  auto* margins = new QGroupBox(U("余白"), settings);
  auto* margin_grid = new QGridLayout(margins);
  const int margins_row = row;
  row = 0;
  number(margins, margin_grid, "TopMargin", "上(mm)", TopMargin, TopMarginB);
  number(margins, margin_grid, "LeftMargin", "左(mm)", LeftMargin, LeftMarginB);
  number(margins, margin_grid, "RightMargin", "右(mm)", RightMargin, RightMarginB);
  number(margins, margin_grid, "BottomMargin", "下(mm)", BottomMargin, BottomMarginB);
  row = margins_row;
  grid->addWidget(margins, row++, 0, 1, 3);

  PrinterName = new QLineEdit(settings);
  PrinterName->setObjectName("PrinterName");
  PrinterName->setReadOnly(true);
  grid->addWidget(new QLabel(U("プリンタ"), settings), row, 0);
  grid->addWidget(PrinterName, row++, 1, 1, 2);

  SetYousi = new QPushButton(U("プリンタ設定"), settings);
  SetYousi->setObjectName("SetYousi");
  Insatu = new QPushButton(U("印刷"), settings);
  Insatu->setObjectName("Insatu");
  Fin = new QPushButton(U("閉じる"), settings);
  Fin->setObjectName("Fin");
  for (QPushButton* b : {SetYousi, Insatu, Fin}) {
    b->setAutoDefault(false);
    grid->addWidget(b, row++, 0, 1, 3);
  }
  grid->setRowStretch(row, 1);

  ImagePanel = new QWidget(this);
  ImagePanel->setObjectName("ImagePanel");
  ImagePanel->setMinimumSize(200, 260);
  ImagePanel->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  Image = new QLabel(ImagePanel);
  Image->setObjectName("Image");
  Image->setScaledContents(true);
  Image->move(8, 8);

  auto* layout = new QHBoxLayout(this);
  layout->addWidget(settings);
  layout->addWidget(ImagePanel, 1);
  resize(640, 480);

  FormCreate();

  connect(FontList, &QComboBox::currentTextChanged, this, &TPrintFm::FontListChange);
  connect(FontSize, &QLineEdit::textChanged, this, &TPrintFm::FontSizeChange);
  connect(LinePitch, &QLineEdit::textChanged, this, &TPrintFm::LinePitchChange);
  connect(TopMargin, &QLineEdit::textChanged, this, &TPrintFm::TopMar);
  connect(LeftMargin, &QLineEdit::textChanged, this, &TPrintFm::LeftMarginChange);
  connect(RightMargin, &QLineEdit::textChanged, this, &TPrintFm::RightMarginChange);
  connect(BottomMargin, &QLineEdit::textChanged, this, &TPrintFm::BottomMarginChange);
  connect(SetYousi, &QPushButton::clicked, this, &TPrintFm::SetYousiClick);
  connect(Insatu, &QPushButton::clicked, this, &TPrintFm::InsatuClick);
  connect(Fin, &QPushButton::clicked, this, &TPrintFm::FinClick);
}

TPrintFm::~TPrintFm() = default;

void TPrintFm::FormCreate() {
  for (const QString& family : QFontDatabase::families()) FontList->addItem(family);
  ShowSettings(panel_.ReadSettings());
  created_ = true;
}

void TPrintFm::ShowSettings(const PrintSettings& s) {
  FontList->setCurrentText(FromCp932(s.font_name));
  FontSize->setText(FromCp932(s.font_size));
  LinePitch->setText(FromCp932(s.line_pitch));
  TopMargin->setText(FromCp932(s.top_margin));
  LeftMargin->setText(FromCp932(s.left_margin));
  RightMargin->setText(FromCp932(s.right_margin));
  BottomMargin->setText(FromCp932(s.bottom_margin));
}

PrintSettings TPrintFm::TakeSettings() const {
  PrintSettings s;
  s.font_name = ToCp932(FontList->currentText());
  s.font_size = ToCp932(FontSize->text());
  s.line_pitch = ToCp932(LinePitch->text());
  s.top_margin = ToCp932(TopMargin->text());
  s.left_margin = ToCp932(LeftMargin->text());
  s.right_margin = ToCp932(RightMargin->text());
  s.bottom_margin = ToCp932(BottomMargin->text());
  return s;
}

void TPrintFm::UpdatePrintPreview() {
  if (!created_) return;
  PrinterName->setText(FromCp932(panel_.PrinterName()));
  const std::optional<PreviewSize> size =
      panel_.Refresh(TakeSettings(), ImagePanel->width(), ImagePanel->height());
  if (size) Image->setFixedSize(std::max(size->width, 1), std::max(size->height, 1));
  QtImageCanvas canvas(ScreenDpiX(), ScreenDpiY());
  panel_.TextPrint.Preview(canvas);
  preview_ = canvas.Image();
  Image->setPixmap(QPixmap::fromImage(preview_));
}

void TPrintFm::SetYousiClick() {
  RunPrinterSetup(device_.Printer());
  UpdatePrintPreview();
}

void TPrintFm::InsatuClick() { panel_.Print(TakeSettings()); }

void TPrintFm::FormClose() {
  if (created_) panel_.WriteSettings(TakeSettings());
}

void TPrintFm::done(int result) {
  FormClose();
  QDialog::done(result);
}

void TPrintFm::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  FormShow();
}

void TPrintFm::resizeEvent(QResizeEvent* e) {
  QDialog::resizeEvent(e);
  FormResize();
}

}  // namespace quill
