#include "host_run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace testsupport {

namespace {

fs::path Normal(const char* path) {
    std::error_code ec;
    fs::path p = fs::weakly_canonical(fs::absolute(path), ec);
    return ec ? fs::path(path).lexically_normal() : p;
}

// Closes a file descriptor once.
struct Fd {
    int fd = -1;
    ~Fd() { Close(); }
    void Close() {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
};

bool MakePipe(Fd& readEnd, Fd& writeEnd) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return false;
    readEnd.fd = fds[0];
    writeEnd.fd = fds[1];
    return true;
}

// A program named without a folder is looked up on PATH, as a shell would (here, before the
// fork, where allocating is safe); a name that is found nowhere stays as it is and fails to
// start.
std::string FindProgram(const std::string& name) {
    if (name.find('/') != std::string::npos)
        return name;
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= folders.size()) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos)
            end = folders.size();
        const std::string folder = end > start ? folders.substr(start, end - start) : ".";
        const std::string candidate = folder + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return name;
}

// The child's side after fork: only calls that are safe between fork and exec.
[[noreturn]] void StartChild(char* const* argv, char* const* env, const char* workDir, int outFd,
                             int errFd, const std::string& cannotStart) {
    ::setpgid(0, 0);
    const int in = ::open("/dev/null", O_RDONLY);
    if (in < 0 || ::dup2(in, STDIN_FILENO) < 0 || ::dup2(outFd, STDOUT_FILENO) < 0 ||
        ::dup2(errFd, STDERR_FILENO) < 0)
        ::_exit(127);
    if (::chdir(workDir) == 0)
        ::execve(argv[0], argv, env);
    const ssize_t written = ::write(STDERR_FILENO, cannotStart.data(), cannotStart.size());
    (void)written;
    ::_exit(127);
}

}  // namespace

fs::path HostExecutable() {
    return Normal(CADHOST_EXE);
}
fs::path SourceDir() {
    return Normal(QUARVEL_SOURCE_DIR);
}
fs::path BuildDir() {
    return Normal(QUARVEL_BINARY_DIR);
}
fs::path TestDataDir() {
    return Normal(QUARVEL_TESTDATA_DIR);
}
fs::path TestModuleDir() {
    return Normal(QUARVEL_TEST_MODULE_DIR);
}

fs::path ModuleFile(int build) {
    return Normal(build == 16 ? QUARVEL16_MODULE : QUARVEL17_MODULE);
}

std::string ReleaseFor(int build) {
    return build == 16 ? "16.1" : "17.0";
}

std::vector<std::string> ModuleArgs(int build) {
    return {"--load", ModuleFile(build).string(), "--release", ReleaseFor(build)};
}

std::string ProcessResult::Describe() const {
    if (timedOut)
        return "killed: still running at the end of its time limit";
    if (signal)
        return "killed by signal " + std::to_string(signal) + " (" + strsignal(signal) + ")";
    return "exit status " + std::to_string(status);
}

