// zcal: steps a printer's Z axis by hand, from the keyboard, to calibrate its
// height. Its command line may name the printer's port; it reads no files or
// environment. Exits with 0 once it has run, with or without a printer, and
// with 2 for a command line it cannot follow.
#include "app/calibration.h"
#include "app/command_line.h"
#include "app/help_text.h"
#include "link/find_serial_port.h"
#include "link/wait_for_printer.h"
#include "platform/platform.h"
#include "screen/draw_screen.h"
#include "screen/prepare_console.h"

int main(int argc, char** argv) {
    // Read before anything else: help, version and a usage error leave the
    // console and every port as they were.
    char port_name[port_name_capacity];
    const command_line command = parse_command_line(argc, argv, port_name, sizeof port_name);
    switch (command.action) {
        case command_action::show_help:
            print_help();
            return 0;
        case command_action::show_version:
            print_version();
            return 0;
        case command_action::usage_error:
            print_usage_error(command);
            return usage_exit_status;
        case command_action::calibrate:
            break;
    }

    prepare_console();
    HANDLE console_out = GetStdHandle(STD_OUTPUT_HANDLE);
    HANDLE console_in = GetStdHandle(STD_INPUT_HANDLE);
    draw_screen(console_out);

    // A port named on the command line is the only one tried, and it is
    // opened and set up exactly as the search does with each of its own.
    HANDLE printer_port = INVALID_HANDLE_VALUE;
    const std::int32_t found =
        command.port_given ? open_serial_port(&printer_port, port_name) : find_serial_port(&printer_port);
    if (found < 0) {
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
