#include "platform/posix/key_decoder.h"

#include <cstring>

namespace zcal_posix {

namespace {

constexpr unsigned char escape_byte = 0x1B;

enum decoder_state {
    ground,
    after_escape,     // ESC
    in_csi,           // ESC [ and its parameter bytes
    in_long_csi,      // a CSI too long to keep: swallowed up to its final byte
    in_ss3,           // ESC O and its parameter bytes
    in_linux_fkey,    // ESC [ [ : the Linux console's F1 to F5, one byte to come
    in_mouse_report,  // ESC [ M and three bytes of any value
    in_utf8,          // a UTF-8 lead byte, continuation bytes to come
};

struct record_sink {
    INPUT_RECORD* out;
    std::size_t capacity;
    std::size_t count;

    void push(const INPUT_RECORD& record) {
        if (count < capacity) {
            out[count++] = record;
        }
    }
};

INPUT_RECORD key_record(WORD virtual_key, char character, DWORD control_state) {
    INPUT_RECORD record;
    std::memset(&record, 0, sizeof record);
    record.EventType = KEY_EVENT;
    record.Event.KeyEvent.bKeyDown = TRUE;
    record.Event.KeyEvent.wRepeatCount = 1;
    record.Event.KeyEvent.wVirtualKeyCode = virtual_key;
    record.Event.KeyEvent.uChar.AsciiChar = character;
    record.Event.KeyEvent.dwControlKeyState = control_state;
    return record;
}

INPUT_RECORD unknown_sequence() { return key_record(vk_unknown, 0, 0); }

INPUT_RECORD focus_record(bool gained) {
    INPUT_RECORD record;
    std::memset(&record, 0, sizeof record);
    record.EventType = FOCUS_EVENT;
    record.Event.FocusEvent.bSetFocus = gained ? TRUE : FALSE;
    return record;
}

// One byte outside any sequence: a character, a control key or Ctrl-letter.
INPUT_RECORD key_for_byte(unsigned char byte, DWORD extra_state, bool utf8) {
    const char character = static_cast<char>(byte);
    if (byte >= 'a' && byte <= 'z') {
        return key_record(static_cast<WORD>(byte - 'a' + 'A'), character, extra_state);
    }
    if (byte >= 'A' && byte <= 'Z') {
        return key_record(byte, character, extra_state | key_state_shift);
    }
    if ((byte >= '0' && byte <= '9') || byte == ' ') {
        return key_record(byte, character, extra_state);
    }
    switch (byte) {
        case 0x00:  // Ctrl-Space (Ctrl-@): Space, as Ctrl makes no difference
            return key_record(VK_SPACE, 0, extra_state | key_state_left_ctrl);
        case 0x08:  // Ctrl-H is what many terminals send for Backspace
        case 0x7F:
            return key_record(VK_BACK, 0x08, extra_state);
        case 0x09:
            return key_record(VK_TAB, character, extra_state);
        case 0x0A:  // Ctrl-J, Ctrl-Enter
            return key_record(VK_RETURN, character, extra_state | key_state_left_ctrl);
        case 0x0D:
            return key_record(VK_RETURN, character, extra_state);
        default:
            break;
    }
    if (byte >= 0x01 && byte <= 0x1A) {  // Ctrl-A to Ctrl-Z
        return key_record(static_cast<WORD>('A' + byte - 1), character,
                          extra_state | key_state_left_ctrl);
    }
    if (byte >= 0x1C && byte <= 0x1F) {  // Ctrl-\ Ctrl-] Ctrl-^ Ctrl-_
        return key_record(VK_OEM_1, character, extra_state | key_state_left_ctrl);
    }
    // Punctuation, or a byte of an 8-bit character set; in UTF-8 a byte that
    // cannot start a character.
    return key_record(VK_OEM_1, utf8 && byte >= 0x80 ? '?' : character, extra_state);
}

// The modifier parameter of xterm's sequences: 1 + Shift 1, Alt 2, Ctrl 4,
// Meta 8 (taken as Alt).
DWORD modifier_state(unsigned modifier) {
    if (modifier < 2) {
        return 0;
    }
    const unsigned bits = modifier - 1;
    DWORD state = 0;
    if (bits & 1) {
        state |= key_state_shift;
    }
    if (bits & (2 | 8)) {
        state |= key_state_left_alt;
    }
    if (bits & 4) {
        state |= key_state_left_ctrl;
    }
    return state;
}

// Up to four decimal parameters separated by ';'. False for anything else
// (private markers, sub-parameters, intermediate bytes, huge numbers).
struct parameters {
    unsigned values[4];
    int count;
};

bool parse_parameters(const unsigned char* bytes, std::size_t length, parameters* parsed) {
    parsed->count = 0;
    if (length == 0) {
        return true;
    }
    unsigned value = 0;
    bool digits = false;
    for (std::size_t i = 0; i <= length; ++i) {
        if (i == length || bytes[i] == ';') {
            if (parsed->count == 4) {
                return false;
            }
            parsed->values[parsed->count++] = digits ? value : 0;
            value = 0;
            digits = false;
            continue;
        }
        if (bytes[i] < '0' || bytes[i] > '9' || value > 9999) {
            return false;
        }
        value = value * 10 + (bytes[i] - '0');
        digits = true;
    }
    return true;
}

// Keys named by a final letter: arrows, Home, End, F1 to F4.
bool key_for_letter(unsigned char final_byte, WORD* virtual_key) {
    switch (final_byte) {
        case 'A': *virtual_key = VK_UP; return true;
        case 'B': *virtual_key = VK_DOWN; return true;
        case 'C': *virtual_key = VK_RIGHT; return true;
        case 'D': *virtual_key = VK_LEFT; return true;
        case 'H': *virtual_key = VK_HOME; return true;
        case 'F': *virtual_key = VK_END; return true;
        case 'P': *virtual_key = VK_F1; return true;
        case 'Q': *virtual_key = VK_F1 + 1; return true;
        case 'R': *virtual_key = VK_F1 + 2; return true;
        case 'S': *virtual_key = VK_F1 + 3; return true;
        default: return false;
    }
}

// Keys named by a number before '~' (and rxvt's '^', '$', '@').
WORD key_for_number(unsigned number) {
    switch (number) {
        case 1: case 7: return VK_HOME;
        case 2: return VK_INSERT;
        case 3: return VK_DELETE;
        case 4: case 8: return VK_END;
        case 5: return VK_PRIOR;
        case 6: return VK_NEXT;
        case 11: case 12: case 13: case 14: case 15:
            return static_cast<WORD>(VK_F1 + number - 11);
        case 17: case 18: case 19: case 20: case 21:
            return static_cast<WORD>(VK_F1 + 5 + number - 17);
        case 23: case 24:
            return static_cast<WORD>(VK_F1 + 10 + number - 23);
        default:
            return vk_unknown;
    }
}

INPUT_RECORD decode_csi(const unsigned char* bytes, std::size_t length, unsigned char final_byte,
                        DWORD extra_state) {
    parameters p;
    if (!parse_parameters(bytes, length, &p)) {
        return unknown_sequence();  // SGR mouse reports, private replies, ...
    }
    WORD virtual_key = vk_unknown;
    if (key_for_letter(final_byte, &virtual_key)) {
        // ESC [ A, or ESC [ 1 ; m A with modifiers.
        if (p.count == 0 || (p.count <= 2 && p.values[0] <= 1)) {
            const DWORD state = p.count == 2 ? modifier_state(p.values[1]) : 0;
            return key_record(virtual_key, 0, extra_state | state | key_state_enhanced);
        }
        return unknown_sequence();  // a cursor position report, for one
    }
    switch (final_byte) {
        case 'Z':
            if (p.count == 0) {
                return key_record(VK_TAB, '\t', extra_state | key_state_shift);
            }
            return unknown_sequence();
        case 'I':
        case 'O':
            if (p.count == 0) {
                return focus_record(final_byte == 'I');
            }
            return unknown_sequence();
        case '~':
        case '^':
        case '$':
        case '@': {
            if (p.count == 0 || p.count > 2) {
                return unknown_sequence();
            }
            virtual_key = key_for_number(p.values[0]);
            if (virtual_key == vk_unknown) {
                return unknown_sequence();  // paste markers 200 and 201, F13 on, ...
            }
            DWORD state = p.count == 2 ? modifier_state(p.values[1]) : 0;
            if (final_byte == '^' || final_byte == '@') {
                state |= key_state_left_ctrl;
            }
            if (final_byte == '$' || final_byte == '@') {
                state |= key_state_shift;
            }
            return key_record(virtual_key, 0, extra_state | state | key_state_enhanced);
        }
        default:
            return unknown_sequence();
    }
}

INPUT_RECORD decode_ss3(const unsigned char* bytes, std::size_t length, unsigned char final_byte,
                        DWORD extra_state) {
    parameters p;
    if (!parse_parameters(bytes, length, &p) || p.count > 1) {
        return unknown_sequence();
    }
    // Old xterms put the modifier right after the O: ESC O 5 P.
    const DWORD state = extra_state | (p.count == 1 ? modifier_state(p.values[0]) : 0);
    WORD virtual_key = vk_unknown;
    if (key_for_letter(final_byte, &virtual_key)) {
        return key_record(virtual_key, 0, state | key_state_enhanced);
    }
    if (final_byte == 'M') {  // keypad Enter
        return key_record(VK_RETURN, '\r', state | key_state_enhanced);
    }
    // The application keypad: j..o are * + , - . / and p..y the digits,
    // given the keypad's own codes (0x6A-0x6F, 0x60-0x69), none a step key.
    if (final_byte >= 'j' && final_byte <= 'o') {
        return key_record(final_byte, 0, state);
    }
    if (final_byte >= 'p' && final_byte <= 'y') {
        return key_record(static_cast<WORD>(final_byte - 0x10), 0, state);
    }
    return unknown_sequence();
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

// A whole UTF-8 character: a key without a code of its own, carrying the
// character when ISO 8859-1 has it.
INPUT_RECORD character_record(const unsigned char* bytes, std::size_t length, DWORD extra_state) {
    unsigned code_point = bytes[0] & (length == 2 ? 0x1F : length == 3 ? 0x0F : 0x07);
    for (std::size_t i = 1; i < length; ++i) {
        code_point = (code_point << 6) | (bytes[i] & 0x3F);
    }
    const char character = code_point < 0x100 ? static_cast<char>(code_point) : '?';
    return key_record(VK_OEM_1, character, extra_state);
}

void start_sequence(key_decoder* d, decoder_state state, std::uint64_t now_ms, DWORD extra_state) {
    d->state = state;
    d->sequence_length = 0;
    d->bytes_still_needed = 0;
    d->sequence_started_ms = now_ms;
    d->extra_state = extra_state;
}

void start_utf8(key_decoder* d, unsigned char lead, std::uint64_t now_ms, DWORD extra_state) {
    start_sequence(d, in_utf8, now_ms, extra_state);
    d->sequence[0] = lead;
    d->sequence_length = 1;
    d->bytes_still_needed = static_cast<std::size_t>(utf8_continuations(lead));
}

// Gives out what is pending as one record and goes back to ground. On a
// time-out of a lone ESC, a '[' or 'O' soon after still continues it.
void give_up_sequence(key_decoder* d, record_sink* sink, std::uint64_t now_ms, bool timed_out) {
    const DWORD alt = d->extra_state | key_state_left_alt;
    switch (d->state) {
        case after_escape:
            sink->push(key_record(VK_ESCAPE, 0x1B, d->extra_state));
            if (timed_out) {
                d->late_sequence_until_ms = now_ms + key_decoder_sequence_ms;
            }
            break;
        case in_csi:  // ESC [ alone is Alt-[
            sink->push(d->sequence_length == 0 ? key_for_byte('[', alt, d->utf8) : unknown_sequence());
            break;
        case in_ss3:  // ESC O alone is Alt-Shift-O
            sink->push(d->sequence_length == 0 ? key_for_byte('O', alt, d->utf8) : unknown_sequence());
            break;
        case in_utf8:
            sink->push(key_record(VK_OEM_1, '?', d->extra_state));
            break;
        case in_long_csi:
        case in_linux_fkey:
        case in_mouse_report:
            sink->push(unknown_sequence());
            break;
        default:
            break;
    }
    d->state = ground;
    d->sequence_length = 0;
    d->bytes_still_needed = 0;
    d->extra_state = 0;
}

bool is_final_byte(unsigned char byte) { return byte >= 0x40 && byte <= 0x7E; }

bool only_digits(const unsigned char* bytes, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        if (bytes[i] < '0' || bytes[i] > '9') {
            return false;
        }
    }
    return length > 0;
}
bool is_parameter_byte(unsigned char byte) { return byte >= 0x20 && byte <= 0x3F; }

// Keeps a parameter byte of a sequence. One too long to keep is read to its
// end all the same and then dropped, as an unknown key.
void keep_parameter(key_decoder* d, unsigned char byte) {
    if (d->sequence_length < key_decoder_sequence_capacity) {
        d->sequence[d->sequence_length++] = byte;
    } else {
        d->state = in_long_csi;
    }
}

// Handles one byte; gives false when the byte ended a sequence without
// belonging to it and must be handled again from ground.
bool take_byte(key_decoder* d, unsigned char byte, std::uint64_t now_ms, record_sink* sink) {
    switch (d->state) {
        case ground: {
            const bool late = now_ms < d->late_sequence_until_ms;
            d->late_sequence_until_ms = 0;
            if (late && (byte == '[' || byte == 'O')) {
                start_sequence(d, byte == '[' ? in_csi : in_ss3, now_ms, 0);
                return true;
            }
            if (byte == escape_byte) {
                start_sequence(d, after_escape, now_ms, 0);
                return true;
            }
            if (d->utf8 && utf8_continuations(byte) > 0) {
                start_utf8(d, byte, now_ms, 0);
                return true;
            }
            sink->push(key_for_byte(byte, 0, d->utf8));
            return true;
        }
        case after_escape:
            if (byte == '[' || byte == 'O') {
                // The sequence keeps the time of its ESC.
                d->state = byte == '[' ? in_csi : in_ss3;
                return true;
            }
            if (byte == escape_byte) {
                give_up_sequence(d, sink, now_ms, false);
                start_sequence(d, after_escape, now_ms, 0);
                return true;
            }
            if (d->utf8 && utf8_continuations(byte) > 0) {
                start_utf8(d, byte, now_ms, key_state_left_alt);
                return true;
            }
            // ESC and a key: that key with Alt.
            d->state = ground;
            sink->push(key_for_byte(byte, key_state_left_alt, d->utf8));
            return true;
        case in_csi:
            if (d->sequence_length == 0 && byte == '[') {
                d->state = in_linux_fkey;
                return true;
            }
            if (d->sequence_length == 0 && byte == 'M') {
                d->state = in_mouse_report;
                d->bytes_still_needed = 3;
                return true;
            }
            // rxvt ends its Shift-modified keys with '$' (ESC [ 2 $ for
            // Shift-Insert), which is no final byte: right after a single
            // number it ends the sequence all the same.
            if (is_final_byte(byte) || (byte == '$' && only_digits(d->sequence, d->sequence_length))) {
                sink->push(decode_csi(d->sequence, d->sequence_length, byte, d->extra_state));
                d->state = ground;
                return true;
            }
            if (is_parameter_byte(byte)) {
                keep_parameter(d, byte);
                return true;
            }
            give_up_sequence(d, sink, now_ms, false);
            return false;
        case in_long_csi:
            if (is_parameter_byte(byte)) {
                return true;
            }
            give_up_sequence(d, sink, now_ms, false);
            return is_final_byte(byte);
        case in_ss3:
            if (is_final_byte(byte)) {
                sink->push(decode_ss3(d->sequence, d->sequence_length, byte, d->extra_state));
                d->state = ground;
                return true;
            }
            if (is_parameter_byte(byte)) {
                keep_parameter(d, byte);
                return true;
            }
            give_up_sequence(d, sink, now_ms, false);
            return false;
        case in_linux_fkey:
            if (byte >= 'A' && byte <= 'E') {
                sink->push(key_record(static_cast<WORD>(VK_F1 + byte - 'A'), 0,
                                      d->extra_state | key_state_enhanced));
                d->state = ground;
                return true;
            }
            give_up_sequence(d, sink, now_ms, false);
            return is_final_byte(byte);
        case in_mouse_report:
            // Button and position as raw bytes: whatever they are, they are
            // part of the report and never keys.
            if (--d->bytes_still_needed == 0) {
                sink->push(unknown_sequence());
                d->state = ground;
            }
            return true;
        case in_utf8:
            if (byte >= 0x80 && byte <= 0xBF) {
                d->sequence[d->sequence_length++] = byte;
                if (--d->bytes_still_needed == 0) {
                    sink->push(character_record(d->sequence, d->sequence_length, d->extra_state));
                    d->state = ground;
                    d->sequence_length = 0;
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
    if (decoder->state != ground && now_ms >= key_decoder_deadline(decoder)) {
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
    if (decoder->state != ground && now_ms >= key_decoder_deadline(decoder)) {
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
