// A private X server for one test process.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace test_support {

// Starts `Xvfb -displayfd` on a free display (1280x1024x24, no TCP), then
// sets DISPLAY to it and asks Mesa for its software renderer (llvmpipe), so
// every program started afterwards draws there. Idempotent; returns the
// display name (":N"). Throws std::runtime_error when Xvfb does not come up.
// The server is stopped at exit and dies with this process if it crashes.
std::string start_private_x_server(std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Stops the server started above (nothing if none is running).
void stop_private_x_server();

// ":N" of the running private server, or "" if none.
std::string private_x_display();

// GoogleTest environment doing the two calls above around all tests;
// test_support_xvfb_main installs it.
class private_x_server_environment : public testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;
};

}  // namespace test_support
