// Resource Manager stand-in: the file layout, string lists and the resource
// chain, refusal of damaged files, resources read after a write. (Saving,
// replacing and failed writes are checked through the preferences store.)
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "TempDir.h"
#include "memory/MacMemory.h"
#include "resources/Files.h"
#include "resources/Resources.h"

namespace {

constexpr ResType kPref = QV_FOURCC('P', 'r', 'e', 'f');
constexpr ResType kText = QV_FOURCC('T', 'E', 'X', 'T');

std::basic_string<unsigned char> P(const std::string &text) {
    std::basic_string<unsigned char> s(1, static_cast<unsigned char>(text.size()));
    s.append(reinterpret_cast<const unsigned char *>(text.data()), text.size());
    return s;
}

std::string Str(const unsigned char *p) { return std::string(reinterpret_cast<const char *>(p + 1), p[0]); }

Handle H(const std::string &bytes) {
    Handle h = nullptr;
    PtrToHand(bytes.data(), &h, static_cast<Size>(bytes.size()));
    return h;
}

std::string Bytes(Handle h) { return std::string(*h, static_cast<size_t>(GetHandleSize(h))); }

// A string list: a 2-byte count and the Pascal strings.
std::string StringList(std::initializer_list<std::string> items) {
    std::string s(2, '\0');
    s[0] = static_cast<char>(items.size() >> 8);
    s[1] = static_cast<char>(items.size());
    for (auto &i : items) s += static_cast<char>(i.size()) + i;
    return s;
}

UInt32 BE32(const std::string &b, size_t at) {
    return (UInt32(UInt8(b[at])) << 24) | (UInt32(UInt8(b[at + 1])) << 16) | (UInt32(UInt8(b[at + 2])) << 8) |
           UInt32(UInt8(b[at + 3]));
}
UInt16 BE16(const std::string &b, size_t at) { return static_cast<UInt16>((UInt8(b[at]) << 8) | UInt8(b[at + 1])); }
void SetBE32(std::string &b, size_t at, UInt32 v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>(v >> (24 - 8 * i));
}
void SetBE16(std::string &b, size_t at, UInt16 v) {
    b[at] = static_cast<char>(v >> 8);
    b[at + 1] = static_cast<char>(v);
}

class ResourcesTest : public ::testing::Test {
protected:
    FSSpec FileAt(const std::string &name) {
        FSSpec fss;
        QVFSSpecFromPath((dir / name).c_str(), &fss);
        return fss;
    }

    // A file with three resources of two types, one of them named.
    FSSpec MakeSample(const std::string &name) {
        FSSpec fss = FileAt(name);
        FSpCreateResFile(&fss, 0, 0, smSystemScript);
        EXPECT_EQ(ResError(), noErr);
        ResFileRefNum ref = FSpOpenResFile(&fss, fsRdWrPerm);
        EXPECT_GT(ref, 0);
        AddResource(H(StringList({"Zoom horizontal", "Zoom vertical", "Turn"})), kQVStringListResType, 128,
                    P("Slider labels").c_str());
        EXPECT_EQ(ResError(), noErr);
        AddResource(H(std::string(396, '\x5A')), kPref, 1, P("Config Settings").c_str());
        AddResource(H(StringList({"Quelvane"})), kQVStringListResType, 17000, nullptr);
        CloseResFile(ref);
        EXPECT_EQ(ResError(), noErr);
        return fss;
    }

    void TearDown() override {
        // No test may leave a file open for the next one.
        while (CurResFile() != 0) CloseResFile(CurResFile());
        QVResInjectWriteFailures(0, kQVFailOnWrite);
    }

    TempDir dir;
};

} // namespace

TEST_F(ResourcesTest, WrittenFilesReadBackAndReadOnlyFilesStayUnchanged) {
    FSSpec fss = MakeSample("sample.rsrc");
    std::string b = TempDir::Read(dir / "sample.rsrc");
    // Header: data at 256, the map right after the data, lengths that add up.
    EXPECT_EQ(BE32(b, 0), 256u);
    EXPECT_EQ(BE32(b, 4), 256u + BE32(b, 8));
    EXPECT_EQ(b.size(), BE32(b, 4) + BE32(b, 12));

    ResFileRefNum ref = FSpOpenResFile(&fss, fsRdPerm);
    ASSERT_GT(ref, 0);
    Handle pref = Get1Resource(kPref, 1);
    ASSERT_NE(pref, nullptr);
    EXPECT_EQ(Get1Resource(kPref, 1), pref) << "the same handle until released";
    EXPECT_EQ(Bytes(pref), std::string(396, '\x5A'));
    EXPECT_EQ(Get1Resource(kPref, 2), nullptr);
    EXPECT_EQ(ResError(), resNotFound);

    // Read-only: nothing can be added, and closing writes nothing.
    Handle refused = H("x");
    AddResource(refused, kText, 5, nullptr);
    EXPECT_EQ(ResError(), addResFailed);
    DisposeHandle(refused); // still the caller's
    CloseResFile(ref);
    EXPECT_EQ(TempDir::Read(dir / "sample.rsrc"), b);
    EXPECT_EQ(CurResFile(), 0);
}

