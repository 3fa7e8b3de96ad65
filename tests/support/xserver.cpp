#include "support/xserver.h"

#include "support/files.h"
#include "support/wait.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

namespace test_support {
namespace {

pid_t server_pid = -1;
std::string server_display;
std::string server_log;

void stop_at_exit() { stop_private_x_server(); }

}  // namespace

std::string start_private_x_server(std::chrono::milliseconds timeout)
{
    if (server_pid > 0)
        return server_display;

    char log_template[] = "/tmp/e2e-xvfb-XXXXXX";
    const int log_fd = mkstemp(log_template);
    if (log_fd < 0)
        throw std::runtime_error(std::string("cannot make the Xvfb log: ") + std::strerror(errno));
    server_log = log_template;

    int ready[2];
    if (pipe(ready) != 0)
        throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));

    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
    if (pid == 0) {
        // Die with the test process even when it crashes, so no server is left behind.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(1);
        close(ready[0]);
        const int null_fd = open("/dev/null", O_RDONLY);
        dup2(null_fd, STDIN_FILENO);
        dup2(log_fd, STDOUT_FILENO);
        dup2(log_fd, STDERR_FILENO);
        const std::string fd_text = std::to_string(ready[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd_text.c_str(), "-screen", "0", "1280x1024x24",
               "-nolisten", "tcp", "-noreset", "+extension", "GLX", static_cast<char*>(nullptr));
        std::fprintf(stderr, "cannot run Xvfb: %s\n", std::strerror(errno));
        _exit(127);
    }
    close(log_fd);
    close(ready[1]);
    server_pid = pid;

    // Xvfb writes the display number and a newline once it accepts clients.
    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    bool done = false;
    while (!done) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd wait_for{ready[0], POLLIN, 0};
        if (poll(&wait_for, 1, static_cast<int>(left.count())) <= 0)
            continue;
        char c = 0;
        const ssize_t got = read(ready[0], &c, 1);
        if (got <= 0)
            break;  // Xvfb exited without telling
        if (c == '\n')
            done = true;
        else
            number += c;
    }
    close(ready[0]);
    if (!done || number.empty()) {
        const std::string log = read_file(server_log);
        stop_private_x_server();
        throw std::runtime_error("Xvfb did not start; its output:\n" + log);
    }

    server_display = ":" + number;
    setenv("DISPLAY", server_display.c_str(), 1);
    // Xvfb has no GPU behind it; make the choice of renderer explicit and the
    // pictures the same on every machine.
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    setenv("GALLIUM_DRIVER", "llvmpipe", 1);

    static bool registered = false;
    if (!registered) {
        std::atexit(stop_at_exit);
        registered = true;
    }
    return server_display;
}

void stop_private_x_server()
{
    if (server_pid <= 0)
        return;
    kill(server_pid, SIGTERM);
    int status = 0;
    const bool reaped = wait_until([&] { return waitpid(server_pid, &status, WNOHANG) == server_pid; },
                                   std::chrono::seconds(2), std::chrono::milliseconds(10));
    if (!reaped) {
        kill(server_pid, SIGKILL);
        waitpid(server_pid, &status, 0);
    }
    server_pid = -1;
    server_display.clear();
    if (!server_log.empty()) {
        unlink(server_log.c_str());
        server_log.clear();
    }
}

std::string private_x_display() { return server_display; }

void private_x_server_environment::SetUp()
{
    try {
        start_private_x_server();
    } catch (const std::exception& error) {
        FAIL() << error.what();
    }
}

void private_x_server_environment::TearDown() { stop_private_x_server(); }

}  // namespace test_support
