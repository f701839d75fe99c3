#include "ProgramTest.h"

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

// The output of the Windows build as the POSIX build would write it, which
// is what the expectations spell: a Windows console program ends its lines
// with "\r\n", and the tools compose disk paths with the host's separator,
// "\" there.
void AsOnPosix(std::string& text) {
    std::string unified;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] != '\r' || i + 1 == text.size() || text[i + 1] != '\n')
            unified.push_back(text[i] == '\\' ? '/' : text[i]);
    text.swap(unified);
}

} // namespace

ProgramTest::ProgramTest(std::string program) : program(ProgramToRun(std::move(program))) {}

RunResult ProgramTest::Run(const std::vector<std::string>& args) const {
    RunResult result = testsupport::Run(program, args, dir.path());
    if (RunsWindowsProgram()) {
        AsOnPosix(result.out);
        AsOnPosix(result.err);
    }
    return result;
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
