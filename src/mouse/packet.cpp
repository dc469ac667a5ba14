#include "mouse/mouse.hpp"

namespace {

// Byte 0 bits 0..2 are left, right, middle. Only one button alone counts:
// a chord is more likely a slip than a request for some other point.
int button_of(unsigned char status)
{
    switch (status & 0x07) {
    case 0x01: return btn_left;
    case 0x02: return btn_right;
    case 0x04: return btn_middle;
    default: return btn_none;
    }
}

} // namespace

int classify_packet(const unsigned char* packet, ssize_t count, int imps2)
{
    if (count <= 0)
        return btn_none;
    if (!imps2)
        return button_of(packet[0]);
    // A short read carries no wheel byte. On this stream a lone byte is an
    // acknowledge (0xFA) or noise, not a press: judging it by its first byte
    // would tap where nobody clicked.
    if (count < static_cast<ssize_t>(imps2_packet_size))
        return btn_none;
    // The wheel byte is two's complement; any movement outranks the buttons,
    // and only its sign matters, so a fast spin is still one tap.
    const auto wheel = static_cast<signed char>(packet[3]);
    if (wheel < 0)
        return btn_wheel_up;
    if (wheel > 0)
        return btn_wheel_down;
    return button_of(packet[0]);
}
