// The key decoder, from tables: bytes (and when they came) in, records out.
#include "platform/posix/key_decoder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace zcal_posix;

// A record in short: its virtual-key code in hex ("00" is vk_other_key).
std::string describe(const INPUT_RECORD& record) {
    char text[16];
    std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(record.Event.KeyEvent.wVirtualKeyCode));
    return text;
}

std::string describe(const std::vector<INPUT_RECORD>& records) {
    std::string text;
    for (const INPUT_RECORD& record : records) {
        text += (text.empty() ? "" : " ") + describe(record);
    }
    return text;
}

// One step of a case: bytes that arrive at a time, or (no bytes) the time
// passing to at_ms with an expire call.
struct step {
    std::string bytes;
    std::uint64_t at_ms;
};

// Runs the steps and checks what every record must be: a key-down with a
// repeat count of one.
std::vector<INPUT_RECORD> run(const std::vector<step>& steps, bool utf8 = true) {
    key_decoder decoder;
    key_decoder_init(&decoder, utf8);
    std::vector<INPUT_RECORD> records;
    for (const step& s : steps) {
        std::vector<INPUT_RECORD> out(key_decoder_max_records(s.bytes.size()));
        const std::size_t count =
            s.bytes.empty()
                ? key_decoder_expire(&decoder, s.at_ms, out.data(), out.size())
                : key_decoder_feed(&decoder, reinterpret_cast<const unsigned char*>(s.bytes.data()),
                                   s.bytes.size(), s.at_ms, out.data(), out.size());
        records.insert(records.end(), out.begin(), out.begin() + static_cast<long>(count));
    }
    for (const INPUT_RECORD& record : records) {
        EXPECT_EQ(record.EventType, KEY_EVENT);
        EXPECT_EQ(record.Event.KeyEvent.bKeyDown, TRUE);
        EXPECT_EQ(record.Event.KeyEvent.wRepeatCount, 1);
    }
    return records;
}

std::string decode(const std::string& bytes) { return describe(run({{bytes, 0}})); }

struct decoder_case {
    const char* name;
    std::string bytes;
    const char* records;
};

class key_decoder_table : public ::testing::TestWithParam<decoder_case> {};

TEST_P(key_decoder_table, one_feed_gives_the_records) {
    EXPECT_EQ(decode(GetParam().bytes), GetParam().records) << GetParam().name;
}

// Built with std::string(ptr, size) where the bytes hold a zero.
const decoder_case cases[] = {
    // Letters by their upper-case letter whatever the case, with Ctrl or Alt.
    {"lower-case step keys", "azerty", "41 5A 45 52 54 59"},
    {"upper-case step keys", "AZERTY", "41 5A 45 52 54 59"},
    {"space and Ctrl-Space", std::string(" \0", 2), "20 20"},
    {"Ctrl-letters are their letter", std::string("\x01\x1a\x05", 3), "41 5A 45"},
    // Ctrl-C reaches the program as a byte only from input that is no
    // terminal's: a terminal turns it into SIGINT first.
    {"Ctrl-C byte", "\x03", "43"},
    {"Backspace, Tab, line feed and Enter are no Ctrl-letters", "\x08\t\n\r\x7f", "00 00 00 00 00"},
    {"digits and punctuation", "09,.;'[]~!@\x1c\x1f", "00 00 00 00 00 00 00 00 00 00 00 00 00"},
    {"Alt-a and Alt-A",
     "\x1b"
     "a\x1b"
     "A",
     "41 41"},
    {"Alt-Space and Alt-Ctrl-E", "\x1b \x1b\x05", "20 45"},
    {"Alt-Enter and Alt-digit",
     "\x1b\r\x1b"
     "1",
     "00 00"},
    {"ESC ESC: the first is Escape", "\x1b\x1b[A", "00 00"},
    // Every whole sequence is one other key, and none of its letters.
    {"arrows, both forms", "\x1b[A\x1b[B\x1bOC\x1bOD", "00 00 00 00"},
    {"keys with modifiers", "\x1b[1;5A\x1b[3;5~\x1b[1;2P\x1bO5P", "00 00 00 00"},
    {"function and editing keys", "\x1bOP\x1b[15~\x1b[24~\x1b[2~\x1b[H\x1b[Z", "00 00 00 00 00 00"},
    {"Linux console F1 and F5", "\x1b[[A\x1b[[E", "00 00"},
    {"rxvt Ctrl-F1 and Shift-Insert", "\x1b[11^\x1b[2$", "00 00"},
    {"a '$' after more than a number is no end", "\x1b[2;3$A", "00"},
    {"keypad Enter and digits", "\x1bOM\x1bOp\x1bOy", "00 00 00"},
    {"focus reports", "\x1b[I\x1b[O", "00 00"},
    {"paste markers", "\x1b[200~\x1b[201~", "00 00"},
    {"X10 mouse report with letters", "\x1b[M AZ", "00"},
    {"X10 mouse report with high bytes", "\x1b[M\xff\xc3\xa9", "00"},
    {"SGR mouse press and release", "\x1b[<0;65;90M\x1b[<0;65;90m", "00 00"},
    {"replies and private forms", "\x1b[24;80R\x1b[?1;2c\x1b[97;5u\x1b[1:2A\x1b[1 q", "00 00 00 00 00"},
    {"overlong CSI is swallowed whole", "\x1b[" + std::string(60, '1') + ";5A", "00"},
    {"overlong SS3 is swallowed whole", "\x1bO" + std::string(40, '5') + "P", "00"},
    {"a CSI cut short by a new ESC", "\x1b[1\x1b[A", "00 00"},
    {"a control byte ends a CSI and counts", "\x1b[1\x05", "00 45"},
    // UTF-8: one record per character, never a letter.
    {"two-, three- and four-byte characters", "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80", "00 00 00"},
    {"Alt and a character", "\x1b\xc3\xa9", "00"},
    {"stray continuation byte", "\xa9", "00"},
    {"cut character then a letter",
     "\xc3"
     "a",
     "00 41"},
    {"invalid lead bytes", "\xc0\xff", "00 00"},
    // A burst as typed.
    {"a burst of keys", "az\x1b[Aer ty", "41 5A 00 45 52 20 54 59"},
};

