#pragma once
// thornwake-levels: batch work on the level tables of a Thornwake ROM image
// from the command line. The whole program, callable in-process by tests.

#include <iosfwd>

namespace thornwake::cli {

// Parses the command line and runs its subcommand. Returns the exit status:
// 0 success, 1 a refused image or a bad input file, 2 a usage error.
int RunLevelsCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace thornwake::cli
