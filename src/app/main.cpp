// corvane: the desktop program. It takes no command-line arguments and works in its current
// directory, which holds every file it reads and writes.
#include "ui/ProgramEntry.h"

int main(int argc, char** argv) { return corvane::ui::ProgramEntry(argc, argv); }
