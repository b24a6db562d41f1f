// The file dialog as a window of the platform (file_dialog_window.cpp): the folder it shows, the
// folder's entries, the name field, OK and Cancel.
#pragma once

#include <windows.h>

#include "emul/answers.h"

#include <optional>
#include <string>

namespace emul {

struct FileDialogRequest {
    HWND owner = nullptr;
    std::u16string title;      // "Open" or "Save As"
    std::u16string initialDir; // empty: \My Documents, else the root
    std::u16string patterns;   // the filter's patterns, ";" between them ("*.txt;*.psw")
    bool mustExist = false;    // OK takes only the name of a file that is there
};

// Puts the dialog up until it is answered: by `pick` at once, or (pick.onScreen) by the pen and
// the keys. The path chosen, or nullopt for Cancel.
std::optional<std::u16string> runFileDialogWindow(const FileDialogRequest &request,
                                                  const Answers::FilePick &pick);

// The dialog's list of a folder's entries: folders first, each kind in the order the folder
// lists them.
LRESULT CALLBACK fileListProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);

} // namespace emul
