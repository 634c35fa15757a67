// RezParser.h: the resource source language of qvrez, parsed into resources.
//
// A source file is UTF-8 text. "#" starts a comment that runs to the end of
// the line. Each resource is
//
//     resource 'TYPE' ID ["name"] { items }
//
// TYPE is four characters, ID a signed 16-bit number, the name a string.
// The items depend on the type:
//   'STR#'  any number of strings: a string list (2-byte count, then the
//           strings, each length-prefixed);
//   'STR '  exactly one string, stored length-prefixed;
//   others  strings (their bytes, no length) and hex "0A 0B ..." blocks,
//           joined in order.
// Strings are "..." with the escapes \" \\ \n (10) \r (13) \t and \xHH (the
// byte HH as it stands); the text is converted to Mac Roman, and a string
// that Mac Roman cannot represent or that is longer than 255 bytes is an
// error. A type and ID may appear once.
//
// Ownership: plain values; nothing to release.
#ifndef QUELVANE_REZPARSER_H
#define QUELVANE_REZPARSER_H

#include <string>
#include <vector>

#include "MacTypes.h"

struct RezResource {
    ResType type = 0;
    SInt16 id = 0;
    bool hasName = false;
    std::string name; // Mac Roman
    std::string data; // the resource's bytes
};

struct RezResult {
    std::vector<RezResource> resources;
    int errorLine = 0;  // the line of the first error
    std::string error;  // its message; empty when parsing succeeded
};

RezResult ParseRezSource(const std::string &text);

#endif // QUELVANE_REZPARSER_H
