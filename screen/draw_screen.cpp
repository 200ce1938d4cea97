#include "screen/draw_screen.h"
#include "screen/console_write.h"
#include "screen/frame.h"

void draw_screen(HANDLE console_out) {
    draw_frame(console_out, frame_origin);

    SetConsoleTextAttribute(console_out, header_attribute);
    write_placed(console_out, header_line);
    SetConsoleTextAttribute(console_out, resting_attribute);

    write_placed(console_out, height_label);
    for (const placed_text& legend : key_legends) {
        write_placed(console_out, legend);
    }
    write_placed(console_out, head_mark);
}

void show_port_error(HANDLE console_out) { write_placed(console_out, port_error_line); }

void draw_bed(HANDLE console_out) { write_placed(console_out, bed_line); }
