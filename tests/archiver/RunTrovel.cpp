#include "RunTrovel.h"

#include "archiver/Archiver.h"

#include <gtest/gtest.h>

testsupport::RunResult RunTrovel(XALFcl::CDisk& disk, const std::vector<std::string>& args) {
    std::vector<const char*> argv{"trovel"};
    for (const std::string& arg : args)
        argv.push_back(arg.c_str());
    testsupport::RunResult result;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    {
        CArchiver archiver(disk);
        result.status = archiver.Run(static_cast<int>(argv.size()), argv.data());
    }
    result.err = testing::internal::GetCapturedStderr();
    result.out = testing::internal::GetCapturedStdout();
    return result;
}
