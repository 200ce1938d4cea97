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
        {"110,o,5,1.5", 110, ODDPARITY, 5, ONE5STOPBITS},
        {"4294967295,m,6,1", 4294967295u, MARKPARITY, 6, ONESTOPBIT},
    };
    for (const accepted& c : cases) {
        DCB settings;
        std::memset(&settings, 0xAB, sizeof settings);
        DCB untouched = settings;
        ASSERT_TRUE(parse_mode_string(c.mode, &settings)) << c.mode;
        EXPECT_EQ(settings.BaudRate, c.baud) << c.mode;
        EXPECT_EQ(settings.Parity, c.parity) << c.mode;
        EXPECT_EQ(settings.fParity, c.parity != NOPARITY ? 1u : 0u) << c.mode;
        EXPECT_EQ(settings.ByteSize, c.data_bits) << c.mode;
        EXPECT_EQ(settings.StopBits, c.stop_bits) << c.mode;
        // Nothing else is touched: flow control, the XON/XOFF characters
        // binary mode and the rest keep what the record held.
        untouched.BaudRate = settings.BaudRate;
        untouched.Parity = settings.Parity;
        untouched.fParity = settings.fParity;
        untouched.ByteSize = settings.ByteSize;
        untouched.StopBits = settings.StopBits;
        EXPECT_EQ(std::memcmp(&settings, &untouched, sizeof settings), 0) << c.mode;
    }
}

TEST(mode_string, refuses_anything_but_the_four_fields_and_leaves_the_record_alone) {
    const char* refused[] = {"",
                             "abc",
                             "0,n,8,1",
                             "250000,q,8,1",
                             "250000,n,9,1",
                             "250000,n,4,1",
                             "250000,n,8,3",
                             "250000,n,8,1.2",
                             "250000,n,8,1,x",
                             "250000,n,8,1 ",
                             "250000,n,8",
                             "250000",
                             "4294967296,n,8,1",
                             "250000;n;8;1",
                             "250000, n, 8, 1",
                             "COM3:250000,n,8,1",
                             "baud=250000 parity=n data=8 stop=1",
                             "+250000,n,8,1",
                             "250000,,8,1"};
    for (const char* mode : refused) {
        DCB settings;
        std::memset(&settings, 0xAB, sizeof settings);
        const DCB before = settings;
        EXPECT_FALSE(parse_mode_string(mode, &settings)) << '"' << mode << '"';
        EXPECT_EQ(std::memcmp(&settings, &before, sizeof settings), 0) << mode;
    }
}

}  // namespace
