#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace testsupport {

// A fresh directory under the system's temporary folder, removed with
// everything in it when the object goes away.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // path() + "/" + relative
    std::string operator/(const std::string& relative) const;

private:
    std::string path_;
};

// What a finished program left behind.
struct RunResult {
    int status = -1;      // exit status, or 128 + signal number when killed
    std::string out;      // standard output
    std::string err;      // standard error
};

// Runs `program` with `args` (argv[1]...) in the directory `cwd`, with an
// empty standard input, and waits for it.
RunResult Run(const std::string& program, const std::vector<std::string>& args,
              const std::string& cwd);

// Whole-file helpers; they fail the current test on error.
void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);
void MakeDirs(const std::string& path);
// Sets the access and modification time to `seconds` since 1970.
void SetModTime(const std::string& path, std::int64_t seconds);

// Builds a byte string from integers, for writing expected layouts out.
std::string Bytes(std::initializer_list<int> values);
std::string U16LE(std::uint32_t v);
std::string U32LE(std::uint32_t v);

} // namespace testsupport
