#include "processes.hpp"

#include <cctype>
#include <dirent.h>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The pids of /proc, without our own.
std::vector<int> other_pids()
{
    std::vector<int> pids;
    DIR* d = opendir("/proc");
    if (!d)
        return pids;
    const int self = getpid();
    while (const dirent* entry = readdir(d)) {
        if (!std::isdigit(static_cast<unsigned char>(entry->d_name[0])))
            continue;
        const int pid = std::stoi(entry->d_name);
        if (pid != self)
            pids.push_back(pid);
    }
    closedir(d);
    return pids;
}

std::string command_name(int pid)
{
    std::FILE* comm = std::fopen(("/proc/" + std::to_string(pid) + "/comm").c_str(), "r");
    if (!comm)
        return {};
    char name[64] = "";
    if (!std::fgets(name, sizeof name, comm))
        name[0] = '\0';
    std::fclose(comm);
    name[std::strcspn(name, "\n")] = '\0';
    return name;
}

bool holds(int pid, dev_t rdev)
{
    const std::string dir = "/proc/" + std::to_string(pid) + "/fd";
    DIR* d = opendir(dir.c_str());
    if (!d)
        return false;
    bool found = false;
    while (const dirent* entry = readdir(d)) {
        struct stat st{};
        // stat follows the descriptor's link to the node it has open.
        if (entry->d_name[0] != '.' && stat((dir + '/' + entry->d_name).c_str(), &st) == 0 &&
            S_ISCHR(st.st_mode) && st.st_rdev == rdev) {
            found = true;
            break;
        }
    }
    closedir(d);
    return found;
}

} // namespace

std::vector<process> holders_of(dev_t rdev)
{
    std::vector<process> holders;
    for (int pid : other_pids())
        if (holds(pid, rdev))
            holders.push_back({pid, command_name(pid)});
    return holders;
}

std::vector<process> processes_named(std::string_view name)
{
    std::vector<process> found;
    for (int pid : other_pids())
        if (command_name(pid) == name)
            found.push_back({pid, std::string(name)});
    return found;
}
