// Starting the text editor on one file (eDit and View errors): the terminal
// is lent to it for its run and the screen redrawn afterwards.
#pragma once

#include <string>
#include <vector>

#include "kxtdev/session.h"

namespace kxtdev {

constexpr const char* kDefaultEditor = "EDIT.COM";

// The program and arguments that edit file_name. The configured editor is
// taken as it stands, except the default "EDIT.COM" where no such program
// exists: then $VISUAL, else $EDITOR, else vi (a variable holding options,
// such as "emacs -nw", runs through the shell). shown receives the editor's
// name for messages.
std::vector<std::string> EditorCommand(const char* editor_path, const char* file_name,
                                       std::string& shown);

// Runs the editor on file_name and waits for it. A failed start or a
// non-zero exit is reported in the error box; returns true when the editor
// ran and ended with status 0.
bool StartEditor(const Session& session, const char* file_name);

}  // namespace kxtdev
