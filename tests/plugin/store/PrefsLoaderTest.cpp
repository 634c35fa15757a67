// The saved configuration: the record's exact bytes, save-then-read, refusal
// of foreign and damaged records, repair by the next save, failed saves,
// missing folders.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>

#include "../../platform/resources/TempDir.h"
#include "TestHost.h"
#include "memory/MacMemory.h"
#include "resources/Files.h"
#include "resources/Resources.h"
#include "store/prefsloader.h"

namespace {

constexpr ResType kPref = QV_FOURCC('P', 'r', 'e', 'f');
const char *kMisc = "Config save for Dranwick iMovie plug-in";

// A configuration with a distinct value in every stored field.
PluginDataRec Sample() {
    PluginDataRec c{};
    c.StartRel = {0.125, 0.875, -0.25, 1.5};
    c.EndRel = {std::numeric_limits<double>::denorm_min(), -0.0, 1e300, std::nan("0x5A5")};
    for (int n = 0; n < kColorCount; ++n)
        c.Colors[n] = {static_cast<UInt16>(1000 * n + 1), static_cast<UInt16>(65535 - n), static_cast<UInt16>(257 * n)};
    const SInt16 sliders[kSliderCount] = {-32768, 32767, 0, -1, 1000, 42};
    std::memcpy(c.Sliders, sliders, sizeof sliders);
    c.FrameStartColor = {65535, 1, 2};
    c.FrameEndColor = {3, 65534, 5};
    c.MediaType = 3;
    c.KeepProps = true;
    c.BlendMode = 7;
    c.ClipActive = true;
    return c;
}

// The record's bytes for a configuration, built here from the published
// offsets independently of the store's code (little-endian build).
std::string ExpectedRecord(const PluginDataRec &c) {
    std::string b(396, '\0');
    auto put = [&](size_t at, const void *v, size_t n) { std::memcpy(&b[at], v, n); };
    UInt32 size = 396, version = 3;
    put(0, &size, 4);
    put(4, &version, 4);
    const double rels[8] = {c.StartRel.Left, c.StartRel.Right, c.StartRel.Top, c.StartRel.Bottom,
                            c.EndRel.Left,   c.EndRel.Right,   c.EndRel.Top,   c.EndRel.Bottom};
    put(8, rels, 64);
    for (int n = 0; n < 6; ++n) {
        put(72 + 6 * n, &c.Colors[n].red, 2);
        put(74 + 6 * n, &c.Colors[n].green, 2);
        put(76 + 6 * n, &c.Colors[n].blue, 2);
        put(108 + 2 * n, &c.Sliders[n], 2);
    }
    put(120, &c.FrameStartColor.red, 2), put(122, &c.FrameStartColor.green, 2), put(124, &c.FrameStartColor.blue, 2);
    put(126, &c.FrameEndColor.red, 2), put(128, &c.FrameEndColor.green, 2), put(130, &c.FrameEndColor.blue, 2);
    put(132, &c.MediaType, 2);
    b[134] = c.KeepProps ? 1 : 0;
    put(136, &c.BlendMode, 2);
    b[138] = static_cast<char>(std::strlen(kMisc));
    put(139, kMisc, std::strlen(kMisc));
    return b;
}

// The stored fields compared bit for bit, through their record bytes.
void ExpectStoredFieldsEqual(const PluginDataRec &a, const PluginDataRec &b, const std::string &what = "") {
    EXPECT_EQ(ExpectedRecord(a), ExpectedRecord(b)) << what;
}

class PrefsStore : public ::testing::Test {
protected:
    std::string PrefsPath() const { return prefs.Path() + "/qrvtn-Prefs"; }
    std::string FileBytes() const { return TempDir::Read(PrefsPath()); }

    // Resource Pref 1 of the preferences file; checks it is the only one.
    std::string StoredRecord() {
        FSSpec fss;
        EXPECT_EQ(QVFSSpecFromPath(PrefsPath().c_str(), &fss), noErr);
        ResFileRefNum ref = FSpOpenResFile(&fss, fsRdPerm);
        EXPECT_GT(ref, 0) << "a well-formed resource file";
        if (ref <= 0) return {};
        EXPECT_EQ(Count1Resources(kPref), 1);
        std::string data;
        if (Handle h = Get1Resource(kPref, 1)) {
            Str255 name;
            ResID id = 0;
            GetResInfo(h, &id, nullptr, name);
            EXPECT_EQ(std::string(reinterpret_cast<char *>(name + 1), name[0]), "Config Settings");
            data.assign(*h, static_cast<size_t>(GetHandleSize(h)));
        }
        CloseResFile(ref);
        return data;
    }

