#include "main/ui/flow_layout.h"

#include <QWidget>
#include <algorithm>

namespace quill {

FlowLayout::FlowLayout(int spacing, QWidget* parent) : QLayout(parent) {
  setContentsMargins(0, 0, 0, 0);
  setSpacing(spacing);
}

FlowLayout::~FlowLayout() {
  while (QLayoutItem* item = takeAt(0)) delete item;
}

void FlowLayout::addItem(QLayoutItem* item) { items_.append(item); }

int FlowLayout::count() const { return static_cast<int>(items_.size()); }

QLayoutItem* FlowLayout::itemAt(int index) const {
  return index >= 0 && index < items_.size() ? items_.at(index) : nullptr;
}

QLayoutItem* FlowLayout::takeAt(int index) {
  return index >= 0 && index < items_.size() ? items_.takeAt(index) : nullptr;
}

Qt::Orientations FlowLayout::expandingDirections() const { return Qt::Horizontal; }

bool FlowLayout::hasHeightForWidth() const { return true; }

int FlowLayout::heightForWidth(int width) const { return Arrange(QRect(0, 0, width, 0), false); }

QSize FlowLayout::sizeHint() const {
  int width = 0;
  int height = 0;
  int shown = 0;
  for (QLayoutItem* item : items_) {
    if (item->isEmpty()) continue;
    const QSize hint = item->sizeHint();
    width += hint.width() + (shown++ > 0 ? spacing() : 0);
    height = std::max(height, hint.height());
  }
  const QMargins m = contentsMargins();
  return QSize(width + m.left() + m.right(), height + m.top() + m.bottom());
}

QSize FlowLayout::minimumSize() const {
  QSize size;
  for (QLayoutItem* item : items_) {
    if (!item->isEmpty()) size = size.expandedTo(item->minimumSize());
  }
  const QMargins m = contentsMargins();
  return size + QSize(m.left() + m.right(), m.top() + m.bottom());
}

void FlowLayout::setGeometry(const QRect& rect) {
  QLayout::setGeometry(rect);
  Arrange(rect, true);
}

int FlowLayout::Arrange(const QRect& rect, bool apply) const {
  const QRect area = rect.marginsRemoved(contentsMargins());
  const int gap = spacing();
  int y = area.y();
  int first = 0;
  while (first < items_.size()) {
    // The items of this line: as many as fit, at least one.
    int width = 0;
    int height = 0;
    int expanding = 0;
    int end = first;
    for (; end < items_.size(); ++end) {
      QLayoutItem* item = items_.at(end);
      if (item->isEmpty()) continue;
      const int w = item->sizeHint().width();
      const int next = width == 0 ? w : width + gap + w;
      if (width != 0 && next > area.width()) break;
      width = next;
      height = std::max(height, item->sizeHint().height());
      if (item->expandingDirections() & Qt::Horizontal) ++expanding;
    }
    if (apply) {
      int extra = std::max(0, area.width() - width);
      int x = area.x();
      for (int i = first; i < end; ++i) {
        QLayoutItem* item = items_.at(i);
        if (item->isEmpty()) continue;
        int w = item->sizeHint().width();
        if (expanding > 0 && (item->expandingDirections() & Qt::Horizontal)) {
          const int share = extra / expanding--;
          w += share;
          extra -= share;
        }
        w = std::min(w, area.width());
        item->setGeometry(QRect(x, y + (height - item->sizeHint().height()) / 2, w,
                                item->sizeHint().height()));
        x += w + gap;
      }
    }
    y += height + (end < items_.size() ? gap : 0);
    first = end;
  }
  const QMargins m = contentsMargins();
  return y - area.y() + m.top() + m.bottom();
}

}  // namespace quill
