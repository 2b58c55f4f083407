// The console host: loads modules, opens drawings and runs commands typed or from a script.
#include <cstdio>

int main() {
    std::puts("cadhost: console host (under construction)");
    return 0;
}
