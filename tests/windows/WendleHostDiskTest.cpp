// wendle's host disk on Windows: the status of a path tells its kind and
// length, which the refusal of an archive past 4 GiB reads before writing.
#include "platform.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(WendleHostDisk, StatusOfAPathTellsItsKindAndLength) {
    testsupport::TempDir dir;
    testsupport::WriteFile(dir / "f", std::string(70001, 'w'));
    testsupport::MakeDirs(dir / "d");
    disk& host = platform::host_disk();
    for (const bool asLink : {false, true}) {
        SCOPED_TRACE(asLink);
        path_status file, directory;
        ASSERT_TRUE(asLink ? host.link_status_of(dir / "f", file)
                           : host.status_of(dir / "f", file));
        EXPECT_TRUE(file.regular);
        EXPECT_EQ(file.length, 70001u);
        ASSERT_TRUE(asLink ? host.link_status_of(dir / "d", directory)
                           : host.status_of(dir / "d", directory));
        EXPECT_FALSE(directory.regular);
        EXPECT_FALSE(host.status_of(dir / "missing", file));
    }
}

} // namespace