    // A preferences file holding `record` as Pref 1 beside another resource.
    void WriteRecord(const std::string &record) {
        std::filesystem::remove(PrefsPath());
        FSSpec fss;
        QVFSSpecFromPath(PrefsPath().c_str(), &fss);
        FSpCreateResFile(&fss, 0, kPref, smSystemScript);
        ResFileRefNum ref = FSpOpenResFile(&fss, fsRdWrPerm);
        ASSERT_GT(ref, 0);
        Handle h = nullptr, other = nullptr;
        PtrToHand(record.data(), &h, static_cast<Size>(record.size()));
        AddResource(h, kPref, 1, nullptr);
        PtrToHand("keep me", &other, 7);
        AddResource(other, QV_FOURCC('T', 'E', 'X', 'T'), 9, nullptr);
        CloseResFile(ref);
        ASSERT_EQ(ResError(), noErr);
    }

    qvtest::PrivatePreferences prefs;
    TempDir dir;
};

} // namespace

TEST_F(PrefsStore, LifecycleAndBitExactRoundTrip) {
    PluginDataRec c = Sample();
    EXPECT_FALSE(ReadConfig(&c));
    EXPECT_FALSE(SaveConfig(&c));
    EXPECT_FALSE(std::filesystem::exists(PrefsPath())) << "reading and saving never create the file";
    EXPECT_FALSE(ReadConfig(nullptr));
    EXPECT_FALSE(SaveConfig(nullptr));

    ASSERT_TRUE(MakeSurePrefsFileExists());
    const std::string empty = FileBytes();
    EXPECT_FALSE(empty.empty());
    EXPECT_FALSE(ReadConfig(&c)) << "an empty resource file holds no record";
    ASSERT_TRUE(MakeSurePrefsFileExists());
    EXPECT_EQ(FileBytes(), empty) << "an existing file is left alone";

    // Saving and reading leave the caller's current resource file current.
    FSSpec otherSpec;
    QVFSSpecFromPath((dir / "other.rsrc").c_str(), &otherSpec);
    FSpCreateResFile(&otherSpec, 0, 0, 0);
    ResFileRefNum other = FSpOpenResFile(&otherSpec, fsRdPerm);
    ASSERT_GT(other, 0);
    const PluginDataRec saved = Sample();
    ASSERT_TRUE(SaveConfig(&c));
    EXPECT_EQ(CurResFile(), other);

    PluginDataRec read{};
    read.Outside = true;
    read.TheOriginalImage = reinterpret_cast<CGImageRef>(0x1234);
    ASSERT_TRUE(ReadConfig(&read));
    EXPECT_EQ(CurResFile(), other);
    CloseResFile(other);
    ExpectStoredFieldsEqual(read, saved);
    EXPECT_TRUE(read.Outside) << "fields that are not stored keep their values";
    EXPECT_FALSE(read.ClipActive);
    EXPECT_EQ(read.TheOriginalImage, reinterpret_cast<CGImageRef>(0x1234));

    PluginDataRec second = Sample();
    second.Sliders[0] = 5;
    second.KeepProps = false;
    ASSERT_TRUE(SaveConfig(&second));
    ASSERT_TRUE(ReadConfig(&read));
    ExpectStoredFieldsEqual(read, second, "a second save replaces the first");
}

TEST_F(PrefsStore, TheFileHoldsOneRecordAtThePublishedOffsets) {
    if (std::endian::native != std::endian::little) GTEST_SKIP() << "the expected bytes are the x86 layout";
    ASSERT_TRUE(MakeSurePrefsFileExists());
    PluginDataRec c = Sample();
    ASSERT_TRUE(SaveConfig(&c));
    const std::string record = StoredRecord();
    EXPECT_EQ(record, ExpectedRecord(c));

    Handle small = NewHandleClear(395);
    EXPECT_FALSE(Config2Save(&c, small)) << "the block must hold the whole record";
    EXPECT_FALSE(Save2Config(&c, small));
    DisposeHandle(small);
}

