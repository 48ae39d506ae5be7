#include "cli/Commands.h"

namespace kestrova::cli {

void addStateCommands(CLI::App&, CliContext&) {}

}  // namespace kestrova::cli
