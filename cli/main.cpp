#include <iostream>

#include "levels_cli.h"

int main(int argc, char** argv) {
    return thornwake::cli::RunLevelsCli(argc, argv, std::cout, std::cerr);
}
