// Search keys that ignore blanks, letter case and the difference between
// full-width and half-width characters.
#pragma once

#include <string>
#include <string_view>

namespace quill::store {

// Folds the text of src (CP932 bytes, up to the first NUL) into a key of
// CP932 bytes: blanks, tabs and line ends vanish; ASCII letters and
// full-width letters become ASCII capitals; full-width digits and common
// full-width symbols become their ASCII (or half-width) forms; hiragana and
// katakana become half-width katakana, a voiced or semi-voiced sound as the
// base plus its mark. Other double-byte characters are kept. The key is
// never longer than the text. Both the searched text and the search word
// are folded before they are compared.
std::string FoldSjisKey(std::string_view src);
// The same into out, reusing its storage (for folding many texts).
void FoldSjisKeyInto(std::string_view src, std::string* out);

}  // namespace quill::store
