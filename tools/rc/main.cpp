// quarvel_rc: compiles a resource script into a C++ source holding its resource tables.
#include <iostream>
#include <string>
#include <vector>

#include "tools/rc/compiler.h"

int main(int argc, char** argv) {
    return rc::RunCommandLine(std::vector<std::string>(argv + 1, argv + argc), std::cerr);
}
