// Writes the seed corpora of the resource_file and prefs_file fuzz targets
// with our own code: resource files made by the Resource Manager and
// preferences files made by the store.
//
//     quelvane_fuzz_seeds CORPUS_FOLDER BUNDLE_RESOURCE_FILE
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "engine/PluginDefines.h"
#include "memory/MacMemory.h"
#include "resources/Files.h"
#include "resources/Resources.h"
#include "store/prefsloader.h"

namespace fs = std::filesystem;

namespace {

std::string Read(const fs::path &p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Write(const fs::path &p, const std::string &bytes) { std::ofstream(p, std::ios::binary) << bytes; }

void Add(const std::string &data, ResType type, ResID id, const char *name) {
    Handle h = nullptr;
    PtrToHand(data.data(), &h, static_cast<Size>(data.size()));
    Str255 pname;
    pname[0] = static_cast<unsigned char>(std::strlen(name));
    std::memcpy(pname + 1, name, pname[0]);
    AddResource(h, type, id, name[0] ? pname : nullptr);
}

// A resource file at path with the resources `fill` adds.
template <typename F> std::string MakeResourceFile(const fs::path &path, F fill) {
    fs::remove(path);
    FSSpec file;
    QVFSSpecFromPath(path.c_str(), &file);
    FSpCreateResFile(&file, 0, 0, smSystemScript);
    ResFileRefNum ref = FSpOpenResFile(&file, fsRdWrPerm);
    if (ref == -1) {
        std::fprintf(stderr, "cannot create %s\n", path.c_str());
        exit(1);
    }
    fill();
    CloseResFile(ref);
    return Read(path);
}

PluginDataRec Config() {
    PluginDataRec c{};
    c.StartRel = {0.1, 0.9, 0.2, 0.8};
    c.EndRel = {0, 1, 0, 1};
    for (auto &col : c.Colors) col = {65535, 65535, 65535};
    c.Sliders[0] = 250;
    c.Sliders[1] = -100;
    c.FrameStartColor = {65535, 0, 0};
    c.MediaType = 2;
    c.KeepProps = true;
    c.BlendMode = 1;
    return c;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: quelvane_fuzz_seeds CORPUS_FOLDER BUNDLE_RESOURCE_FILE\n");
        return 2;
    }
    const fs::path corpus = argv[1];
    const fs::path work = fs::temp_directory_path() / "quelvane-seeds";
    fs::create_directories(work);
    fs::create_directories(corpus / "resource_file");
    fs::create_directories(corpus / "prefs_file");
    setenv("XDG_CONFIG_HOME", work.c_str(), 1);

    // Resource files.
    Write(corpus / "resource_file" / "bundle.rsrc", Read(argv[2]));
    Write(corpus / "resource_file" / "empty.rsrc", MakeResourceFile(work / "e", [] {}));
    Write(corpus / "resource_file" / "mixed.rsrc", MakeResourceFile(work / "m", [] {
              Add(std::string("\0\2\3one\3two", 10), kQVStringListResType, 1, "list");
              Add("plain text", QV_FOURCC('T', 'E', 'X', 'T'), -3, "");
              Add("", QV_FOURCC('T', 'E', 'X', 'T'), 4, "empty data");
              Add(std::string(40, '\x7F'), QV_FOURCC('D', 'A', 'T', 'A'), 32767, "a longer resource name here");
          }));

    // Preferences files.
    const fs::path prefs = work / "qrvtn-Prefs";
    fs::remove(prefs);
    MakeSurePrefsFileExists();
    Write(corpus / "prefs_file" / "empty-store", Read(prefs));
    PluginDataRec c = Config();
    SaveConfig(&c);
    const std::string saved = Read(prefs);
    Write(corpus / "prefs_file" / "saved", saved);
    Write(corpus / "resource_file" / "prefs.rsrc", saved);

    // The same record as version 2, and as the other byte order would store it.
    Handle h = NewHandleClear(396);
    Config2Save(&c, h);
    std::string record(*h, 396);
    DisposeHandle(h);
    std::string v2 = record;
    v2[4] = 2;
    std::string swapped = record;
    std::reverse(swapped.begin(), swapped.begin() + 4);
    std::reverse(swapped.begin() + 4, swapped.begin() + 8);
    swapped.resize(394);
    for (auto [name, data] : {std::pair{"version2", v2}, std::pair{"other-order", swapped}}) {
        Write(corpus / "prefs_file" / name, MakeResourceFile(work / name, [&, data = data] {
                  Add(data, QV_FOURCC('P', 'r', 'e', 'f'), 1, "Config Settings");
                  Add("keep", QV_FOURCC('T', 'E', 'X', 'T'), 1, "");
              }));
    }
    fs::remove_all(work);
    return 0;
}
