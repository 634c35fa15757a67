// File Manager and Folder Manager stand-ins: specifications and references
// over Linux paths, mangled long names, data forks, catalog walks, the
// Preferences folder.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "TempDir.h"
#include "resources/Files.h"
#include "resources/Folders.h"

namespace {

std::string Name(const unsigned char *p) { return std::string(reinterpret_cast<const char *>(p + 1), p[0]); }

std::basic_string<unsigned char> P(const std::string &text) {
    std::basic_string<unsigned char> s(1, static_cast<unsigned char>(text.size()));
    s.append(reinterpret_cast<const unsigned char *>(text.data()), text.size());
    return s;
}

std::string PathOf(const FSSpec &spec) {
    char buf[4096];
    EXPECT_EQ(QVFSSpecGetPath(&spec, buf, sizeof buf), noErr);
    return buf;
}

// Sets an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char *name, const char *value) : mName(name) {
        if (const char *old = getenv(name)) mOld = old, mHad = true;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (mHad)
            setenv(mName.c_str(), mOld.c_str(), 1);
        else
            unsetenv(mName.c_str());
    }

private:
    std::string mName, mOld;
    bool mHad = false;
};

} // namespace

TEST(Files, SpecsAndRefsNameLinuxFiles) {
    TempDir dir;
    FSSpec spec;
    ASSERT_EQ(QVFSSpecFromPath((dir / "clip.mov").c_str(), &spec), fnfErr) << "parent exists, file not yet";
    EXPECT_EQ(Name(spec.name), "clip.mov");
    FSRef ref;
    EXPECT_EQ(FSpMakeFSRef(&spec, &ref), fnfErr);

    ASSERT_EQ(FSpCreate(&spec, QV_FOURCC('Q', 'V', 'L', 'N'), QV_FOURCC('M', 'o', 'o', 'V'), smSystemScript), noErr);
    EXPECT_EQ(FSpCreate(&spec, QV_FOURCC('Q', 'V', 'L', 'N'), QV_FOURCC('M', 'o', 'o', 'V'), smSystemScript), dupFNErr);
    FSSpec again;
    ASSERT_EQ(FSMakeFSSpec(spec.vRefNum, spec.parID, P("clip.mov").c_str(), &again), noErr);
    EXPECT_EQ(std::memcmp(&again, &spec, sizeof spec), 0);

    ASSERT_EQ(FSpMakeFSRef(&spec, &ref), noErr);
    char path[4096];
    ASSERT_EQ(FSRefMakePath(&ref, reinterpret_cast<UInt8 *>(path), sizeof path), noErr);
    EXPECT_EQ(std::string(path), dir / "clip.mov");
    EXPECT_EQ(FSRefMakePath(&ref, reinterpret_cast<UInt8 *>(path), 5), paramErr);

    FSCatalogInfo info{};
    FSSpec fromRef;
    HFSUniStr255 uname;
    FSRef parent;
    ASSERT_EQ(FSGetCatalogInfo(&ref, kFSCatInfoNodeFlags | kFSCatInfoParentDirID | kFSCatInfoDataSizes, &info,
                               &uname, &fromRef, &parent),
              noErr);
    EXPECT_EQ(info.nodeFlags & kFSNodeIsDirectoryMask, 0);
    EXPECT_EQ(info.parentDirID, static_cast<UInt32>(spec.parID));
    EXPECT_EQ(std::memcmp(&fromRef, &spec, sizeof spec), 0);
    Boolean isDir = false;
    FSRef dirRef;
    ASSERT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8 *>(dir.Path().c_str()), &dirRef, &isDir), noErr);
    EXPECT_TRUE(isDir);
    EXPECT_EQ(FSCompareFSRefs(&parent, &dirRef), noErr);
    EXPECT_EQ(FSCompareFSRefs(&ref, &dirRef), diffRefErr);

    ASSERT_EQ(FSpDelete(&spec), noErr);
    EXPECT_EQ(FSpMakeFSRef(&spec, &ref), fnfErr);
    FSRef garbage{};
    EXPECT_EQ(FSRefMakePath(&garbage, reinterpret_cast<UInt8 *>(path), sizeof path), errFSBadFSRef);
}

