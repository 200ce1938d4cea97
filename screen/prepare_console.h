// The console made ready for the screen: code page, a blank screen, a window
// that cannot be resized, the title.
#pragma once

void prepare_console();
