#include "test_files.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

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

std::string read_all(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

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
    static int serial = 0;
    const std::string out_path = temp_path("command-" + std::to_string(++serial) + ".out");
    const std::string err_path = out_path.substr(0, out_path.size() - 4) + ".err";
    command_result result;
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        if (!std::freopen(out_path.c_str(), "wb", stdout) ||
            !std::freopen(err_path.c_str(), "wb", stderr))
            _exit(126);
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        result.status = WEXITSTATUS(status);
    result.out = read_all(out_path);
    result.err = read_all(err_path);
    return result;
}
