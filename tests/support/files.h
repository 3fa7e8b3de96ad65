// Files for tests: a private temporary folder, whole-file reads, and the
// shared test data of real files written by other programs.
#pragma once

#include <string>

namespace test_support {

// A folder of its own under $TMPDIR (or /tmp), removed with everything in it
// when the object goes. Throws std::runtime_error when it cannot be made.
class temp_folder {
public:
    explicit temp_folder(const std::string& tag = "szablon-test");
    ~temp_folder();
    temp_folder(const temp_folder&) = delete;
    temp_folder& operator=(const temp_folder&) = delete;

    const std::string& path() const { return folder; }
    std::string file(const std::string& name) const { return folder + "/" + name; }

private:
    std::string folder;
};

// A path inside this test process's own temporary folder, a temp_folder made
// on first use and removed at exit.
std::string temp_path(const std::string& name);

// The whole file as bytes; empty when it cannot be read.
std::string read_file(const std::string& path);

// A path inside the shared test data folder (SZABLON_TESTDATA at build time).
std::string testdata_path(const std::string& relative);

// Empty when the shared test data is there; otherwise one line saying where
// it was looked for and how to point at it.
std::string missing_testdata();

// True when SZABLON_REQUIRE_TESTDATA is set to anything but 0 or empty: a
// missing folder then fails the tests that need it instead of skipping them.
bool testdata_required();

}  // namespace test_support

// Opens a test that reads the shared test data: skips it with the reason when
// the folder is missing, or fails it where the run requires the data.
#define REQUIRE_TESTDATA()                                       \
    do {                                                         \
        const std::string szablon_missing = test_support::missing_testdata(); \
        if (!szablon_missing.empty()) {                          \
            if (test_support::testdata_required())                        \
                FAIL() << szablon_missing;                       \
            GTEST_SKIP() << szablon_missing;                     \
        }                                                        \
    } while (0)
