// PNG bytes of a one-colour picture, for tests that serve or store images.
#pragma once

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <string>

namespace quill {

inline std::string TestPng(int width, int height, QColor color) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(color);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes.toStdString();
}

}  // namespace quill
