#include "platform/posix/key_decoder.h"

#include <cstring>

namespace zcal_posix {

namespace {

constexpr unsigned char escape_byte = 0x1B;

enum decoder_state {
    ground,
    after_escape,  // ESC
    in_csi,        // ESC [ and its parameter bytes
    in_ss3,        // ESC O and its parameter bytes
    in_raw_bytes,  // a report whose last bytes may have any value
    in_utf8,       // a UTF-8 lead byte, continuation bytes to come
};

struct record_sink {
    INPUT_RECORD* out;
    std::size_t capacity;
    std::size_t count;
};

void push_key(record_sink* sink, WORD virtual_key) {
    if (sink->count == sink->capacity) {
        return;
    }
    INPUT_RECORD& record = sink->out[sink->count++];
    std::memset(&record, 0, sizeof record);
    record.EventType = KEY_EVENT;
    record.Event.KeyEvent.bKeyDown = TRUE;
    record.Event.KeyEvent.wRepeatCount = 1;
    record.Event.KeyEvent.wVirtualKeyCode = virtual_key;
}

// The key one byte outside any sequence stands for. Alt (an ESC before it)
// and Ctrl make no difference to which key it is.
WORD key_for_byte(unsigned char byte) {
    if (byte >= 'a' && byte <= 'z') {
        return static_cast<WORD>(byte - 'a' + 'A');
    }
    if (byte >= 'A' && byte <= 'Z') {
        return byte;
    }
    if (byte == ' ' || byte == 0x00) {  // 0x00 is Ctrl-Space
        return VK_SPACE;
    }
    // Ctrl-A to Ctrl-Z, but for the four that terminals send for Backspace,
    // Tab, Ctrl-Enter and Enter: those keys are far more often meant.
    if (byte >= 0x01 && byte <= 0x1A && byte != 0x08 && byte != 0x09 && byte != 0x0A && byte != 0x0D) {
        return static_cast<WORD>('A' + byte - 1);
    }
    return vk_other_key;
}

int utf8_continuations(unsigned char lead) {
    if (lead >= 0xC2 && lead <= 0xDF) {
        return 1;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        return 2;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        return 3;
    }
    return 0;  // a continuation byte, an overlong lead, or beyond U+10FFFF
}

bool is_final_byte(unsigned char byte) { return byte >= 0x40 && byte <= 0x7E; }
bool is_parameter_byte(unsigned char byte) { return byte >= 0x20 && byte <= 0x3F; }

void start_sequence(key_decoder* d, decoder_state state, std::uint64_t now_ms) {
    d->state = state;
    d->parameter_bytes = 0;
    d->only_digits = true;
    d->bytes_still_needed = 0;
    d->sequence_started_ms = now_ms;
}

void start_utf8(key_decoder* d, unsigned char lead, std::uint64_t now_ms) {
    start_sequence(d, in_utf8, now_ms);
    d->bytes_still_needed = static_cast<std::size_t>(utf8_continuations(lead));
}

// What a sequence's first byte after ESC [ says about the rest: an X10
// mouse report (ESC [ M) has three raw bytes of button and position, the
// Linux console's F1 to F5 (ESC [ [ A to E) one more letter.
std::size_t raw_bytes_after(unsigned char byte) {
    if (byte == 'M') {
        return 3;
    }
    return byte == '[' ? 1 : 0;
}

// Gives out what is pending as one record and goes back to ground. On the
// time-out of a lone ESC, a '[' or 'O' soon after still continues it.
void give_up_sequence(key_decoder* d, record_sink* sink, std::uint64_t now_ms, bool timed_out) {
    if (d->state == ground) {
        return;
    }
    // ESC O with nothing after it is Alt-O; anything else pending (a lone
    // ESC, Alt-[, a cut sequence or character) is some other key.
    push_key(sink, d->state == in_ss3 && d->parameter_bytes == 0 ? WORD{'O'} : vk_other_key);
    if (d->state == after_escape && timed_out) {
        d->late_sequence_until_ms = now_ms + key_decoder_sequence_ms;
    }
    d->state = ground;
}

// Handles one byte; gives false when the byte ended a sequence without
// belonging to it and must be handled again from ground.
bool take_byte(key_decoder* d, unsigned char byte, std::uint64_t now_ms, record_sink* sink) {
    switch (d->state) {
        case ground: {
            const bool late = now_ms < d->late_sequence_until_ms;
            d->late_sequence_until_ms = 0;
            if (late && (byte == '[' || byte == 'O')) {
                start_sequence(d, byte == '[' ? in_csi : in_ss3, now_ms);
            } else if (byte == escape_byte) {
                start_sequence(d, after_escape, now_ms);
            } else if (d->utf8 && utf8_continuations(byte) > 0) {
                start_utf8(d, byte, now_ms);
            } else {
                push_key(sink, key_for_byte(byte));
            }
            return true;
        }
        case after_escape:
            if (byte == '[' || byte == 'O') {
                // The sequence keeps the time of its ESC.
                d->state = byte == '[' ? in_csi : in_ss3;
            } else if (byte == escape_byte) {
                give_up_sequence(d, sink, now_ms, false);
                start_sequence(d, after_escape, now_ms);
            } else if (d->utf8 && utf8_continuations(byte) > 0) {
                start_utf8(d, byte, now_ms);  // Alt and a character
            } else {
                d->state = ground;  // ESC and a key: that key with Alt
                push_key(sink, key_for_byte(byte));
            }
            return true;
        case in_csi:
        case in_ss3:
            if (d->state == in_csi && d->parameter_bytes == 0 && raw_bytes_after(byte) > 0) {
                d->state = in_raw_bytes;
                d->bytes_still_needed = raw_bytes_after(byte);
                return true;
            }
            // rxvt ends its Shift-modified keys with '$' (ESC [ 2 $ for
            // Shift-Insert), which is no final byte: right after a number it
            // ends the sequence all the same, or it would eat the next key.
            if (is_final_byte(byte) ||
                (d->state == in_csi && byte == '$' && d->parameter_bytes > 0 && d->only_digits)) {
                push_key(sink, vk_other_key);
                d->state = ground;
                return true;
            }
            if (is_parameter_byte(byte)) {
                ++d->parameter_bytes;
                d->only_digits = d->only_digits && byte >= '0' && byte <= '9';
                return true;
            }
            give_up_sequence(d, sink, now_ms, false);
            return false;
        case in_raw_bytes:
            // Whatever they are, they are part of the report and never keys.
            if (--d->bytes_still_needed == 0) {
                push_key(sink, vk_other_key);
                d->state = ground;
            }
            return true;
        case in_utf8:
            if (byte >= 0x80 && byte <= 0xBF) {
                if (--d->bytes_still_needed == 0) {
                    push_key(sink, vk_other_key);
                    d->state = ground;
                }
                return true;
            }
            give_up_sequence(d, sink, now_ms, false);
            return false;
        default:
            d->state = ground;
            return false;
    }
}

}  // namespace

void key_decoder_init(key_decoder* decoder, bool utf8) {
    std::memset(decoder, 0, sizeof *decoder);
    decoder->state = ground;
    decoder->utf8 = utf8;
}

std::size_t key_decoder_feed(key_decoder* decoder, const unsigned char* bytes, std::size_t length,
                             std::uint64_t now_ms, INPUT_RECORD* out, std::size_t capacity) {
    record_sink sink{out, capacity, 0};
    // A sequence that waited past its time-out is over before new bytes
    // come: they cannot continue it.
    if (now_ms >= key_decoder_deadline(decoder)) {
        give_up_sequence(decoder, &sink, now_ms, true);
    }
    for (std::size_t i = 0; i < length; ++i) {
        // A byte is handled again at most once, and then from ground, where
        // every byte is taken.
        if (!take_byte(decoder, bytes[i], now_ms, &sink)) {
            take_byte(decoder, bytes[i], now_ms, &sink);
        }
    }
    return sink.count;
}

std::size_t key_decoder_expire(key_decoder* decoder, std::uint64_t now_ms, INPUT_RECORD* out,
                               std::size_t capacity) {
    record_sink sink{out, capacity, 0};
    if (now_ms >= key_decoder_deadline(decoder)) {
        give_up_sequence(decoder, &sink, now_ms, true);
    }
    return sink.count;
}

std::size_t key_decoder_finish(key_decoder* decoder, INPUT_RECORD* out, std::size_t capacity) {
    record_sink sink{out, capacity, 0};
    give_up_sequence(decoder, &sink, 0, false);
    decoder->late_sequence_until_ms = 0;
    return sink.count;
}

std::uint64_t key_decoder_deadline(const key_decoder* decoder) {
    if (decoder->state == ground) {
        return UINT64_MAX;
    }
    const std::uint64_t wait =
        decoder->state == after_escape ? key_decoder_escape_ms : key_decoder_sequence_ms;
    return decoder->sequence_started_ms + wait;
}

}  // namespace zcal_posix
