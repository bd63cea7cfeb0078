// corvane: the desktop program. It takes no command-line arguments and works in one folder, which
// holds every file it reads and writes: the current folder when started from the build tree, the
// user's data folder when installed (see core/UserFolder.h).
#include "ui/main/ProgramEntry.h"

int main(int argc, char** argv) { return corvane::ui::ProgramEntry(argc, argv); }
