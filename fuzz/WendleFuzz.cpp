// Runs the whole of wendle on its memory disk. The first byte of the input
// chooses the options; the rest, split at "|||", is the list file's text
// and then up to four wave files that it may name. Any input must end with
// exit status 0 or 1; on 0 the output must hold a finished wave archive, its
// recorded size equal to its length (unless -u found it up to date). The
// sanitizers catch everything else.

#include "driver.h"
#include "memory_disk.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kMaxWaves = 4;
const std::string kOlder = "an older archive";
const std::string kSeparator = "|||";

std::uint32_t U32At(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    return value;
}

[[noreturn]] void Fail(const char* what, const std::string& err) {
    std::fprintf(stderr, "wendle: %s\n%s", what, err.c_str());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::uint8_t flags = data[0];
    // Wave files hold NUL bytes, so the pieces are split at a separator that
    // neither a list nor a wave needs.
    const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (pieces.size() < kMaxWaves) {
        const std::size_t end = rest.find(kSeparator, start);
        if (end == std::string::npos)
            break;
        pieces.push_back(rest.substr(start, end - start));
        start = end + kSeparator.size();
    }
    pieces.push_back(rest.substr(start));

    memory_disk disk;
    disk.add_file("set/l.txt", pieces[0]);
    for (std::size_t i = 1; i < pieces.size(); ++i)
        disk.add_file("set/w" + std::to_string(i) + ".swav", pieces[i]);
    const std::string output = (flags & 2) != 0 ? "out/all.swar" : "set/l.swar";
    if ((flags & 8) != 0)
        disk.add_file(output, kOlder);

    std::vector<const char*> argv{"wendle"};
    if ((flags & 1) != 0)
        argv.push_back("-u");
    if ((flags & 4) != 0)
        argv.push_back("-v");
    if ((flags & 2) != 0) {
        argv.push_back("-o");
        argv.push_back("out/all.swar");
    }
    argv.push_back("set/l.txt");

    std::ostringstream out, err;
    const int status = run_wendle(disk, static_cast<int>(argv.size()), argv.data(), out, err);
    if (status == 1)
        return 0;
    if (status != 0)
        Fail("exit status neither 0 nor 1", err.str());

    const std::map<std::string, std::string> files = disk.files();
    const auto found = files.find(output);
    if (found == files.end())
        Fail("no output after success", err.str());
    const std::string& archive = found->second;
    if ((flags & 1) != 0 && (flags & 8) != 0 && archive == kOlder)
        return 0; // up to date: left as it was
    if (archive.size() < 16 || archive.compare(0, 4, "SWAR") != 0)
        Fail("the output does not start with a wave archive header", err.str());
    if (U32At(archive, 8) != archive.size())
        Fail("the recorded size is not the output's length", err.str());
    return 0;
}
