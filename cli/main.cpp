#include <iostream>
#include <string>
#include <vector>

#include "levels_cli.h"
#include "os_file.h"

int main(int argc, char** argv) {
    thornwake::os::UseBinaryStandardStreams();
    const std::vector<std::string> arguments = thornwake::os::ProgramArguments(argc, argv);
    std::vector<const char*> pointers;
    for (const std::string& argument : arguments) {
        pointers.push_back(argument.c_str());
    }
    return thornwake::cli::RunLevelsCli(static_cast<int>(pointers.size()), pointers.data(), std::cout, std::cerr);
}
