// The folder chooser: a modal dialog that shows the folder tree and returns
// the folder the user confirms. Like every dialog it can be answered by a
// script, so a test never waits for a person.
#pragma once
#include <functional>
#include <string>

namespace kv {

struct TFolderDialogRequest;

// The dialog while it runs, for the caller's callbacks and for scripts.
class TFolderDialogSession {
 public:
  virtual ~TFolderDialogSession() = default;
  // Moves the selection; the request's OnSelChanged runs.
  virtual void SetSelection(const std::string& Path) = 0;
  virtual std::string Selection() const = 0;
  virtual void EnableOK(bool Enable) = 0;
  virtual bool OKEnabled() const = 0;
  // Whether a help button was added, and pressing it (runs OnHelp).
  virtual bool HasHelpButton() const = 0;
  virtual void PressHelp() = 0;
  // What the dialog was asked to show.
  virtual const TFolderDialogRequest& Request() const = 0;
};

struct TFolderDialogRequest {
  std::string Title;
  std::string Text;              // shown above the tree
  std::string Root;              // where browsing starts
  std::string HelpCaption;       // empty: no help button
  bool CenterOnScreen = true;
  std::function<void()> OnHelp;
  std::function<void(TFolderDialogSession&)> OnInitialized;
  std::function<void(TFolderDialogSession&, const std::string& Path)> OnSelChanged;
};

// Runs the dialog; true when the user confirmed, with the chosen folder in Chosen.
bool BrowseForFolder(const TFolderDialogRequest& Request, std::string& Chosen);

// Tests: the next folder dialogs are answered by these scripts, first in
// first out. A script works the session and returns whether it confirms;
// a confirmation while OK is disabled counts as a cancel.
using TFolderDialogScript = std::function<bool(TFolderDialogSession& Session)>;
void AnswerFolderDialog(TFolderDialogScript Script);
int32_t PendingFolderAnswers();

}  // namespace kv
