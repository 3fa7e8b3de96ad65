// The loaders read files, not memory: each fuzz input is written to one
// temporary file of this process, rewritten for every input.
#pragma once

#include <cstddef>
#include <cstdint>

// Writes `data` to the temporary file and returns its path.
const char* write_input_file(const uint8_t* data, size_t size);

// Stops the run with a message; libFuzzer saves the input that did it.
[[noreturn]] void invariant_broken(const char* what);
