// Resource Manager stand-in: resource files read whole and checked when
// opened, kept as maps in memory, and written back by atomic replacement.
#include "resources/Resources.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <set>
#include <utility>
#include <vector>

#include "memory/MacMemory.h"
#include "resources/FilesInternal.h"

namespace {

constexpr UInt32 kDataStart = 256;          // where written files put the data
constexpr UInt32 kMapHeaderSize = 28;       // header copy, next map, file ref, attributes, two offsets
constexpr size_t kMaxFileSize = 64u << 20;  // larger files are refused
constexpr UInt32 kMaxDataOffset = 0xFFFFFF; // data offsets have 3 bytes

struct ResEntry {
    ResType type = 0;
    ResID id = 0;
    bool hasName = false;
    std::string name; // Mac Roman, at most 255 bytes
    UInt8 attrs = 0;
    // The data as last read or written: a range of the file's bytes, or
    // bytes of its own once the resource was added.
    size_t offset = 0, length = 0;
    std::shared_ptr<const std::string> own;
    Handle handle = nullptr; // loaded data, owned by the file
};

struct ResFile {
    ResFileRefNum refNum = 0;
    std::string path;
    bool writable = false;
    UInt16 attrs = 0;
    std::shared_ptr<const std::string> bytes; // the file as last read or written
    std::vector<ResEntry> entries;            // in the order of the file's map

