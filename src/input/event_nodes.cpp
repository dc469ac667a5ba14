#include "input/event_nodes.hpp"

#include "input/device_numbers.hpp"
#include "input/sysfs.hpp"
#include "text/printable.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <tuple>
#include <vector>

namespace {

struct entry {
    std::string path;
    dev_t rdev;
    bool link;
};

} // namespace

found_list<std::string> event_nodes(const std::string& dir)
{
    found_list<std::string> nodes{known(false), {}};
    std::vector<entry> entries;
    DIR* d = opendir(dir.c_str());
    if (!d) {
        // A missing directory holds no nodes; one that cannot be read may.
        if (errno != ENOENT)
            nodes.any = unknown("cannot read " + printable(dir) + ": " + std::strerror(errno));
        return nodes;
    }
    while (const dirent* e = readdir(d)) {
        const std::string path = dir + '/' + e->d_name;
        struct stat link{};
        struct stat st{};
        if (lstat(path.c_str(), &link) < 0 || stat(path.c_str(), &st) < 0) {
            // Gone since it was listed, or a link to nothing: no device. Refused: unknown.
            if (errno != ENOENT && nodes.any.state != tri::unknown)
                nodes.any = unknown("cannot look at " + printable(path) + ": " + std::strerror(errno));
            continue;
        }
        if (S_ISCHR(st.st_mode) && maybe_evdev_number(major(st.st_rdev), minor(st.st_rdev)))
            entries.push_back({path, st.st_rdev, S_ISLNK(link.st_mode)});
    }
    closedir(d);
    const auto order = [](const entry& e) { return std::make_tuple(minor(e.rdev), e.link, e.path); };
    std::sort(entries.begin(), entries.end(), [&](const entry& a, const entry& b) { return order(a) < order(b); });
    // Of the nodes of one device, the one by the kernel's own name: a stray
    // copy (event0x, made by hand) would otherwise go into the command line.
    for (std::size_t first = 0, end = 0; first < entries.size(); first = end) {
        while (end < entries.size() && entries[end].rdev == entries[first].rdev)
            ++end;
        std::size_t chosen = first;
        if (end - first > 1) {
            const std::string kernel_path = kernel_node_path(entries[first].rdev);
            for (std::size_t i = first; i < end; ++i)
                if (!entries[i].link && entries[i].path == kernel_path)
                    chosen = i;
        }
        nodes.items.push_back(entries[chosen].path);
    }
    if (nodes.any.state != tri::unknown)
        nodes.any = known(!nodes.items.empty());
    return nodes;
}
