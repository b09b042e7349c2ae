// SearchCommands: the main window's card search, in-card search, replace
// and batch replace, with the state they keep between runs.
//
// The card search asks for criteria and rebuilds the folder tree so that
// the hits are marked or alone (or, for the current folder, marks and
// filters it in place). The in-card search finds a string in the editor
// or the table grid and colours its places; replace works on the card in
// the editor, batch replace on the text of every marked card.
//
// The window is reached through SearchHost, the dialogs and beeps through
// the form's Ui.
#pragma once

#include <cstdint>
#include <set>
#include <string>

#include "main/search/card_criteria.h"
#include "main/search/editor_search.h"
#include "platform/messages.h"
#include "platform/status.h"

namespace quill {

class FolderTreeModel;
class IniBatch;
class TreeNode;

// What the search needs of the main window.
class SearchHost {
 public:
  virtual ~SearchHost() = default;
  virtual bool ShiftDown() = 0;
  // Stores the editor's card when it changed.
  virtual void SaveCurrentCard(bool select_new) = 0;
  // Makes node the selected node of the tree view and opens it, as the
  // user's click would.
  virtual void SelectNode(TreeNode* node) = 0;
  // Rebuilds the tree from the card store, with the card search or
  // without (null), and shows it; a failure has been told to the user.
  // NoSpace: the program is ending.
  virtual Status ReloadTree(CardSearch* criteria) = 0;
  // The main window comes forward for a dialog; the application that was
  // in front gets the focus back when the dialog is cancelled.
  virtual void ComeForward() {}
  virtual void ReturnToTarget() {}
  // Writes keys of the ini file.
  virtual Status WriteIni(const IniBatch& batch) = 0;
  // Tells the user of a failure (a settings write).
  virtual void ShowFailure(const Status& s) = 0;
  // The card editor's text and the table grid.
  virtual SearchEditor& Editor() = 0;
  virtual SearchGrid* Grid() { return nullptr; }
  // The card in the editor may not be changed.
  virtual bool CardLocked() = 0;
  // The card is shown as a table or a page (CsvHtmlCK).
  virtual bool TableOrPageShown() = 0;
  // The colouring button shows its state.
  virtual void ShowHighlightButton(bool on) {}
};

class SearchCommands {
 public:
  SearchCommands(FolderTreeModel& form, SearchHost& host);
  SearchCommands(const SearchCommands&) = delete;
  SearchCommands& operator=(const SearchCommands&) = delete;

  // --- state ---
  std::string FindString;            // the in-card search string
  std::string LastGrepText;          // the card search text last confirmed
  std::string LastReplaceText;       // the replacement of replace in the card
  std::string LastBatchReplaceText;  // the replacement of batch replace
  std::set<std::string> SearchWordSet;  // the words to colour
  int32_t HighlightOn = 0;

  // --- the card search ---
  // Asks for the criteria and rebuilds or filters the tree. Returns at
  // once while a card search runs (also one started from within).
  void GrepClick();
  // The tree without criteria; GrepKaijoClick saves the editor's card
  // first.
  void GrepOffClick();
  void GrepKaijoClick();
  // The hits among the cards below the selected node's folder are marked,
  // the others unmarked or taken out of the tree.
  void GrepCards(const SearchCriteria& criteria);
  // Saves the editor's card and selects the next marked node (the
  // previous one with Shift held).
  void ToMarkClick();

  // --- the in-card search ---
  void FindStrMenuClick();
  void KensakuBtClick();
  // Finds FindString from `start` on, backwards with Shift held: in the
  // grid when it is shown, else in the editor.
  void SearchInCard(size_t start, int mode);
  // Asks for the search string; true when it was confirmed. The find
  // history is stored either way.
  bool EditSearchString();

  // --- colouring ---
  void KensakuMarkClick();
  void HighlightSearchWords();
  void ClearSearchHighlight();

  // --- replace ---
  void ReplaceClick();
  void ReplaceInEditor(SearchEditor& edit);
  void IkkatuTikanClick();

 private:
  void WriteGrepSettings();
  void WriteFindHistory();
  // The rest of the card from `from` on without asking.
  void ReplaceRest(SearchEditor& edit, size_t from, int mode);
  // The message dialog with caption "警告".
  void Warn(const std::string& text);
  // A failure as the message `text` with its reason; a fatal state of the
  // card store ends the program.
  void ReportFailure(MessageId text, const Status& s);

  FolderTreeModel& form_;
  SearchHost& host_;
  // Set while a card search runs, in the whole process.
  static bool grep_running_;
};

}  // namespace quill
