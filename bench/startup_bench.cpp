// Start-up: from launching model_viewer to its first buffer swap, against a
// bare GLUT program that opens the same window and swaps once. Both run in
// the same asset folder on the current DISPLAY; a preloaded shim stamps the
// first swap and ends the process there. The shim also stamps the steps on
// the way (window made, model opened, texture opened, upload begun, mipmaps
// made); after the comparison one "steps" line per folder gives the median
// of each step over the same launches, ours beside the bare window's.
//   bench_startup --assets=LABEL:FOLDER [--tsv=OUT] [--steps-tsv=OUT] [benchmark flags]
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "compare.h"

namespace {

int64_t monotonic_ns()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// The shim's stamps, in its order (bench/first_swap.c's enum step).
enum step { WINDOW_MADE, MODEL_OPENED, TEXTURE_OPENED, UPLOAD_BEGUN, MIPMAPS_MADE, STEP_COUNT };

// Seconds of each step of one launch, by name, in the order they run.
using step_times = std::vector<std::pair<std::string, double>>;

// Every timed launch's steps, by program and folder.
std::map<std::string, std::vector<step_times>> launches;

step_times steps_of(int64_t start, int64_t swapped, const int64_t* stamps)
{
    auto span = [](int64_t from, int64_t to) {
        return from > 0 && to > 0 ? static_cast<double>(to - from) * 1e-9 : -1.0;
    };
    step_times t;
    t.emplace_back("window", span(start, stamps[WINDOW_MADE]));
    if (stamps[MODEL_OPENED] > 0) {
        t.emplace_back("gl_state", span(stamps[WINDOW_MADE], stamps[MODEL_OPENED]));
        t.emplace_back("model", span(stamps[MODEL_OPENED], stamps[TEXTURE_OPENED]));
        t.emplace_back("decode", span(stamps[TEXTURE_OPENED], stamps[UPLOAD_BEGUN]));
        t.emplace_back("upload", span(stamps[UPLOAD_BEGUN], stamps[MIPMAPS_MADE]));
        t.emplace_back("first_frame", span(stamps[MIPMAPS_MADE], swapped));
    } else {
        t.emplace_back("first_frame", span(stamps[WINDOW_MADE], swapped));
    }
    t.emplace_back("total", span(start, swapped));
    return t;
}

// Launches `program` in `folder`; returns seconds to its first swap, or a
// negative value when it ended without one (and then how, in `why`). The
// steps of a launch that reached its swap go to `steps`.
double time_to_first_swap(const char* program, const std::string& folder, std::string* why,
                          step_times* steps)
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
    int64_t stamps[STEP_COUNT] = {};
    const ssize_t got = pid > 0 ? read(fds[0], &swapped, sizeof swapped) : 0;
    const bool stamped = got == static_cast<ssize_t>(sizeof swapped) &&
                         read(fds[0], stamps, sizeof stamps) == static_cast<ssize_t>(sizeof stamps);
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
    if (stamped)
        *steps = steps_of(start, swapped, stamps);
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
        step_times steps;
        for (int t = 0; t < LAUNCH_TRIES && seconds < 0; ++t) {
            seconds = time_to_first_swap(program, folder, &why, &steps);
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
        if (!steps.empty())
            launches[std::string(program) + "\n" + folder].push_back(steps);
    }
    state.counters["failed_launches"] = failed;
}

double median_of(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

// The median of each step over the launches of `program` in `folder`, as
// "name T ms, ..."; empty when no launch was stamped. Each step's median is
// taken on its own, so they need not add up to the median total.
std::string step_medians(const char* program, const std::string& folder, size_t* count,
                         std::vector<std::pair<std::string, double>>* medians)
{
    const std::vector<step_times>& all = launches[std::string(program) + "\n" + folder];
    *count = all.size();
    if (all.empty())
        return "";
    std::string text;
    for (size_t k = 0; k < all[0].size(); ++k) {
        std::vector<double> v;
        for (const step_times& t : all)
            v.push_back(t[k].second);
        const double ms = median_of(v) * 1e3;
        medians->emplace_back(all[0][k].first, ms);
        char part[64];
        std::snprintf(part, sizeof part, "%s%s %.2f ms", text.empty() ? "" : ", ",
                      all[0][k].first.c_str(), ms);
        text += part;
    }
    return text;
}

// One line per folder on stdout, and one row per step to `tsv_path` (label,
// step, ours ms, bare ms or empty, launches).
bool print_steps(const std::vector<std::pair<std::string, std::string>>& folders,
                 const std::string& tsv_path)
{
    FILE* tsv = tsv_path.empty() ? nullptr : std::fopen(tsv_path.c_str(), "a");
    if (!tsv_path.empty() && !tsv) {
        std::fprintf(stderr, "cannot append to %s\n", tsv_path.c_str());
        return false;
    }
    bool ok = true;
    for (const auto& [label, folder] : folders) {
        size_t ours_n = 0, bare_n = 0;
        std::vector<std::pair<std::string, double>> ours, bare;
        const std::string ours_text = step_medians(MODEL_VIEWER, folder, &ours_n, &ours);
        const std::string bare_text = step_medians(BARE_WINDOW, folder, &bare_n, &bare);
        if (ours_text.empty() || bare_text.empty()) {
            std::printf("steps startup %s: no stamped launches\n", label.c_str());
            ok = false;
            continue;
        }
        std::printf("steps startup %s: ours: %s; bare_glut: %s [median of %zu and %zu launches]\n",
                    label.c_str(), ours_text.c_str(), bare_text.c_str(), ours_n, bare_n);
        for (const auto& [name, ms] : ours) {
            char bare_ms[32] = "";
            for (const auto& [bare_name, b] : bare)
                if (bare_name == name)
                    std::snprintf(bare_ms, sizeof bare_ms, "%.2f", b);
            if (tsv)
                std::fprintf(tsv, "%s\t%s\t%.2f\t%s\t%zu\n", label.c_str(), name.c_str(), ms,
                             bare_ms, ours_n);
        }
    }
    if (tsv)
        std::fclose(tsv);
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    take_compare_options(&argc, argv);
    int kept = 1;
    bool any = false;
    std::string steps_tsv;
    std::vector<std::pair<std::string, std::string>> folders;
    for (int i = 1; i < argc; ++i) {
        if (const char* t = option_value(argv[i], "--steps-tsv")) {
            steps_tsv = t;
            continue;
        }
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
        folders.emplace_back(c.input, folder);
        any = true;
    }
    argv[kept] = nullptr;
    if (!any || !std::getenv("DISPLAY")) {
        std::fprintf(stderr, "usage: bench_startup --assets=LABEL:FOLDER..., with DISPLAY set\n");
        return 2;
    }
    const int status = run_comparisons(kept, argv);
    return print_steps(folders, steps_tsv) ? status : 1;
}
