// Fuzz target: any bytes as a resource file. The Resource Manager either
// refuses the file or reads every resource, name and string of it; a file it
// accepted must write back into one that reads the same.
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "FuzzFiles.h"
#include "memory/MacMemory.h"
#include "resources/Files.h"
#include "resources/Resources.h"

namespace {

using Entry = std::tuple<ResType, ResID, std::string, std::string>; // type, ID, name, data

// Every resource of the current file, read through the public calls.
std::vector<Entry> ReadAll() {
    std::vector<Entry> all;
    const SInt16 types = Count1Types();
    for (SInt16 t = 1; t <= types; ++t) {
        ResType type = 0;
        Get1IndType(&type, t);
        FUZZ_CHECK(ResError() == noErr);
        const SInt16 count = Count1Resources(type);
        for (SInt16 i = 1; i <= count; ++i) {
            Handle h = Get1IndResource(type, i);
            FUZZ_CHECK(h != nullptr);
            ResID id = 0;
            Str255 name;
            GetResInfo(h, &id, nullptr, name);
            FUZZ_CHECK(GetMaxResourceSize(h) == GetHandleSize(h));
            all.emplace_back(type, id, std::string(reinterpret_cast<char *>(name + 1), name[0]),
                             std::string(*h, static_cast<size_t>(GetHandleSize(h))));
            if (type == kQVStringListResType) {
                const long n = GetHandleSize(h) >= 2 ? (static_cast<UInt8>((*h)[0]) << 8 | static_cast<UInt8>((*h)[1])) : 0;
                for (long k = 0; k <= n + 1 && k < 64; ++k) {
                    Str255 s;
                    GetIndString(s, id, static_cast<SInt16>(k));
                }
            }
        }
    }
    return all;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const std::string path = FuzzScratchFolder() + "/input.rsrc";
    static FSSpec file;
    static bool haveSpec = false;
    FuzzWriteFile(path, data, size);
    if (!haveSpec) {
        FUZZ_CHECK(QVFSSpecFromPath(path.c_str(), &file) == noErr);
        haveSpec = true;
    }

    ResFileRefNum ref = FSpOpenResFile(&file, fsRdWrPerm);
    if (ref == -1) {
        FUZZ_CHECK(ResError() != noErr);
        return 0;
    }
    const std::vector<Entry> before = ReadAll();

    // Write the file back: force a write by marking one resource changed.
    if (!before.empty()) {
        Handle h = Get1Resource(std::get<0>(before[0]), std::get<1>(before[0]));
        ChangedResource(h);
    } else {
        SetResFileAttrs(ref, GetResFileAttrs(ref) | mapChanged);
    }
    UpdateResFile(ref);
    FUZZ_CHECK(ResError() == noErr);
    // Read again from the written bytes before closing.
    for (const Entry &e : before) {
        Handle h = Get1Resource(std::get<0>(e), std::get<1>(e));
        FUZZ_CHECK(h != nullptr);
        ReleaseResource(h);
        FUZZ_CHECK(ResError() == noErr);
    }
    FUZZ_CHECK(ReadAll() == before);
    CloseResFile(ref);
    FUZZ_CHECK(ResError() == noErr);

    ref = FSpOpenResFile(&file, fsRdPerm);
    FUZZ_CHECK(ref != -1);
    const std::vector<Entry> after = ReadAll();
    CloseResFile(ref);
    FUZZ_CHECK(before == after);
    return 0;
}
