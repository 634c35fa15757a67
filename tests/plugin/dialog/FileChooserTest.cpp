// The open and save dialogs of the file library and their selection lists:
// what a chosen, cancelled or unanswered dialog gives, how many files a list
// yields and keeps, and how a damaged list is read as far as it goes.
#include <gtest/gtest.h>

#include "DialogTestSupport.h"
#include "TestHost.h"
#include "imaging/EasyNav.h"
#include "resources/Files.h"
#include "toolbox/ToolboxFrontEnd.h"

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <string>

using namespace dlgtest;

namespace {

class Files : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(QVToolboxSelectFrontEnd(kQVFrontEndHeadless), noErr);
        folder = prefs.Path();
    }
    void TearDown() override { QVToolboxClearScript(); }

    std::string MakeFile(const std::string &name)
    {
        const std::string path = folder + "/" + name;
        std::FILE *f = std::fopen(path.c_str(), "w");
        if (f) {
            std::fputs("x", f);
            std::fclose(f);
        }
        return path;
    }
    static void Answer(const std::string &script)
    {
        char error[256] = {0};
        ASSERT_EQ(QVToolboxLoadScript(script.data(), script.size(), error, sizeof error), noErr) << error;
    }
    static FSSpec FssOf(const std::string &path)
    {
        FSSpec fss{};
        EXPECT_EQ(QVFSSpecFromPath(path.c_str(), &fss), noErr) << path;
        return fss;
    }
    static bool Same(const FSSpec &a, const FSSpec &b) { return std::memcmp(&a, &b, sizeof a) == 0; }
    static FSSpec Sentinel()
    {
        FSSpec fss;
        std::memset(&fss, 0x5A, sizeof fss);
        return fss;
    }

    qvtest::PrivatePreferences prefs; // a private, empty folder
    std::string folder;
    Str255 prompt = {6, 'C', 'h', 'o', 'o', 's', 'e'};
};

TEST_F(Files, DialogsGiveTheChosenFileOrLeaveTheirArgumentAlone)
{
    const std::string a = MakeFile("a.png"), b = MakeFile("b.png"), existing = MakeFile("old.mov");
    struct Case {
        std::string answer; // "" : no answer at all
        bool open;          // open dialog, else save
        std::string chosen; // "" : nothing chosen
        bool replacing;
    } cases[] = {
        {"file \"" + a + "\" \"" + b + "\"\n", true, a, false}, // the first of several
        {"file cancel\n", true, "", false},
        {"", true, "", false},
        {"file \"" + folder + "/missing/none.png\"\n", true, "", false}, // names no file
        {"file \"" + existing + "\"\n", false, existing, true},
        {"file \"" + folder + "/new.mov\"\n", false, folder + "/new.mov", false},
        {"file cancel\n", false, "", false},
    };
    Str255 name = {7, 'n', 'e', 'w', '.', 'm', 'o', 'v'};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.answer);
        QVToolboxClearScript();
        if (!c.answer.empty())
            Answer(c.answer);
        FSSpec chosen = Sentinel();
        Boolean replacing = !c.replacing;
        const bool ok = c.open ? EasyNavGetFile(prompt, cAnyFileType, cAnyFileType, true, chosen)
                               : EasyNavPutFile(prompt, name, QV_FOURCC('M', 'o', 'o', 'V'), 0, chosen, replacing);
        EXPECT_EQ(ok, !c.chosen.empty());
        if (c.chosen.empty()) {
            EXPECT_TRUE(Same(chosen, Sentinel()));
            continue;
        }
        char path[1024];
        ASSERT_EQ(QVFSSpecGetPath(&chosen, path, sizeof path), noErr);
        EXPECT_EQ(path, c.chosen);
        if (!c.open) {
            EXPECT_EQ(replacing, c.replacing);
        }
    }
}

TEST_F(Files, SelectionListsKeepTheFirstFourAndStopAtADamagedItem)
{
    std::vector<FSSpec> made;
    for (int i = 1; i <= 6; ++i)
        made.push_back(FssOf(MakeFile("f" + std::to_string(i))));
    const char text[] = "not a file";
    FileList files;
    for (int damagedAt : {-1, 2}) {
        AEDescList list;
        ASSERT_EQ(AECreateList(nullptr, 0, false, &list), noErr);
        for (int i = 0; i < 6; ++i)
            if (i == damagedAt)
                AEPutPtr(&list, 0, QV_FOURCC('T', 'E', 'X', 'T'), text, sizeof text);
            else
                AEPutPtr(&list, 0, typeFSS, &made[i], sizeof(FSSpec));
        std::memset(&files, 0, sizeof files);
        EXPECT_EQ(AEDescListToFileList(list, files) == noErr, damagedAt < 0);
        EXPECT_EQ(files.Count, damagedAt < 0 ? 6 : damagedAt) << "all counted, or read up to the bad item";
        for (int i = 0; i < std::min<int>(files.Count, cMaxFilesInList); ++i)
            EXPECT_TRUE(Same(files.Spec[i], made[i])) << i;
        AEDisposeDesc(&list);
    }
    AEDesc notAList;
    AEInitializeDesc(&notAList);
    EXPECT_NE(AEDescListToFileList(notAList, files), noErr);
    EXPECT_EQ(files.Count, 0);

    Str255 name = {3, 'o', 'l', 'd'}; // a cancelled picture choice: no picture, the dummy name
    Answer("file cancel\n");
    EXPECT_EQ(LoadPictureFile(name), nullptr);
    EXPECT_EQ(P2S(name), "Dummy");
}

} // namespace
