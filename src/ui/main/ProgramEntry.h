#pragma once

namespace corvane::ui {

// Runs the desktop program: single-instance check, main window start-up, event loop, exit.
// Returns the process exit code.
int ProgramEntry(int argc, char** argv);

}  // namespace corvane::ui
