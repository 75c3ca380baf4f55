#include "kxtdev/editor_start.h"

#include <errno.h>

#include <cstdlib>
#include <cstring>

#include "console/screen.h"
#include "kxtdev/link_session.h"
#include "platform/child_process.h"

namespace kxtdev {
namespace {

const char* EnvironmentEditor() {
  for (const char* name : {"VISUAL", "EDITOR"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && value[0] != '\0') return value;
  }
  return "vi";
}

}  // namespace

std::vector<std::string> EditorCommand(const char* editor_path, const char* file_name,
                                       std::string& shown) {
  std::string editor = editor_path;
  if (editor == kDefaultEditor && !platform::ProgramExists(editor)) {
    editor = EnvironmentEditor();
    shown = editor;
    if (editor.find_first_of(" \t") != std::string::npos)
      return {"/bin/sh", "-c", editor + " \"$1\"", "sh", file_name};
    return {editor, file_name};
  }
  shown = editor;
  return {editor, file_name};
}

bool StartEditor(const Session& session, const char* file_name) {
  char editor_path[kEditorPathLimit + 1];
  CopyEditorPath(session.setup, editor_path);
  std::string shown;
  std::vector<std::string> command = EditorCommand(editor_path, file_name, shown);

  console::ReleaseTerminal();
  platform::ChildOutcome outcome = platform::RunProgram(command);
  console::RetakeTerminal();

  const char* name = shown.c_str();
  if (!outcome.started) {
    switch (outcome.start_error) {
      case ENOENT:
        ReportErrorF(session, "Can't access editor %s", name);
        break;
      case ENOEXEC:
        ReportErrorF(session, "Editor %s is not executable", name);
        break;
      case ENOMEM:
        ReportErrorF(session, "Insufficient conventional memory to spawn %s", name);
        break;
      default:
        ReportErrorF(session, "Error spawning %s status=%d", name, outcome.start_error);
        break;
    }
    return false;
  }
  if (outcome.exit_status != 0) {
    ReportErrorF(session, "Error spawning %s status=%d", name, outcome.exit_status);
    return false;
  }
  return true;
}

}  // namespace kxtdev
