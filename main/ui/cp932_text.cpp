#include "main/ui/cp932_text.h"

#include "platform/text_codec.h"

namespace quill {

QString FromCp932(std::string_view bytes) {
  std::string utf8 = Cp932ToUtf8(bytes);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string ToCp932(const QString& text) {
  QByteArray utf8 = text.toUtf8();
  return Utf8ToCp932(std::string_view(utf8.constData(), utf8.size()));
}

}  // namespace quill
