#include "state.hpp"

#include "mouse/mouse.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

// Also where mousedev is built into the kernel.
constexpr const char* tap_time_path = "/sys/module/mousedev/parameters/tap_time";
constexpr const char* input_dir = "/dev/input";
constexpr const char* uinput_path = "/dev/uinput";

std::optional<std::string> read_file(const char* path)
{
    std::ifstream in(path);
    if (!in)
        return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool same_node(const struct stat& a, const struct stat& b)
{
    return a.st_mode == b.st_mode && a.st_rdev == b.st_rdev && a.st_uid == b.st_uid && a.st_gid == b.st_gid;
}

std::string failed(const char* what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

std::string restore_node(const char* path, const std::optional<struct stat>& saved)
{
    struct stat now{};
    if (!saved || (lstat(path, &now) == 0 && same_node(now, *saved)))
        return {};
    // Whatever a scenario put there (a file, a FIFO, a directory, a
    // symlink, nothing) goes; the node comes back as it was.
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
    if (mknod(path, saved->st_mode, saved->st_rdev) != 0)
        return failed(("mknod " + std::string(path)).c_str());
    if (chown(path, saved->st_uid, saved->st_gid) != 0 || chmod(path, saved->st_mode & 07777) != 0)
        return failed(("chown/chmod " + std::string(path)).c_str());
    return {};
}

std::optional<struct stat> node_at(const char* path)
{
    struct stat st{};
    if (lstat(path, &st) != 0)
        return std::nullopt;
    return st;
}

} // namespace

saved_state save_state()
{
    saved_state saved{read_file(tap_time_path), node_at(mice_path), node_at(uinput_path), 0755};
    struct stat dir{};
    if (stat(input_dir, &dir) == 0)
        saved.input_dir = dir.st_mode & 07777;
    return saved;
}

std::string restore_state(const saved_state& saved)
{
    if (saved.tap_time && read_file(tap_time_path) != saved.tap_time) {
        std::ofstream out(tap_time_path);
        out << *saved.tap_time << std::flush;
        if (!out)
            return "cannot put back tap_time";
    }
    if (struct stat dir{}; stat(input_dir, &dir) == 0 && (dir.st_mode & 07777) != saved.input_dir &&
                           chmod(input_dir, saved.input_dir) != 0)
        return failed("chmod /dev/input");
    if (std::string why = restore_node(mice_path, saved.mice); !why.empty())
        return why;
    return restore_node(uinput_path, saved.uinput);
}
