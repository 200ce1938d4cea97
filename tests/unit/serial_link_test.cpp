// The printer link: which port is found, how it is set up, and how the start
// drain and the reply reader consume the printer's bytes.
#include <gtest/gtest.h>

#include <cstring>

#include "fake_fixture.h"
#include "link/command_reply.h"
#include "link/find_serial_port.h"
#include "link/wait_for_printer.h"

namespace {

using serial_link = on_fake;  // each test on a fresh fake platform

using fake::ms;

std::vector<std::string> open_attempts_in_order() {
    std::vector<std::string> names;
    for (const std::string& line : fake::trace_of("CreateFileA ")) {
        names.push_back(line.substr(12, line.find(' ', 12) - 12));
    }
    return names;
}

TEST_F(serial_link, no_port_means_21_attempts_in_rising_order_and_no_handle) {
    HANDLE port = nullptr;
    EXPECT_EQ(find_serial_port(&port), -1);
    EXPECT_EQ(port, INVALID_HANDLE_VALUE);

    const std::vector<std::string> names = open_attempts_in_order();
    ASSERT_EQ(names.size(), 21u);
    for (int number = 0; number <= 20; ++number) {
        EXPECT_EQ(names[static_cast<std::size_t>(number)], "\\\\.\\COM" + std::to_string(number));
    }
    // No leading zeros, no fixed width.
    EXPECT_EQ(names[9], "\\\\.\\COM9");
    EXPECT_EQ(names[10], "\\\\.\\COM10");
}

TEST_F(serial_link, lowest_usable_port_wins_and_higher_ones_are_never_opened) {
    fake::add_port(2, fake::port_kind::held);
    fake::add_port(3);
    fake::add_port(7);
    fake::add_port(21);
    HANDLE port = INVALID_HANDLE_VALUE;

    EXPECT_EQ(find_serial_port(&port), 1);

    EXPECT_TRUE(fake::port_open(3));
    EXPECT_EQ(fake::open_attempts(2), 1) << "a held port is tried and skipped";
    EXPECT_EQ(fake::open_attempts(7), 0);
    EXPECT_EQ(fake::open_attempts(21), 0);
    EXPECT_EQ(open_attempts_in_order().back(), "\\\\.\\COM3");
    EXPECT_NE(port, INVALID_HANDLE_VALUE);
}

TEST_F(serial_link, port_21_and_above_are_never_tried) {
    fake::add_port(21);
    HANDLE port = nullptr;
    EXPECT_EQ(find_serial_port(&port), -1);
    EXPECT_EQ(fake::open_attempts(21), 0);
}

TEST_F(serial_link, port_is_opened_exclusively_at_250000_8n1_with_one_ms_read_timeouts) {
    fake::add_port(0);
    HANDLE port = INVALID_HANDLE_VALUE;
    ASSERT_EQ(find_serial_port(&port), 1);

    EXPECT_EQ(fake::port_access(0), 0xC0000000u);
    EXPECT_EQ(fake::port_share_mode(0), 0u);
    EXPECT_EQ(fake::port_disposition(0), 3u);
    const DCB& settings = fake::port_settings(0);
    EXPECT_EQ(settings.DCBlength, 28u);
    EXPECT_EQ(settings.BaudRate, 250000u);
    EXPECT_EQ(settings.ByteSize, 8);
    EXPECT_EQ(settings.Parity, NOPARITY);
    EXPECT_EQ(settings.StopBits, ONESTOPBIT);
    EXPECT_EQ(settings.fOutX | settings.fInX | settings.fOutxCtsFlow | settings.fOutxDsrFlow, 0u);
    // What a serial driver insists on, although flow control is off.
    EXPECT_EQ(settings.fBinary, 1u);
    EXPECT_EQ(settings.XonChar, 0x11);
    EXPECT_EQ(settings.XoffChar, 0x13);
    EXPECT_EQ(fake::port_flags(0), 0u) << "plain blocking I/O";
    const COMMTIMEOUTS& timeouts = fake::port_timeouts(0);
    EXPECT_EQ(timeouts.ReadIntervalTimeout, 1u);
    EXPECT_EQ(timeouts.ReadTotalTimeoutMultiplier, 1u);
    EXPECT_EQ(timeouts.ReadTotalTimeoutConstant, 1u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutConstant, 0u);
}

// A port that opens but cannot be configured is let go at once, and the
// search goes on; nothing is left open or closed twice.
class unconfigurable_port : public on_fake, public ::testing::WithParamInterface<fake::port_kind> {};

TEST_P(unconfigurable_port, is_closed_and_skipped) {
    fake::add_port(1, GetParam());
    fake::add_port(4);
    HANDLE port = INVALID_HANDLE_VALUE;

    EXPECT_EQ(find_serial_port(&port), 1);
    EXPECT_FALSE(fake::port_open(1));
    EXPECT_TRUE(fake::port_open(4));
    EXPECT_EQ(fake::trace_of("CloseHandle"), std::vector<std::string>{"CloseHandle \\\\.\\COM1"});
    send_command(port, "G1 F600 Z200.000\n");
    EXPECT_EQ(fake::sent_bytes(4), "G1 F600 Z200.000\n");
}

INSTANTIATE_TEST_SUITE_P(ports, unconfigurable_port,
                         ::testing::Values(fake::port_kind::refuses_settings, fake::port_kind::refuses_state,
                                           fake::port_kind::refuses_timeouts));

TEST_F(serial_link, last_port_refusing_its_settings_leaves_no_handle) {
    fake::add_port(20, fake::port_kind::refuses_settings);
    HANDLE port = nullptr;
    EXPECT_EQ(find_serial_port(&port), -1);
    EXPECT_EQ(port, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(fake::port_open(20));
}

TEST_F(serial_link, command_goes_out_whole_in_one_write_without_its_zero) {
    const loop_handles handles = open_loop_handles();
    send_command(handles.printer_port, "G1 F600 Z200.000\n");
    ASSERT_EQ(fake::port_writes(0).size(), 1u);
    EXPECT_EQ(fake::port_writes(0)[0].bytes, "G1 F600 Z200.000\n");
    EXPECT_EQ(fake::port_writes(0)[0].bytes.size(), 17u);
}

struct reply_case {
    const char* name;
    std::vector<std::pair<std::uint64_t, std::string>> arrivals;  // (µs after start, bytes)
    std::string stored;
    std::size_t left_queued;
};

class reply : public on_fake, public ::testing::WithParamInterface<reply_case> {};

TEST_P(reply, stops_at_carriage_return_gap_or_capacity) {
    const reply_case& c = GetParam();
    const loop_handles handles = open_loop_handles();
    for (const auto& arrival : c.arrivals) {
        fake::schedule_bytes(0, arrival.first, arrival.second);
    }
    char text[256];
    std::memset(text, 'Q', sizeof text);

    read_reply(handles.printer_port, text);

    EXPECT_EQ(std::string(text, c.stored.size()), c.stored);
    for (std::size_t i = c.stored.size(); i < 255; ++i) {
        ASSERT_EQ(text[i], '\0') << "byte " << i;
    }
    EXPECT_EQ(text[255], 'Q') << "only the first 255 bytes are the reader's";
    EXPECT_EQ(fake::unread_bytes(0), c.left_queued);
}

INSTANTIATE_TEST_SUITE_P(
    replies, reply,
    ::testing::Values(
        // The line feed after the carriage return waits for the next reply.
        reply_case{"ok_crlf", {{0, "ok\r\n"}}, "ok\r", 1},
        reply_case{"carriage_return_first", {{0, "\rok"}}, "\r", 2},
        reply_case{"line_feed_only_reads_to_the_gap", {{0, "ok\nok\n"}}, "ok\nok\n", 0},
        reply_case{"zero_byte_is_stored", {{0, std::string("a\0b\r", 4)}}, std::string("a\0b\r", 4), 0},
        reply_case{"capacity_254", {{0, std::string(300, 'x')}}, std::string(254, 'x'), 46},
        reply_case{"gap_of_2ms_ends_it", {{0, "ok"}, {ms(3), "\r"}}, "ok", 1},
        reply_case{"byte_inside_the_timeout_is_read", {{0, "o"}, {ms(1), "k\r"}}, "ok\r", 0},
        reply_case{"nothing_within_2ms", {{ms(5), "ok\r"}}, "", 3}),
    [](const ::testing::TestParamInfo<reply_case>& test) { return test.param.name; });

TEST_F(serial_link, silent_printer_costs_one_read_of_2ms_and_its_late_answer_waits) {
    const loop_handles handles = open_loop_handles();
    fake::schedule_bytes(0, ms(5), "ok\r");
    char text[256];
    const std::uint64_t start = fake::now_us();

    read_reply(handles.printer_port, text);
    EXPECT_EQ(fake::now_us() - start, ms(2));
    EXPECT_EQ(fake::trace_of("ReadFile").size(), 1u);

    Sleep(8);
    read_reply(handles.printer_port, text);
    EXPECT_STREQ(text, "ok\r");
}

TEST_F(serial_link, printer_wait_sleeps_then_drains_until_the_line_is_quiet) {
    const loop_handles handles = open_loop_handles();
    fake::schedule_bytes(0, ms(100), "start\necho: boot\n");  // during the sleep
    fake::schedule_bytes(0, ms(2223), "echo: more\n");        // keeps coming
    fake::schedule_bytes(0, ms(2240), "ok\n");                // after a quiet gap
    const std::size_t reads_before = fake::trace_of("ReadFile").size();

    wait_for_printer(handles.printer_port);

    EXPECT_EQ(fake::trace_of("Sleep"), std::vector<std::string>{"Sleep 2222"});
    EXPECT_EQ(fake::unread_bytes(0), 3u);
    EXPECT_EQ(fake::trace_of("ReadFile").size() - reads_before, 17u + 11u + 1u);
}

TEST_F(serial_link, printer_wait_with_nothing_pending_makes_a_single_read) {
    const loop_handles handles = open_loop_handles();
    wait_for_printer(handles.printer_port);
    EXPECT_EQ(fake::trace_of("ReadFile").size(), 1u);
    EXPECT_EQ(fake::now_us(), ms(2222 + 2));
}

// A printer that chatters without a pause must not keep the program from
// ever reaching its keys.
TEST_F(serial_link, printer_wait_stops_draining_a_printer_that_never_pauses) {
    const loop_handles handles = open_loop_handles();
    fake::schedule_bytes(0, ms(2222), std::string(drain_limit + 1000, 'x'));
    wait_for_printer(handles.printer_port);
    EXPECT_EQ(fake::unread_bytes(0), 1000u);
}

TEST_F(serial_link, printer_wait_ends_on_a_failing_port) {
    const loop_handles handles = open_loop_handles();
    fake::schedule_bytes(0, 0, std::string(100, 'x'));
    fake::vanish_at(0, 0);
    wait_for_printer(handles.printer_port);
    EXPECT_EQ(fake::trace_of("ReadFile").size(), 1u);
}

}  // namespace
