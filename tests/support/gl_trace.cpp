// GoogleTest before Xlib: Xlib's macros (Bool, None, Status) break its names.
#include <gtest/gtest.h>

#include "support/gl_trace.h"

#include <cctype>
#include <cstdlib>
#include <sstream>

#include "support/files.h"

namespace test_support {
namespace {

std::string trim(const std::string& text)
{
    size_t first = 0, last = text.size();
    while (first < last && std::isspace(static_cast<unsigned char>(text[first])))
        ++first;
    while (last > first && std::isspace(static_cast<unsigned char>(text[last - 1])))
        --last;
    return text.substr(first, last - first);
}

// Index of the bracket closing the one at `open`, skipping quoted strings; npos if none.
size_t closing(const std::string& text, size_t open)
{
    int depth = 0;
    bool quoted = false;
    for (size_t i = open; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                quoted = false;
        } else if (c == '"') {
            quoted = true;
        } else if (c == '(' || c == '{' || c == '[') {
            ++depth;
        } else if (c == ')' || c == '}' || c == ']') {
            if (--depth == 0)
                return i;
        }
    }
    return std::string::npos;
}

std::optional<gl_call> parse_line(const std::string& line)
{
    size_t at = 0;
    while (at < line.size() && std::isdigit(static_cast<unsigned char>(line[at])))
        ++at;
    if (at == 0 || at >= line.size() || line[at] != ' ')
        return std::nullopt;
    const size_t open = line.find('(', at);
    if (open == std::string::npos)
        return std::nullopt;
    const size_t close = closing(line, open);
    if (close == std::string::npos)
        return std::nullopt;

    gl_call call;
    call.number = std::strtoul(line.c_str(), nullptr, 10);
    call.function = trim(line.substr(at + 1, open - at - 1));
    call.args = split_arguments(line.substr(open + 1, close - open - 1));
    call.text = line.substr(at + 1, close - at);

    std::string rest = line.substr(close + 1);
    const size_t comment = rest.find("//");
    if (comment != std::string::npos) {
        call.fake = rest.find("fake", comment) != std::string::npos;
        rest = rest.substr(0, comment);
    }
    rest = trim(rest);
    if (rest.size() >= 1 && rest[0] == '=')
        call.result = trim(rest.substr(1));
    return call;
}

}  // namespace

std::vector<double> gl_call::numbers(std::size_t index) const
{
    std::vector<double> values;
    if (index >= args.size())
        return values;
    // Tokens between separators; a token is a number only if all of it reads
    // as one, so GL_LIGHT0 and pointers such as 0x55d3... are skipped.
    std::string token;
    auto take = [&] {
        const bool hex = token.find("0x") != std::string::npos || token.find("0X") != std::string::npos;
        if (!token.empty() && !hex) {
            char* end = nullptr;
            const double value = std::strtod(token.c_str(), &end);
            if (end == token.c_str() + token.size())
                values.push_back(value);
        }
        token.clear();
    };
    for (char c : args[index]) {
        if (std::isspace(static_cast<unsigned char>(c)) || std::string("{}[](),=&").find(c) != std::string::npos)
            take();
        else
            token += c;
    }
    take();
    return values;
}

std::size_t gl_trace::find(const std::string& function, std::size_t from) const
{
    for (std::size_t i = from; i < calls.size(); ++i) {
        if (calls[i].function == function)
            return i;
    }
    return npos;
}

std::vector<std::size_t> gl_trace::find_all(const std::string& function) const
{
    std::vector<std::size_t> found;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].function == function)
            found.push_back(i);
    }
    return found;
}

std::vector<std::pair<std::size_t, std::size_t>> gl_trace::frames() const
{
    std::vector<std::pair<std::size_t, std::size_t>> found;
    std::size_t first = 0;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].function == "glXSwapBuffers") {
            found.emplace_back(first, i);
            first = i + 1;
        }
    }
    return found;
}

std::vector<std::string> apitrace_command(const std::string& trace_file, const std::vector<std::string>& program_argv)
{
    std::vector<std::string> argv{"apitrace", "trace", "--api", "gl", "-o", trace_file};
    argv.insert(argv.end(), program_argv.begin(), program_argv.end());
    return argv;
}

spawn_options apitrace_options(spawn_options options) { return allowing_preload(std::move(options)); }

