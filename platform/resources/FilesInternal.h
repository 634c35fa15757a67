// FilesInternal.h: what the File Manager stand-in shares with the other
// stand-ins inside the platform library (not exported): Linux paths of file
// FSSpec records and references, file reference numbers, and the atomic
// replacement of a file's contents.
#ifndef QUELVANE_FILESINTERNAL_H
#define QUELVANE_FILESINTERNAL_H

#include <optional>
#include <string>
#include <string_view>

#include "resources/Files.h"

namespace qv::files {

// The absolute, lexically normalised form of a path ("" when the current
// directory cannot be read for a relative one).
std::string NormalizePath(std::string_view path);

// The Linux path of an FSSpec (the object need not exist), or the
// error: nsvErr, dirNFErr for an unknown parent, bdNamErr for a bad name.
OSErr PathOfSpec(const FSSpec &fss, std::string &path);
// The path a reference names, or nullopt for an invalid reference.
std::optional<std::string> PathOfRef(const FSRef &ref);
// A reference for an existing object at an absolute normalised path.
OSErr RefOfPath(const std::string &path, FSRef &ref);
// An FSSpec for an absolute normalised path whose parent exists.
OSErr SpecOfPath(const std::string &path, FSSpec &fss);
// The node ID of an absolute normalised path (assigned on first use).
UInt32 NodeIDOfPath(const std::string &path);
// The path of a directory ID (0: the current directory), or nullopt.
std::optional<std::string> PathOfDirID(SInt32 dirID);

// File reference numbers shared by open data forks and resource files.
SInt16 ReserveRefNum(); // 0 when all are in use
void ReleaseRefNum(SInt16 refNum);

// The platform status for an errno value.
OSErr ErrnoToOSErr(int err);

// Reads a whole file (at most maxBytes, else ioErr... see implementation).
OSErr ReadWholeFile(const std::string &path, std::string &bytes, size_t maxBytes);
// Whether the file at path can be written by this process.
bool IsWritable(const std::string &path);

// Replaces the file at path with bytes: a temporary file beside it, written,
// flushed and renamed over it (a symbolic link is followed to its target).
// On failure the previous file is untouched and the temporary file removed.
OSErr ReplaceFileAtomically(const std::string &path, std::string_view bytes);

} // namespace qv::files

#endif // QUELVANE_FILESINTERNAL_H
