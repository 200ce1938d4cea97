// The terminal key decoder against any byte stream, split into reads at any
// points and arriving at any times.
//
// Input: a flag byte (bit 0: the terminal sends UTF-8), then operations:
// an operation byte and a gap in milliseconds; operation 0-2 feeds a chunk
// (a length byte and the bytes), operation 3 lets time pass to the decoder's
// deadline and expires what waited, as the input layer does.
//
// What must hold:
//   - no call gives more records than key_decoder_max_records promises;
//   - every record is a key-down with a repeat count of 1, or a focus record;
//   - a step key or Space is never invented or reordered: the records with
//     those codes are, in order, a subsequence of the bytes that can mean
//     them (the letter in either case, its Ctrl code; Space, Ctrl-Space);
//   - how the bytes are split into reads makes no difference: the same bytes
//     at the same times, fed one by one, give the same records;
//   - nothing is held for ever: a pending sequence is due within the longest
//     time-out, expiring it at its deadline leaves nothing pending, and after
//     finish the decoder takes a plain "a" as exactly one A key.
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "platform/posix/key_decoder.h"

namespace {

using namespace zcal_posix;

// The codes that move the printer or end the loop, and the bytes that may
// legitimately ask for each.
bool step_or_space(WORD code) {
    return code == 'A' || code == 'Z' || code == 'E' || code == 'R' || code == 'T' || code == 'Y' ||
           code == VK_SPACE;
}

WORD code_a_byte_may_mean(unsigned char byte) {
    if (byte == ' ' || byte == 0x00) {
        return VK_SPACE;
    }
    WORD letter = 0;
    if (byte >= 'a' && byte <= 'z') {
        letter = static_cast<WORD>(byte - 'a' + 'A');
    } else if (byte >= 'A' && byte <= 'Z') {
        letter = byte;
    } else if (byte >= 0x01 && byte <= 0x1A) {
        letter = static_cast<WORD>('A' + byte - 1);
    }
    return step_or_space(letter) ? letter : 0;
}

struct decoder_run {
    key_decoder decoder;
    std::vector<INPUT_RECORD> records;

    void take(const INPUT_RECORD* out, std::size_t count, std::size_t promised) {
        FUZZ_CHECK(count <= promised);
        for (std::size_t i = 0; i < count; ++i) {
            const INPUT_RECORD& record = out[i];
            if (record.EventType == KEY_EVENT) {
                FUZZ_CHECK(record.Event.KeyEvent.bKeyDown == TRUE);
                FUZZ_CHECK(record.Event.KeyEvent.wRepeatCount == 1);
            } else {
                FUZZ_CHECK(record.EventType == FOCUS_EVENT);
            }
            records.push_back(record);
        }
    }

    void feed(const unsigned char* bytes, std::size_t length, std::uint64_t now_ms) {
        // More room than promised, so an overrun would show.
        std::vector<INPUT_RECORD> out(key_decoder_max_records(length) + 8);
        const std::size_t count =
            key_decoder_feed(&decoder, bytes, length, now_ms, out.data(), out.size());
        take(out.data(), count, key_decoder_max_records(length));
    }

    void expire(std::uint64_t now_ms) {
        INPUT_RECORD out[key_decoder_max_records(0) + 8];
        const std::size_t count = key_decoder_expire(&decoder, now_ms, out, sizeof out / sizeof out[0]);
        take(out, count, key_decoder_max_records(0));
    }

    void finish() {
        INPUT_RECORD out[key_decoder_max_records(0) + 8];
        const std::size_t count = key_decoder_finish(&decoder, out, sizeof out / sizeof out[0]);
        take(out, count, key_decoder_max_records(0));
    }
};

bool same_records(const std::vector<INPUT_RECORD>& a, const std::vector<INPUT_RECORD>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].EventType != b[i].EventType) {
            return false;
        }
        if (a[i].EventType == KEY_EVENT) {
            const KEY_EVENT_RECORD& x = a[i].Event.KeyEvent;
            const KEY_EVENT_RECORD& y = b[i].Event.KeyEvent;
            if (x.wVirtualKeyCode != y.wVirtualKeyCode || x.dwControlKeyState != y.dwControlKeyState ||
                x.uChar.AsciiChar != y.uChar.AsciiChar) {
                return false;
            }
        } else if (a[i].Event.FocusEvent.bSetFocus != b[i].Event.FocusEvent.bSetFocus) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz_input input{data, size};
    const bool utf8 = input.byte() & 1;
    decoder_run whole;  // each chunk in one feed
    decoder_run split;  // the same bytes one at a time
    key_decoder_init(&whole.decoder, utf8);
    key_decoder_init(&split.decoder, utf8);

    std::string all_bytes;
    std::uint64_t now_ms = 1000;
    while (!input.empty()) {
        const std::uint8_t operation = input.byte();
        now_ms += input.byte();
        if (operation % 4 == 3) {
            const std::uint64_t deadline = key_decoder_deadline(&whole.decoder);
            FUZZ_CHECK(deadline == key_decoder_deadline(&split.decoder));
            if (deadline != UINT64_MAX && deadline > now_ms) {
                now_ms = deadline;
            }
            whole.expire(now_ms);
            split.expire(now_ms);
            if (deadline != UINT64_MAX) {
                FUZZ_CHECK(key_decoder_deadline(&whole.decoder) == UINT64_MAX);
            }
            continue;
        }
        const std::string chunk = input.bytes(input.byte());
        const auto* bytes = reinterpret_cast<const unsigned char*>(chunk.data());
        whole.feed(bytes, chunk.size(), now_ms);
        // A feed first gives up what waited past its time-out; so does an
        // empty one.
        split.feed(bytes, 0, now_ms);
        for (std::size_t i = 0; i < chunk.size(); ++i) {
            split.feed(bytes + i, 1, now_ms);
        }
        all_bytes += chunk;
        const std::uint64_t deadline = key_decoder_deadline(&whole.decoder);
        FUZZ_CHECK(deadline == UINT64_MAX || deadline <= now_ms + key_decoder_sequence_ms);
    }
    whole.finish();
    split.finish();
    FUZZ_CHECK(same_records(whole.records, split.records));
    FUZZ_CHECK(key_decoder_deadline(&whole.decoder) == UINT64_MAX);

    // Step keys and Space: a subsequence of the bytes that may mean them.
    std::size_t at = 0;
    for (const INPUT_RECORD& record : whole.records) {
        if (record.EventType != KEY_EVENT || !step_or_space(record.Event.KeyEvent.wVirtualKeyCode)) {
            continue;
        }
        while (at < all_bytes.size() &&
               code_a_byte_may_mean(static_cast<unsigned char>(all_bytes[at])) !=
                   record.Event.KeyEvent.wVirtualKeyCode) {
            ++at;
        }
        FUZZ_CHECK(at < all_bytes.size());
        ++at;
    }

    // Not wedged: a plain key after all that is one key.
    whole.records.clear();
    whole.feed(reinterpret_cast<const unsigned char*>("a"), 1, now_ms + 5000);
    FUZZ_CHECK(whole.records.size() == 1 && whole.records[0].Event.KeyEvent.wVirtualKeyCode == 'A');
    return 0;
}