TEST(Files, LongAndForeignNamesAreMangledAndMapBack) {
    TempDir dir;
    std::string longA = std::string(80, 'a') + " first take.jpeg";
    std::string longB = std::string(80, 'a') + " second take.jpeg";
    std::string greek = "\xCE\xB1\xCE\xB2\xCE\xB3.png"; // alpha beta gamma
    std::string colon = "12:30 render.mov";
    for (auto *name : {&longA, &longB, &greek, &colon}) TempDir::Write(dir / *name, *name);

    std::vector<std::string> seen;
    for (auto *name : {&longA, &longB, &greek, &colon}) {
        FSSpec spec;
        ASSERT_EQ(QVFSSpecFromPath((dir / *name).c_str(), &spec), noErr) << *name;
        std::string specName = Name(spec.name);
        EXPECT_LE(specName.size(), 63u);
        for (auto &other : seen) EXPECT_NE(specName, other) << "two files, one name";
        seen.push_back(specName);
        // The spec, and a spec made from its name alone, lead to the same file.
        FSSpec byName;
        ASSERT_EQ(FSMakeFSSpec(0, spec.parID, spec.name, &byName), noErr) << specName;
        EXPECT_EQ(PathOf(byName), dir / *name);
        FSRef ref;
        ASSERT_EQ(FSpMakeFSRef(&byName, &ref), noErr);
        EXPECT_EQ(TempDir::Read(PathOf(spec)), *name);
    }
    EXPECT_TRUE(seen[0].ends_with(".jpeg")) << seen[0];
    EXPECT_NE(seen[0].find('#'), std::string::npos);
    EXPECT_EQ(seen[2].substr(0, 3), "___") << "characters Mac Roman lacks show as _";
    EXPECT_EQ(seen[3], "12/30 render.mov") << "a ':' shows as '/' in a spec name";
}

TEST(Files, DataForkReadsWritesAndPositions) {
    TempDir dir;
    FSSpec spec;
    QVFSSpecFromPath((dir / "data").c_str(), &spec);
    ASSERT_EQ(FSpCreate(&spec, 0, 0, smSystemScript), noErr);
    SInt16 ref = 0;
    ASSERT_EQ(FSpOpenDF(&spec, fsRdWrPerm, &ref), noErr);
    SInt32 count = 10;
    ASSERT_EQ(FSWrite(ref, &count, "0123456789"), noErr);
    EXPECT_EQ(count, 10);
    SInt32 pos = -1;
    EXPECT_EQ(GetFPos(ref, &pos), noErr);
    EXPECT_EQ(pos, 10);
    EXPECT_EQ(SetFPos(ref, fsFromStart, 4), noErr);
    char buf[16] = {};
    count = 3;
    ASSERT_EQ(FSRead(ref, &count, buf), noErr);
    EXPECT_EQ(std::string(buf, 3), "456");
    EXPECT_EQ(SetFPos(ref, fsFromLEOF, -1), noErr);
    count = 5;
    EXPECT_EQ(FSRead(ref, &count, buf), eofErr);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(buf[0], '9');
    EXPECT_EQ(SetFPos(ref, fsFromStart, 11), eofErr);
    EXPECT_EQ(SetFPos(ref, fsFromStart, -1), posErr);
    ASSERT_EQ(SetEOF(ref, 4), noErr);
    EXPECT_EQ(GetFPos(ref, &pos), noErr);
    EXPECT_EQ(pos, 4) << "the mark never lies past the end";
    EXPECT_EQ(FSClose(ref), noErr);
    EXPECT_EQ(FSClose(ref), rfNumErr);
    EXPECT_EQ(FSRead(ref, &count, buf), rfNumErr);

    ASSERT_EQ(FSpOpenDF(&spec, fsRdPerm, &ref), noErr);
    count = 1;
    EXPECT_NE(FSWrite(ref, &count, "x"), noErr) << "read-only access refuses writes";
    FSClose(ref);
    EXPECT_EQ(TempDir::Read(dir / "data"), "0123");

    FSSpec folder;
    QVFSSpecFromPath(dir.Path().c_str(), &folder);
    EXPECT_EQ(FSpOpenDF(&folder, fsRdPerm, &ref), notAFileErr);
}

