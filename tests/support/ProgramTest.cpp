#include "ProgramTest.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace testsupport {

namespace {

// The program run: the one built with the tests, or, when
// VELKO_WINDOWS_PROGRAMS names a directory, the one of that name there:
// `make test-windows` puts scripts there that run the Windows build under
// Wine.
std::string ProgramToRun(std::string built) {
    const char* elsewhere = std::getenv("VELKO_WINDOWS_PROGRAMS");
    if (elsewhere == nullptr || *elsewhere == '\0')
        return built;
    return std::string(elsewhere) + "/" + built.substr(built.find_last_of('/') + 1);
}

// `text` with each "\r\n" turned into "\n", and, with `separators`, each
// "\" into "/".
std::string Unified(const std::string& text, bool separators) {
    std::string unified;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] != '\r' || i + 1 == text.size() || text[i + 1] != '\n')
            unified.push_back(separators && text[i] == '\\' ? '/' : text[i]);
    return unified;
}

} // namespace

ProgramTest::ProgramTest(std::string program) : program(ProgramToRun(std::move(program))) {}

RunResult ProgramTest::Run(const std::vector<std::string>& args) const {
    return RunIn(dir.path(), args);
}

// Under Wine every file call goes through its server: a run may take a few
// times as long.
RunResult ProgramTest::RunIn(const std::string& cwd, const std::vector<std::string>& args) const {
    return AsOnPosix(testsupport::Run(
        program, args, cwd, RunsWindowsProgram() ? 4 * kRunTimeoutSeconds : kRunTimeoutSeconds));
}

// A Windows console program ends its lines with "\r\n", and the tools
// compose disk paths with the host's separator, "\" there.
RunResult ProgramTest::AsOnPosix(RunResult result) {
    if (RunsWindowsProgram()) {
        result.out = Unified(result.out, true);
        result.err = Unified(result.err, true);
    }
    return result;
}

std::string ProgramTest::PosixLineEnds(const std::string& text) {
    return RunsWindowsProgram() ? Unified(text, false) : text;
}

std::string ProgramTest::HostPath(std::string path) {
    if (RunsWindowsProgram())
        std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

std::string ProgramTest::HostText(const std::string& text) {
    std::string bytes;
    for (const char c : text)
        bytes += c == '\n' && RunsWindowsProgram() ? "\r\n" : std::string(1, c);
    return bytes;
}

bool ProgramTest::RunsWindowsProgram() {
    const char* elsewhere = std::getenv("VELKO_WINDOWS_PROGRAMS");
    return elsewhere != nullptr && *elsewhere != '\0';
}

void ProgramTest::Write(const std::string& rel, const std::string& bytes) const {
    const std::size_t slash = rel.rfind('/');
    if (slash != std::string::npos)
        MakeDirs(dir / rel.substr(0, slash));
    WriteFile(dir / rel, bytes);
}

void ProgramTest::Write(const std::string& rel, const std::string& bytes, std::int64_t time) const {
    Write(rel, bytes);
    SetModTime(dir / rel, time);
}

std::string ProgramTest::Read(const std::string& rel) const {
    return ReadFile(dir / rel);
}

} // namespace testsupport
