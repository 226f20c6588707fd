#include <cstdio>

int main() {
    std::puts("kt6-sim: not built yet");
    return 1;
}