ProcessResult RunProcess(const std::vector<std::string>& argv, const fs::path& workDir,
                         std::chrono::milliseconds timeout,
                         const std::vector<std::string>& extraEnvironment) {
    ProcessResult result;
    if (argv.empty())
        return result;
    std::vector<std::string> args = argv;
    args[0] = FindProgram(args[0]);
    std::vector<char*> pointers;
    for (std::string& a : args)
        pointers.push_back(a.data());
    pointers.push_back(nullptr);
    const std::string dir = workDir.string();
    // The program's per-user settings live in its work folder, so that a run never reads or
    // changes the settings of the person running the tests.
    std::vector<std::string> environment;
    auto replaced = [&](const char* entry) {
        const char* equals = std::strchr(entry, '=');
        const std::size_t nameLength = equals ? static_cast<std::size_t>(equals - entry) + 1 : 0;
        for (const std::string& extra : extraEnvironment) {
            if (nameLength && extra.compare(0, nameLength, entry, nameLength) == 0)
                return true;
        }
        return std::strncmp(entry, "XDG_CONFIG_HOME=", 16) == 0;
    };
    for (char** e = environ; *e; ++e) {
        if (!replaced(*e))
            environment.emplace_back(*e);
    }
    environment.push_back("XDG_CONFIG_HOME=" + (workDir / ".config").string());
    environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
    std::vector<char*> envPointers;
    for (std::string& e : environment)
        envPointers.push_back(e.data());
    envPointers.push_back(nullptr);
    const std::string cannotStart = "cannot start " + argv[0] + " in " + dir + "\n";

    Fd outRead, outWrite, errRead, errWrite;
    if (!MakePipe(outRead, outWrite) || !MakePipe(errRead, errWrite)) {
        result.err = std::string("cannot make a pipe: ") + std::strerror(errno);
        return result;
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        result.err = std::string("cannot fork: ") + std::strerror(errno);
        return result;
    }
    if (pid == 0)
        StartChild(pointers.data(), envPointers.data(), dir.c_str(), outWrite.fd, errWrite.fd,
                   cannotStart);
    // Both sides set the group, so that it is set before either relies on it.
    ::setpgid(pid, pid);
    outWrite.Close();
    errWrite.Close();

    const auto deadline = std::chrono::steady_clock::now() + timeout;
    Fd* streams[] = {&outRead, &errRead};
    std::string* targets[] = {&result.out, &result.err};
    while (outRead.fd >= 0 || errRead.fd >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            result.timedOut = true;
            ::kill(-pid, SIGKILL);
            break;
        }
        pollfd fds[2];
        nfds_t count = 0;
        int which[2];
        for (int i = 0; i < 2; ++i) {
            if (streams[i]->fd >= 0) {
                fds[count] = {streams[i]->fd, POLLIN, 0};
                which[count++] = i;
            }
        }
        const int ready = ::poll(fds, count, static_cast<int>(left.count()));
        if (ready < 0 && errno != EINTR)
            break;
        for (nfds_t k = 0; ready > 0 && k < count; ++k) {
            if (!(fds[k].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char buffer[65536];
            const ssize_t n = ::read(fds[k].fd, buffer, sizeof buffer);
            if (n > 0)
                targets[which[k]]->append(buffer, static_cast<std::size_t>(n));
            else if (n == 0 || errno != EINTR)
                streams[which[k]]->Close();
        }
    }
    // A program may close its output and still run: the time limit holds for its end too.
    // The end is awaited without reaping the program, so that its process group cannot be
    // another one's yet when whatever it started and left running is killed with it.
    while (true) {
        siginfo_t info{};
        const int flags = WEXITED | WNOWAIT | (result.timedOut ? 0 : WNOHANG);
        if (::waitid(P_PID, static_cast<id_t>(pid), &info, flags) != 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (info.si_pid == pid)
            break;
        if (std::chrono::steady_clock::now() >= deadline) {
            result.timedOut = true;
            ::kill(-pid, SIGKILL);
        } else {
            ::usleep(5000);
        }
    }
    ::kill(-pid, SIGKILL);
    int raw = 0;
    while (::waitpid(pid, &raw, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(raw) && !result.timedOut) {
        result.status = WEXITSTATUS(raw);
    } else if (WIFSIGNALED(raw) && !result.timedOut) {
        result.signal = WTERMSIG(raw);
    }
    return result;
}

ProcessResult RunHost(const std::vector<std::string>& args, const fs::path& workDir,
                      std::chrono::milliseconds timeout,
                      const std::vector<std::string>& environment) {
    std::vector<std::string> argv = {HostExecutable().string()};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProcess(argv, workDir, timeout, environment);
}

ProcessResult RunHostScript(int build, const fs::path& workDir, const std::string& script,
                            const std::vector<std::string>& extra,
                            std::chrono::milliseconds timeout) {
    if (!WriteFile(workDir / "run.scr", script)) {
        ProcessResult failed;
        failed.err = "cannot write " + (workDir / "run.scr").string() + "\n";
        return failed;
    }
    std::vector<std::string> args = ModuleArgs(build);
    args.insert(args.end(), {"--script", "run.scr"});
    args.insert(args.end(), extra.begin(), extra.end());
    return RunHost(args, workDir, timeout);
}

std::string CommandText(const std::vector<std::string>& argv) {
    std::string text;
    for (const std::string& a : argv) {
        if (!text.empty())
            text += ' ';
        if (!a.empty() && a.find_first_of(" \t\n'\"\\$`;&|<>()*?") == std::string::npos) {
            text += a;
            continue;
        }
        text += '\'';
        for (char c : a)
            text += c == '\'' ? std::string("'\\''") : std::string(1, c);
        text += '\'';
    }
    return text;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool WriteFile(const fs::path& path, const std::string& text) {
    std::error_code ec;
    if (path.has_parent_path())
        fs::create_directories(path.parent_path(), ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    return static_cast<bool>(out);
}

void MakeFreshFolder(const fs::path& path) {
    fs::remove_all(path);
    fs::create_directories(path);
}

}  // namespace testsupport
