// The command interpreter's three commands, done here: no shell is started.
#include <cstring>

#include "platform/posix/console_input.h"
#include "platform/posix/console_session.h"
#include "platform/posix/console_size.h"

using namespace zcal_posix;

int run_console_command(const char* command) {
    if (command == nullptr) {
        return -1;
    }
    // "chcp N": nothing to do. The renderer always reads the program's bytes
    // as ISO 8859-1, the one code page the program sets.
    if (std::strncmp(command, "chcp ", 5) == 0) {
        return 0;
    }
    if (std::strcmp(command, "cls") == 0) {
        // Clearing is the start of a new screen: the moment to make sure the
        // terminal can hold it.
        wait_for_large_enough_terminal();
        renderer_clear(console_screen());
        return 0;
    }
    // Waits for one key and shows nothing.
    if (std::strcmp(command, "pause > NUL") == 0) {
        wait_for_key_press();
        return 0;
    }
    return -1;
}
