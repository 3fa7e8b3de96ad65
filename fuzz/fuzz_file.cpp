#include "fuzz_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/files.h"

namespace {

// One file in a temporary folder of this process, kept open for rewriting.
struct input_file {
    e2e::temp_folder folder{"szablon-fuzz"};
    std::string path = folder.file("input");
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);

    input_file()
    {
        if (fd < 0) {
            std::perror(path.c_str());
            std::abort();
        }
    }
    ~input_file() { close(fd); }
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
