// Writes docs/dbus-protocol.md from the protocol tables, or with --check FILE says whether FILE
// is what it would write (exit 1, with the way to regenerate it, when not).
#include "automation/dbus_protocol.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>

int main(int argc, char** argv) {
    const std::string document = vexilo::automation::protocol::protocolDocument();
    if (argc == 3 && std::strcmp(argv[1], "--check") == 0) {
        std::ifstream in(argv[2], std::ios::binary);
        std::stringstream current;
        current << in.rdbuf();
        if (!in || current.str() != document) {
            std::cerr << argv[2] << " differs from the protocol tables; regenerate it with\n  "
                      << argv[0] << " > " << argv[2] << "\n";
            return 1;
        }
        return 0;
    }
    if (argc != 1) {
        std::cerr << "usage: " << argv[0] << " [--check FILE]\n";
        return 2;
    }
    std::fwrite(document.data(), 1, document.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
