// The widgets' side of the text conversion: CP932 bytes to and from Qt
// strings, over the program's one codec (platform/text_codec.h).
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace quill {

QString FromCp932(std::string_view bytes);
std::string ToCp932(const QString& text);

}  // namespace quill
