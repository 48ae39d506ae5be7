#include "cli/Commands.h"

namespace kestrova::cli {

void addTransactionCommands(CLI::App&, CliContext&) {}

}  // namespace kestrova::cli
