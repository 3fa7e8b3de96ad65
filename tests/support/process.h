// Child processes with their output captured, for driving real programs.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

struct ExitStatus {
    bool exited = false;  // ended by exit(); `code` holds the status
    int code = -1;
    int signal = 0;       // killed by this signal when !exited

    bool exited_with(int expected) const { return exited && code == expected; }
    std::string describe() const;  // "exit 0", "signal 11 (Segmentation fault)"
};
std::ostream& operator<<(std::ostream& out, const ExitStatus& status);

struct SpawnOptions {
    std::string working_directory;  // empty: the test's own
    std::vector<std::pair<std::string, std::string>> environment;  // added or replaced
};

// One running program. stdout and stderr go to separate temporary files that
// stay readable after it ends. The child has its own process group, which
// kill() and the destructor end as a whole (wrappers like apitrace included),
// and it is killed if the test process dies.
class ChildProcess {
public:
    // argv[0] is looked up in PATH when it has no slash. Throws
    // std::runtime_error when the program cannot be started.
    static ChildProcess spawn(const std::vector<std::string>& argv, const SpawnOptions& options = {});

    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();  // kills the group if still running, removes the captures

    pid_t pid() const { return pid_; }
    bool running();  // false once it has ended (then exit_status() holds)

    // Waits up to `timeout` for the end; nothing if it is still running.
    std::optional<ExitStatus> wait_for_exit(std::chrono::milliseconds timeout);
    std::optional<ExitStatus> exit_status() const { return status_; }

    void send_signal(int signal);  // to the whole group
    ExitStatus kill();             // SIGKILL to the group, then reap

    std::string stdout_text() const;
    std::string stderr_text() const;
    const std::string& stdout_path() const { return stdout_path_; }
    const std::string& stderr_path() const { return stderr_path_; }

private:
    ChildProcess() = default;
    void release();

    pid_t pid_ = -1;
    std::optional<ExitStatus> status_;
    std::string stdout_path_;
    std::string stderr_path_;
};

// `options` with `library` added to LD_PRELOAD, and a sanitizer runtime in the
// program told not to refuse to start because it no longer comes first.
SpawnOptions with_preload(SpawnOptions options, const std::string& library);

// `options` with only the sanitizer part of the above (for programs that
// preload a library themselves, as `apitrace trace` does).
SpawnOptions allowing_preload(SpawnOptions options);

struct RunResult {
    std::optional<ExitStatus> status;  // nothing: killed after the timeout
    std::string out;
    std::string err;
};

// Runs a program to its end (killing it after `timeout`) and returns its output.
RunResult run_program(const std::vector<std::string>& argv,
                      std::chrono::milliseconds timeout = std::chrono::seconds(30),
                      const SpawnOptions& options = {});

}  // namespace e2e
