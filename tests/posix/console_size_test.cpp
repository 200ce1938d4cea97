// The size the screen needs, and the message on a smaller terminal.
#include <gtest/gtest.h>

#include <string>

#include "platform/posix/console_size.h"

namespace {

using namespace zcal_posix;

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

}  // namespace
