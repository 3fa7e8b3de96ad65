// Files and commands for tests that need no display: a private temporary
// folder, the shared test data, and a way to run our real binaries.
#pragma once

#include <string>
#include <vector>

// A path inside this test process's own temporary folder (made on first use,
// removed at exit).
std::string temp_path(const std::string& name);

// A path inside the shared test data folder.
std::string testdata_path(const std::string& relative);

struct command_result {
    int status = -1;  // exit status; -1 when it did not exit normally
    std::string out;
    std::string err;
};

// Runs `argv` to completion with stdout and stderr captured apart (a plain
// exit status for tests that need nothing more of the child process).
command_result run_command(const std::vector<std::string>& argv);
