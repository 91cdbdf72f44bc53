// Every test binary runs with its own configuration and runtime folders, so that no test reads
// or writes the user's real settings.
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
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return RUN_ALL_TESTS();
}
