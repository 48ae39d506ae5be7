// The state the demo leaves behind, saved by the direct writer and by the
// previous one (store/OldStateWriter.h, kept only for these comparisons):
// the same bytes, and the same bytes the command line wrote.
#include "CliProcess.h"
#include "cli/DemoTree.h"
#include "store/OldStateWriter.h"
#include "store/state/PersistedInventoryFile.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

namespace kestrova::cli {
namespace {

using kestrova::testing::cliExecutable;
using kestrova::testing::oldWriterText;
using kestrova::testing::runProcess;
using kestrova::testing::TemporaryDirectory;

TEST(DemoStateWriter, TheDemoStateIsWrittenAsTheOldWriterWroteIt) {
    TemporaryDirectory directory;
    const auto demo = directory / "demo";
    ASSERT_TRUE(writeDemoTree(demo));
    const auto run = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {cliExecutable(), "--root", demo + "/root", "--home", demo + "/home",
                                             "--au-registry", demo + "/au-registry.json"});
        const auto outcome = runProcess(arguments, {}, directory.path());
        EXPECT_EQ(outcome.exitCode, 0) << arguments.back() << ": " << outcome.err;
    };
    run({"authorize", demo + "/root/Library", demo + "/home/Library"});
    run({"scan"});
    run({"protect", "FabFilter Pro-Q 3"});
    run({"rule", "on", "FabFilter"});
    run({"scan"});

    const auto written = directory.readFile("demo/home/Library/Application Support/Kestrova/inventory-state.json");
    const auto state = decodePersistedInventory(written);
    ASSERT_TRUE(state) << state.error().message;
    EXPECT_GE(state->plugins.size(), 5u);
    EXPECT_GE(state->history.size(), 2u);
    EXPECT_EQ(encodePersistedInventory(*state), oldWriterText(*state));
    EXPECT_EQ(written, oldWriterText(*state));
}

}  // namespace
}  // namespace kestrova::cli
