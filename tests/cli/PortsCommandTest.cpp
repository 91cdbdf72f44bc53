#include "cli/Cli.h"
#include "serial/PortMap.h"
#include "serial/PseudoTerminal.h"

#include <gtest/gtest.h>
#include <sstream>

namespace brivox::cli {
namespace {

TEST(PortsCommandTest, ListsRegisteredPortsInNumberOrder) {
    CPseudoTerminal high, low;
    ASSERT_EQ(high.Open(), "");
    ASSERT_EQ(low.Open(), "");
    ASSERT_EQ(RegisterPort(PortMapFolder(), 41, high.SlavePath()), "");
    ASSERT_EQ(RegisterPort(PortMapFolder(), 40, low.SlavePath()), "");
    ASSERT_EQ(RegisterPort(PortMapFolder(), 39, "rfc2217://bench-3:2001"), "");
    std::ostringstream out, err;
    EXPECT_EQ(RunCli({"ports"}, out, err), 0);
    const std::string text = out.str();
    EXPECT_NE(text.find("COM39 rfc2217://bench-3:2001\n"), std::string::npos) << text;
    const size_t first = text.find("COM40 " + low.SlavePath() + "\n");
    const size_t second = text.find("COM41 " + high.SlavePath() + "\n");
    ASSERT_NE(first, std::string::npos) << text;
    ASSERT_NE(second, std::string::npos) << text;
    EXPECT_LT(first, second);

    EXPECT_EQ(RunCli({"ports", "extra"}, out, err), 1);
}

} // namespace
} // namespace brivox::cli
