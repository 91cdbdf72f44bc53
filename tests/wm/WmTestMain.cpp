// The window-manager lane: fresh configuration and runtime folders as in every test binary, and
// a real X server with openbox instead of the offscreen platform.
#include "XServerLane.h"
#include "support/LocalOnly.h"
#include "support/TempFolder.h"

#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    brivox::test::CTempFolder root;
    setenv("XDG_CONFIG_HOME", root.Path("config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", root.Path("runtime").c_str(), 1);
    brivox::test::KeepTestsLocal();
    testing::AddGlobalTestEnvironment(new brivox::test::CXServerLane);
    return RUN_ALL_TESTS();
}
