// The document's named destinations: the /Names /Dests name tree, whose keys
// are strings, and the catalog's /Dests dictionary, whose keys are names.
// Names are compared by their bytes as they stand in the file; when a name
// occurs twice, the first one in tree or dictionary order wins.
#pragma once

#include <cstdint>
#include <string_view>
#include <unordered_map>

#include "base/job.h"
#include "docstruct/document.h"

namespace brisel {

// Codes of the bookmark analysis in the destination tables. The Value codes
// also serve the values of outline items.
enum DestCode : int32_t {
    kNameNodeMissing = -6011,
    kNameNodeNotDict = -6012,
    kNameNodeNotClosed = -6013,
    kNameNodeEndAtKids = -6014,
    kNameNodeKidsNotArray = -6015,
    kDestsEndReached = -6016,
    kNameKidNotListed = -6017,
    kNameKidUnreadable = -6018,
    kNameTreeLoop = -6019,  // a node reached twice, or no memory
    kNamesNotArray = -6020,
    kNameNotString = -6021,
    kValueEnd = -152,
    kLeafNoNames = -6022,
    kDestDictNoD = -6023,
    kNameKidsNotArray = -6024,
    kNameKidsNotClosed = -6025,
    kDestsKeyNotName = -6026,
    kTreeNoGeneration = -157,
    kTreeNoValue = -158,  // the key is not delimited, or the image ends
    kTreeNoR = -159,
    kTreeNotDict = -160,
    kValueMalformed = -161,
    kDestArrayMalformed = -162,
    kValueNoR = -163,
    kValueNotFound = -164,
    kDestNotArray = -1624,
};

struct NamedDests {
    // String name (the bytes between its delimiters) -> the byte after its
    // closing delimiter, where its value starts.
    std::unordered_map<std::string_view, Cursor> strings;
    // Name object (the bytes after "/") -> its page object number (0 for a
    // null destination) and view part.
    struct Target {
        int32_t page = 0;
        Cursor view = nullptr;
        int32_t viewLength = 0;
    };
    std::unordered_map<std::string_view, Target> names;
};

// Reads the name tree under the catalog's /Names /Dests into dests.strings;
// the failure that ended it (the job's stop code when it was stopped).
Failure ReadDestsNameTree(Job& job, const Document& doc, Cursor catalog, Cursor catalogEnd, NamedDests& dests);

// Reads the catalog's /Dests dictionary into dests.names.
Failure ReadDestsDictionary(const Document& doc, Cursor catalog, Cursor catalogEnd, NamedDests& dests);

// Both tables of the document's catalog; a table that cannot be read is
// left empty (a link or bookmark by name then leads nowhere).
void ReadNamedDests(Job& job, const Document& doc, NamedDests& dests);

// The explicit destination that a name-tree value at p leads to: an array,
// or a reference to an array or to a dictionary whose /D is one. false when
// the value has another form (not an error).
bool ReadNamedValue(const Document& doc, Cursor p, NamedDests::Target& target);

}  // namespace brisel
