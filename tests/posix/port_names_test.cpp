// The port names' devices, and the other small pure pieces of the layer.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/posix/console_size.h"
#include "platform/posix/locale_charset.h"
#include "platform/posix/port_names.h"
#include "platform/posix/serial_line.h"
#include "platform/posix/serial_timeouts.h"

namespace {

using namespace zcal_posix;

std::string device_of(const char* name) {
    char path[32];
    return device_path_for_port(name, path, sizeof path) ? path : "none";
}

TEST(port_names, the_two_kinds_of_usb_serial_device_take_turns) {
    EXPECT_EQ(device_of("\\\\.\\COM0"), "/dev/ttyACM0");
    EXPECT_EQ(device_of("\\\\.\\COM1"), "/dev/ttyUSB0");
    EXPECT_EQ(device_of("\\\\.\\COM2"), "/dev/ttyACM1");
    EXPECT_EQ(device_of("\\\\.\\COM3"), "/dev/ttyUSB1");
    EXPECT_EQ(device_of("\\\\.\\COM9"), "/dev/ttyUSB4");
    EXPECT_EQ(device_of("\\\\.\\COM10"), "/dev/ttyACM5");
    EXPECT_EQ(device_of("\\\\.\\COM19"), "/dev/ttyUSB9");
    EXPECT_EQ(device_of("\\\\.\\COM20"), "/dev/ttyACM10");
}

TEST(port_names, the_21_names_are_21_devices) {
    std::set<std::string> devices;
    for (int number = 0; number <= 20; ++number) {
        devices.insert(device_of(("\\\\.\\COM" + std::to_string(number)).c_str()));
    }
    EXPECT_EQ(devices.size(), 21u);
    EXPECT_EQ(devices.count("none"), 0u);
}

TEST(port_names, device_names_are_not_case_sensitive) {
    EXPECT_EQ(device_of("\\\\.\\com3"), "/dev/ttyUSB1");
    EXPECT_EQ(device_of("\\\\.\\Com4"), "/dev/ttyACM2");
}

TEST(port_names, any_other_name_is_no_port) {
    for (const char* name : {"\\\\.\\COM21", "\\\\.\\COM99", "\\\\.\\COM03", "\\\\.\\COM00", "\\\\.\\COM",
                             "\\\\.\\COM-1", "\\\\.\\COM+1", "\\\\.\\COM 1", "\\\\.\\COM1x",
                             "\\\\.\\LPT1", "\\\\.\\COM4294967297", ""}) {
        EXPECT_EQ(device_of(name), "none") << name;
    }
    char path[32];
    EXPECT_FALSE(device_path_for_port(nullptr, path, sizeof path));
}

// A port named on the command line reaches CreateFileA as its path.
TEST(port_names, a_name_outside_the_device_namespace_is_a_path_and_opens_as_it_is) {
    EXPECT_EQ(device_of("/dev/ttyUSB3"), "/dev/ttyUSB3");
    EXPECT_EQ(device_of("/dev/serial/by-id/usb-x-if00"), "/dev/serial/by-id/usb-x-if00");
    EXPECT_EQ(device_of("COM1"), "COM1");
}

TEST(port_names, a_path_that_does_not_fit_is_refused) {
    char path[12];
    EXPECT_FALSE(device_path_for_port("\\\\.\\COM20", path, sizeof path));
    EXPECT_FALSE(device_path_for_port("/dev/ttyUSB10", path, sizeof path));
    EXPECT_TRUE(device_path_for_port("/dev/ttyS10", path, sizeof path));
}

TEST(locale_charset, the_first_set_variable_decides) {
    EXPECT_TRUE(charset_is_utf8(nullptr, nullptr, "C.UTF-8"));
    EXPECT_TRUE(charset_is_utf8(nullptr, nullptr, "en_GB.utf8"));
    EXPECT_TRUE(charset_is_utf8("de_DE.UTF-8@euro", nullptr, "C"));
    EXPECT_TRUE(charset_is_utf8("", "fr_FR.UTF-8", "C"));
    EXPECT_FALSE(charset_is_utf8("C", "fr_FR.UTF-8", "C.UTF-8"));
    EXPECT_FALSE(charset_is_utf8(nullptr, nullptr, "en_US.ISO-8859-1"));
    EXPECT_FALSE(charset_is_utf8(nullptr, nullptr, nullptr));
    EXPECT_FALSE(charset_is_utf8("", "", ""));
}

TEST(console_size, the_layout_needs_119_by_25) {
    EXPECT_TRUE(size_is_enough(119, 25));
    EXPECT_TRUE(size_is_enough(200, 60));
    EXPECT_FALSE(size_is_enough(118, 25));
    EXPECT_FALSE(size_is_enough(119, 24));
    EXPECT_FALSE(size_is_enough(80, 24));
}

TEST(console_size, the_message_names_both_sizes) {
    char text[160];
    const std::size_t length = format_size_message(80, 24, text, sizeof text);
    EXPECT_EQ(std::string(text, length),
              "zcal needs a terminal of at least 119 x 25; this one is 80 x 24. "
              "Enlarge it or press Ctrl-C.");
    char short_text[10];
    EXPECT_EQ(format_size_message(80, 24, short_text, sizeof short_text), 9u);
}

COMMTIMEOUTS timeouts(DWORD interval, DWORD multiplier, DWORD constant, DWORD write_multiplier = 0,
                      DWORD write_constant = 0) {
    return COMMTIMEOUTS{interval, multiplier, constant, write_multiplier, write_constant};
}

TEST(plan_read, the_program_s_time_outs_give_2_ms_for_one_byte) {
    const read_plan plan = plan_read(timeouts(1, 1, 1), 1);
    EXPECT_FALSE(plan.immediate);
    EXPECT_FALSE(plan.any_byte_ends);
    EXPECT_TRUE(plan.has_total);
    EXPECT_EQ(plan.total_ms, 2u);
    EXPECT_TRUE(plan.has_interval);
    EXPECT_EQ(plan.interval_ms, 1u);
}

TEST(plan_read, the_total_grows_with_the_length) {
    EXPECT_EQ(plan_read(timeouts(0, 3, 10), 100).total_ms, 310u);
    EXPECT_EQ(plan_read(timeouts(0, maxdword, 0), 4).total_ms, 4ull * maxdword);
}

TEST(plan_read, all_zero_waits_for_every_byte) {
    const read_plan plan = plan_read(timeouts(0, 0, 0), 10);
    EXPECT_FALSE(plan.immediate);
    EXPECT_FALSE(plan.has_total);
    EXPECT_FALSE(plan.has_interval);
}

TEST(plan_read, the_two_special_forms) {
    EXPECT_TRUE(plan_read(timeouts(maxdword, 0, 0), 10).immediate);
    const read_plan any = plan_read(timeouts(maxdword, maxdword, 50), 10);
    EXPECT_TRUE(any.any_byte_ends);
    EXPECT_EQ(any.total_ms, 50u);
    EXPECT_FALSE(plan_read(timeouts(maxdword, 0, 5), 10).immediate);
}

TEST(write_wait_limit, no_write_time_out_is_bounded_all_the_same) {
    EXPECT_EQ(write_wait_limit_ms(timeouts(1, 1, 1, 0, 0), 17), unbounded_write_limit_ms);
    EXPECT_EQ(write_wait_limit_ms(timeouts(1, 1, 1, 2, 5), 17), 39u);
}

DCB program_dcb() {
    DCB settings{};
    settings.DCBlength = sizeof settings;
    settings.BaudRate = 250000;
    settings.ByteSize = 8;
    settings.Parity = NOPARITY;
    settings.StopBits = ONESTOPBIT;
    settings.fBinary = 1;
    return settings;
}

TEST(serial_line_from_dcb, the_program_s_line_is_250000_8n1_without_flow_control) {
    serial_line line{};
    ASSERT_TRUE(serial_line_from_dcb(program_dcb(), &line));
    EXPECT_EQ(line.baud, 250000u);
    EXPECT_EQ(line.data_bits, 8u);
    EXPECT_EQ(line.parity, 'n');
    EXPECT_EQ(line.stop_bits, 1u);
    EXPECT_FALSE(line.rts_cts);
    EXPECT_FALSE(line.xon_xoff_out);
    EXPECT_FALSE(line.xon_xoff_in);
}

TEST(serial_line_from_dcb, framing_and_flow_control_as_asked) {
    DCB settings = program_dcb();
    settings.ByteSize = 7;
    settings.Parity = EVENPARITY;
    settings.StopBits = TWOSTOPBITS;
    settings.fOutxCtsFlow = 1;
    settings.fOutX = 1;
    settings.fInX = 1;
    serial_line line{};
    ASSERT_TRUE(serial_line_from_dcb(settings, &line));
    EXPECT_EQ(line.data_bits, 7u);
    EXPECT_EQ(line.parity, 'e');
    EXPECT_EQ(line.stop_bits, 2u);
    EXPECT_TRUE(line.rts_cts);
    EXPECT_TRUE(line.xon_xoff_out);
    EXPECT_TRUE(line.xon_xoff_in);
    EXPECT_EQ(line.xon, 0x11);
    EXPECT_EQ(line.xoff, 0x13);
    settings.StopBits = ONE5STOPBITS;
    settings.Parity = SPACEPARITY;
    ASSERT_TRUE(serial_line_from_dcb(settings, &line));
    EXPECT_EQ(line.stop_bits, 2u);
    EXPECT_EQ(line.parity, 's');
}

TEST(serial_line_from_dcb, what_no_line_can_do_is_refused) {
    serial_line line{};
    DCB settings = program_dcb();
    settings.BaudRate = 0;
    EXPECT_FALSE(serial_line_from_dcb(settings, &line));
    settings = program_dcb();
    settings.ByteSize = 9;
    EXPECT_FALSE(serial_line_from_dcb(settings, &line));
    settings.ByteSize = 0;  // a cleared record with only a rate
    EXPECT_FALSE(serial_line_from_dcb(settings, &line));
    settings = program_dcb();
    settings.Parity = 5;
    EXPECT_FALSE(serial_line_from_dcb(settings, &line));
    settings = program_dcb();
    settings.StopBits = 3;
    EXPECT_FALSE(serial_line_from_dcb(settings, &line));
}

}  // namespace
