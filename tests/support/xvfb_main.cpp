// GoogleTest main for end-to-end tests: every test in the binary runs
// against one private Xvfb, whatever DISPLAY said before.
#include <gtest/gtest.h>

#include "support/xserver.h"

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    testing::AddGlobalTestEnvironment(new test_support::private_x_server_environment);
    return RUN_ALL_TESTS();
}
