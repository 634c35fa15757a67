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
    static FSSpec SpecOf(const std::string &path)
    {
        FSSpec spec{};
        EXPECT_EQ(QVFSSpecFromPath(path.c_str(), &spec), noErr) << path;
        return spec;
    }
    static bool Same(const FSSpec &a, const FSSpec &b) { return std::memcmp(&a, &b, sizeof a) == 0; }
    static FSSpec Sentinel()
    {
        FSSpec spec;
        std::memset(&spec, 0x5A, sizeof spec);
        return spec;
    }

    qvtest::PrivatePreferences prefs; // a private, empty folder
    std::string folder;
    Str255 prompt = {6, 'C', 'h', 'o', 'o', 's', 'e'};
};

TEST_F(Files, OpenDialogGivesTheFirstChosenFileOrLeavesItsArgumentAlone)
{
    const std::string a = MakeFile("a.png"), b = MakeFile("b.png");
    Answer("file \"" + a + "\" \"" + b + "\"\n");
    FSSpec chosen = Sentinel();
    EXPECT_TRUE(EasyNavGetFile(prompt, cAnyFileType, cAnyFileType, true, chosen));
    EXPECT_TRUE(Same(chosen, SpecOf(a)));

    // Cancelled, unanswered, or a path that names no file: nothing chosen.
    for (const std::string &answer : {std::string("file cancel\n"), std::string(),
                                      "file \"" + folder + "/missing/none.png\"\n"}) {
        QVToolboxClearScript();
        if (!answer.empty())
            Answer(answer);
        chosen = Sentinel();
        EXPECT_FALSE(EasyNavGetFile(prompt, QV_FOURCC('J', 'P', 'E', 'G'), cAnyFileType, false, chosen)) << answer;
        EXPECT_TRUE(Same(chosen, Sentinel())) << answer;
    }
}

TEST_F(Files, SaveDialogTellsWhetherTheFileIsReplaced)
{
    const std::string existing = MakeFile("old.mov");
    Str255 name = {7, 'n', 'e', 'w', '.', 'm', 'o', 'v'};
    FSSpec spec = Sentinel();
    Boolean replacing = true;
    Answer("file \"" + folder + "/new.mov\"\n");
    EXPECT_TRUE(EasyNavPutFile(prompt, name, QV_FOURCC('M', 'o', 'o', 'V'), QV_FOURCC('T', 'V', 'O', 'D'), spec,
                               replacing));
    EXPECT_FALSE(replacing);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(spec.name + 1), spec.name[0]), "new.mov");
    Answer("file \"" + existing + "\"\n");
    EXPECT_TRUE(EasyNavPutFile(prompt, name, 0, 0, spec, replacing));
    EXPECT_TRUE(replacing);
    EXPECT_TRUE(Same(spec, SpecOf(existing)));
    FSSpec untouched = Sentinel();
    Answer("file cancel\n");
    EXPECT_FALSE(EasyNavPutFile(prompt, name, 0, 0, untouched, replacing));
    EXPECT_TRUE(Same(untouched, Sentinel()));
}

TEST_F(Files, SelectionListsKeepTheFirstFourAndStopAtADamagedItem)
{
    AEDescList list;
    ASSERT_EQ(AECreateList(nullptr, 0, false, &list), noErr);
    std::vector<FSSpec> specs;
    for (int i = 1; i <= 6; ++i) {
        specs.push_back(SpecOf(MakeFile("f" + std::to_string(i))));
        ASSERT_EQ(AEPutPtr(&list, 0, typeFSS, &specs.back(), sizeof(FSSpec)), noErr);
    }
    FileList files;
    std::memset(&files, 0, sizeof files);
    EXPECT_EQ(AEDescListToFileList(list, files), noErr);
    EXPECT_EQ(files.Count, 6) << "all are counted";
    for (int i = 0; i < cMaxFilesInList; ++i)
        EXPECT_TRUE(Same(files.Spec[i], specs[i])) << i;
    AEDisposeDesc(&list);

    ASSERT_EQ(AECreateList(nullptr, 0, false, &list), noErr);
    AEPutPtr(&list, 0, typeFSS, &specs[0], sizeof(FSSpec));
    AEPutPtr(&list, 0, typeFSS, &specs[1], sizeof(FSSpec));
    const char text[] = "not a file";
    AEPutPtr(&list, 0, QV_FOURCC('T', 'E', 'X', 'T'), text, sizeof text);
    AEPutPtr(&list, 0, typeFSS, &specs[2], sizeof(FSSpec));
    EXPECT_NE(AEDescListToFileList(list, files), noErr);
    EXPECT_EQ(files.Count, 2) << "read up to the bad item";
    EXPECT_TRUE(Same(files.Spec[1], specs[1]));
    AEDisposeDesc(&list);

    AEDesc notAList;
    AEInitializeDesc(&notAList);
    EXPECT_NE(AEDescListToFileList(notAList, files), noErr);
    EXPECT_EQ(files.Count, 0);
}

TEST_F(Files, CancelledPictureChoiceGivesNoPictureAndTheDummyName)
{
    Str255 name = {3, 'o', 'l', 'd'};
    Answer("file cancel\n");
    EXPECT_EQ(LoadPictureFile(name), nullptr);
    EXPECT_EQ(P2S(name), "Dummy");
}

} // namespace
