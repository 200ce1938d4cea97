// Height arithmetic and the move command: what a sequence of step keys sends
// to the printer and shows in the height field.
#include <gtest/gtest.h>

#include <cstring>

#include "app/calibration.h"
#include "fake_fixture.h"

namespace {

struct key_run {
    const char* name;
    std::string keys;  // step keys tapped in order; Space is added at the end
    const char* shown;
};

class step_sequence : public on_fake, public ::testing::WithParamInterface<key_run> {};

TEST_P(step_sequence, sends_and_shows_the_same_single_precision_height) {
    const key_run& run = GetParam();
    const loop_handles handles = open_loop_handles();
    queue_taps(run.keys + " ");

    run_calibration(handles.console_in, handles.console_out, handles.printer_port);

    const std::vector<std::string> lines = sent_lines(0);
    ASSERT_EQ(lines.size(), run.keys.size()) << "one move line per key press";
    EXPECT_EQ(lines.back(), std::string("G1 F600 Z") + run.shown);
    EXPECT_EQ(height_field_text(), (std::string(run.shown) + "          ").substr(0, 10));
    EXPECT_EQ(fake::cell_at(30, 6).attribute, 0x0F);
}

INSTANTIATE_TEST_SUITE_P(keys, step_sequence,
                         ::testing::Values(key_run{"one_up", "A", "201.000"},
                                           key_run{"one_hundredth_down", "Y", "199.990"},
                                           key_run{"up_then_down", "AZ", "200.000"},
                                           key_run{"tenth_up_then_down", "ER", "200.000"},
                                           key_run{"hundredth_up_then_down", "TY", "200.000"},
                                           // Single precision shows after long runs.
                                           key_run{"hundredths_up", repeated('T', 92), "200.919"},
                                           key_run{"hundredths_down", repeated('Y', 92), "199.081"},
                                           key_run{"tenths_up", repeated('E', 82), "208.201"},
                                           key_run{"tenths_down", repeated('R', 82), "191.799"},
                                           // No lower bound: below zero the height is sent as it is.
                                           key_run{"below_zero", repeated('Z', 201), "-1.000"},
                                           key_run{"shorter_text", repeated('Z', 100) + "Y", "99.990"}),
                         [](const ::testing::TestParamInfo<key_run>& test) { return test.param.name; });

TEST(move_command, is_seventeen_bytes_for_200_with_one_line_feed_last) {
    char text[text_buffer_size];
    std::memset(text, 'Q', sizeof text);
    format_move_command(text, 200.0f);
    EXPECT_STREQ(text, "G1 F600 Z200.000\n");
    EXPECT_EQ(std::strlen(text), 17u);
}

TEST(move_command, rounds_the_exact_value_to_three_decimals_ties_to_even) {
    struct rounding {
        float z_height;
        const char* line;
    };
    const rounding cases[] = {
        {199.99f, "G1 F600 Z199.990\n"},    // 199.9900055 just above
        {0.0625f, "G1 F600 Z0.062\n"},      // exact tie, to even
        {0.1875f, "G1 F600 Z0.188\n"},      // exact tie, to even
        {200.0625f, "G1 F600 Z200.062\n"},  // exact tie, to even
        {-0.0625f, "G1 F600 Z-0.062\n"},    // sign kept
        {-0.0f, "G1 F600 Z-0.000\n"},       // sign kept
    };
    char text[text_buffer_size];
    for (const rounding& c : cases) {
        format_move_command(text, c.z_height);
        EXPECT_STREQ(text, c.line) << c.z_height;
    }
}

TEST(move_command, the_largest_height_fits_the_buffer_whole) {
    char text[text_buffer_size];
    format_move_command(text, -3.4028235e38f);
    const std::size_t length = std::strlen(text);
    ASSERT_GT(length, 40u);
    EXPECT_EQ(text[length - 1], '\n');
    EXPECT_EQ(std::strncmp(text, "G1 F600 Z-340282346638528859811704183484516925440.000", 53), 0);
}

}  // namespace
