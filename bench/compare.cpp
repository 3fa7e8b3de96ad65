#include "compare.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

namespace {

struct registered_comparison {
    comparison c;
    std::string ours_name;
    std::string peer_name;
    std::string floor_name;  // empty when there is no floor
};

std::vector<registered_comparison> comparisons;
std::string tsv_path;

// Seconds per iteration of every repetition, by benchmark name: wall clock,
// and CPU time of the calling thread.
std::map<std::string, std::vector<double>> samples;
std::map<std::string, std::vector<double>> cpu_samples;
std::map<std::string, std::string> failures;

class comparison_reporter : public benchmark::ConsoleReporter {
public:
    comparison_reporter() : benchmark::ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& reports) override
    {
        benchmark::ConsoleReporter::ReportRuns(reports);
        for (const Run& run : reports) {
            const std::string& name = run.run_name.function_name;
            if (run.error_occurred) {
                failures[name] = run.error_message;
                continue;
            }
            if (run.run_type != Run::RT_Iteration || run.iterations <= 0)
                continue;
            samples[name].push_back(run.real_accumulated_time /
                                    static_cast<double>(run.iterations));
            cpu_samples[name].push_back(run.cpu_accumulated_time /
                                        static_cast<double>(run.iterations));
        }
    }
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

std::string printf_string(const char* format, double v)
{
    char text[64];
    std::snprintf(text, sizeof text, format, v);
    return text;
}

// Three significant figures, in milliseconds.
std::string format_ms(double seconds)
{
    const double ms = seconds * 1e3;
    const char* format = ms >= 100 ? "%.0f" : ms >= 10 ? "%.1f" : ms >= 1 ? "%.2f" : "%.3f";
    return printf_string(format, ms);
}

std::string format_rate(rate_kind kind, double input_bytes, double seconds)
{
    switch (kind) {
    case rate_kind::megabytes:
        return printf_string("%.0f", input_bytes / seconds / 1e6);
    case rate_kind::frames:
        return printf_string("%.1f", 1.0 / seconds);
    case rate_kind::none:
        break;
    }
    return "";
}

const char* rate_unit(rate_kind kind)
{
    switch (kind) {
    case rate_kind::megabytes:
        return "MB/s";
    case rate_kind::frames:
        return "fps";
    case rate_kind::none:
        break;
    }
    return "";
}

bool has_flag(int argc, char** argv, const char* name)
{
    for (int i = 1; i < argc; ++i)
        if (option_value(argv[i], name))
            return true;
    return false;
}

}  // namespace

const char* option_value(const char* arg, const char* name)
{
    const size_t n = std::strlen(name);
    if (std::strncmp(arg, name, n) != 0 || arg[n] != '=')
        return nullptr;
    return arg + n + 1;
}

comparison_sides add_comparison(const comparison& c, bench_body ours, bench_body peer,
                                bench_body floor)
{
    registered_comparison r{c, c.what + "/ours/" + c.input,
                            c.what + "/" + c.peer + "/" + c.input, ""};
    if (floor)
        r.floor_name = c.what + "/floor/" + c.input;
    comparisons.push_back(r);
    comparison_sides sides{benchmark::RegisterBenchmark(r.ours_name.c_str(), ours),
                           benchmark::RegisterBenchmark(r.peer_name.c_str(), peer), nullptr};
    if (floor)
        sides.floor = benchmark::RegisterBenchmark(r.floor_name.c_str(), floor);
    for (auto* b : {sides.ours, sides.peer, sides.floor})
        if (b)
            b->Unit(benchmark::kMillisecond);
    return sides;
}

void take_compare_options(int* argc, char** argv)
{
    int kept = 1;
    for (int i = 1; i < *argc; ++i) {
        if (const char* v = option_value(argv[i], "--tsv"))
            tsv_path = v;
        else
            argv[kept++] = argv[i];
    }
    *argc = kept;
    argv[kept] = nullptr;
}