    std::string_view DataOf(const ResEntry &e) const {
        if (e.own) return *e.own;
        return std::string_view(*bytes).substr(e.offset, e.length);
    }
};

std::vector<std::unique_ptr<ResFile>> gChain; // bottom to top
ResFileRefNum gCurrent = 0;
thread_local OSErr tResError = noErr;

OSErr SetError(OSErr err) {
    tResError = err;
    return err;
}

UInt32 Read32(const std::string &b, size_t at) {
    auto u = [&](size_t i) { return static_cast<UInt32>(static_cast<unsigned char>(b[at + i])); };
    return (u(0) << 24) | (u(1) << 16) | (u(2) << 8) | u(3);
}
UInt32 Read24(const std::string &b, size_t at) {
    auto u = [&](size_t i) { return static_cast<UInt32>(static_cast<unsigned char>(b[at + i])); };
    return (u(0) << 16) | (u(1) << 8) | u(2);
}
UInt16 Read16(const std::string &b, size_t at) {
    return static_cast<UInt16>((static_cast<unsigned char>(b[at]) << 8) | static_cast<unsigned char>(b[at + 1]));
}
void Put32(std::string &b, size_t at, UInt32 v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>(v >> (24 - 8 * i));
}
void Put24(std::string &b, size_t at, UInt32 v) {
    for (int i = 0; i < 3; ++i) b[at + i] = static_cast<char>(v >> (16 - 8 * i));
}
void Put16(std::string &b, size_t at, UInt16 v) {
    b[at] = static_cast<char>(v >> 8);
    b[at + 1] = static_cast<char>(v);
}

// Parses a resource file, checking every offset, length and count against
// the file's size before it is used.
OSErr Parse(const std::shared_ptr<const std::string> &file, std::vector<ResEntry> &entries, UInt16 &attrs) {
    const std::string &b = *file;
    const UInt64 size = b.size();
    if (size == 0) return eofErr;
    if (size < 16) return mapReadErr;
    const UInt64 dataOff = Read32(b, 0), mapOff = Read32(b, 4), dataLen = Read32(b, 8), mapLen = Read32(b, 12);
    if (dataOff + dataLen > size || mapOff + mapLen > size) return mapReadErr;
    if (mapLen < kMapHeaderSize + 2) return mapReadErr;
    if (dataLen > 0 && dataOff < mapOff + mapLen && mapOff < dataOff + dataLen) return mapReadErr;

    const UInt64 typeList = Read16(b, mapOff + 24), nameList = Read16(b, mapOff + 26);
    if (typeList + 2 > mapLen || nameList > mapLen) return mapReadErr;
    attrs = Read16(b, mapOff + 22) & (mapReadOnly | mapCompact);
    const UInt64 typeCount = (Read16(b, mapOff + typeList) + 1u) & 0xFFFFu;
    if (typeList + 2 + typeCount * 8 > mapLen) return mapReadErr;

    std::set<std::pair<ResType, ResID>> seen;
    for (UInt64 t = 0; t < typeCount; ++t) {
        const UInt64 at = mapOff + typeList + 2 + t * 8;
        const ResType type = Read32(b, at);
        const UInt64 count = Read16(b, at + 4) + 1u;
        const UInt64 refList = Read16(b, at + 6);
        if (typeList + refList + count * 12 > mapLen) return mapReadErr;
        for (UInt64 r = 0; r < count; ++r) {
            const UInt64 ref = mapOff + typeList + refList + r * 12;
            ResEntry e;
            e.type = type;
            e.id = static_cast<ResID>(Read16(b, ref));
            if (!seen.insert({type, e.id}).second) return mapReadErr;
            const UInt16 nameOff = Read16(b, ref + 2);
            e.attrs = static_cast<UInt8>(b[ref + 4]) & ~resChanged;
            const UInt64 dataAt = Read24(b, ref + 5);
            if (nameOff != 0xFFFF) {
                const UInt64 n = nameList + nameOff;
                if (n + 1 > mapLen) return mapReadErr;
                const UInt64 len = static_cast<unsigned char>(b[mapOff + n]);
                if (n + 1 + len > mapLen) return mapReadErr;
                e.hasName = true;
                e.name = b.substr(mapOff + n + 1, len);
            }
            if (dataAt + 4 > dataLen) return mapReadErr;
            const UInt64 len = Read32(b, dataOff + dataAt);
            if (dataAt + 4 + len > dataLen) return mapReadErr;
            e.offset = dataOff + dataAt + 4;
            e.length = len;
            entries.push_back(std::move(e));
        }
    }
    return noErr;
}

// The bytes of a resource file holding these entries, or an error when the
// format cannot hold them.
OSErr Serialize(const ResFile &file, std::string &out) {
    // Types in the order they first appear.
    std::vector<ResType> types;
    for (const auto &e : file.entries)
        if (std::find(types.begin(), types.end(), e.type) == types.end()) types.push_back(e.type);
    if (types.size() > 0x10000) return addResFailed;

    std::string data, names;
    std::vector<UInt32> dataOffsets(file.entries.size());
    std::vector<UInt16> nameOffsets(file.entries.size(), 0xFFFF);
    for (size_t i = 0; i < file.entries.size(); ++i) {
        const ResEntry &e = file.entries[i];
        std::string_view bytes;
        std::string loaded;
        if (e.handle && (e.attrs & resChanged)) {
            Size n = GetHandleSize(e.handle);
            loaded.assign(*e.handle, static_cast<size_t>(n));
            bytes = loaded;
        } else {
            bytes = file.DataOf(e);
        }
        if (data.size() > kMaxDataOffset || bytes.size() > 0xFFFFFFFFu) return addResFailed;
        dataOffsets[i] = static_cast<UInt32>(data.size());
        std::string len(4, '\0');
        Put32(len, 0, static_cast<UInt32>(bytes.size()));
        data += len;
        data += bytes;
        if (e.hasName) {
            if (names.size() > 0xFFFE) return addResFailed;
            nameOffsets[i] = static_cast<UInt16>(names.size());
            names.push_back(static_cast<char>(e.name.size()));
            names += e.name;
        }
    }

    const size_t typeListSize = 2 + types.size() * 8 + file.entries.size() * 12;
    if (kMapHeaderSize + typeListSize > 0xFFFF) return addResFailed;
    const size_t mapLen = kMapHeaderSize + typeListSize + names.size();
    if (kDataStart + data.size() + mapLen > 0xFFFFFFFFu) return addResFailed;

    std::string map(mapLen, '\0');
    Put16(map, 22, file.attrs & (mapReadOnly | mapCompact));
    Put16(map, 24, kMapHeaderSize);
    Put16(map, 26, static_cast<UInt16>(kMapHeaderSize + typeListSize));
    const size_t tl = kMapHeaderSize;
    Put16(map, tl, static_cast<UInt16>(types.size() - 1)); // 0xFFFF for none
    size_t refAt = 2 + types.size() * 8;                    // from the type list's start
    for (size_t t = 0; t < types.size(); ++t) {
        size_t count = 0;
        for (const auto &e : file.entries) count += e.type == types[t];
        Put32(map, tl + 2 + t * 8, types[t]);
        Put16(map, tl + 2 + t * 8 + 4, static_cast<UInt16>(count - 1));
        Put16(map, tl + 2 + t * 8 + 6, static_cast<UInt16>(refAt));
        for (size_t i = 0; i < file.entries.size(); ++i) {
            const ResEntry &e = file.entries[i];
            if (e.type != types[t]) continue;
            Put16(map, tl + refAt, static_cast<UInt16>(e.id));
            Put16(map, tl + refAt + 2, nameOffsets[i]);
            map[tl + refAt + 4] = static_cast<char>(e.attrs & ~resChanged);
            Put24(map, tl + refAt + 5, dataOffsets[i]);
            refAt += 12;
        }
    }
    std::memcpy(map.data() + kMapHeaderSize + typeListSize, names.data(), names.size());

    std::string header(16, '\0');
    Put32(header, 0, kDataStart);
    Put32(header, 4, static_cast<UInt32>(kDataStart + data.size()));
    Put32(header, 8, static_cast<UInt32>(data.size()));
    Put32(header, 12, static_cast<UInt32>(mapLen));
    std::memcpy(map.data(), header.data(), 16);

    out = header;
    out.resize(kDataStart, '\0');
    out += data;
    out += map;
    return noErr;
}

ResFile *FindFile(ResFileRefNum refNum) {
    for (auto &f : gChain)
        if (f->refNum == refNum) return f.get();
    return nullptr;
}

ResFile *CurrentFile() { return gCurrent ? FindFile(gCurrent) : nullptr; }

// The file and entry a resource handle belongs to.
std::pair<ResFile *, ResEntry *> FindHandle(Handle h) {
    if (!h) return {nullptr, nullptr};
    for (auto &f : gChain)
        for (auto &e : f->entries)
            if (e.handle == h) return {f.get(), &e};
    return {nullptr, nullptr};
}

ResEntry *FindEntry(ResFile *f, ResType type, ResID id) {
    for (auto &e : f->entries)
        if (e.type == type && e.id == id) return &e;
    return nullptr;
}

// The entry's handle, loading its data when needed.
Handle Load(ResFile *f, ResEntry *e) {
    if (!e->handle) {
        std::string_view data = f->DataOf(*e);
        Handle h = NewHandle(static_cast<Size>(data.size()));
        if (!h) {
            SetError(memFullErr);
            return nullptr;
        }
        std::memcpy(*h, data.data(), data.size());
        e->handle = h;
    }
    SetError(noErr);
    return e->handle;
}

OSErr Update(ResFile *f) {
    if (!(f->attrs & mapChanged)) return noErr;
    if (!f->writable) return wrPermErr;
    auto out = std::make_shared<std::string>();
    OSErr err = Serialize(*f, *out);
    if (err != noErr) return err;
    err = qv::files::ReplaceFileAtomically(f->path, *out);
    if (err != noErr) return err;
    // The file now holds what the map says: refer to the new bytes. The file
    // groups resources by type, so entries are matched by type and ID.
    std::vector<ResEntry> reread;
    UInt16 attrs = 0;
    if (Parse(out, reread, attrs) != noErr || reread.size() != f->entries.size()) return ioErr;
    for (ResEntry &e : f->entries) {
        auto it = std::find_if(reread.begin(), reread.end(),
                               [&](const ResEntry &r) { return r.type == e.type && r.id == e.id; });
        if (it == reread.end()) return ioErr;
        e.offset = it->offset;
        e.length = it->length;
        e.own.reset();
        e.attrs &= ~resChanged;
    }
    f->bytes = std::move(out);
    f->attrs &= ~mapChanged;
    return noErr;
}

void WriteEmptyResourceFile(int fd, OSErr &err) {
    ResFile empty;
    std::string bytes;
    err = Serialize(empty, bytes);
    if (err != noErr) return;
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            err = qv::files::ErrnoToOSErr(errno);
            return;
        }
        done += static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0) err = ioErr;
}

