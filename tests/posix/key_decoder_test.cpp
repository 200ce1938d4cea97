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

// A record in short: the virtual-key code in hex, then S, C, A for Shift,
// Ctrl, Alt; "focus+" / "focus-" for focus records.
std::string describe(const INPUT_RECORD& record) {
    if (record.EventType == FOCUS_EVENT) {
        return record.Event.FocusEvent.bSetFocus ? "focus+" : "focus-";
    }
    if (record.EventType != KEY_EVENT) {
        return "?";
    }
    const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
    char text[16];
    std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(key.wVirtualKeyCode));
    std::string described = text;
    if (key.dwControlKeyState & key_state_shift) {
        described += "S";
    }
    if (key.dwControlKeyState & key_state_left_ctrl) {
        described += "C";
    }
    if (key.dwControlKeyState & key_state_left_alt) {
        described += "A";
    }
    return described;
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
    return records;
}

std::string decode(const std::string& bytes) { return describe(run({{bytes, 0}})); }

struct decoder_case {
    const char* name;
    std::string bytes;
    const char* records;
};

class single_feed : public ::testing::TestWithParam<decoder_case> {};

TEST_P(single_feed, gives_the_records) {
    EXPECT_EQ(decode(GetParam().bytes), GetParam().records) << GetParam().name;
}