TEST(Files, PartialPathsAndBadLocations) {
    TempDir dir;
    std::filesystem::create_directories(dir / "a/b");
    TempDir::Write(dir / "a/b/f", "x");
    FSSpec top;
    ASSERT_EQ(QVFSSpecFromPath((dir / "a").c_str(), &top), noErr);
    FSRef topRef;
    ASSERT_EQ(FSpMakeFSRef(&top, &topRef), noErr);
    FSCatalogInfo info{};
    FSGetCatalogInfo(&topRef, kFSCatInfoNodeID, &info, nullptr, nullptr, nullptr);
    auto aID = static_cast<SInt32>(info.nodeID);

    FSSpec spec;
    EXPECT_EQ(FSMakeFSSpec(0, aID, P(":b:f").c_str(), &spec), noErr);
    EXPECT_EQ(PathOf(spec), dir / "a/b/f");
    EXPECT_EQ(FSMakeFSSpec(0, aID, P(":b::b:f").c_str(), &spec), noErr) << "an empty component goes up";
    EXPECT_EQ(PathOf(spec), dir / "a/b/f");
    EXPECT_EQ(FSMakeFSSpec(0, aID, P(":nope:f").c_str(), &spec), dirNFErr);
    EXPECT_EQ(FSMakeFSSpec(0, aID, P("").c_str(), &spec), noErr) << "the folder itself";
    EXPECT_EQ(std::memcmp(&spec, &top, sizeof spec), 0);
    EXPECT_EQ(FSMakeFSSpec(0, 0x7FFFFFF0, P("f").c_str(), &spec), dirNFErr);
    EXPECT_EQ(FSMakeFSSpec(0, aID, P("..").c_str(), &spec), bdNamErr);
    std::string full = std::string(kQVVolumeName) + dir.Path() + "/a/b/f";
    for (auto &c : full) if (c == '/') c = ':';
    EXPECT_EQ(FSMakeFSSpec(0, 0, P(full).c_str(), &spec), noErr) << full;
    EXPECT_EQ(PathOf(spec), dir / "a/b/f");
}

