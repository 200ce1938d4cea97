// screen_of_stream: shows what a terminal of the given size would show after
// receiving a stream, one line of UTF-8 text per row.
//
//   screen_of_stream COLUMNS ROWS < STREAM
//
// For the stream a pseudo console rendered zcal.exe's screen into, under
// wine (tests/wine/run_wine_tests).
#include <cstdio>
#include <cstdlib>

#include "vterm_screen.h"

int main(int argc, char** argv) {
    if (argc != 3 || std::atoi(argv[1]) <= 0 || std::atoi(argv[2]) <= 0) {
        std::fprintf(stderr, "usage: screen_of_stream COLUMNS ROWS < STREAM\n");
        return 2;
    }
    const int columns = std::atoi(argv[1]);
    const int rows = std::atoi(argv[2]);
    harness::vterm_screen screen(columns, rows);
    char buffer[8192];
    for (std::size_t count; (count = std::fread(buffer, 1, sizeof buffer, stdin)) > 0;) {
        screen.feed(buffer, count);
    }
    for (int row = 0; row < rows; ++row) {
        std::printf("%s\n", screen.row(row).c_str());
    }
    return 0;
}