// Built with std::string(ptr, size) where the bytes hold a zero.
const decoder_case cases[] = {
    // Letters by their upper-case letter whatever the case; Shift noted.
    {"lower-case step keys", "azerty", "41 5A 45 52 54 59"},
    {"upper-case step keys", "AZERTY", "41S 5AS 45S 52S 54S 59S"},
    {"space", " ", "20"},
    {"digits", "09", "30 39"},
    {"enter", "\r", "0D"},
    {"line feed is Ctrl-Enter", "\n", "0DC"},
    {"tab", "\t", "09"},
    {"backspace as DEL", "\x7f", "08"},
    {"backspace as Ctrl-H", "\x08", "08"},
    {"Ctrl-letters carry their letter and Ctrl", std::string("\x01\x1a\x05", 3), "41C 5AC 45C"},
    // Ctrl-C reaches the program as a byte only from input that is no
    // terminal's: a terminal turns it into SIGINT first.
    {"Ctrl-C byte", "\x03", "43C"},
    {"Ctrl-Space is Space", std::string("\0", 1), "20C"},
    {"Ctrl-backslash and friends", "\x1c\x1d\x1e\x1f", "BAC BAC BAC BAC"},
    {"punctuation has no code of its own", ",.;'[]~!@", "BA BA BA BA BA BA BA BA BA"},
    // Cursor keys, both forms, with modifiers.
    {"arrows CSI", "\x1b[A\x1b[B\x1b[C\x1b[D", "26 28 27 25"},
    {"arrows SS3", "\x1bOA\x1bOB\x1bOC\x1bOD", "26 28 27 25"},
    {"Ctrl-Up", "\x1b[1;5A", "26C"},
    {"Shift-Left", "\x1b[1;2D", "25S"},
    {"Alt-Right", "\x1b[1;3C", "27A"},
    {"Meta-Ctrl-Shift-Down", "\x1b[1;16B", "28SCA"},
    {"Home and End", "\x1b[H\x1b[F\x1bOH\x1bOF", "24 23 24 23"},
    {"editing keys", "\x1b[1~\x1b[2~\x1b[3~\x1b[4~\x1b[5~\x1b[6~\x1b[7~\x1b[8~", "24 2D 2E 23 21 22 24 23"},
    {"Ctrl-Delete", "\x1b[3;5~", "2EC"},
    // Function keys: SS3, CSI with numbers, xterm's modified forms, the
    // Linux console's, rxvt's.
    {"F1 to F4 SS3", "\x1bOP\x1bOQ\x1bOR\x1bOS", "70 71 72 73"},
    {"F1 to F5 numbered", "\x1b[11~\x1b[12~\x1b[13~\x1b[14~\x1b[15~", "70 71 72 73 74"},
    {"F6 to F12", "\x1b[17~\x1b[18~\x1b[19~\x1b[20~\x1b[21~\x1b[23~\x1b[24~", "75 76 77 78 79 7A 7B"},
    {"Shift-F1 xterm", "\x1b[1;2P", "70S"},
    {"Ctrl-F5", "\x1b[15;5~", "74C"},
    {"Ctrl-F3 looks like this", "\x1b[1;5R", "72C"},
    {"F1 old xterm with modifier", "\x1bO5P", "70C"},
    {"Linux console F1 and F5", "\x1b[[A\x1b[[E", "70 74"},
    {"rxvt Ctrl-F1 and Shift-F1", "\x1b[11^\x1b[11$", "70C 70S"},
    {"rxvt Shift-Insert", "\x1b[2$", "2DS"},
    {"a '$' after more than a number is no end", "\x1b[2;3$A", "00"},
    {"Shift-Tab", "\x1b[Z", "09S"},
    {"keypad Enter and digits", "\x1bOM\x1bOp\x1bOy\x1bOj", "0D 60 69 6A"},
    {"focus reports", "\x1b[I\x1b[O", "focus+ focus-"},
    // Sequences that name no key: one record each, none of their letters.
    {"paste markers", "\x1b[200~\x1b[201~", "00 00"},
    {"X10 mouse report with letters", "\x1b[M AZ", "00"},
    {"X10 mouse report with high bytes", "\x1b[M\xff\xc3\xa9", "00"},
    {"SGR mouse press and release", "\x1b[<0;65;90M\x1b[<0;65;90m", "00 00"},
    {"urxvt mouse report", "\x1b[32;65;90M", "00"},
    {"cursor position report", "\x1b[24;80R", "00"},
    {"device attributes reply", "\x1b[?1;2c", "00"},
    {"modifyOtherKeys Ctrl-a", "\x1b[27;5;97~", "00"},
    {"kitty key a", "\x1b[97;5u", "00"},
    {"F13 and beyond", "\x1b[25~\x1b[34~", "00 00"},
    {"keypad centre", "\x1b[E", "00"},
    {"unknown SS3", "\x1bOX", "00"},
    {"too many parameters", "\x1b[1;2;3;4;5A", "00"},
    {"sub-parameters", "\x1b[1:2A", "00"},
    {"intermediate byte", "\x1b[1 q", "00"},
    {"overlong CSI is swallowed whole",
     "\x1b[" + std::string(60, '1') + ";5A", "00"},
    {"overlong SS3 is swallowed whole", "\x1bO" + std::string(40, '5') + "P", "00"},
    {"a CSI cut short by a new ESC", "\x1b[1\x1b[A", "00 26"},
    {"a control byte ends a CSI and counts", "\x1b[1\r", "00 0D"},
    // ESC before a key: that key with Alt.
    {"Alt-a", "\x1b" "a", "41A"},
    {"Alt-A", "\x1b" "A", "41SA"},
    {"Alt-Space", "\x1b ", "20A"},
    {"Alt-Enter", "\x1b\r", "0DA"},
    {"ESC ESC: the first is Escape", "\x1b\x1b[A", "1B 26"},
    // UTF-8: one record per character, never a letter.
    {"two-byte character", "\xc3\xa9", "BA"},
    {"three-byte character", "\xe2\x82\xac", "BA"},
    {"four-byte character", "\xf0\x9f\x98\x80", "BA"},
    {"Alt and a character", "\x1b\xc3\xa9", "BAA"},
    {"stray continuation byte", "\xa9", "BA"},
    {"cut character then a letter", "\xc3" "a", "BA 41"},
    {"invalid lead bytes", "\xc0\xff", "BA BA"},
    // A burst as typed.
    {"a burst of keys", "az\x1b[Aer ty", "41 5A 26 45 52 20 54 59"},
};

INSTANTIATE_TEST_SUITE_P(table, single_feed, ::testing::ValuesIn(cases));

TEST(key_decoder, records_are_key_downs_with_a_repeat_count_of_one) {
    const std::vector<INPUT_RECORD> records = run({{"a\x1b[A", 0}});
    ASSERT_EQ(records.size(), 2u);
    for (const INPUT_RECORD& record : records) {
        EXPECT_EQ(record.EventType, KEY_EVENT);
        EXPECT_EQ(record.Event.KeyEvent.bKeyDown, TRUE);
        EXPECT_EQ(record.Event.KeyEvent.wRepeatCount, 1);
    }
    EXPECT_EQ(records[0].Event.KeyEvent.uChar.AsciiChar, 'a');
    EXPECT_EQ(records[1].Event.KeyEvent.dwControlKeyState & key_state_enhanced, key_state_enhanced);
}

TEST(key_decoder, a_character_carries_its_latin_1_byte_when_it_has_one) {
    EXPECT_EQ(static_cast<unsigned char>(run({{"\xc3\xa9", 0}})[0].Event.KeyEvent.uChar.AsciiChar), 0xE9);
    EXPECT_EQ(run({{"\xe2\x82\xac", 0}})[0].Event.KeyEvent.uChar.AsciiChar, '?');
}

