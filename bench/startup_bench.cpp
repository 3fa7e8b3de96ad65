// Start-up: from launching model_viewer to its first buffer swap, against a
// bare GLUT program that opens the same window and swaps once. Both run in
// the same asset folder on the current DISPLAY; a preloaded shim stamps the
// first swap and ends the process there.
//   bench_startup --assets=LABEL:FOLDER [--tsv=OUT] [benchmark flags]
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "compare.h"

namespace {

int64_t monotonic_ns()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Launches `program` in `folder`; returns seconds to its first swap, or a
// negative value when it ended without one (and then how, in `why`).
double time_to_first_swap(const char* program, const std::string& folder, std::string* why)
{
    int fds[2];
    if (pipe(fds) != 0)
        return -1;
    const int64_t start = monotonic_ns();
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        if (chdir(folder.c_str()) != 0)
            _exit(126);
        setenv("FIRST_SWAP_FD", std::to_string(fds[1]).c_str(), 1);
        setenv("LD_PRELOAD", FIRST_SWAP_SHIM, 1);
        execl(program, program, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    int64_t swapped = 0;
    const ssize_t got = pid > 0 ? read(fds[0], &swapped, sizeof swapped) : 0;
    close(fds[0]);
    int status = 0;
    if (pid > 0)
        waitpid(pid, &status, 0);
    if (got != static_cast<ssize_t>(sizeof swapped)) {
        *why = std::string(program) + " ended before its first swap: " +
               (pid <= 0            ? "it could not be started"
                : WIFEXITED(status) ? "exit status " + std::to_string(WEXITSTATUS(status))
                : WIFSIGNALED(status) ? "signal " + std::to_string(WTERMSIG(status))
                                      : "status " + std::to_string(status));
        return -1;
    }
    return static_cast<double>(swapped - start) * 1e-9;
}

// Now and then a launch cannot open the display while the server is still
// busy with the last one; such a launch is not a start-up, so it is tried
// again (and counted), and only a launch that reached its swap is timed.
constexpr int LAUNCH_TRIES = 5;

void launch(benchmark::State& state, const char* program, const std::string& folder)
{
    int failed = 0;
    for (auto _ : state) {
        std::string why;
        double seconds = -1;
        for (int t = 0; t < LAUNCH_TRIES && seconds < 0; ++t) {
            seconds = time_to_first_swap(program, folder, &why);
            if (seconds < 0) {
                std::fprintf(stderr, "%s; trying again\n", why.c_str());
                ++failed;
            }
        }
        if (seconds < 0) {
            state.SkipWithError(why.c_str());
            break;
        }
        state.SetIterationTime(seconds);
    }
    state.counters["failed_launches"] = failed;
}

}  // namespace

int main(int argc, char** argv)
{
    take_compare_options(&argc, argv);
    int kept = 1;
    bool any = false;
    for (int i = 1; i < argc; ++i) {
        const char* v = option_value(argv[i], "--assets");
        const char* colon = v ? std::strchr(v, ':') : nullptr;
        if (!colon) {
            argv[kept++] = argv[i];
            continue;
        }
        const std::string folder = colon + 1;
        struct stat model_stat, texture_stat;
        if (stat((folder + "/szablon.3ds").c_str(), &model_stat) != 0 ||
            stat((folder + "/szablon.bmp").c_str(), &texture_stat) != 0) {
            std::fprintf(stderr, "%s holds no szablon.3ds and szablon.bmp\n", folder.c_str());
            return 2;
        }
        comparison c;
        c.what = "startup";
        c.input = std::string(v, colon);
        c.input_bytes = static_cast<double>(model_stat.st_size + texture_stat.st_size);
        c.peer = "bare_glut";
        auto sides = add_comparison(
            c, [folder](benchmark::State& s) { launch(s, MODEL_VIEWER, folder); },
            [folder](benchmark::State& s) { launch(s, BARE_WINDOW, folder); });
        for (auto* b : {sides.ours, sides.peer})
            b->UseManualTime()->Iterations(4);
        any = true;
    }
    argv[kept] = nullptr;
    if (!any || !std::getenv("DISPLAY")) {
        std::fprintf(stderr, "usage: bench_startup --assets=LABEL:FOLDER..., with DISPLAY set\n");
        return 2;
    }
    return run_comparisons(kept, argv);
}
