#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
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

// Makes `path` the current directory until the object goes away, when the
// one before is current again.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const std::string& path);
    ~CurrentDirectory();
    CurrentDirectory(const CurrentDirectory&) = delete;
    CurrentDirectory& operator=(const CurrentDirectory&) = delete;

private:
    std::string previous_;
};

// What a finished program left behind.
struct RunResult {
    int status = -1; // exit status, or 128 + signal number when killed
    std::string out; // standard output
    std::string err; // standard error
};

// How long a program may run before it is killed and the test fails.
constexpr int kRunTimeoutSeconds = 60;

// `program` with `args` (argv[1]...) running in the background in the
// directory `cwd`, with an empty standard input and its standard output and
// error captured. Killed (SIGKILL) if it is still running when the object
// goes away. When the environment variable VELKO_TEST_WRAPPER holds a
// command (words separated by spaces, such as "valgrind -q"), the program
// runs under it, in the same process.
class Process {
public:
    Process(const std::string& program, const std::vector<std::string>& args,
            const std::string& cwd);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // SIGSTOP, returning once it has stopped; false when it ended first.
    bool Stop();
    void Continue(); // SIGCONT
    void Kill();     // SIGKILL
    // Whether it has ended, without waiting.
    bool Ended();
    // Waits for the end and collects its output. When it runs longer than
    // `timeoutSeconds`, it is killed and the current test fails.
    RunResult Wait(int timeoutSeconds = kRunTimeoutSeconds);

private:
    // waitpid with `flags`; true when it reported a stop or the end, which
    // is then recorded.
    bool Reap(int flags);

    std::string command_; // program and arguments, for messages
    int pid_ = -1;
    int out_ = -1, err_ = -1; // read ends of the output pipes
    bool ended_ = false;
    int status_ = -1; // as RunResult::status, once ended
};

// Waits until `condition` holds or `process` has ended, polling; true when
// the process still runs. When neither happens within `timeoutSeconds`, the
// current test fails.
bool RunsUntil(Process& process, const std::function<bool()>& condition,
               int timeoutSeconds = kRunTimeoutSeconds);

// Runs `program` with `args` in the directory `cwd` and waits for it (see
// Process).
RunResult Run(const std::string& program, const std::vector<std::string>& args,
              const std::string& cwd, int timeoutSeconds = kRunTimeoutSeconds);

// Whole-file helpers; they fail the current test on error.
void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);
// The size of the file at `path` (a link is not followed), or -1 when there
// is none.
std::int64_t FileSize(const std::string& path);
void MakeDirs(const std::string& path);
// Sets the access and modification time to `seconds` and `nanoseconds`
// since 1970.
void SetModTime(const std::string& path, std::int64_t seconds, long nanoseconds = 0);

// Builds a byte string from integers, for writing expected layouts out.
std::string Bytes(std::initializer_list<int> values);
std::string U16LE(std::uint32_t v);
std::string U32LE(std::uint32_t v);

// Runs `action` and returns the exception of type E that it throws, or
// nothing when it throws none; an exception of another type passes through.
template <class E, class Action>
std::optional<E> Thrown(Action&& action) {
    try {
        action();
    } catch (const E& e) {
        return e;
    }
    return std::nullopt;
}

// Whether `action` throws an exception of type E with `code`, and with
// `subject` when one is given. For EXPECT_TRUE, which then shows what was
// thrown.
template <class E, class Action>
::testing::AssertionResult Throws(Action&& action, std::int32_t code,
                                  const std::optional<std::string>& subject = std::nullopt) {
    const std::optional<E> e = Thrown<E>(std::forward<Action>(action));
    if (!e)
        return ::testing::AssertionFailure() << "nothing was thrown";
    if (e->code != code || (subject && e->subject != *subject))
        return ::testing::AssertionFailure()
            << "thrown: code " << e->code << ", subject \"" << e->subject << "\"";
    return ::testing::AssertionSuccess();
}

} // namespace testsupport