std::optional<gl_trace> read_trace(const std::string& trace_file, std::string* error, const std::string& call_set)
{
    std::vector<std::string> argv{"apitrace", "dump", "--color=never", "--arg-names=no", "--multiline=no"};
    if (!call_set.empty())
        argv.push_back("--calls=" + call_set);
    argv.push_back(trace_file);
    run_result dumped;
    try {
        dumped = run_program(argv, std::chrono::seconds(60));
    } catch (const std::exception& failure) {
        if (error)
            *error = failure.what();
        return std::nullopt;
    }
    if (!dumped.status || !dumped.status->exited_with(0)) {
        if (error)
            *error = "apitrace dump " + (dumped.status ? dumped.status->describe() : std::string("timed out")) +
                     ": " + dumped.err;
        return std::nullopt;
    }
    return parse_trace_dump(dumped.out);
}

gl_trace parse_trace_dump(const std::string& dump)
{
    gl_trace trace;
    std::istringstream lines(dump);
    std::string line;
    while (std::getline(lines, line)) {
        if (std::optional<gl_call> call = parse_line(line))
            trace.calls.push_back(std::move(*call));
    }
    return trace;
}

std::vector<std::string> split_arguments(const std::string& list)
{
    std::vector<std::string> args;
    if (trim(list).empty())
        return args;
    int depth = 0;
    bool quoted = false;
    std::string current;
    for (size_t i = 0; i < list.size(); ++i) {
        const char c = list[i];
        if (quoted) {
            current += c;
            if (c == '\\' && i + 1 < list.size())
                current += list[++i];
            else if (c == '"')
                quoted = false;
            continue;
        }
        if (c == '"')
            quoted = true;
        else if (c == '(' || c == '{' || c == '[')
            ++depth;
        else if (c == ')' || c == '}' || c == ']')
            --depth;
        if (c == ',' && depth == 0) {
            args.push_back(trim(current));
            current.clear();
        } else {
            current += c;
        }
    }
    args.push_back(trim(current));
    return args;
}

std::optional<gl_trace> record_trace(Display* display, const std::vector<std::string>& argv, const trace_plan& plan)
{
    const temp_folder folder("szablon-trace");
    const std::string file = folder.file("run.trace");
    {
        // A window left by an earlier run of the same test binary is not this one.
        const std::vector<Window> earlier = windows_titled(display, "Szablon");
        child_process program = child_process::spawn(apitrace_command(file, argv), apitrace_options(plan.options));
        const std::optional<Window> window = find_window(display, "Szablon", std::chrono::seconds(20), earlier);
        if (!window) {
            ADD_FAILURE() << argv.front() << " showed no window titled Szablon; stderr:\n" << program.stderr_text();
            return std::nullopt;
        }
        EXPECT_TRUE(wait_for_new_frames(display, *window, plan.frames, !plan.idle_loop)) << "no frame at the first size";
        for (const auto& [width, height] : plan.resizes) {
            EXPECT_TRUE(resize_window(display, *window, width, height));
            EXPECT_TRUE(wait_for_new_frames(display, *window, plan.frames, !plan.idle_loop))
                << "no frame at " << width << "x" << height;
        }
        if (!plan.idle_loop) {
            // Watched a while longer, in which an idle or timer callback would
            // leave frames in the trace, the picture must not change.
            const std::optional<rgb_image> settled = capture_window(display, *window);
            const std::optional<rgb_image> later = capture_until(
                display, *window,
                [&](const rgb_image& shot) { return !settled || max_channel_difference(*settled, shot) != 0; },
                std::chrono::milliseconds(300));
            EXPECT_TRUE(settled && later && max_channel_difference(*settled, *later) == 0)
                << "the picture changed on its own";
        }
        EXPECT_TRUE(close_window(display, *window));
        const std::optional<exit_status> status = program.wait_for_exit(std::chrono::seconds(20));
        EXPECT_TRUE(status && status->exited_with(0))
            << (status ? status->describe() : "still running after its window was closed") << "; stderr:\n"
            << program.stderr_text();
        if (!status)
            return std::nullopt;
    }
    std::string error;
    std::optional<gl_trace> trace = read_trace(file, &error);
    EXPECT_TRUE(trace) << error;
    return trace;
}

}  // namespace test_support