template <typename F> void Guard(F &&f) {
    try {
        f();
    } catch (const std::bad_alloc &) {
        SetError(memFullErr);
    }
}

std::string_view PascalView(ConstStr255Param s) {
    return s ? std::string_view(reinterpret_cast<const char *>(s + 1), s[0]) : std::string_view();
}

} // namespace

extern "C" {

OSErr ResError(void) { return tResError; }

ResFileRefNum FSpOpenResFile(const FSSpec *fss, SInt8 permission) {
    if (!fss || permission < fsCurPerm || permission > fsRdWrPerm) {
        SetError(paramErr);
        return -1;
    }
    ResFileRefNum result = -1;
    Guard([&] {
        std::string path;
        OSErr err = qv::files::PathOfSpec(*fss, path);
        if (err != noErr) {
            SetError(err);
            return;
        }
        path = qv::files::NormalizePath(path);
        for (auto &f : gChain) {
            if (f->path == path) {
                gCurrent = f->refNum;
                result = f->refNum;
                SetError(noErr);
                return;
            }
        }
        auto bytes = std::make_shared<std::string>();
        err = qv::files::ReadWholeFile(path, *bytes, kMaxFileSize);
        if (err != noErr) {
            SetError(err);
            return;
        }
        auto file = std::make_unique<ResFile>();
        err = Parse(bytes, file->entries, file->attrs);
        if (err != noErr) {
            SetError(err);
            return;
        }
        bool canWrite = qv::files::IsWritable(path);
        if ((permission == fsWrPerm || permission == fsRdWrPerm) && !canWrite) {
            SetError(permErr);
            return;
        }
        file->writable = permission != fsRdPerm && canWrite;
        if (!file->writable) file->attrs |= mapReadOnly;
        file->bytes = std::move(bytes);
        file->path = path;
        file->refNum = qv::files::ReserveRefNum();
        if (file->refNum == 0) {
            SetError(tmfoErr);
            return;
        }
        gChain.push_back(std::move(file));
        gCurrent = gChain.back()->refNum;
        result = gCurrent;
        SetError(noErr);
    });
    return result;
}

void FSpCreateResFile(const FSSpec *fss, OSType, OSType, ScriptCode) {
    if (!fss) {
        SetError(paramErr);
        return;
    }
    Guard([&] {
        std::string path;
        OSErr err = qv::files::PathOfSpec(*fss, path);
        if (err != noErr) {
            SetError(err);
            return;
        }
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            SetError(qv::files::ErrnoToOSErr(errno));
            return;
        }
        WriteEmptyResourceFile(fd, err);
        ::close(fd);
        if (err != noErr) ::unlink(path.c_str());
        SetError(err);
    });
}

