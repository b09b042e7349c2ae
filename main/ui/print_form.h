// TPrintFm: the print dialog ("印刷"), a thin view over PrintPanel
// (main/exchange/print_panel.h).
//
// It shows the font, the line pitch and the margins with their up-down
// buttons, the printer's name and a preview of the first page scaled into
// its panel; "プリンタ設定" runs the printer setup dialog on the same
// printer (whose OK only sets the printer up), "印刷" prints, "閉じる"
// closes. The seven settings are read from the registry store when the
// dialog is made and written back whenever it closes.
#pragma once

#include <QDialog>
#include <QImage>
#include <functional>
#include <memory>

#include "controls/ui/qt_printer_device.h"
#include "main/exchange/print_panel.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPrinter;
class QPushButton;

namespace quill {

class RegistryStore;
class TUpDownWithField;
class Ui;

class TPrintFm : public QDialog {
  Q_OBJECT
 public:
  // The printer stays the caller's and must outlive the dialog.
  TPrintFm(QWidget* owner, QPrinter* printer, RegistryStore& registry, Ui& ui);
  ~TPrintFm() override;

  // The printer component: the print command sets its columns and text.
  TTextPrint& TextPrint() { return panel_.TextPrint; }
  // The settings as the controls show them.
  PrintSettings TakeSettings() const;
  // The last preview drawn, at the screen's resolution.
  const QImage& PreviewImage() const { return preview_; }

  // The printer setup dialog; returns whether it was confirmed. By
  // default the system's print dialog on the dialog's printer.
  std::function<bool(QPrinter*)> RunPrinterSetup;

  // Controls.
  QComboBox* FontList;
  QLineEdit* FontSize;
  TUpDownWithField* FontSizeB;
  QLineEdit* LinePitch;
  TUpDownWithField* LinePitchB;
  QLineEdit* TopMargin;
  TUpDownWithField* TopMarginB;
  QLineEdit* LeftMargin;
  TUpDownWithField* LeftMarginB;
  QLineEdit* RightMargin;
  TUpDownWithField* RightMarginB;
  QLineEdit* BottomMargin;
  TUpDownWithField* BottomMarginB;
  QLineEdit* PrinterName;
  QPushButton* SetYousi;
  QPushButton* Insatu;
  QPushButton* Fin;
  QWidget* ImagePanel;
  QLabel* Image;

  // Handlers.
  void FormCreate();
  void FormShow() { UpdatePrintPreview(); }
  void FormResize() { UpdatePrintPreview(); }
  void FontListChange() { UpdatePrintPreview(); }
  void FontSizeChange() { UpdatePrintPreview(); }
  void LinePitchChange() { UpdatePrintPreview(); }
  void TopMar() { UpdatePrintPreview(); }
  void LeftMarginChange() { UpdatePrintPreview(); }
  void RightMarginChange() { UpdatePrintPreview(); }
  void BottomMarginChange() { UpdatePrintPreview(); }
  void SetYousiClick();
  void InsatuClick();
  void FinClick() { close(); }
  void FormClose();
  void UpdatePrintPreview();

  void done(int result) override;

 protected:
  void showEvent(QShowEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  void ShowSettings(const PrintSettings& s);

  QtPrinterDevice device_;
  PrintPanel panel_;
  QImage preview_;
  bool created_ = false;  // the controls hold the stored settings
};

}  // namespace quill
