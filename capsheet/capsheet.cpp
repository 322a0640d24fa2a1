// capsheet.cpp - converts a capture of OMCI frames into a CSV file (not yet: prints its usage).
#include <cstdio>

int main(int, char **argv) {
    std::printf("usage: %s <capture file> <csv file>\n", argv[0]);
    return 2;
}