TEST(Files, CatalogWalksUpToTheVolumeAndFromTheDefaultDirectory) {
    TempDir dir;
    std::filesystem::create_directories(dir / "x/y");
    TempDir::Write(dir / "x/y/b", "12345");
    TempDir::Write(dir / "x/y/a", "");
    FSSpec y;
    ASSERT_EQ(QVFSSpecFromPath((dir / "x/y").c_str(), &y), noErr);

    // Walk from the folder holding y up to the root by parent IDs, the way a
    // full path is built.
    std::vector<std::string> names;
    SInt32 id = y.parID;
    for (int guard = 0; guard < 64; ++guard) {
        CInfoPBRec pb{};
        Str255 name;
        pb.dirInfo.ioNamePtr = name;
        pb.dirInfo.ioVRefNum = y.vRefNum;
        pb.dirInfo.ioFDirIndex = -1;
        pb.dirInfo.ioDrDirID = id;
        ASSERT_EQ(PBGetCatInfoSync(&pb), noErr);
            EXPECT_TRUE(pb.dirInfo.ioFlAttrib & kioFlAttribDirMask);
        names.insert(names.begin(), Name(name));
        if (pb.dirInfo.ioDrDirID == fsRtDirID) {
            EXPECT_EQ(pb.dirInfo.ioDrParID, fsRtParID);
            break;
        }
        id = pb.dirInfo.ioDrParID;
    }
    std::string joined;
    for (auto &n : names) joined += n + ":";
    std::string expected = std::string(kQVVolumeName) + dir.Path() + "/x/";
    for (size_t i = std::strlen(kQVVolumeName); i < expected.size(); ++i)
        if (expected[i] == '/') expected[i] = ':';
    EXPECT_EQ(joined, expected);

    // Entries by index, sorted; files answer their size and parent.
    FSRef yRef;
    FSpMakeFSRef(&y, &yRef);
    FSCatalogInfo info{};
    FSGetCatalogInfo(&yRef, kFSCatInfoNodeID, &info, nullptr, nullptr, nullptr);
    CInfoPBRec pb{};
    Str255 name;
    pb.hFileInfo.ioNamePtr = name;
    pb.hFileInfo.ioFDirIndex = 2;
    pb.hFileInfo.ioDirID = static_cast<SInt32>(info.nodeID);
    ASSERT_EQ(PBGetCatInfoSync(&pb), noErr);
    EXPECT_EQ(Name(name), "b");
    EXPECT_EQ(pb.hFileInfo.ioFlLgLen, 5);
    pb.hFileInfo.ioFDirIndex = 3;
    pb.hFileInfo.ioDirID = static_cast<SInt32>(info.nodeID);
    EXPECT_EQ(PBGetCatInfoSync(&pb), fnfErr);

    // Directory 0 of volume 0 is the current directory.
    std::string old = std::filesystem::current_path();
    ASSERT_EQ(chdir((dir / "x/y").c_str()), 0);
    CInfoPBRec def{};
    def.dirInfo.ioNamePtr = name;
    def.dirInfo.ioFDirIndex = -1;
    EXPECT_EQ(PBGetCatInfoSync(&def), noErr);
    EXPECT_EQ(Name(name), "y");
    EXPECT_EQ(def.dirInfo.ioDrNmFls, 2);
    chdir(old.c_str());
}

TEST(Folders, PreferencesFolderFollowsTheXDGConfigHome) {
    TempDir dir;
    SInt16 vol = 0;
    SInt32 dirID = 0;
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", (dir / "cfg").c_str());
        EXPECT_EQ(FindFolder(kOnSystemDisk, kPreferencesFolderType, kDontCreateFolder, &vol, &dirID), fnfErr)
            << "a missing folder is not made unless asked";
        EXPECT_FALSE(std::filesystem::exists(dir / "cfg"));
        ASSERT_EQ(FindFolder(kOnSystemDisk, kPreferencesFolderType, kCreateFolder, &vol, &dirID), noErr);
        EXPECT_TRUE(std::filesystem::is_directory(dir / "cfg"));
        FSSpec spec;
        ASSERT_EQ(FSMakeFSSpec(vol, dirID, P("qrvtn-Prefs").c_str(), &spec), fnfErr);
        EXPECT_EQ(PathOf(spec), dir / "cfg/qrvtn-Prefs");
    }
    {
        ScopedEnv home("HOME", dir.Path().c_str());
        ScopedEnv xdg("XDG_CONFIG_HOME", "relative/is/ignored");
        std::filesystem::create_directories(dir / ".config");
        ASSERT_EQ(FindFolder(kOnSystemDisk, kPreferencesFolderType, kDontCreateFolder, &vol, &dirID), noErr);
        FSSpec spec;
        FSMakeFSSpec(vol, dirID, P("x").c_str(), &spec);
        EXPECT_EQ(PathOf(spec), dir / ".config/x");
    }
    {
        TempDir::Write(dir / "file", "");
        ScopedEnv xdg("XDG_CONFIG_HOME", (dir / "file").c_str());
        EXPECT_EQ(FindFolder(kOnSystemDisk, kPreferencesFolderType, kCreateFolder, &vol, &dirID), dirNFErr);
    }
    EXPECT_EQ(FindFolder(kOnSystemDisk, QV_FOURCC('z', 'z', 'z', 'z'), kDontCreateFolder, &vol, &dirID), fnfErr);
}