TEST_F(PrefsStore, ForeignRecordsAreIgnoredAndTheNextSaveReplacesThem) {
    ASSERT_TRUE(MakeSurePrefsFileExists());
    const PluginDataRec sample = Sample();
    const std::string good = ExpectedRecord(sample);

    // The same record as a big-endian build writes it: every field swapped.
    std::string otherOrder = good;
    auto swap = [&](size_t at, size_t n) { std::reverse(otherOrder.begin() + at, otherOrder.begin() + at + n); };
    swap(0, 4), swap(4, 4);
    for (size_t at = 8; at < 72; at += 8) swap(at, 8);
    for (size_t at = 72; at < 134; at += 2) swap(at, 2);
    swap(136, 2);
    otherOrder.resize(394);
    std::string version2 = good;
    version2[4] = 2;
    std::string size394 = good;
    size394[0] = static_cast<char>(394 & 0xFF);

    struct Case {
        const char *what;
        std::string record;
    };
    for (const Case &bad : {Case{"other byte order", otherOrder}, Case{"version 2", version2},
                            Case{"size field of the other build", size394},
                            Case{"record longer than its size", good + std::string(4, '\0')},
                            Case{"truncated record", good.substr(0, 200)}, Case{"empty record", std::string()}}) {
        WriteRecord(bad.record);
        PluginDataRec c{};
        c.MediaType = 2;
        const PluginDataRec before = c;
        EXPECT_FALSE(ReadConfig(&c)) << bad.what;
        EXPECT_EQ(std::memcmp(&c, &before, sizeof c), 0) << bad.what << ": the configuration stays as it was";
        PluginDataRec s = sample;
        ASSERT_TRUE(SaveConfig(&s)) << bad.what;
        ASSERT_TRUE(ReadConfig(&c)) << bad.what;
        ExpectStoredFieldsEqual(c, sample, bad.what);
        FSSpec fss;
        QVFSSpecFromPath(PrefsPath().c_str(), &fss);
        ResFileRefNum ref = FSpOpenResFile(&fss, fsRdPerm);
        EXPECT_NE(Get1Resource(QV_FOURCC('T', 'E', 'X', 'T'), 9), nullptr) << bad.what << ": other resources survive";
        CloseResFile(ref);
    }
}

TEST_F(PrefsStore, DamagedFilesReadAsNothingStoredAndAreRepairedBySaving) {
    const PluginDataRec sample = Sample();
    WriteRecord(ExpectedRecord(sample));
    const std::string good = FileBytes();
    std::string pastEnd = good;
    pastEnd[4] = '\x7F'; // map offset far past the end
    for (const std::string &damaged : {std::string(), good.substr(0, good.size() / 2), std::string(600, '\xFF'),
                                       pastEnd, std::string("text, not a resource file")}) {
        TempDir::Write(PrefsPath(), damaged);
        PluginDataRec c{};
        c.Sliders[0] = 77;
        EXPECT_FALSE(ReadConfig(&c)) << damaged.size();
        EXPECT_EQ(c.Sliders[0], 77);
        PluginDataRec s = sample;
        ASSERT_TRUE(SaveConfig(&s)) << "the next save repairs a file of " << damaged.size() << " bytes";
        EXPECT_EQ(StoredRecord(), ExpectedRecord(sample));
    }
}

TEST_F(PrefsStore, AFailedSaveLeavesThePreviousSettingsOnDisk) {
    ASSERT_TRUE(MakeSurePrefsFileExists());
    PluginDataRec first = Sample();
    ASSERT_TRUE(SaveConfig(&first));
    const std::string before = FileBytes();
    PluginDataRec second = Sample();
    second.Sliders[1] = -5;
    for (auto stage : {kQVFailOnWrite, kQVFailOnSync, kQVFailOnRename}) {
        QVResInjectWriteFailures(1, stage);
        EXPECT_FALSE(SaveConfig(&second)) << "stage " << stage;
        EXPECT_EQ(FileBytes(), before) << "stage " << stage;
    }
    QVResInjectWriteFailures(0, kQVFailOnWrite);
    int entries = 0;
    for (auto &e : std::filesystem::directory_iterator(prefs.Path())) entries += e.exists();
    EXPECT_EQ(entries, 1) << "no temporary file left behind";
    ASSERT_TRUE(SaveConfig(&second));
    PluginDataRec read{};
    ASSERT_TRUE(ReadConfig(&read));
    ExpectStoredFieldsEqual(read, second);
}

TEST_F(PrefsStore, SavingThroughALinkKeepsTheLinkAndThePermissions) {
    namespace fs = std::filesystem;
    ASSERT_TRUE(MakeSurePrefsFileExists());
    const std::string target = dir / "elsewhere";
    fs::rename(PrefsPath(), target);
    fs::create_symlink(target, PrefsPath());
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    PluginDataRec c = Sample();
    ASSERT_TRUE(SaveConfig(&c));
    EXPECT_TRUE(fs::is_symlink(PrefsPath()));
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(StoredRecord(), ExpectedRecord(c)) << "the record is in the linked file";
}

TEST_F(PrefsStore, PlainFileFolderAnswersFalseAndAMissingOneIsMadeAtStartUp) {
    PluginDataRec c = Sample();
    TempDir::Write(dir / "plainfile", "");
    setenv("XDG_CONFIG_HOME", (dir / "plainfile").c_str(), 1);
    EXPECT_FALSE(MakeSurePrefsFileExists());
    EXPECT_FALSE(ReadConfig(&c));
    EXPECT_FALSE(SaveConfig(&c));
    setenv("XDG_CONFIG_HOME", (dir / "missing/config").c_str(), 1);
    EXPECT_FALSE(SaveConfig(&c)) << "only start-up makes the folder";
    EXPECT_TRUE(MakeSurePrefsFileExists());
    EXPECT_EQ(std::filesystem::status(dir / "missing/config").permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all);
    EXPECT_TRUE(SaveConfig(&c));
}