INSTANTIATE_TEST_SUITE_P(cases, key_decoder_table, ::testing::ValuesIn(cases));

TEST(key_decoder, without_utf8_every_high_byte_is_one_key) {
    EXPECT_EQ(describe(run({{"\xc3\xa9", 0}}, false)), "00 00");
}

TEST(key_decoder, a_lone_escape_waits_for_its_time_out) {
    EXPECT_EQ(describe(run({{"\x1b", 0}, {"", key_decoder_escape_ms - 1}})), "");
    EXPECT_EQ(describe(run({{"\x1b", 0}, {"", key_decoder_escape_ms}})), "00");
}

TEST(key_decoder, an_escape_sequence_split_across_reads_is_one_key) {
    EXPECT_EQ(describe(run({{"\x1b", 0}, {"[", 10}, {"A", 20}})), "00");
    EXPECT_EQ(describe(run({{"\x1b[1;", 0}, {"", 500}, {"5A", 500}})), "00");
    EXPECT_EQ(describe(run({{"\x1b[M ", 0}, {"A", 5}, {"Z", 9}})), "00");
    EXPECT_EQ(describe(run({{"\xe2", 0}, {"\x82", 3}, {"\xac", 6}})), "00");
}

TEST(key_decoder, the_rest_of_a_sequence_whose_escape_timed_out_is_no_letter) {
    // The ESC came, then nothing for longer than its time-out, then the
    // rest: the ESC is the Escape key, and the rest is still one key.
    EXPECT_EQ(describe(run({{"\x1b", 0}, {"", 150}, {"[A", 200}})), "00 00");
    EXPECT_EQ(describe(run({{"\x1b", 0}, {"OB", 400}})), "00 00");
    // A letter after the Escape key is a letter.
    EXPECT_EQ(describe(run({{"\x1b", 0}, {"", 150}, {"a", 200}})), "00 41");
    // Long after, '[' is a key again.
    EXPECT_EQ(describe(run({{"\x1b", 0}, {"", 150}, {"[a", 150 + key_decoder_sequence_ms}})), "00 00 41");
}

TEST(key_decoder, an_unfinished_sequence_is_given_up_as_one_record) {
    EXPECT_EQ(describe(run({{"\x1b[1;5", 0}, {"", key_decoder_sequence_ms - 1}})), "");
    EXPECT_EQ(describe(run({{"\x1b[1;5", 0}, {"", key_decoder_sequence_ms}})), "00");
    EXPECT_EQ(describe(run({{"\x1b[", 0}, {"", key_decoder_sequence_ms}})), "00");
    EXPECT_EQ(describe(run({{"\x1bO", 0}, {"", key_decoder_sequence_ms}})), "4F");
    EXPECT_EQ(describe(run({{"\x1b[M", 0}, {"", key_decoder_sequence_ms}})), "00");
    EXPECT_EQ(describe(run({{"\xc3", 0}, {"", key_decoder_sequence_ms}})), "00");
}

