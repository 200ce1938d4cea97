// zcal: steps a printer's Z axis by hand, from the keyboard, to calibrate its
// height. Reads no arguments, files or environment; always exits with 0.
#include "app/calibration.h"
#include "link/find_serial_port.h"
#include "link/wait_for_printer.h"
#include "platform/platform.h"
#include "screen/draw_screen.h"
#include "screen/prepare_console.h"

int main(int, char**) {
    prepare_console();
    HANDLE console_out = GetStdHandle(STD_OUTPUT_HANDLE);
    HANDLE console_in = GetStdHandle(STD_INPUT_HANDLE);
    draw_screen(console_out);

    HANDLE printer_port = INVALID_HANDLE_VALUE;
    if (find_serial_port(&printer_port) < 0) {
        show_port_error(console_out);
        // Waits for one key and shows no prompt.
        run_console_command("pause > NUL");
    } else {
        wait_for_printer(printer_port);
        draw_bed(console_out);
        run_calibration(console_in, console_out, printer_port);
    }

    CloseHandle(console_in);
    CloseHandle(console_out);
    CloseHandle(printer_port);
    return 0;
}
