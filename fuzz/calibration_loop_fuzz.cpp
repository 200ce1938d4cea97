// The calibration loop against any console input and any printer output:
// keys pressed, released and repeated at any times, records that are not
// keys, and a printer that answers, floods, stalls or fails.
//
// Input: a flag byte (bit 0: the port fails at a time given by the next
// word, in 50 µs steps), a record count, then per record a gap in
// milliseconds, a kind byte and a key byte; then the printer's output as
// chunks (see schedule_printer_output). A Space press is queued after the
// last record, and the input ends once everything is read.
//
// What must hold:
//   - the loop ends, at the first Space press (the virtual-time watchdog
//     never fires);
//   - exactly one move line goes out per press of a step key before that
//     Space, in order, each with the height that press gives; releases,
//     other keys and other records send nothing;
//   - the height field shows the height of the last line sent.
#include <cstring>

#include "app/calibration.h"
#include "fuzz/fuzz_input.h"
#include "link/find_serial_port.h"

namespace {

INPUT_RECORD record_of(std::uint8_t kind, std::uint8_t key) {
    INPUT_RECORD record;
    std::memset(&record, 0, sizeof record);
    switch (kind % 4) {
        case 0:
        case 1:
            record.EventType = KEY_EVENT;
            record.Event.KeyEvent.bKeyDown = kind % 4 == 0 ? TRUE : FALSE;
            record.Event.KeyEvent.wRepeatCount = 1;
            record.Event.KeyEvent.wVirtualKeyCode = key;
            record.Event.KeyEvent.uChar.AsciiChar = static_cast<char>(key);
            break;
        case 2:
            record.EventType = FOCUS_EVENT;
            record.Event.FocusEvent.bSetFocus = key & 1;
            break;
        default:
            record.EventType = WINDOW_BUFFER_SIZE_EVENT;
            record.Event.WindowBufferSizeEvent.dwSize = COORD{key, 30};
            break;
    }
    return record;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz_input input{data, size};
    fake::reset();
    fake::add_port(0);
    const HANDLE console_in = GetStdHandle(STD_INPUT_HANDLE);
    const HANDLE console_out = GetStdHandle(STD_OUTPUT_HANDLE);
    HANDLE port = INVALID_HANDLE_VALUE;
    FUZZ_CHECK(open_serial_port(&port, fake::port_name(0).c_str()) == 1);

    if (input.byte() & 1) {
        fake::vanish_at(0, std::uint64_t{input.word()} * 50);
    }

    // The lines the loop must send, worked out press by press with the
    // program's own step and format functions: what is checked here is that
    // the loop applies each press once and in order, not the arithmetic.
    std::vector<std::string> expected;
    bool ended = false;
    float z_height = start_height;
    std::uint64_t at_us = 0;
    const int records = input.byte() % 64;
    for (int i = 0; i < records; ++i) {
        at_us += fake::ms(input.byte());
        const std::uint8_t kind = input.byte();
        const std::uint8_t key = input.byte();
        const INPUT_RECORD record = record_of(kind, key);
        fake::queue_record(record, at_us);
        if (ended || record.EventType != KEY_EVENT || !record.Event.KeyEvent.bKeyDown) {
            continue;
        }
        if (key == VK_SPACE) {
            ended = true;
            continue;
        }
        // Random keys give heights no table could list, so the expected lines
        // come from the program's own step table, arithmetic and format:
        // what this target checks is the loop's plumbing (one line per press,
        // in order, whatever the printer does), and the arithmetic and the
        // format have their own tests with literal heights.
        const double step = step_for_key(key);
        if (step != 0.0) {
            z_height = apply_step(z_height, step);
            char line[text_buffer_size];
            format_move_command(line, z_height);
            expected.push_back(line);
        }
    }
    fake::queue_key(VK_SPACE, true, at_us + 1000);
    fake::end_input_when_drained();
    std::vector<arrival> arrivals;
    schedule_printer_output(&input, 0, &arrivals);

    run_calibration(console_in, console_out, port);

    FUZZ_CHECK(!fake::watchdog_fired());
    std::vector<std::string> sent;
    for (const fake::port_write& write : fake::port_writes(0)) {
        sent.push_back(write.bytes);
    }
    // A failed port takes no more lines; the ones before it are all there.
    FUZZ_CHECK(sent.size() <= expected.size());
    for (std::size_t i = 0; i < sent.size(); ++i) {
        FUZZ_CHECK(sent[i] == expected[i]);
    }
    const std::size_t attempts = fake::trace_of("WriteFile").size();
    FUZZ_CHECK(attempts == expected.size());
    if (!expected.empty()) {
        const std::string height = expected.back().substr(9, expected.back().size() - 10);
        FUZZ_CHECK(fake::row_text(6).compare(30, height.size(), height) == 0);
    }
    CloseHandle(port);
    return 0;
}
