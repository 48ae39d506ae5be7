#include "cli/Commands.h"

namespace kestrova::cli {

void addStoreCommands(CLI::App&, CliContext&) {}

}  // namespace kestrova::cli