int run_comparisons(int argc, char** argv)
{
    // A noisy, shared machine: many short repetitions, the sides'
    // repetitions shuffled together, so a burst of load falls on all of them.
    std::vector<char*> args(argv, argv + argc);
    std::string repetitions = "--benchmark_repetitions=7";
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    if (!has_flag(argc, argv, "--benchmark_repetitions"))
        args.push_back(&repetitions[0]);
    if (!has_flag(argc, argv, "--benchmark_enable_random_interleaving"))
        args.push_back(&interleave[0]);
    int n = static_cast<int>(args.size());
    args.push_back(nullptr);
    benchmark::Initialize(&n, args.data());
    if (benchmark::ReportUnrecognizedArguments(n, args.data()))
        return 2;

    comparison_reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    FILE* tsv = tsv_path.empty() ? nullptr : std::fopen(tsv_path.c_str(), "a");
    if (!tsv_path.empty() && !tsv)
        std::fprintf(stderr, "cannot append to %s\n", tsv_path.c_str());
    int status = tsv_path.empty() || tsv ? 0 : 1;
    std::fflush(stdout);
    for (const registered_comparison& p : comparisons) {
        const comparison& c = p.c;
        const bool has_floor = !p.floor_name.empty();
        std::vector<const std::string*> names = {&p.ours_name, &p.peer_name};
        if (has_floor)
            names.push_back(&p.floor_name);
        bool failed = false, missing = false;
        for (const std::string* name : names) {
            if (failures.count(*name)) {
                std::printf("ratio %s %s: %s failed: %s\n", c.what.c_str(), c.input.c_str(),
                            name->c_str(), failures[*name].c_str());
                failed = true;
            }
            missing = missing || samples[*name].empty();
        }
        if (failed || missing) {
            if (!failed)
                std::printf("ratio %s %s: not run (filtered out?)\n", c.what.c_str(),
                            c.input.c_str());
            status = 1;
            continue;
        }
        const double ours = median(samples[p.ours_name]);
        const double peer = median(samples[p.peer_name]);
        const std::string ours_ms = format_ms(ours), peer_ms = format_ms(peer);
        const std::string ratio = printf_string("%.2f", ours / peer);
        const std::string ours_rate = format_rate(c.rate, c.input_bytes, ours);
        const std::string peer_rate = format_rate(c.rate, c.input_bytes, peer);
        size_t reps = std::min(samples[p.ours_name].size(), samples[p.peer_name].size());
        std::string floor_ms, floor_ratio;
        if (has_floor) {
            const double floor = median(samples[p.floor_name]);
            floor_ms = format_ms(floor);
            floor_ratio = printf_string("%.2f", ours / floor);
            reps = std::min(reps, samples[p.floor_name].size());
        }
        std::string ours_cpu, peer_cpu;
        if (c.show_cpu) {
            ours_cpu = format_ms(median(cpu_samples[p.ours_name]));
            peer_cpu = format_ms(median(cpu_samples[p.peer_name]));
        }
        std::printf("ratio %s %s: ours %s ms, %s %s ms", c.what.c_str(), c.input.c_str(),
                    ours_ms.c_str(), c.peer.c_str(), peer_ms.c_str());
        if (has_floor)
            std::printf(", floor %s ms", floor_ms.c_str());
        std::printf(", ours/%s = %s", c.peer.c_str(), ratio.c_str());
        if (has_floor)
            std::printf(", ours/floor = %s", floor_ratio.c_str());
        if (c.rate != rate_kind::none)
            std::printf(" (ours %s %s, %s %s %s)", ours_rate.c_str(), rate_unit(c.rate),
                        c.peer.c_str(), peer_rate.c_str(), rate_unit(c.rate));
        if (c.show_cpu)
            std::printf(" (calling thread's CPU: ours %s ms, %s %s ms)", ours_cpu.c_str(),
                        c.peer.c_str(), peer_cpu.c_str());
        std::printf(" [input %.0f bytes, median of %zu]\n", c.input_bytes, reps);
        if (tsv)
            std::fprintf(tsv,
                         "%s\t%s\t%.0f\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%zu\t%s\t%s\t%s\t%s\n",
                         c.what.c_str(), c.input.c_str(), c.input_bytes, c.peer.c_str(),
                         ours_ms.c_str(), peer_ms.c_str(), ratio.c_str(), rate_unit(c.rate),
                         ours_rate.c_str(), peer_rate.c_str(), reps, ours_cpu.c_str(),
                         peer_cpu.c_str(), floor_ms.c_str(), floor_ratio.c_str());
    }
    std::fflush(stdout);
    if (tsv)
        std::fclose(tsv);
    return status;
}
