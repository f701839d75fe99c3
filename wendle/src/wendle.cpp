// wendle: packs the wave files named in list files into wave archives.
// Each operand is a list file; each list file yields one archive.

#include "driver.h"
#include "platform.h"

#include <iostream>

int main(int argc, char** argv) {
    platform::ignore_broken_pipe();
    return run_wendle(platform::host_disk(), argc, argv, std::cout, std::cerr);
}
