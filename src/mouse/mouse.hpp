// The kernel's mouse multiplexer, /dev/input/mice, reduced to button codes.
#pragma once

#include <array>
#include <cstddef>
#include <sys/types.h>

// The multiplexer's node: every mouse the kernel's mousedev handler binds,
// merged into one PS/2 stream.
constexpr const char* mice_path = "/dev/input/mice";

// Button codes; code n selects point n of the point table.
constexpr int btn_none = 0;
constexpr int btn_left = 1;
constexpr int btn_right = 2;
constexpr int btn_middle = 3;
constexpr int btn_wheel_up = 4;   // wheel byte negative
constexpr int btn_wheel_down = 5; // wheel byte positive

// PS/2 "set sample rate" 200, 100, 80: the knock that switches a PS/2
// mouse, and the kernel's emulation of one, into the 4-byte IntelliMouse
// form whose fourth byte carries the wheel.
constexpr std::array<unsigned char, 6> imps2_param{0xF3, 0xC8, 0xF3, 0x64, 0xF3, 0x50};

constexpr std::size_t ps2_packet_size = 3;
constexpr std::size_t imps2_packet_size = 4;

// Opens the stream; sets imps2 to 1 when it could be switched to the
// IntelliMouse form. Returns the descriptor, or -1 after reporting why.
[[nodiscard]] int open_mouse(int& imps2);

// The button code of the packet that one read returned (count is the read's
// result). Pure: no descriptor, no memory beyond what the read filled.
[[nodiscard]] int classify_packet(const unsigned char* packet, ssize_t count, int imps2);

// Reads one packet (blocking) and classifies it.
[[nodiscard]] int getbtn(int fd, int imps2);
