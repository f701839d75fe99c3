// Reads arbitrary bytes as a script file from the memory disk, entry by entry
// to its end. Any input must either be read or fail with CScriptException;
// the sanitizers catch everything else.

#include "arc/ArcException.h"
#include "arc/ScriptReader.h"
#include "fcl/MemoryDisk.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    XALFcl::CMemoryDisk disk;
    disk.AddFile("/lists/members.txt", std::string(reinterpret_cast<const char*>(data), size));
    try {
        XALArc::CScriptReader reader(disk, "lists/members.txt");
        std::size_t length = 0;
        while (reader.Next())
            length += reader.GetDiskPath().size() + reader.GetArchivePath().size();
        (void)length;
    } catch (const XALArc::CScriptException&) {
    }
    return 0;
}
