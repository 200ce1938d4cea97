#include "screen/indicator.h"
#include "screen/console_write.h"

void advance_indicator(HANDLE console_out, SHORT* indicator_row) {
    // After the point reaches the row above the bed line, start again just
    // under the head mark. Old marks are never erased: from the seventh step
    // on, each step rewrites cells that already show the same mark.
    if (*indicator_row >= indicator_last_row) {
        *indicator_row = indicator_first_bar_row;
    } else {
        ++*indicator_row;
    }
    write_at(console_out, COORD{indicator_column, *indicator_row}, indicator_bar, 1);
    ++*indicator_row;
    write_at(console_out, COORD{indicator_column, *indicator_row}, indicator_point, 1);
}
