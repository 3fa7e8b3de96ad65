#include "support/files.h"

#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace test_support {

temp_folder::temp_folder(const std::string& tag)
{
    const char* dir = std::getenv("TMPDIR");
    std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/" + tag + "-XXXXXX";
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make a temporary folder: " + std::string(std::strerror(errno)));
    folder = pattern;
}

temp_folder::~temp_folder()
{
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

std::string temp_path(const std::string& name)
{
    static const temp_folder folder;
    return folder.file(name);
}

std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string testdata_path(const std::string& relative)
{
    return std::string(SZABLON_TESTDATA) + "/" + relative;
}

std::string missing_testdata()
{
    std::error_code ignored;
    if (std::filesystem::is_directory(testdata_path("3ds"), ignored) &&
        std::filesystem::is_directory(testdata_path("bmp"), ignored))
        return "";
    return std::string("no shared test data at ") + SZABLON_TESTDATA +
           " (configure with -DSZABLON_TESTDATA=FOLDER to point at it)";
}

bool testdata_required()
{
    const char* value = std::getenv("SZABLON_REQUIRE_TESTDATA");
    return value && *value && std::strcmp(value, "0") != 0;
}

}  // namespace test_support
