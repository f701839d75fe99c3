#pragma once

// trovel's whole command run in the fuzzer's process on a memory disk, with
// its standard output and error captured, for the targets that drive it.

#include "archiver/Archiver.h"
#include "fcl/Disk.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

// For one run, points the C library's standard output and error at a scratch
// file (C streams are assignable variables in the GNU C library); the
// descriptors 1 and 2 stay as they are, so the reports of libFuzzer and of
// the sanitizers still reach the terminal. Restore returns what the run
// wrote.
class CCapture {
public:
    CCapture() {
        static FILE* const scratch = std::tmpfile();
        if (scratch == nullptr)
            std::abort();
        file_ = scratch;
        std::fflush(stdout);
        std::fflush(stderr);
        savedOutput_ = stdout;
        savedError_ = stderr;
        stdout = file_;
        stderr = file_;
    }
    ~CCapture() { Restore(); }
    CCapture(const CCapture&) = delete;
    CCapture& operator=(const CCapture&) = delete;

    std::string Restore() {
        if (file_ == nullptr)
            return {};
        std::fflush(file_);
        stdout = savedOutput_;
        stderr = savedError_;
        std::string text;
        std::rewind(file_);
        char buffer[4096];
        std::size_t count;
        while ((count = std::fread(buffer, 1, sizeof buffer, file_)) > 0)
            text.append(buffer, count);
        std::rewind(file_);
        if (ftruncate(fileno(file_), 0) != 0)
            std::abort();
        file_ = nullptr;
        return text;
    }

private:
    FILE* file_ = nullptr;
    FILE* savedOutput_ = nullptr;
    FILE* savedError_ = nullptr;
};

// Runs "trovel args..." on `disk`, from its root; returns the exit status.
inline int RunTrovel(XALFcl::CDisk& disk, const std::vector<std::string>& args) {
    std::vector<const char*> argv{"trovel"};
    for (const std::string& arg : args)
        argv.push_back(arg.c_str());
    CArchiver archiver(disk);
    return archiver.Run(static_cast<int>(argv.size()), argv.data());
}