TEST(key_decoder, finish_gives_out_what_is_pending_at_once) {
    key_decoder decoder;
    key_decoder_init(&decoder, true);
    INPUT_RECORD out[4];
    const unsigned char escape = 0x1B;
    EXPECT_EQ(key_decoder_feed(&decoder, &escape, 1, 0, out, 4), 0u);
    ASSERT_EQ(key_decoder_finish(&decoder, out, 4), 1u);
    EXPECT_EQ(describe(out[0]), "00");
    EXPECT_EQ(key_decoder_finish(&decoder, out, 4), 0u);
    EXPECT_EQ(key_decoder_deadline(&decoder), UINT64_MAX);
}

TEST(key_decoder, the_deadline_follows_what_is_pending) {
    key_decoder decoder;
    key_decoder_init(&decoder, true);
    INPUT_RECORD out[4];
    EXPECT_EQ(key_decoder_deadline(&decoder), UINT64_MAX);
    key_decoder_feed(&decoder, reinterpret_cast<const unsigned char*>("\x1b"), 1, 5, out, 4);
    EXPECT_EQ(key_decoder_deadline(&decoder), 5 + key_decoder_escape_ms);
    key_decoder_feed(&decoder, reinterpret_cast<const unsigned char*>("["), 1, 7, out, 4);
    EXPECT_EQ(key_decoder_deadline(&decoder), 5 + key_decoder_sequence_ms);
    key_decoder_feed(&decoder, reinterpret_cast<const unsigned char*>("A"), 1, 8, out, 4);
    EXPECT_EQ(key_decoder_deadline(&decoder), UINT64_MAX);
}

TEST(key_decoder, records_beyond_the_capacity_are_lost_not_written) {
    key_decoder decoder;
    key_decoder_init(&decoder, true);
    INPUT_RECORD out[4];
    std::memset(out, 0x5A, sizeof out);
    EXPECT_EQ(key_decoder_feed(&decoder, reinterpret_cast<const unsigned char*>("aaaaaaaaaa"), 10, 0, out, 3),
              3u);
    EXPECT_EQ(out[3].EventType, 0x5A5A);
}

// Any CSI sequence at all is one other key; but for the two that wait for
// more bytes (ESC [ M, ESC [ [) and rxvt's ESC [ number $, which ends at
// the '$'.
TEST(key_decoder, every_csi_sequence_is_one_other_key) {
    std::mt19937 random(20240601);
    for (int round = 0; round < 20000; ++round) {
        std::string sequence = "\x1b[";
        const int length = static_cast<int>(random() % 40);
        for (int i = 0; i < length; ++i) {
            sequence.push_back(static_cast<char>(0x20 + random() % 0x20));
        }
        const std::size_t digits = sequence.find_first_not_of("0123456789", 2);
        if (digits != std::string::npos && digits > 2 && sequence[digits] == '$') {
            sequence[digits] = ';';
        }
        char final_byte = static_cast<char>(0x40 + random() % 0x3F);
        if (length == 0 && (final_byte == 'M' || final_byte == '[')) {
            final_byte = 'A';
        }
        sequence.push_back(final_byte);
        const std::vector<INPUT_RECORD> records = run({{sequence, 0}});
        ASSERT_EQ(records.size(), 1u) << "round " << round;
        EXPECT_EQ(records[0].Event.KeyEvent.wVirtualKeyCode, vk_other_key) << "round " << round;
    }
}

// Random bytes in random chunks: never more records than the bound, and
// (under the sanitizers) no read or write out of bounds.
TEST(key_decoder, random_input_stays_within_its_bounds) {
    std::mt19937 random(7);
    key_decoder decoder;
    key_decoder_init(&decoder, true);
    std::uint64_t now = 0;
    for (int round = 0; round < 20000; ++round) {
        unsigned char bytes[16];
        const std::size_t length = random() % sizeof bytes;
        for (std::size_t i = 0; i < length; ++i) {
            // Mostly the bytes that matter: ESC, [, O, digits, ;, letters.
            const char* interesting = "\x1b[O0123456789;~ABMaz \xc3\xa9\xe2";
            bytes[i] = random() % 3 == 0 ? static_cast<unsigned char>(random())
                                         : static_cast<unsigned char>(interesting[random() % 24]);
        }
        now += random() % 300;
        // Room for more than the bound, to see that the bound holds.
        INPUT_RECORD out[64];
        const std::size_t count = length == 0 ? key_decoder_expire(&decoder, now, out, 64)
                                              : key_decoder_feed(&decoder, bytes, length, now, out, 64);
        ASSERT_LE(count, key_decoder_max_records(length));
    }
}

}  // namespace
