// Runs trovel's whole command in this process on a small memory disk, with
// an argument vector made of the input's bytes split at NUL bytes. Any
// command line must end with exit status 0 or 1 and one of the tool's own
// messages; the sanitizers catch everything else. The command's standard
// output and error go to a scratch file, checked and emptied after each run.

#include "TrovelRun.h"

#include "fcl/MemoryDisk.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// At most this many arguments are passed; the rest of the input is ignored.
constexpr std::size_t kMaxArguments = 12;

// The files every run starts from.
void Prepare(XALFcl::CMemoryDisk& disk) {
    disk.AddFile("/a.bin", "alpha");
    disk.AddFile("/data/b.bin", std::string(300, 'b'));
    disk.AddFile("/data/sub/c.txt", "charlie\n");
    disk.AddFile("/data/sub/empty.dat", "");
    disk.AddFile("/list.txt", "\"a.bin\"\n\"data/b.bin\", \"/x/b.bin\"\n; note\n");
    disk.AddDirectory("/out");
    disk.SetTime("/a.bin", 1000);
    disk.SetTime("/data/b.bin", 2000);
}

// The archive that every run starts from, made once by trovel itself.
std::string& SeedArchive() {
    static std::string archive;
    return archive;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    XALFcl::CMemoryDisk disk;
    Prepare(disk);
    CCapture capture;
    const int status = RunTrovel(disk, {"-c", "-s", "arc.kpak", "a.bin", "data"});
    const std::string text = capture.Restore();
    SeedArchive() = disk.Contents("/arc.kpak");
    if (status != 0 || SeedArchive().empty()) {
        std::fprintf(stderr, "trovel could not make the seed archive:\n%s", text.c_str());
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] != 0) {
            args.back() += static_cast<char>(data[i]);
        } else if (args.size() == kMaxArguments) {
            break;
        } else {
            args.emplace_back();
        }
    }
    if (size == 0)
        args.clear();

    XALFcl::CMemoryDisk disk;
    Prepare(disk);
    disk.AddFile("/arc.kpak", SeedArchive());
    disk.SetClock(3000);

    CCapture capture;
    const int status = RunTrovel(disk, args);
    const std::string text = capture.Restore();
    if (status != 0 && status != 1) {
        std::fprintf(stderr, "trovel returned %d:\n%s", status, text.c_str());
        std::abort();
    }
    // The text can only come from the tool itself when no argument holds it:
    // every name on the disk is fixed above.
    const std::string unexpected = "An unexpected error has occurred.";
    bool echoed = false;
    for (const std::string& arg : args)
        echoed = echoed || arg.find("unexpected") != std::string::npos;
    if (!echoed && text.find(unexpected) != std::string::npos) {
        std::fprintf(stderr, "trovel met an unexpected error:\n%s", text.c_str());
        std::abort();
    }
    return 0;
}
