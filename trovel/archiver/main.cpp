#include "archiver/Archiver.h"

#include "fcl/Platform.h"

int main(int argc, char** argv) {
    XALFcl::Platform::IgnoreBrokenPipe();
    CArchiver archiver;
    return archiver.Run(argc, argv);
}
