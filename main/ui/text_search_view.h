// A QPlainTextEdit as the in-card search sees it: positions converted
// between the program's CP932 bytes and the widget's characters. Used by
// the main window's editor and by card windows.
#pragma once

#include <QColor>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextEdit>
#include <algorithm>
#include <string>
#include <vector>

#include "main/search/editor_search.h"
#include "main/ui/widget_text.h"

namespace quill {

// Search words are drawn blue on yellow.
inline const QColor kHighlightText(0, 0, 255);
inline const QColor kHighlightBack(255, 255, 0);

// The card editor's text as the search sees it.
class TextSearchView final : public SearchEditor {
 public:
  TextSearchView(QWidget* window, QPlainTextEdit* edit) : window_(window), edit_(edit) {}

  std::string Text() override { return WidgetToText(edit_->toPlainText()); }

  size_t SelStart() override {
    const QString text = edit_->toPlainText();
    return BytesForUnits(text, WidgetToText(text), edit_->textCursor().selectionStart());
  }

  std::string SelText() override {
    const QString text = edit_->toPlainText();
    const std::string bytes = WidgetToText(text);
    const QTextCursor c = edit_->textCursor();
    const size_t start = BytesForUnits(text, bytes, c.selectionStart());
    const size_t end = BytesForUnits(text, bytes, c.selectionEnd());
    return bytes.substr(start, end - start);
  }

  void Select(size_t start, size_t length) override {
    const QString text = edit_->toPlainText();
    const std::vector<qsizetype> units =
        UnitsForByteList(text, WidgetToText(text), {start, start + length});
    QTextCursor c = edit_->textCursor();
    c.setPosition(static_cast<int>(units[0]));
    c.setPosition(static_cast<int>(units[1]), QTextCursor::KeepAnchor);
    edit_->setTextCursor(c);
    edit_->setFocus();
  }

  void ReplaceSelection(const std::string& text) override {
    QTextCursor c = edit_->textCursor();
    c.insertText(TextToWidget(text));
    edit_->setTextCursor(c);
  }

  // Extra selections colour the text without touching the document: no
  // change event, no undo step, the modified state as it was.
  void SetHighlights(const std::vector<TextRange>& ranges) override {
    QList<QTextEdit::ExtraSelection> marks;
    if (!ranges.empty()) {
      std::vector<size_t> ends;
      for (const TextRange& r : ranges) {
        ends.push_back(r.start);
        ends.push_back(r.start + r.length);
      }
      std::sort(ends.begin(), ends.end());
      ends.erase(std::unique(ends.begin(), ends.end()), ends.end());
      const QString text = edit_->toPlainText();
      const std::vector<qsizetype> units = UnitsForByteList(text, WidgetToText(text), ends);
      auto unit_of = [&](size_t byte) {
        return static_cast<int>(units[static_cast<size_t>(
            std::lower_bound(ends.begin(), ends.end(), byte) - ends.begin())]);
      };
      QTextCharFormat format;
      format.setForeground(kHighlightText);
      format.setBackground(kHighlightBack);
      for (const TextRange& r : ranges) {
        QTextEdit::ExtraSelection mark;
        mark.cursor = QTextCursor(edit_->document());
        mark.cursor.setPosition(unit_of(r.start));
        mark.cursor.setPosition(unit_of(r.start + r.length), QTextCursor::KeepAnchor);
        mark.format = format;
        marks.append(mark);
      }
    }
    edit_->setExtraSelections(marks);
  }

  // Left of the editor, a little above the window.
  ScreenPoint CheckDialogPoint() override {
    const QRect frame = window_->frameGeometry();
    return {frame.left() + edit_->mapTo(window_, QPoint(0, 0)).x(), frame.top() - 30};
  }

 private:
  QWidget* window_;
  QPlainTextEdit* edit_;
};

}  // namespace quill
