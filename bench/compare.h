// Side-by-side comparisons: ours against a peer, and where there is one
// against the floor (the least work the job needs), in one process, on the
// same input. Each side is a Google Benchmark named "<what>/<who>/<input>";
// after the run one line per comparison gives the medians and the ratios.
#pragma once

#include <benchmark/benchmark.h>

#include <functional>
#include <string>

// How a pair's throughput is shown: megabytes of input per second, or
// frames per second, or none.
enum class rate_kind { none, megabytes, frames };

struct comparison {
    std::string what;   // "3ds_load", "bmp_decode", "frame", "startup"
    std::string input;  // a label for the input, e.g. "capacity" or "4096x4096"
    double input_bytes = 0;
    rate_kind rate = rate_kind::none;
    std::string peer;   // the peer's name, e.g. "lib3ds"
    // Also show the CPU time of the calling thread: where the work is shared
    // with threads of a library (llvmpipe's), this is the caller's own part.
    bool show_cpu = false;
};

using bench_body = std::function<void(benchmark::State&)>;

struct comparison_sides {
    benchmark::internal::Benchmark* ours;
    benchmark::internal::Benchmark* peer;
    benchmark::internal::Benchmark* floor;  // null when the comparison has none
};

// Registers the sides of one comparison; `ours`, `peer` and `floor` (which
// may be empty) time one run of the job per iteration (the job's own set-up
// stays outside the loop). Returns the benchmarks for extra settings
// (manual time, iterations).
comparison_sides add_comparison(const comparison& c, bench_body ours, bench_body peer,
                                bench_body floor = {});

// Takes our own options out of argv: --tsv=FILE (append one tab-separated
// line per comparison to FILE). Leaves the rest for Google Benchmark.
void take_compare_options(int* argc, char** argv);

// Runs every registered benchmark, with repetitions interleaved at random
// unless the command line says otherwise, then prints the ratio lines.
// Returns the process's exit status: 1 when a side failed or is missing.
int run_comparisons(int argc, char** argv);

// For the benchmarks' own options: the value of "--name=value" or nullptr.
const char* option_value(const char* arg, const char* name);
