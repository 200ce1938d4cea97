// The terminal's output buffer and its number formatting.
#include "platform/posix/output_buffer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

using namespace zcal_posix;

void collect(void* context, const char* bytes, std::size_t length) {
    static_cast<std::string*>(context)->append(bytes, length);
}

TEST(output_buffer, a_full_buffer_goes_out_whole_and_nothing_is_lost) {
    std::string sent;
    auto out = std::make_unique<output_buffer>();
    output_init(out.get(), collect, &sent);
    const std::string big(output_buffer_capacity + 100, 'x');
    output_append(out.get(), big.data(), big.size());
    EXPECT_EQ(sent.size(), output_buffer_capacity);
    output_flush(out.get());
    EXPECT_EQ(sent, big);
}

TEST(format_decimal, numbers_without_the_c_library) {
    char text[12];
    EXPECT_EQ(std::string(text, format_decimal(0, text)), "0");
    EXPECT_EQ(std::string(text, format_decimal(25, text)), "25");
    EXPECT_EQ(std::string(text, format_decimal(-7, text)), "-7");
    EXPECT_EQ(std::string(text, format_decimal(2147483647, text)), "2147483647");
}

}  // namespace
