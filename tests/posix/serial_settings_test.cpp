// The line-settings record read into a serial line.
#include <gtest/gtest.h>

#include "platform/posix/serial_settings.h"

namespace {

using namespace zcal_posix;

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
