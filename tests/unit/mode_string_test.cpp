// The serial mode string: what the builder makes of it, and what it refuses.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/common/mode_string.h"

namespace {

struct accepted {
    const char* mode;
    DWORD baud;
    BYTE parity;
    BYTE data_bits;
    BYTE stop_bits;
};

TEST(mode_string, fills_what_it_names) {
    const accepted cases[] = {
        {"250000,n,8,1", 250000, NOPARITY, 8, ONESTOPBIT},
        {"9600,E,7,2", 9600, EVENPARITY, 7, TWOSTOPBITS},
        {"96,o,5,1.5", 9600, ODDPARITY, 5, ONE5STOPBITS},
        {"COM3: 115200, n, 8, 1", 115200, NOPARITY, 8, ONESTOPBIT},
        {"baud=250000 parity=n data=8 stop=1", 250000, NOPARITY, 8, ONESTOPBIT},
    };
    for (const accepted& c : cases) {
        DCB settings;
        std::memset(&settings, 0, sizeof settings);
        ASSERT_TRUE(parse_mode_string(c.mode, &settings)) << c.mode;
        EXPECT_EQ(settings.BaudRate, c.baud) << c.mode;
        EXPECT_EQ(settings.Parity, c.parity) << c.mode;
        EXPECT_EQ(settings.ByteSize, c.data_bits) << c.mode;
        EXPECT_EQ(settings.StopBits, c.stop_bits) << c.mode;
        EXPECT_EQ(settings.fBinary, 1u) << c.mode;
        EXPECT_EQ(settings.fOutX | settings.fInX | settings.fOutxCtsFlow, 0u) << c.mode;
    }
}

TEST(mode_string, refuses_what_it_cannot_read_and_leaves_the_record_alone) {
    const char* refused[] = {"",           "abc",          "0,n,8,1",         "250000,q,8,1",
                             "250000,n,9,1", "250000,n,8,3", "250000,n,8,1,z", "250000,n,8,1 junk",
                             "99999999999,n,8,1", "250000;n;8;1", "baud=", "parity=n colour=red",
                             "COM1 250000,n,8,1"};
    for (const char* mode : refused) {
        DCB settings;
        std::memset(&settings, 0xAB, sizeof settings);
        DCB before = settings;
        EXPECT_FALSE(parse_mode_string(mode, &settings)) << '"' << mode << '"';
        EXPECT_EQ(std::memcmp(&settings, &before, sizeof settings), 0) << mode;
    }
}

}  // namespace
