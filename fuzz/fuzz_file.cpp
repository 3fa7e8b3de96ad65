#include "fuzz_file.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct input_file {
    std::string path;
    int fd = -1;

    input_file()
    {
        const char* dir = std::getenv("TMPDIR");
        std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/szablon-fuzz-XXXXXX";
        fd = mkstemp(pattern.data());
        if (fd < 0) {
            std::perror("mkstemp");
            std::abort();
        }
        path = pattern;
    }
    ~input_file()
    {
        close(fd);
        unlink(path.c_str());
    }
};

}  // namespace

const char* write_input_file(const uint8_t* data, size_t size)
{
    static input_file file;
    if (ftruncate(file.fd, 0) != 0 ||
        pwrite(file.fd, data, size, 0) != static_cast<ssize_t>(size)) {
        std::perror(file.path.c_str());
        std::abort();
    }
    return file.path.c_str();
}

void invariant_broken(const char* what)
{
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}