TEST_F(ResourcesTest, StringListsAndTheChain) {
    FSSpec a = MakeSample("a.rsrc");
    FSSpec bFile = FileAt("b.rsrc");
    FSpCreateResFile(&bFile, 0, 0, 0);
    ResFileRefNum refB = FSpOpenResFile(&bFile, fsRdWrPerm);
    // Count 3, but only two strings follow: a damaged list.
    AddResource(H(StringList({"one", "two"}).replace(1, 1, 1, '\3')), kQVStringListResType, 129, nullptr);
    UpdateResFile(refB);
    ASSERT_EQ(ResError(), noErr);

    ResFileRefNum refA = FSpOpenResFile(&a, fsRdPerm);
    ASSERT_GT(refA, 0);
    Str255 s;
    GetIndString(s, 128, 1);
    EXPECT_EQ(Str(s), "Zoom horizontal");
    for (SInt16 bad : {0, 4, -1}) {
        s[0] = 9;
        GetIndString(s, 128, bad);
        EXPECT_EQ(s[0], 0) << bad;
    }

    // The list of b is found below a, but not by a one-file look-up.
    GetIndString(s, 129, 2);
    EXPECT_EQ(Str(s), "two");
    GetIndString(s, 129, 3);
    EXPECT_EQ(s[0], 0) << "a string past the list's end is empty";
    EXPECT_EQ(Get1Resource(kQVStringListResType, 129), nullptr);

    // Closing the current file falls back to the one below.
    CloseResFile(refA);
    EXPECT_EQ(CurResFile(), refB);
    CloseResFile(refB);
    EXPECT_EQ(CurResFile(), 0);
}

TEST_F(ResourcesTest, DamagedFilesAreRefused) {
    MakeSample("good.rsrc");
    const std::string good = TempDir::Read(dir / "good.rsrc");
    const UInt32 mapOff = BE32(good, 4);
    const size_t types = mapOff + 28;
    const size_t refs = types + BE16(good, types + 8);
    FSSpec fss = FileAt("bad.rsrc");
    auto refused = [&](const std::string &bytes) {
        TempDir::Write(dir / "bad.rsrc", bytes);
        ResFileRefNum ref = FSpOpenResFile(&fss, fsRdPerm);
        if (ref > 0) CloseResFile(ref);
        return ref == -1 && (ResError() == mapReadErr || ResError() == eofErr);
    };

    EXPECT_TRUE(refused(""));
    EXPECT_EQ(ResError(), eofErr);
    // Every truncation of a good file.
    for (size_t n = 1; n < good.size(); ++n) ASSERT_TRUE(refused(good.substr(0, n))) << "cut at " << n;

    struct Damage {
        const char *what;
        size_t at;
        bool wide;
        UInt32 value;
    };
    const Damage damages[] = {
        {"data offset past the end", 0, true, static_cast<UInt32>(good.size())},
        {"map offset past the end", 4, true, 0xFFFFFF00u},
        {"data length past the end", 8, true, static_cast<UInt32>(good.size())},
        {"map too short for its header", 12, true, 20},
        {"type list offset past the map", mapOff + 24, false, 0xFFF0},
        {"more types than the map holds", types, false, 0x7FFF},
        {"more resources than the list holds", types + 6, false, 0x4000},
        {"reference list past the map", types + 8, false, 0xFFF0},
        {"name past the name list", refs + 2, false, 0x7000},
        {"data offset past the data", refs + 4, true, 0x00FFFFF0u},
        {"data length past the data", 256, true, 0x7FFFFFFFu},
        {"data reaching into the map", 8, true, mapOff - 256 + 8},
        {"two resources with one ID", refs + 12, false, 128},
    };
    for (const auto &d : damages) {
        std::string bad = good;
        if (d.wide)
            SetBE32(bad, d.at, d.value);
        else
            SetBE16(bad, d.at, static_cast<UInt16>(d.value));
        EXPECT_TRUE(refused(bad)) << d.what;
    }
    std::string longName = good;
    longName[mapOff + BE16(good, mapOff + 26)] = '\xFF';
    EXPECT_TRUE(refused(longName)) << "a name running past the map";
    // The data offset keeps the attribute byte in front of it.
    std::string attrsOnly = good;
    attrsOnly[refs + 4] = static_cast<char>(resPurgeable);
    EXPECT_FALSE(refused(attrsOnly)) << "attributes are not damage";
}

TEST_F(ResourcesTest, ResourcesReadAfterAWriteAreTheirOwn) {
    // Types added in turns: the file groups them by type, and resources read
    // after the write must still find their own data.
    FSSpec fss = FileAt("turns.rsrc");
    FSpCreateResFile(&fss, 0, 0, 0);
    ResFileRefNum ref = FSpOpenResFile(&fss, fsRdWrPerm);
    AddResource(H("first A"), kText, 1, nullptr);
    AddResource(H("only B"), kPref, 1, nullptr);
    AddResource(H("second A"), kText, 2, nullptr);
    UpdateResFile(ref);
    ASSERT_EQ(ResError(), noErr);
    for (auto [type, id] : {std::pair{kText, 1}, std::pair{kPref, 1}, std::pair{kText, 2}}) {
        Handle h = Get1Resource(type, static_cast<ResID>(id));
        ReleaseResource(h);
        ASSERT_EQ(ResError(), noErr);
    }
    EXPECT_EQ(Bytes(Get1Resource(kText, 1)), "first A");
    EXPECT_EQ(Bytes(Get1Resource(kPref, 1)), "only B");
    EXPECT_EQ(Bytes(Get1Resource(kText, 2)), "second A");
    CloseResFile(ref);
}
