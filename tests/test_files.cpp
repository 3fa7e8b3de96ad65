#include "test_files.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "support/process.h"

namespace {

struct temp_folder {
    std::string path;
    ~temp_folder()
    {
        if (!path.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    }
};

temp_folder folder;

}  // namespace

std::string temp_path(const std::string& name)
{
    if (folder.path.empty()) {
        char pattern[] = "/tmp/szablon-test-XXXXXX";
        if (!mkdtemp(pattern)) {
            std::perror("mkdtemp");
            std::abort();
        }
        folder.path = pattern;
    }
    return folder.path + "/" + name;
}

std::string testdata_path(const std::string& relative)
{
    return std::string(SZABLON_TESTDATA) + "/" + relative;
}

command_result run_command(const std::vector<std::string>& argv)
{
    const e2e::run_result run = e2e::run_program(argv);
    command_result result;
    if (run.status && run.status->exited)
        result.status = run.status->code;
    result.out = run.out;
    result.err = run.err;
    return result;
}
