#include "programs.hpp"

#include "report.hpp"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

// A terminal that shows only what the program prints: no echo of typed
// keys, no carriage returns added. Line editing and the signal keys
// (Ctrl-C, Ctrl-D at the start of a line) work as on any terminal.
void quiet_terminal(int slave)
{
    termios mode{};
    if (tcgetattr(slave, &mode) != 0)
        return;
    mode.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL | ECHOCTL);
    mode.c_oflag &= ~static_cast<tcflag_t>(ONLCR);
    tcsetattr(slave, TCSANOW, &mode);
}

// In the child: never returns.
[[noreturn]] void become(const launch& how, const char* slave, int out, int err, const std::vector<std::string>& env)
{
    setsid();
    signal(SIGPIPE, SIG_DFL);
    if (how.terminal) {
        // Opened by the new session's leader, the terminal becomes its
        // controlling terminal; opened before the user changes, since the
        // pty belongs to root.
        const int tty = open(slave, O_RDWR);
        if (tty < 0 || ioctl(tty, TIOCSCTTY, 0) < 0)
            _exit(126);
        dup2(tty, STDIN_FILENO);
        dup2(tty, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        if (tty > STDERR_FILENO)
            close(tty);
    } else {
        const int null = open("/dev/null", O_RDONLY);
        dup2(null, STDIN_FILENO);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        if (null > STDERR_FILENO)
            close(null);
    }
    if (how.uid && (setgroups(0, nullptr) != 0 || setgid(*how.uid) != 0 || setuid(*how.uid) != 0))
        _exit(126);
    std::vector<char*> envp;
    for (const std::string& e : env)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    // Named as a user calls it: busybox picks its applet by that name.
    const std::string name = how.shell.substr(how.shell.rfind('/') + 1);
    execle(how.shell.c_str(), name.c_str(), "-c", how.command.c_str(), nullptr, envp.data());
    _exit(127);
}

// Records the whole lines of tail; keeps an unfinished one until the
// stream ends. out: standard output, whose lines are counted and kept.
void emit_lines(program& p, std::string& tail, bool out, bool at_end)
{
    for (std::size_t newline; (newline = tail.find('\n')) != std::string::npos || (at_end && !tail.empty());) {
        const std::string line = tail.substr(0, newline);
        tail.erase(0, newline == std::string::npos ? tail.size() : newline + 1);
        if (out) {
            ++p.out_lines;
            p.lines.push_back(line);
        }
        if (p.id == "sh")
            record("sh", line);
        else
            record(out ? "out" : "err", p.id + ' ' + line);
    }
}

// Reads what fd has now into tail and text; closes it at its end (a pty
// master reads EIO once no process has the terminal open).
void drain(program& p, int& fd, std::string& tail, bool out)
{
    char chunk[512];
    for (;;) {
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n > 0) {
            tail.append(chunk, static_cast<std::size_t>(n));
            p.text.append(chunk, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || errno != EAGAIN) {
            close(fd);
            fd = -1;
        }
        break;
    }
    emit_lines(p, tail, out, fd < 0);
}

} // namespace

std::string start_program(const launch& how, const std::vector<std::string>& env, program& started)
{
    started = {how.id, -1, -1, -1, -1, how.terminal, {}, {}, 0, {}, {}, false, 0};
    int pipe_ends[2];
    int out_ends[2] = {-1, -1};
    if (pipe2(pipe_ends, O_CLOEXEC) != 0 || (!how.terminal && pipe2(out_ends, O_CLOEXEC) != 0))
        return std::string("pipe: ") + std::strerror(errno);
    int master = -1;
    const char* slave = nullptr;
    int slave_fd = -1;
    if (how.terminal) {
        master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 || !(slave = ptsname(master)))
            return std::string("pty: ") + std::strerror(errno);
        // Set up before the program can print anything; closed again
        // below, or the master would never see the program's end.
        slave_fd = open(slave, O_RDWR | O_NOCTTY | O_CLOEXEC);
        quiet_terminal(slave_fd);
    }
    const std::string slave_path = slave ? slave : "";
    const pid_t pid = fork();
    if (pid == 0)
        become(how, slave_path.c_str(), out_ends[1], pipe_ends[1], env);
    close(pipe_ends[1]);
    if (out_ends[1] >= 0)
        close(out_ends[1]);
    if (slave_fd >= 0)
        close(slave_fd);
    if (pid < 0)
        return std::string("fork: ") + std::strerror(errno);
    started.pid = pid;
    started.pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    started.output = how.terminal ? master : out_ends[0];
    started.errors = pipe_ends[0];
    for (int fd : {started.output, pipe_ends[0]})
        if (fd >= 0)
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    if (started.pidfd < 0)
        return std::string("pidfd_open: ") + std::strerror(errno);
    return {};
}

