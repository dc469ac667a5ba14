#include "input/processes.hpp"

#include "input/kernel_file.hpp"
#include "input/sysfs.hpp"
#include "text/parse.hpp"
#include "text/printable.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <linux/magic.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The pids of /proc, without our own; any unknown with why when /proc
// cannot be read. Entries that are no pid are skipped, whatever a
// container shows there.
found_list<int> other_pids()
{
    if (const auto why = not_on("/proc", PROC_SUPER_MAGIC, "procfs"))
        return {unknown(*why), {}};
    DIR* d = opendir("/proc");
    if (!d)
        return {unknown(std::string("cannot read /proc: ") + std::strerror(errno)), {}};
    found_list<int> pids{known(false), {}};
    const int self = getpid();
    while (const dirent* entry = readdir(d))
        if (const auto pid = parse_pid(entry->d_name); pid && *pid != self)
            pids.items.push_back(*pid);
    closedir(d);
    return pids;
}

// found, with any telling whether /proc could be read and something found.
found_list<process> result(const found_list<int>& pids, std::vector<process> found)
{
    if (pids.any.state == tri::unknown)
        return {pids.any, {}};
    return {known(!found.empty()), std::move(found)};
}

// The process's name, as /proc/PID/comm gives it; why empty when it could
// not be read, and not because the process ended.
struct named {
    std::string name;
    std::string why;
};

named command_name(int pid)
{
    const std::string path = "/proc/" + std::to_string(pid) + "/comm";
    // Read whole: a name may hold a line break of its own (a program file
    // can be named so), and only the one the kernel adds ends it.
    const kernel_file comm = read_kernel_file(path, 64);
    if (comm.error == ENOENT || comm.error == ESRCH)
        return {};
    if (comm.error != 0)
        return {{}, kernel_file_problem(path, comm, "read")};
    std::string text = comm.text;
    if (text.ends_with('\n'))
        text.pop_back();
    return {text, {}};
}

// The character devices the process has open: stat follows each
// descriptor's link to the node it has open.
std::vector<dev_t> open_devices(int pid)
{
    const std::string dir = "/proc/" + std::to_string(pid) + "/fd";
    std::vector<dev_t> devices;
    DIR* d = opendir(dir.c_str());
    if (!d)
        return devices;
    while (const dirent* entry = readdir(d)) {
        struct stat st{};
        if (entry->d_name[0] != '.' && stat((dir + '/' + entry->d_name).c_str(), &st) == 0 && S_ISCHR(st.st_mode))
            devices.push_back(st.st_rdev);
    }
    closedir(d);
    return devices;
}

} // namespace

found_list<process> holders_of(dev_t rdev)
{
    return holders_of_each({rdev}).front();
}

std::vector<found_list<process>> holders_of_each(const std::vector<dev_t>& rdevs)
{
    const found_list<int> pids = other_pids();
    std::vector<std::vector<process>> holders(rdevs.size());
    // One pass over /proc for all the nodes: a pass costs a look at every
    // descriptor of every process.
    for (int pid : pids.items) {
        const std::vector<dev_t> open = open_devices(pid);
        std::string name;
        for (std::size_t i = 0; i < rdevs.size(); ++i) {
            if (std::find(open.begin(), open.end(), rdevs[i]) == open.end())
                continue;
            if (name.empty())
                name = command_name(pid).name;
            holders[i].push_back({pid, name});
        }
    }
    std::vector<found_list<process>> found;
    for (std::vector<process>& h : holders)
        found.push_back(result(pids, std::move(h)));
    return found;
}

std::vector<std::string> arguments_of(int pid)
{
    const kernel_file cmdline = read_kernel_file("/proc/" + std::to_string(pid) + "/cmdline", 4096);
    // The arguments, each ended by a NUL; the program's name first.
    std::vector<std::string> args;
    std::string_view rest = cmdline.text;
    for (bool first = true; !rest.empty(); first = false) {
        const std::string_view arg = rest.substr(0, rest.find('\0'));
        rest.remove_prefix(std::min(rest.size(), arg.size() + 1));
        if (!first)
            args.emplace_back(arg);
    }
    return args;
}

bool started_with(int pid, std::string_view option)
{
    for (const std::string& arg : arguments_of(pid)) {
        if (arg == "--")
            return false;
        if (arg == option)
            return true;
    }
    return false;
}

found_list<process> processes_named(std::string_view name)
{
    const found_list<int> pids = other_pids();
    std::vector<process> found;
    for (int pid : pids.items) {
        const named n = command_name(pid);
        // A name that cannot be read may be this one: not "none".
        if (!n.why.empty())
            return {unknown(n.why), {}};
        if (n.name == name)
            found.push_back({pid, std::string(name)});
    }
    return result(pids, std::move(found));
}

std::string process_list(const found_list<process>& processes)
{
    if (processes.any.state == tri::unknown)
        return "unknown: " + processes.any.why;
    if (processes.items.empty())
        return "no other process";
    std::string text;
    for (const process& p : processes.items)
        text += (text.empty() ? "pid " : ", pid ") + std::to_string(p.pid) + " (" + printable(p.name) + ')';
    return text;
}
