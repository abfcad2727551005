// Parses its own command line as mirx-admin does, erases the password values,
// says "ready" and waits for a line (or the end) of standard input, so that a
// test can read /proc/<pid>/cmdline as any other local user would.
#include "shell/settings/command_line.h"

#include <iostream>
#include <string>

int main(int argc, char** argv) {
    const mirx::shell::StartupOptions options = mirx::shell::parseCommandLine(argc, argv);
    mirx::shell::eraseSecretArguments(options, argc, argv);
    std::cout << "ready " << options.loginPassword.value_or("<none>") << std::endl;
    std::string line;
    std::getline(std::cin, line);
    return 0;
}
