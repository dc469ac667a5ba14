#include "mouse/mouse.hpp"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

int open_mouse(int& imps2)
{
    imps2 = 0;
    int fd = open(mice_path, O_RDWR);
    if (fd >= 0) {
        // The multiplexer answers the knock with an acknowledge byte (0xFA)
        // and from then on sends 4-byte packets. The write's result is not
        // looked at: the reads below ask for four bytes either way.
        [[maybe_unused]] ssize_t sent = write(fd, imps2_param.data(), imps2_param.size());
        imps2 = 1;
        std::puts("use imps2 protocol");
        // Swallow the acknowledge so it is not taken for the first packet.
        [[maybe_unused]] int ack = getbtn(fd, imps2);
        return fd;
    }
    // Without write access the knock cannot be sent; the stream stays in the
    // plain 3-byte PS/2 form and the wheel is never seen.
    std::printf("Failed to open /dev/input/mice for writing\ntry reading only");
    fd = open(mice_path, O_RDONLY);
    if (fd < 0)
        std::perror("ERROR read mouse device, please run as root");
    return fd;
}

int getbtn(int fd, int imps2)
{
    unsigned char packet[imps2_packet_size];
    const ssize_t count = read(fd, packet, imps2 ? imps2_packet_size : ps2_packet_size);
    return classify_packet(packet, count, imps2);
}
