#include "support/process.h"

#include "support/files.h"
#include "support/wait.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace test_support {
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

exit_status decode(int raw)
{
    exit_status status;
    if (WIFEXITED(raw)) {
        status.exited = true;
        status.code = WEXITSTATUS(raw);
    } else if (WIFSIGNALED(raw)) {
        status.signal = WTERMSIG(raw);
    }
    return status;
}

}  // namespace

std::string exit_status::describe() const
{
    if (exited)
        return "exit " + std::to_string(code);
    return "signal " + std::to_string(signal) + " (" + strsignal(signal) + ")";
}

std::ostream& operator<<(std::ostream& out, const exit_status& status)
{
    return out << status.describe();
}

child_process child_process::spawn(const std::vector<std::string>& argv, const spawn_options& options)
{
    if (argv.empty())
        throw std::runtime_error("spawn: no program given");

    child_process child;
    child.out_file = temp_file("stdout");
    child.err_file = temp_file("stderr");

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
        const int out = open(child.out_file.c_str(), O_WRONLY | O_TRUNC);
        const int err = open(child.err_file.c_str(), O_WRONLY | O_TRUNC);
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
    child.process_id = pid;
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

child_process::child_process(child_process&& other) noexcept
    : process_id(other.process_id),
      final_status(other.final_status),
      out_file(std::move(other.out_file)),
      err_file(std::move(other.err_file))
{
    other.process_id = -1;
    other.out_file.clear();
    other.err_file.clear();
}

child_process::~child_process() { release(); }

void child_process::release()
{
    if (process_id > 0 && !final_status)
        kill();
    else if (process_id > 0)
        ::kill(-process_id, SIGKILL);  // leftovers of the group, such as a traced program
    if (!out_file.empty())
        unlink(out_file.c_str());
    if (!err_file.empty())
        unlink(err_file.c_str());
    process_id = -1;
}

bool child_process::running()
{
    if (final_status || process_id <= 0)
        return false;
    int raw = 0;
    if (waitpid(process_id, &raw, WNOHANG) == process_id) {
        final_status = decode(raw);
        return false;
    }
    return true;
}

std::optional<exit_status> child_process::wait_for_exit(std::chrono::milliseconds timeout)
{
    if (wait_until([&] { return !running(); }, timeout, std::chrono::milliseconds(5)))
        return final_status;
    return std::nullopt;
}

exit_status child_process::kill()
{
    if (process_id > 0 && !final_status) {
        ::kill(-process_id, SIGKILL);
        int raw = 0;
        if (waitpid(process_id, &raw, 0) == process_id)
            final_status = decode(raw);
    }
    return final_status.value_or(exit_status{});
}

std::string child_process::stdout_text() const { return read_file(out_file); }

std::string child_process::stderr_text() const { return read_file(err_file); }

namespace {

// The value a variable will have in the child: the options' last say, else ours.
std::string child_value(const spawn_options& options, const std::string& name)
{
    for (auto i = options.environment.rbegin(); i != options.environment.rend(); ++i) {
        if (i->first == name)
            return i->second;
    }
    const char* value = std::getenv(name.c_str());
    return value ? value : "";
}

}  // namespace

spawn_options allowing_preload(spawn_options options)
{
    const std::string asan = child_value(options, "ASAN_OPTIONS");
    options.environment.emplace_back("ASAN_OPTIONS", (asan.empty() ? "" : asan + ":") + "verify_asan_link_order=0");
    return options;
}

spawn_options with_preload(spawn_options options, const std::string& library)
{
    const std::string preload = child_value(options, "LD_PRELOAD");
    options.environment.emplace_back("LD_PRELOAD", preload.empty() ? library : library + ":" + preload);
    return allowing_preload(std::move(options));
}

run_result run_program(const std::vector<std::string>& argv, std::chrono::milliseconds timeout,
                      const spawn_options& options)
{
    child_process child = child_process::spawn(argv, options);
    run_result result;
    result.status = child.wait_for_exit(timeout);
    if (!result.status)
        child.kill();
    result.out = child.stdout_text();
    result.err = child.stderr_text();
    return result;
}

}  // namespace test_support
