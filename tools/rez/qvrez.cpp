// qvrez: compiles a resource source (see RezParser.h) into a resource file.
//
//     qvrez -o OUTPUT SOURCE
//
// The output is replaced as a whole; on an error nothing is written and the
// exit status is 1.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "RezParser.h"
#include "memory/MacMemory.h"
#include "resources/Resources.h"

namespace {

int Usage() {
    std::fprintf(stderr, "usage: qvrez -o OUTPUT SOURCE\n");
    return 2;
}

} // namespace

int main(int argc, char **argv) {
    const char *output = nullptr, *source = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-o") == 0 && i + 1 < argc)
            output = argv[++i];
        else if (!source && argv[i][0] != '-')
            source = argv[i];
        else
            return Usage();
    }
    if (!output || !source) return Usage();

    std::ifstream in(source, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "qvrez: cannot read %s\n", source);
        return 1;
    }
    std::string text((std::istreambuf_iterator<char>(in)), {});
    RezResult parsed = ParseRezSource(text);
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "%s:%d: %s\n", source, parsed.errorLine, parsed.error.c_str());
        return 1;
    }

    FSSpec fss;
    OSErr err = QVFSSpecFromPath(output, &fss);
    if (err == noErr) err = FSpDelete(&fss);
    if (err != noErr && err != fnfErr) {
        std::fprintf(stderr, "qvrez: cannot replace %s (error %d)\n", output, err);
        return 1;
    }
    FSpCreateResFile(&fss, 0, 0, smSystemScript);
    ResFileRefNum ref = ResError() == noErr ? FSpOpenResFile(&fss, fsRdWrPerm) : -1;
    if (ref == -1) {
        std::fprintf(stderr, "qvrez: cannot create %s (error %d)\n", output, ResError());
        return 1;
    }
    for (const RezResource &r : parsed.resources) {
        Handle h = nullptr;
        Str255 name;
        name[0] = static_cast<unsigned char>(r.name.size());
        std::memcpy(name + 1, r.name.data(), r.name.size());
        if (PtrToHand(r.data.data(), &h, static_cast<Size>(r.data.size())) != noErr) {
            err = memFullErr;
            break;
        }
        AddResource(h, r.type, r.id, r.hasName ? name : nullptr);
        if ((err = ResError()) != noErr) {
            DisposeHandle(h);
            break;
        }
    }
    if (err == noErr) {
        UpdateResFile(ref);
        err = ResError();
    }
    if (err != noErr) SetResFileAttrs(ref, GetResFileAttrs(ref) & ~mapChanged);
    CloseResFile(ref);
    if (err != noErr) {
        FSpDelete(&fss);
        std::fprintf(stderr, "qvrez: cannot write %s (error %d)\n", output, err);
        return 1;
    }
    return 0;
}