void UpdateResFile(ResFileRefNum refNum) {
    ResFile *f = FindFile(refNum);
    if (!f) {
        SetError(resFNotFound);
        return;
    }
    Guard([&] { SetError(Update(f)); });
}

void CloseResFile(ResFileRefNum refNum) {
    auto it = std::find_if(gChain.begin(), gChain.end(), [&](auto &f) { return f->refNum == refNum; });
    if (it == gChain.end()) {
        SetError(resFNotFound);
        return;
    }
    OSErr err = noErr;
    Guard([&] { err = Update(it->get()); });
    if (tResError == memFullErr) err = memFullErr;
    for (auto &e : (*it)->entries)
        if (e.handle) DisposeHandle(e.handle);
    qv::files::ReleaseRefNum(refNum);
    size_t index = static_cast<size_t>(it - gChain.begin());
    gChain.erase(it);
    if (gCurrent == refNum) {
        if (gChain.empty())
            gCurrent = 0;
        else
            gCurrent = gChain[index > 0 ? index - 1 : gChain.size() - 1]->refNum;
    }
    SetError(err);
}

void UseResFile(ResFileRefNum refNum) {
    if (refNum != 0 && !FindFile(refNum)) {
        SetError(resFNotFound);
        return;
    }
    gCurrent = refNum;
    SetError(noErr);
}

ResFileRefNum CurResFile(void) {
    SetError(noErr);
    return gCurrent;
}

ResFileRefNum HomeResFile(Handle theResource) {
    auto [f, e] = FindHandle(theResource);
    if (!f) {
        SetError(resNotFound);
        return -1;
    }
    SetError(noErr);
    return f->refNum;
}

ResFileAttributes GetResFileAttrs(ResFileRefNum refNum) {
    ResFile *f = FindFile(refNum);
    if (!f) {
        SetError(resFNotFound);
        return 0;
    }
    SetError(noErr);
    return static_cast<ResFileAttributes>(f->attrs);
}

