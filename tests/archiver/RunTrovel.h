#pragma once

#include "TestSupport.h"

#include <string>
#include <vector>

namespace XALFcl {
class CDisk;
} // namespace XALFcl

// Runs trovel's command in this process on `disk`, as "trovel args..." runs
// from its root, with its standard output and error captured.
testsupport::RunResult RunTrovel(XALFcl::CDisk& disk, const std::vector<std::string>& args);
