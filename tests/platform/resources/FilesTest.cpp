// File Manager stand-in: FSSpec records and references over Linux paths,
// mangled long names. (Data forks, catalog walks and the Preferences folder
// are checked through the plug-in's file procedures and store.)
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "TempDir.h"
#include "resources/Files.h"

namespace {

std::string Name(const unsigned char *p) { return std::string(reinterpret_cast<const char *>(p + 1), p[0]); }

std::basic_string<unsigned char> P(const std::string &text) {
    std::basic_string<unsigned char> s(1, static_cast<unsigned char>(text.size()));
    s.append(reinterpret_cast<const unsigned char *>(text.data()), text.size());
    return s;
}

std::string PathOf(const FSSpec &fss) {
    char buf[4096];
    EXPECT_EQ(QVFSSpecGetPath(&fss, buf, sizeof buf), noErr);
    return buf;
}

} // namespace

TEST(Files, SpecsAndRefsNameLinuxFiles) {
    TempDir dir;
    FSSpec fss;
    ASSERT_EQ(QVFSSpecFromPath((dir / "clip.mov").c_str(), &fss), fnfErr) << "parent exists, file not yet";
    EXPECT_EQ(Name(fss.name), "clip.mov");
    FSRef ref;
    EXPECT_EQ(FSpMakeFSRef(&fss, &ref), fnfErr);

    ASSERT_EQ(FSpCreate(&fss, QV_FOURCC('Q', 'V', 'L', 'N'), QV_FOURCC('M', 'o', 'o', 'V'), smSystemScript), noErr);
    EXPECT_EQ(FSpCreate(&fss, QV_FOURCC('Q', 'V', 'L', 'N'), QV_FOURCC('M', 'o', 'o', 'V'), smSystemScript), dupFNErr);
    FSSpec again;
    ASSERT_EQ(FSMakeFSSpec(fss.vRefNum, fss.parID, P("clip.mov").c_str(), &again), noErr);
    EXPECT_EQ(std::memcmp(&again, &fss, sizeof fss), 0);

    ASSERT_EQ(FSpMakeFSRef(&fss, &ref), noErr);
    char path[4096];
    ASSERT_EQ(FSRefMakePath(&ref, reinterpret_cast<UInt8 *>(path), sizeof path), noErr);
    EXPECT_EQ(std::string(path), dir / "clip.mov");
    EXPECT_EQ(FSRefMakePath(&ref, reinterpret_cast<UInt8 *>(path), 5), paramErr);

    FSCatalogInfo info{};
    FSSpec fromRef;
    ASSERT_EQ(FSGetCatalogInfo(&ref, kFSCatInfoNodeFlags | kFSCatInfoParentDirID, &info, nullptr, &fromRef, nullptr),
              noErr);
    EXPECT_EQ(info.nodeFlags & kFSNodeIsDirectoryMask, 0);
    EXPECT_EQ(info.parentDirID, static_cast<UInt32>(fss.parID));
    EXPECT_EQ(std::memcmp(&fromRef, &fss, sizeof fss), 0);

    ASSERT_EQ(FSpDelete(&fss), noErr);
    EXPECT_EQ(FSpMakeFSRef(&fss, &ref), fnfErr);
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
        FSSpec fss;
        ASSERT_EQ(QVFSSpecFromPath((dir / *name).c_str(), &fss), noErr) << *name;
        std::string fssName = Name(fss.name);
        EXPECT_LE(fssName.size(), 63u);
        for (auto &other : seen) EXPECT_NE(fssName, other) << "two files, one name";
        seen.push_back(fssName);
        // The FSSpec, and one made from its name alone, lead to the same file.
        FSSpec byName;
        ASSERT_EQ(FSMakeFSSpec(0, fss.parID, fss.name, &byName), noErr) << fssName;
        EXPECT_EQ(PathOf(byName), dir / *name);
        FSRef ref;
        ASSERT_EQ(FSpMakeFSRef(&byName, &ref), noErr);
        EXPECT_EQ(TempDir::Read(PathOf(fss)), *name);
    }
    EXPECT_TRUE(seen[0].ends_with(".jpeg")) << seen[0];
    EXPECT_NE(seen[0].find('#'), std::string::npos);
    EXPECT_EQ(seen[2].substr(0, 3), "___") << "characters Mac Roman lacks show as _";
    EXPECT_EQ(seen[3], "12/30 render.mov") << "a ':' shows as '/' in an FSSpec name";
}