TEST(key_decoder, without_utf8_every_high_byte_is_one_character) {
    EXPECT_EQ(describe(run({{"\xc3\xa9", 0}}, false)), "BA BA");
    EXPECT_EQ(static_cast<unsigned char>(run({{"\xe9", 0}}, false)[0].Event.KeyEvent.uChar.AsciiChar), 0xE9);
}

TEST(key_decoder, a_lone_escape_waits_for_its_time_out) {
    EXPECT_EQ(describe(run({{"\x1b", 0}, {"", key_decoder_escape_ms - 1}})), "");
    EXPECT_EQ(describe(run({{"\x1b", 0}, {"", key_decoder_escape_ms}})), "1B");
}

TEST(key_decoder, an_escape_sequence_split_across_reads_is_one_key) {
    EXPECT_EQ(describe(run({{"\x1b", 0}, {"[", 10}, {"A", 20}})), "26");
    EXPECT_EQ(describe(run({{"\x1b[1;", 0}, {"", 500}, {"5A", 500}})), "26C");
    EXPECT_EQ(describe(run({{"\x1b[M ", 0}, {"A", 5}, {"Z", 9}})), "00");
    EXPECT_EQ(describe(run({{"\xe2", 0}, {"\x82", 3}, {"\xac", 6}})), "BA");
}

TEST(key_decoder, the_rest_of_a_sequence_whose_escape_timed_out_is_no_letter) {
    // The ESC came, then nothing for longer than its time-out, then the
    // rest: the ESC is the Escape key, and the rest is still one key.
    EXPECT_EQ(describe(run({{"\x1b", 0}, {"", 150}, {"[A", 200}})), "1B 26");
    EXPECT_EQ(describe(run({{"\x1b", 0}, {"OB", 400}})), "1B 28");
    // A letter after the Escape key is a letter.
    EXPECT_EQ(describe(run({{"\x1b", 0}, {"", 150}, {"a", 200}})), "1B 41");
    // Long after, '[' is a key again.
    EXPECT_EQ(describe(run({{"\x1b", 0}, {"", 150}, {"[a", 150 + key_decoder_sequence_ms}})), "1B BA 41");
}

TEST(key_decoder, an_unfinished_sequence_is_given_up_as_one_record) {
    EXPECT_EQ(describe(run({{"\x1b[1;5", 0}, {"", key_decoder_sequence_ms - 1}})), "");
    EXPECT_EQ(describe(run({{"\x1b[1;5", 0}, {"", key_decoder_sequence_ms}})), "00");
    EXPECT_EQ(describe(run({{"\x1b[", 0}, {"", key_decoder_sequence_ms}})), "BAA");
    EXPECT_EQ(describe(run({{"\x1bO", 0}, {"", key_decoder_sequence_ms}})), "4FSA");
    EXPECT_EQ(describe(run({{"\x1b[M", 0}, {"", key_decoder_sequence_ms}})), "00");
    EXPECT_EQ(describe(run({{"\xc3", 0}, {"", key_decoder_sequence_ms}})), "BA");
}

TEST(key_decoder, finish_gives_out_what_is_pending_at_once) {
    key_decoder decoder;
    key_decoder_init(&decoder, true);
    INPUT_RECORD out[4];
    const unsigned char escape = 0x1B;
    EXPECT_EQ(key_decoder_feed(&decoder, &escape, 1, 0, out, 4), 0u);
    ASSERT_EQ(key_decoder_finish(&decoder, out, 4), 1u);
    EXPECT_EQ(describe(out[0]), "1B");
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
    EXPECT_EQ(key_decoder_feed(&decoder, reinterpret_cast<const unsigned char*>("aaaaaaaaaa"), 10, 0, out, 3), 3u);
    EXPECT_EQ(out[3].EventType, 0x5A5A);
}

bool is_step_or_space(const INPUT_RECORD& record) {
    if (record.EventType != KEY_EVENT) {
        return false;
    }
    const WORD code = record.Event.KeyEvent.wVirtualKeyCode;
    return code == 0x20 || (code >= 0x30 && code <= 0x39) || (code >= 0x41 && code <= 0x5A);
}

// Any CSI sequence at all is one record, and never a letter, digit or
// Space; but for the two that wait for more bytes (ESC [ M, ESC [ [) and
// rxvt's ESC [ number $, which ends at the '$'.
TEST(key_decoder, every_csi_sequence_is_one_record_and_never_a_character_key) {
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
        EXPECT_FALSE(is_step_or_space(records[0])) << "round " << round;
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