void read_output(program& p)
{
    if (p.output >= 0)
        drain(p, p.output, p.out_tail, true);
    if (p.errors >= 0)
        drain(p, p.errors, p.err_tail, false);
}

void reap(program& p)
{
    if (p.ended || waitpid(p.pid, &p.status, WNOHANG) != p.pid)
        return;
    p.ended = true;
    close(p.pidfd);
    p.pidfd = -1;
    // What it printed comes before its end.
    read_output(p);
    // A state change (sh) reports only its failure, in the step.
    if (p.id == "sh")
        return;
    if (WIFEXITED(p.status))
        record("exit", p.id + " status " + std::to_string(WEXITSTATUS(p.status)));
    else
        record("exit", p.id + " signal " + std::to_string(WTERMSIG(p.status)));
}

void signal_program(const program& p, int sig)
{
    if (!p.ended)
        kill(-p.pid, sig);
}

namespace {

// The fields of /proc/PID/stat after the command name, which may hold
// blanks: "PID (NAME) S ...". Empty when the process is gone.
std::vector<std::string> stat_fields(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const auto name_end = line.rfind(')');
    std::istringstream rest(name_end == std::string::npos ? std::string() : line.substr(name_end + 1));
    std::vector<std::string> fields;
    for (std::string field; rest >> field;)
        fields.push_back(field);
    return fields;
}

// The process's state letter (S sleeping, T stopped, ...); 0 when gone.
char state_of(pid_t pid)
{
    const auto fields = stat_fields(pid);
    return fields.empty() ? 0 : fields[0][0];
}

} // namespace

bool waiting_for_input(const program& p)
{
    if (p.ended || state_of(p.pid) != 'S')
        return false;
    std::string wchan;
    std::getline(std::ifstream("/proc/" + std::to_string(p.pid) + "/wchan"), wchan);
    return wchan == "do_sys_poll" || wchan == "do_select";
}

bool stopped(const program& p)
{
    return !p.ended && state_of(p.pid) == 'T';
}

long long cpu_ticks(const program& p)
{
    // utime and stime, fields 14 and 15 of the whole line, 12 and 13 after the name.
    const auto fields = p.ended ? std::vector<std::string>() : stat_fields(p.pid);
    return fields.size() > 12 ? std::stoll(fields[11]) + std::stoll(fields[12]) : -1;
}

long long cpu_ns(const program& p)
{
    long long ns = -1;
    if (!p.ended)
        std::ifstream("/proc/" + std::to_string(p.pid) + "/schedstat") >> ns;
    return ns;
}

pid_t holder_of(const std::string& path)
{
    namespace fs = std::filesystem;
    const std::string self = std::to_string(getpid());
    std::error_code error;
    // A process may end while it is looked at: what cannot be read is skipped.
    for (fs::directory_iterator process("/proc", error), end; !error && process != end; process.increment(error)) {
        const std::string pid = process->path().filename();
        if (pid.find_first_not_of("0123456789") != std::string::npos || pid == self)
            continue;
        std::error_code fd_error, link_error;
        for (fs::directory_iterator fd(process->path() / "fd", fd_error); !fd_error && fd != end;
             fd.increment(fd_error))
            if (fs::read_symlink(fd->path(), link_error) == path)
                return static_cast<pid_t>(std::stol(pid));
    }
    return 0;
}

void close_program(program& p)
{
    for (int* fd : {&p.output, &p.errors, &p.pidfd}) {
        if (*fd >= 0)
            close(*fd);
        *fd = -1;
    }
}
