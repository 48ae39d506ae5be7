#include "cli/Commands.h"

namespace kestrova::cli {

void addScanCommands(CLI::App&, CliContext&) {}

}  // namespace kestrova::cli
