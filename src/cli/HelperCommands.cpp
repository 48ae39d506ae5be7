#include "cli/Commands.h"

namespace kestrova::cli {

void addHelperCommands(CLI::App&, CliContext&) {}

}  // namespace kestrova::cli
