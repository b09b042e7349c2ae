// A row of controls that wraps onto further lines when the space is too
// narrow for it, so that a narrow window keeps every button reachable
// instead of refusing to get narrower than the widest row.
#pragma once

#include <QLayout>
#include <QList>

namespace quill {

class FlowLayout final : public QLayout {
 public:
  explicit FlowLayout(int spacing, QWidget* parent = nullptr);
  ~FlowLayout() override;

  void addItem(QLayoutItem* item) override;
  int count() const override;
  QLayoutItem* itemAt(int index) const override;
  QLayoutItem* takeAt(int index) override;
  Qt::Orientations expandingDirections() const override;
  bool hasHeightForWidth() const override;
  int heightForWidth(int width) const override;
  // One line: every item at its preferred size.
  QSize sizeHint() const override;
  // The widest item (and the tallest).
  QSize minimumSize() const override;
  void setGeometry(const QRect& rect) override;

 private:
  // Lays the items out in rect (only measures when apply is false) and
  // returns the height used. Items that expand horizontally share what
  // is left of their line.
  int Arrange(const QRect& rect, bool apply) const;

  QList<QLayoutItem*> items_;
};

}  // namespace quill
