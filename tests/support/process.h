// Child processes with their output captured, for driving real programs.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace test_support {

struct exit_status {
    bool exited = false;  // ended by exit(); `code` holds the status
    int code = -1;
    int signal = 0;       // killed by this signal when !exited

    bool exited_with(int expected) const { return exited && code == expected; }
    std::string describe() const;  // "exit 0", "signal 11 (Segmentation fault)"
};
std::ostream& operator<<(std::ostream& out, const exit_status& status);

struct spawn_options {
    std::string working_directory;  // empty: the test's own
    std::vector<std::pair<std::string, std::string>> environment;  // added or replaced
};

// One running program. stdout and stderr go to separate temporary files that
// stay readable after it ends. The child has its own process group, which
// kill() and the destructor end as a whole (wrappers like apitrace included),
// and it is killed if the test process dies.
class child_process {
public:
    // argv[0] is looked up in PATH when it has no slash. Throws
    // std::runtime_error when the program cannot be started.
    static child_process spawn(const std::vector<std::string>& argv, const spawn_options& options = {});

    child_process(child_process&& other) noexcept;
    child_process(const child_process&) = delete;
    child_process& operator=(const child_process&) = delete;
    ~child_process();  // kills the group if still running, removes the captures

    bool running();  // false once it has ended

    // Waits up to `timeout` for the end; nothing if it is still running.
    std::optional<exit_status> wait_for_exit(std::chrono::milliseconds timeout);

    exit_status kill();  // SIGKILL to the group, then reap

    std::string stdout_text() const;
    std::string stderr_text() const;

private:
    child_process() = default;
    void release();

    pid_t process_id = -1;
    std::optional<exit_status> final_status;
    std::string out_file;
    std::string err_file;
};

// `options` with `library` added to LD_PRELOAD, and a sanitizer runtime in the
// program told not to refuse to start because it no longer comes first.
spawn_options with_preload(spawn_options options, const std::string& library);

// `options` with only the sanitizer part of the above (for programs that
// preload a library themselves, as `apitrace trace` does).
spawn_options allowing_preload(spawn_options options);

struct run_result {
    std::optional<exit_status> status;  // nothing: killed after the timeout
    std::string out;
    std::string err;

    // The exit code, or -1 when it did not exit by itself.
    int code() const { return status && status->exited ? status->code : -1; }
};

// Runs a program to its end (killing it after `timeout`) and returns its output.
run_result run_program(const std::vector<std::string>& argv,
                      std::chrono::milliseconds timeout = std::chrono::seconds(30),
                      const spawn_options& options = {});

}  // namespace test_support
