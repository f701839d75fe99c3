#include "ProgramTest.h"

#include <utility>

namespace testsupport {

ProgramTest::ProgramTest(std::string program) : program(std::move(program)) {}

RunResult ProgramTest::Run(const std::vector<std::string>& args) const {
    return testsupport::Run(program, args, dir.path());
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
