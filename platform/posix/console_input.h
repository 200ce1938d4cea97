// The console's input queue, filled from standard input through the key
// decoder, and the waits that read it.
#pragma once

namespace zcal_posix {

// Waits until one key-down record has been taken from the queue (the
// records before it go with it), or the input has ended.
void wait_for_key_press();

// Reads and drops what arrives within timeout_ms; false once the input has
// ended. For waits in which keys mean nothing to the program.
bool drop_input_for(int timeout_ms);

}  // namespace zcal_posix
