// Turns the bytes a terminal sends for key presses into console key records.
//
// A pure state machine: bytes and the time they arrived go in, records come
// out into an array the caller supplies. It does no I/O and keeps no global
// state, so it can be driven from a table of cases or from a fuzzer.
//
// The program acts on six letters and Space, so that is all the decoder
// names. Every record is a key-down (bKeyDown TRUE, wRepeatCount 1) whose
// code is one of:
//   - a letter's upper-case code, whatever the case, also with Alt (ESC and
//     the letter) or Ctrl (Ctrl-A is 0x01);
//   - VK_SPACE, for Space and Ctrl-Space;
//   - vk_other_key, for every other key: one record per character, per
//     lone Escape, and per whole escape sequence, whatever it names.
// A byte inside an escape sequence never comes out as a key of its own.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

namespace zcal_posix {

// The code of every key that is no letter and no Space. No key has it on
// Windows, so it can never be taken for one the program acts on.
constexpr WORD vk_other_key = 0;

// A lone ESC byte is the Escape key only once this long has passed without a
// byte after it; until then it may start a sequence or mean Alt.
constexpr std::uint64_t key_decoder_escape_ms = 100;
// An unfinished sequence (ESC [ 1 ; waiting for its final byte, half a UTF-8
// character) is given up, as one record, after this long. It is long on
// purpose: a sequence split by a slow link must not fall apart into keys.
constexpr std::uint64_t key_decoder_sequence_ms = 1000;

struct key_decoder {
    int state;                       // where in a sequence the decoder stands (key_decoder.cpp)
    std::size_t parameter_bytes;     // of the CSI or SS3 sequence so far
    bool only_digits;                // those parameter bytes are all digits
    std::size_t bytes_still_needed;  // UTF-8 continuation or raw report bytes
    std::uint64_t sequence_started_ms;
    bool utf8;
    // Right after a lone ESC was given out on its time-out, a '[' or 'O'
    // still continues it: the rest of a sequence whose ESC came late.
    std::uint64_t late_sequence_until_ms;
};

// Starts a decoder with nothing pending. utf8: the terminal sends UTF-8
// (otherwise every byte is one character, ISO 8859-1).
void key_decoder_init(key_decoder* decoder, bool utf8);

// The most records one feed of length bytes, or one expire or finish call
// (length 0), can give: room for this many never loses a record.
constexpr std::size_t key_decoder_max_records(std::size_t length) { return length + 1; }

// Decodes bytes that arrived at now_ms. Stores at most capacity records in
// out and gives their number; records beyond capacity are lost.
std::size_t key_decoder_feed(key_decoder* decoder, const unsigned char* bytes, std::size_t length,
                             std::uint64_t now_ms, INPUT_RECORD* out, std::size_t capacity);

// Time has passed with no byte: gives out what waited longer than its
// time-out (a lone ESC as the Escape key, an unfinished sequence as one
// record). Call it when key_decoder_deadline has come.
std::size_t key_decoder_expire(key_decoder* decoder, std::uint64_t now_ms, INPUT_RECORD* out,
                               std::size_t capacity);

// The input has ended: gives out whatever is pending, at once.
std::size_t key_decoder_finish(key_decoder* decoder, INPUT_RECORD* out, std::size_t capacity);

// When key_decoder_expire will next have something to give, in the time of
// the feed calls; UINT64_MAX when nothing is pending.
std::uint64_t key_decoder_deadline(const key_decoder* decoder);

}  // namespace zcal_posix