void SetResFileAttrs(ResFileRefNum refNum, ResFileAttributes attrs) {
    ResFile *f = FindFile(refNum);
    if (!f) {
        SetError(resFNotFound);
        return;
    }
    f->attrs = static_cast<UInt16>(attrs) & (mapReadOnly | mapCompact | mapChanged);
    if (!f->writable) f->attrs |= mapReadOnly;
    SetError(noErr);
}

Handle Get1Resource(ResType theType, ResID theID) {
    ResFile *f = CurrentFile();
    if (!f) {
        SetError(resFNotFound);
        return nullptr;
    }
    ResEntry *e = FindEntry(f, theType, theID);
    if (!e) {
        SetError(resNotFound);
        return nullptr;
    }
    return Load(f, e);
}

Handle GetResource(ResType theType, ResID theID) {
    auto it = std::find_if(gChain.rbegin(), gChain.rend(), [](auto &f) { return f->refNum == gCurrent; });
    for (; it != gChain.rend(); ++it)
        if (ResEntry *e = FindEntry(it->get(), theType, theID)) return Load(it->get(), e);
    SetError(resNotFound);
    return nullptr;
}

Handle Get1NamedResource(ResType theType, ConstStr255Param name) {
    ResFile *f = CurrentFile();
    if (!f || !name) {
        SetError(f ? OSErr(paramErr) : OSErr(resFNotFound));
        return nullptr;
    }
    for (auto &e : f->entries)
        if (e.type == theType && e.hasName && e.name == PascalView(name)) return Load(f, &e);
    SetError(resNotFound);
    return nullptr;
}

SInt16 Count1Types(void) {
    ResFile *f = CurrentFile();
    if (!f) {
        SetError(resFNotFound);
        return 0;
    }
    std::vector<ResType> types;
    for (const auto &e : f->entries)
        if (std::find(types.begin(), types.end(), e.type) == types.end()) types.push_back(e.type);
    SetError(noErr);
    return static_cast<SInt16>(std::min<size_t>(types.size(), 0x7FFF));
}

void Get1IndType(ResType *theType, SInt16 index) {
    if (!theType) return;
    *theType = 0;
    ResFile *f = CurrentFile();
    if (!f) {
        SetError(resFNotFound);
        return;
    }
    SInt16 n = 0;
    std::vector<ResType> types;
    for (const auto &e : f->entries) {
        if (std::find(types.begin(), types.end(), e.type) != types.end()) continue;
        types.push_back(e.type);
        if (++n == index) {
            *theType = e.type;
            SetError(noErr);
            return;
        }
    }
    SetError(resNotFound);
}

SInt16 Count1Resources(ResType theType) {
    ResFile *f = CurrentFile();
    if (!f) {
        SetError(resFNotFound);
        return 0;
    }
    size_t n = 0;
    for (const auto &e : f->entries) n += e.type == theType;
    SetError(noErr);
    return static_cast<SInt16>(std::min<size_t>(n, 0x7FFF));
}

Handle Get1IndResource(ResType theType, SInt16 index) {
    ResFile *f = CurrentFile();
    if (!f) {
        SetError(resFNotFound);
        return nullptr;
    }
    SInt16 n = 0;
    for (auto &e : f->entries)
        if (e.type == theType && ++n == index) return Load(f, &e);
    SetError(resNotFound);
    return nullptr;
}

void GetResInfo(Handle theResource, ResID *theID, ResType *theType, Str255 name) {
    auto [f, e] = FindHandle(theResource);
    if (!e) {
        SetError(resNotFound);
        return;
    }
    if (theID) *theID = e->id;
    if (theType) *theType = e->type;
    if (name) {
        name[0] = static_cast<unsigned char>(e->hasName ? e->name.size() : 0);
        if (e->hasName) std::memcpy(name + 1, e->name.data(), e->name.size());
    }
    SetError(noErr);
}

void SetResInfo(Handle theResource, ResID theID, ConstStr255Param name) {
    // Plain variables: the lambda below captures them.
    std::pair<ResFile *, ResEntry *> found = FindHandle(theResource);
    ResFile *f = found.first;
    ResEntry *e = found.second;
    if (!e) {
        SetError(resNotFound);
        return;
    }
    if (!f->writable) {
        SetError(resAttrErr);
        return;
    }
    if (theID != e->id && FindEntry(f, e->type, theID)) {
        SetError(resAttrErr);
        return;
    }
    Guard([&] {
        e->id = theID;
        if (name) {
            e->hasName = name[0] > 0;
            e->name.assign(PascalView(name));
        }
        f->attrs |= mapChanged;
        SetError(noErr);
    });
}

