#include "support/process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace e2e {
namespace {

std::string temp_file(const char* tag)
{
    const char* dir = std::getenv("TMPDIR");
    std::string path = std::string(dir && *dir ? dir : "/tmp") + "/e2e-" + tag + "-XXXXXX";
    const int fd = mkstemp(path.data());
    if (fd < 0)
        throw std::runtime_error("cannot make a capture file: " + std::string(std::strerror(errno)));
    close(fd);
    return path;
}

std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

ExitStatus decode(int raw)
{
    ExitStatus status;
    if (WIFEXITED(raw)) {
        status.exited = true;
        status.code = WEXITSTATUS(raw);
    } else if (WIFSIGNALED(raw)) {
        status.signal = WTERMSIG(raw);
    }
    return status;
}

}  // namespace

std::string ExitStatus::describe() const
{
    if (exited)
        return "exit " + std::to_string(code);
    return "signal " + std::to_string(signal) + " (" + strsignal(signal) + ")";
}

std::ostream& operator<<(std::ostream& out, const ExitStatus& status)
{
    return out << status.describe();
}

ChildProcess ChildProcess::spawn(const std::vector<std::string>& argv, const SpawnOptions& options)
{
    if (argv.empty())
        throw std::runtime_error("spawn: no program given");

    ChildProcess child;
    child.stdout_path_ = temp_file("stdout");
    child.stderr_path_ = temp_file("stderr");

    // The child reports a failed chdir or exec through this pipe; a successful
    // exec closes it empty.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe: " + std::string(std::strerror(errno)));

    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork: " + std::string(std::strerror(errno)));
    if (pid == 0) {
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
        auto fail = [&](const char* what) {
            const std::string message = std::string(what) + ": " + std::strerror(errno);
            ssize_t ignored = write(report[1], message.data(), message.size());
            (void)ignored;
            _exit(127);
        };
        const int in = open("/dev/null", O_RDONLY);
        const int out = open(child.stdout_path_.c_str(), O_WRONLY | O_TRUNC);
        const int err = open(child.stderr_path_.c_str(), O_WRONLY | O_TRUNC);
        if (in < 0 || out < 0 || err < 0)
            fail("open the capture files");
        dup2(in, STDIN_FILENO);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        if (!options.working_directory.empty() && chdir(options.working_directory.c_str()) != 0)
            fail(("chdir " + options.working_directory).c_str());
        for (const auto& [name, value] : options.environment)
            setenv(name.c_str(), value.c_str(), 1);
        execvp(args[0], args.data());
        fail(("exec " + argv[0]).c_str());
    }
    close(report[1]);
    child.pid_ = pid;
    // Also from here, so a kill straight after spawn reaches the group.
    setpgid(pid, pid);

    std::string failure;
    char buffer[256];
    ssize_t got;
    while ((got = read(report[0], buffer, sizeof buffer)) > 0)
        failure.append(buffer, static_cast<size_t>(got));
    close(report[0]);
    if (!failure.empty()) {
        child.wait_for_exit(std::chrono::seconds(5));
        throw std::runtime_error("cannot start " + argv[0] + ": " + failure);
    }
    return child;
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : pid_(other.pid_),
      status_(other.status_),
      stdout_path_(std::move(other.stdout_path_)),
      stderr_path_(std::move(other.stderr_path_))
{
    other.pid_ = -1;
    other.stdout_path_.clear();
    other.stderr_path_.clear();
}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept
{
    if (this != &other) {
        release();
        pid_ = other.pid_;
        status_ = other.status_;
        stdout_path_ = std::move(other.stdout_path_);
        stderr_path_ = std::move(other.stderr_path_);
        other.pid_ = -1;
        other.stdout_path_.clear();
        other.stderr_path_.clear();
    }
    return *this;
}

ChildProcess::~ChildProcess() { release(); }

void ChildProcess::release()
{
    if (pid_ > 0 && !status_)
        kill();
    else if (pid_ > 0)
        ::kill(-pid_, SIGKILL);  // leftovers of the group, such as a traced program
    if (!stdout_path_.empty())
        unlink(stdout_path_.c_str());
    if (!stderr_path_.empty())
        unlink(stderr_path_.c_str());
    pid_ = -1;
}

bool ChildProcess::running()
{
    if (status_ || pid_ <= 0)
        return false;
    int raw = 0;
    if (waitpid(pid_, &raw, WNOHANG) == pid_) {
        status_ = decode(raw);
        return false;
    }
    return true;
}

std::optional<ExitStatus> ChildProcess::wait_for_exit(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (running()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return status_;
}

void ChildProcess::send_signal(int signal)
{
    if (pid_ > 0)
        ::kill(-pid_, signal);
}

ExitStatus ChildProcess::kill()
{
    if (pid_ > 0 && !status_) {
        ::kill(-pid_, SIGKILL);
        int raw = 0;
        if (waitpid(pid_, &raw, 0) == pid_)
            status_ = decode(raw);
    }
    return status_.value_or(ExitStatus{});
}

std::string ChildProcess::stdout_text() const { return read_file(stdout_path_); }

std::string ChildProcess::stderr_text() const { return read_file(stderr_path_); }

namespace {

// The value a variable will have in the child: the options' last say, else ours.
std::string child_value(const SpawnOptions& options, const std::string& name)
{
    for (auto i = options.environment.rbegin(); i != options.environment.rend(); ++i) {
        if (i->first == name)
            return i->second;
    }
    const char* value = std::getenv(name.c_str());
    return value ? value : "";
}

}  // namespace

SpawnOptions allowing_preload(SpawnOptions options)
{
    const std::string asan = child_value(options, "ASAN_OPTIONS");
    options.environment.emplace_back("ASAN_OPTIONS", (asan.empty() ? "" : asan + ":") + "verify_asan_link_order=0");
    return options;
}

SpawnOptions with_preload(SpawnOptions options, const std::string& library)
{
    const std::string preload = child_value(options, "LD_PRELOAD");
    options.environment.emplace_back("LD_PRELOAD", preload.empty() ? library : library + ":" + preload);
    return allowing_preload(std::move(options));
}

RunResult run_program(const std::vector<std::string>& argv, std::chrono::milliseconds timeout,
                      const SpawnOptions& options)
{
    ChildProcess child = ChildProcess::spawn(argv, options);
    RunResult result;
    result.status = child.wait_for_exit(timeout);
    if (!result.status)
        child.kill();
    result.out = child.stdout_text();
    result.err = child.stderr_text();
    return result;
}

}  // namespace e2e
