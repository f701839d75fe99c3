// Runs trovel's whole command in this process on a small memory disk, with
// an argument vector made of the input's bytes split at NUL bytes. Any
// command line must end with exit status 0 or 1 and one of the tool's own
// messages; the sanitizers catch everything else. The command's standard
// output and error go to a scratch file, checked and emptied after each run.

#include "archiver/Archiver.h"
#include "fcl/MemoryDisk.h"

#include <sanitizer/common_interface_defs.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
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
    disk.AddFile("/list.txt", "a.bin\n\"data/b.bin\", \"/x/b.bin\"\n; note\n");
    disk.AddDirectory("/out");
    disk.SetTime("/a.bin", 1000);
    disk.SetTime("/data/b.bin", 2000);
}

struct SContext {
    std::string archive; // made once by trovel itself
    FILE* capture = nullptr;
    int standardOutput = -1;
    int standardError = -1;
};

SContext& Context() {
    static SContext context;
    return context;
}

int RunTrovel(XALFcl::CMemoryDisk& disk, const std::vector<std::string>& args) {
    std::vector<const char*> argv{"trovel"};
    for (const std::string& arg : args)
        argv.push_back(arg.c_str());
    CArchiver archiver(disk);
    return archiver.Run(static_cast<int>(argv.size()), argv.data());
}

// Sends standard output and error to the scratch file for one run; returns
// what the run wrote there.
class CCapture {
public:
    CCapture() {
        std::fflush(stdout);
        std::fflush(stderr);
        dup2(fileno(Context().capture), 1);
        dup2(fileno(Context().capture), 2);
    }
    ~CCapture() { Restore(); }
    std::string Restore() {
        if (restored_)
            return {};
        restored_ = true;
        std::fflush(stdout);
        std::fflush(stderr);
        dup2(Context().standardOutput, 1);
        dup2(Context().standardError, 2);
        FILE* file = Context().capture;
        std::string text;
        std::rewind(file);
        char buffer[4096];
        std::size_t count;
        while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            text.append(buffer, count);
        std::rewind(file);
        if (ftruncate(fileno(file), 0) != 0)
            std::abort();
        return text;
    }

private:
    bool restored_ = false;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    SContext& context = Context();
    context.capture = std::tmpfile();
    context.standardOutput = dup(1);
    context.standardError = dup(2);
    if (!context.capture || context.standardOutput < 0 || context.standardError < 0)
        std::abort();
    // Reports of the sanitizers still reach the real standard error.
    __sanitizer_set_report_fd(
        reinterpret_cast<void*>(static_cast<std::intptr_t>(context.standardError)));

    XALFcl::CMemoryDisk disk;
    Prepare(disk);
    CCapture capture;
    const int status = RunTrovel(disk, {"-c", "-s", "arc.kpak", "a.bin", "data"});
    const std::string text = capture.Restore();
    context.archive = disk.Contents("/arc.kpak");
    if (status != 0 || context.archive.empty()) {
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
    disk.AddFile("/arc.kpak", Context().archive);
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