ResAttributes GetResAttrs(Handle theResource) {
    auto [f, e] = FindHandle(theResource);
    if (!e) {
        SetError(resNotFound);
        return 0;
    }
    SetError(noErr);
    return e->attrs;
}

void SetResAttrs(Handle theResource, ResAttributes attrs) {
    auto [f, e] = FindHandle(theResource);
    if (!e) {
        SetError(resNotFound);
        return;
    }
    e->attrs = static_cast<UInt8>(attrs);
    SetError(noErr);
}

long GetMaxResourceSize(Handle theResource) {
    auto [f, e] = FindHandle(theResource);
    if (!e) {
        SetError(resNotFound);
        return -1;
    }
    SetError(noErr);
    return static_cast<long>(e->handle ? GetHandleSize(e->handle) : static_cast<Size>(f->DataOf(*e).size()));
}

void AddResource(Handle theData, ResType theType, ResID theID, ConstStr255Param name) {
    ResFile *f = CurrentFile();
    if (!f) {
        SetError(resFNotFound);
        return;
    }
    if (!theData || FindHandle(theData).first || !f->writable || FindEntry(f, theType, theID)) {
        SetError(addResFailed);
        return;
    }
    GetHandleSize(theData);
    if (MemError() != noErr) {
        SetError(addResFailed);
        return;
    }
    Guard([&] {
        ResEntry e;
        e.type = theType;
        e.id = theID;
        e.hasName = name && name[0] > 0;
        if (e.hasName) e.name.assign(PascalView(name));
        e.attrs = resChanged;
        e.own = std::make_shared<const std::string>();
        e.handle = theData;
        f->entries.push_back(std::move(e));
        f->attrs |= mapChanged;
        SetError(noErr);
    });
}

void RemoveResource(Handle theResource) {
    auto [f, e] = FindHandle(theResource);
    if (!e) {
        SetError(rmvResFailed);
        return;
    }
    if (!f->writable) {
        SetError(rmvResFailed);
        return;
    }
    f->entries.erase(f->entries.begin() + (e - f->entries.data()));
    f->attrs |= mapChanged;
    SetError(noErr);
}

void DetachResource(Handle theResource) {
    auto [f, e] = FindHandle(theResource);
    if (!e) {
        SetError(resNotFound);
        return;
    }
    if (e->attrs & resChanged) {
        SetError(resAttrErr);
        return;
    }
    e->handle = nullptr;
    SetError(noErr);
}

void ReleaseResource(Handle theResource) {
    auto [f, e] = FindHandle(theResource);
    if (!e) {
        SetError(resNotFound);
        return;
    }
    if (e->attrs & resChanged) {
        SetError(resAttrErr);
        return;
    }
    DisposeHandle(e->handle);
    e->handle = nullptr;
    SetError(noErr);
}

void ChangedResource(Handle theResource) {
    auto [f, e] = FindHandle(theResource);
    if (!e) {
        SetError(resNotFound);
        return;
    }
    if (!f->writable) {
        SetError(resAttrErr);
        return;
    }
    e->attrs |= resChanged;
    f->attrs |= mapChanged;
    SetError(noErr);
}

void GetIndString(Str255 theString, SInt16 strListID, SInt16 index) {
    if (!theString) return;
    theString[0] = 0;
    Handle h = GetResource(kQVStringListResType, strListID);
    if (!h) return;
    const Size size = GetHandleSize(h);
    const auto *b = reinterpret_cast<const unsigned char *>(*h);
    if (size < 2 || index < 1) return;
    const long count = (b[0] << 8) | b[1];
    if (index > count) return;
    Size pos = 2;
    for (SInt16 i = 1; i < index; ++i) {
        if (pos >= size) return;
        pos += 1 + b[pos];
    }
    if (pos >= size || pos + 1 + b[pos] > size) return;
    std::memcpy(theString, b + pos, 1 + b[pos]);
    SetError(noErr);
}

} // extern "C"
