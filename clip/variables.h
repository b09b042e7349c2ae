// Variable substitution: the `$_NAME_` variables of a text before it is
// pasted or printed.
//
// A name starts at "$_" and runs to the next "_" (which belongs to it) or to
// a terminator (which does not): the end of the text, a single-byte
// punctuation character, blank, CR or TAB, or one of a set of full-width
// punctuation characters (kSingleByteTerminators, kDoubleByteTerminators).
// Any other byte, a double-byte character taken whole, belongs to the name,
// so "$_NAME_" and "$_名前_" are names, and "$_NAME " is the name "$_NAME".
//
// Built-in variables are replaced by the date, the time and the text
// selected in the target window; every other name is collected (at most
// 99, in order of first appearance) and its value is asked for. The values
// entered for a card are remembered under the card id in the value store:
// each value followed by a TAB, an empty value written as the single byte
// 0xDF, at most 198 bytes, no record at all when every value is empty.
//
// Call order: SetSource, ScanVariables, SetSelected or AddSelected,
// SetPrefill, ExpandBuiltins, then FillGrid, the values (from the user or
// as filled), ApplyValues, GetResult; SaveValues when the values are to be
// remembered. All text is CP932 bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/status.h"

namespace quill {

namespace store {
class VarValueStore;
}

// Where the values of a card's variables are remembered, keyed by card id.
class RememberedValues {
 public:
  virtual ~RememberedValues() = default;
  // The values text of the card; empty when none is remembered.
  virtual Status Read(std::string_view key, std::string* text) = 0;
  // Replaces the card's values text; an empty text forgets the card.
  virtual Status Write(std::string_view key, std::string_view text) = 0;
};

// RememberedValues kept in the data set's value store.
class StoredValues final : public RememberedValues {
 public:
  explicit StoredValues(store::VarValueStore& store) : store_(store) {}
  Status Read(std::string_view key, std::string* text) override;
  Status Write(std::string_view key, std::string_view text) override;

 private:
  store::VarValueStore& store_;
};

// Single-byte characters that end a name without belonging to it.
inline constexpr std::string_view kSingleByteTerminators = " \r!\"#%&'()-=^\\|{}[]@~*:+;/?<>,.\t";
// Double-byte characters (two CP932 bytes each) that end a name:
// "　、。，．！”＃＄％＆’（）＝｀｜＾￥－／＊＋「」｛｝＜＞？＿［］".
inline constexpr std::string_view kDoubleByteTerminators =
    "\x81\x40\x81\x41\x81\x42\x81\x43\x81\x44\x81\x49\x81\x68\x81\x94\x81\x90\x81\x93\x81\x95"
    "\x81\x66\x81\x69\x81\x6A\x81\x81\x81\x4D\x81\x62\x81\x4F\x81\x8F\x81\x7C\x81\x5E\x81\x96"
    "\x81\x7B\x81\x75\x81\x76\x81\x6F\x81\x70\x81\x83\x81\x84\x81\x48\x81\x51\x81\x6D\x81\x6E";

inline constexpr int kMaxVariables = 99;
// A longer name is taken for ordinary text, not a variable.
inline constexpr size_t kMaxNameBytes = 90;
// The substituted text never grows beyond this (a card text's limit).
inline constexpr size_t kMaxResultBytes = 1100000 - 1;
// The remembered values text is cut to this many bytes.
inline constexpr size_t kMaxRememberedBytes = 198;
// How an empty value is remembered.
inline constexpr char kEmptyValueMark = '\xDF';

// The year within the Japanese era of the given date (Reiwa from
// 2019-05-01, Heisei from 1989-01-08, Showa before).
int JapaneseEraYear(int year, int month, int day);

// Every name of `text` in order of appearance, built-ins included, each as
// often as it occurs (the grammar alone, without collecting).
std::vector<std::string> SplitVariableNames(std::string_view text);

class VariableFill {
 public:
  // `values` may be null: nothing is then remembered or read back.
  VariableFill(Clock& clock, RememberedValues* values) : clock_(clock), values_store_(values) {}

  // The text to substitute and the card id its values are remembered under
  // (empty for a text that is not a card).
  void SetSource(std::string_view text, std::string_view key);
  // Collects the variables of the text; returns how many were collected.
  int ScanVariables();
  // The value of `$_SELECTED_`.
  void SetSelected(std::string_view text) { selected_ = text; }
  // Collects `$_SELECTED_` as a variable to ask for (the selection came
  // back empty).
  void AddSelected();
  // Offered as the first variable's value.
  void SetPrefill(std::string_view text) { prefill_ = text; }
  // Replaces the built-in variables that have a value.
  void ExpandBuiltins();
  // Sets every value from the pre-fill text and the remembered values.
  // The values are filled even when reading fails; the error is returned.
  Status FillGrid();
  // Replaces the collected variables by their values; an empty value
  // replaces only when `blank` is set.
  void ApplyValues();
  const std::string& GetResult() const { return text_; }
  // Remembers the values under the key (nothing without a key).
  Status SaveValues();

  // TikanBlank: an empty value replaces its variable by nothing.
  void set_blank(bool blank) { blank_ = blank; }
  bool blank() const { return blank_; }

  bool selected_used() const { return selected_used_; }
  int count() const { return static_cast<int>(names_.size()); }
  const std::vector<std::string>& names() const { return names_; }
  const std::vector<std::string>& values() const { return values_; }
  void SetValue(int i, std::string_view value);
  const std::string& text() const { return text_; }
  const std::string& key() const { return key_; }

 private:
  void AddVariable(const std::string& name);

  Clock& clock_;
  RememberedValues* values_store_;
  bool selected_used_ = false;
  std::string text_;
  std::vector<std::string> names_;
  std::vector<std::string> values_;
  std::string selected_;
  std::string prefill_;
  std::string key_;
  bool blank_ = false;
};

}  // namespace quill
