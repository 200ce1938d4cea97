// The terminal key decoder against any byte stream, split into reads at any
// points and arriving at any times.
//
// Input: a flag byte (bit 0: the terminal sends UTF-8; bit 1: the rest is
// whole keys, see below), then operations: an operation byte and a gap in
// milliseconds; operation 0-2 feeds a chunk (a length byte and the bytes),
// operation 3 lets time pass to the decoder's deadline and expires what
// waited, as the input layer does.
//
// With bit 1 the rest is read as a list of whole keys instead: plain bytes,
// Alt and a byte, complete CSI and SS3 sequences, mouse reports and UTF-8
// characters, sent back to back. Each must give exactly one record, and a
// sequence the other-key code: a byte inside a sequence never comes out as a
// key of its own.
//
// What must hold:
//   - no call gives more records than key_decoder_max_records promises;
//   - every record is a key-down with a repeat count of 1, and its code is a
//     letter, Space or the other-key code;
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
            FUZZ_CHECK(record.EventType == KEY_EVENT);
            FUZZ_CHECK(record.Event.KeyEvent.bKeyDown == TRUE);
            FUZZ_CHECK(record.Event.KeyEvent.wRepeatCount == 1);
            const WORD code = record.Event.KeyEvent.wVirtualKeyCode;
            FUZZ_CHECK((code >= 'A' && code <= 'Z') || code == VK_SPACE || code == vk_other_key);
            records.push_back(record);
        }
    }

    void feed(const unsigned char* bytes, std::size_t length, std::uint64_t now_ms) {
        // More room than promised, so an overrun would show.
        std::vector<INPUT_RECORD> out(key_decoder_max_records(length) + 8);
        const std::size_t count = key_decoder_feed(&decoder, bytes, length, now_ms, out.data(), out.size());
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
        if (a[i].Event.KeyEvent.wVirtualKeyCode != b[i].Event.KeyEvent.wVirtualKeyCode) {
            return false;
        }
    }
    return true;
}

// Whole keys, as a terminal sends them.
struct key_list {
    std::string bytes;
    std::size_t keys = 0;
    std::vector<bool> is_sequence;  // per key: a CSI, SS3 or mouse report
};

bool utf8_lead(unsigned char byte) { return byte >= 0xC2 && byte <= 0xF4; }

key_list whole_keys(fuzz_input* input, bool utf8) {
    key_list list;
    auto add = [&list](const std::string& key, bool sequence) {
        list.bytes += key;
        ++list.keys;
        list.is_sequence.push_back(sequence);
    };
    while (!input->empty()) {
        const std::uint8_t kind = input->byte();
        unsigned char byte = input->byte();
        switch (kind % 6) {
            case 0:  // a byte that is a key by itself
            case 1:  // Alt and that byte
                if (byte == 0x1B || (utf8 && utf8_lead(byte)))
                    byte = '.';
                if (kind % 6 == 1 && (byte == '[' || byte == 'O'))
                    byte = '.';
                add(std::string(kind % 6 == 1 ? "\x1b" : "") + static_cast<char>(byte), false);
                break;
            case 2:
            case 3: {  // CSI or SS3: parameter bytes, then a final byte
                std::string key = kind % 6 == 2 ? "\x1b[" : "\x1bO";
                for (int n = byte % 8; n > 0; --n)
                    key += static_cast<char>(0x30 + input->byte() % 16);
                unsigned char final_byte = static_cast<unsigned char>(0x40 + input->byte() % 63);
                // ESC [ M and ESC [ [ with nothing between open longer forms.
                if (key.size() == 2 && (final_byte == 'M' || final_byte == '['))
                    final_byte = '~';
                add(key + static_cast<char>(final_byte), true);
                break;
            }
            case 4:  // a mouse report: three bytes of any value
                add(std::string("\x1b[M") + static_cast<char>(byte) + static_cast<char>(input->byte()) +
                        static_cast<char>(input->byte()),
                    true);
                break;
            default: {  // a character beyond ASCII
                if (!utf8) {
                    add(std::string(1, static_cast<char>(byte | 0x80)), false);
                    break;
                }
                const unsigned code = 0x80 + ((static_cast<unsigned>(byte) << 8 | input->byte()) % 0x10FF80);
                std::string key;
                if (code < 0x800) {
                    key += static_cast<char>(0xC0 | (code >> 6));
                } else if (code < 0x10000) {
                    key += static_cast<char>(0xE0 | (code >> 12));
                    key += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
                } else {
                    key += static_cast<char>(0xF0 | (code >> 18));
                    key += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
                    key += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
                }
                key += static_cast<char>(0x80 | (code & 0x3F));
                add(key, false);
                break;
            }
        }
    }
    return list;
}

void check_whole_keys(fuzz_input* input, bool utf8) {
    const key_list list = whole_keys(input, utf8);
    decoder_run run;
    key_decoder_init(&run.decoder, utf8);
    run.feed(reinterpret_cast<const unsigned char*>(list.bytes.data()), list.bytes.size(), 1000);
    run.finish();
    FUZZ_CHECK(run.records.size() == list.keys);
    for (std::size_t i = 0; i < run.records.size(); ++i) {
        if (list.is_sequence[i]) {
            FUZZ_CHECK(run.records[i].Event.KeyEvent.wVirtualKeyCode == vk_other_key);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz_input input{data, size};
    const std::uint8_t flags = input.byte();
    const bool utf8 = flags & 1;
    if (flags & 2) {
        check_whole_keys(&input, utf8);
        return 0;
    }
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
        if (!step_or_space(record.Event.KeyEvent.wVirtualKeyCode)) {
            continue;
        }
        while (at < all_bytes.size() && code_a_byte_may_mean(static_cast<unsigned char>(all_bytes[at])) !=
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
