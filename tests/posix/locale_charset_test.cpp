// Whether the locale variables ask for UTF-8.
#include <gtest/gtest.h>

#include "platform/posix/locale_charset.h"

namespace {

using namespace zcal_posix;

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

}  // namespace
