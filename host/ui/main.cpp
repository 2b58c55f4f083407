// The console host: loads modules, opens drawings and runs commands typed or from a script.
#include "host/ui/console.h"

int main(int argc, char** argv) {
    return host::ConsoleMain(argc, argv);
}
