// Damage that reading and writing survive: each found place is a warning in
// the document's list, with the object and the byte offset where it was
// found, so that a person learns what a page file lacks and why. The counts
// the result message gives (incomplete pages, pages not found) are read
// from this list.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brisel {

enum class WarningKind : uint8_t {
    // A reference to an object the input does not hold: the page file
    // holds null in its place (firstPage..lastPage name the file's pages).
    MissingObject,
    // A node of the page tree the input does not hold: the pages under it
    // are lost.
    LostTreeNode,
    // An object the repair found by scanning, which the table did not
    // place.
    RepairedEntry,
    // A /Perms that did not match and was sealed again for the page files.
    ResealedPerms,
};

struct Warning {
    WarningKind kind = WarningKind::MissingObject;
    int32_t object = -1;   // the object number, -1 when none
    int64_t offset = -1;   // the byte offset in the input, -1 when not known
    // The pages (1-based) of the page file whose writing met it; 0 when the
    // warning belongs to the whole document.
    int32_t firstPage = 0, lastPage = 0;
};

// The short name of a kind, as --json gives it ("missing-object").
const char* WarningName(WarningKind kind);

// One line for a person: "missing object 12 at offset 3456, pages 3-4".
std::string DescribeWarning(const Warning& warning);

class WarningList {
public:
    void Add(const Warning& warning) { items_.push_back(warning); }
    void Add(WarningKind kind, int32_t object, int64_t offset = -1) { items_.push_back({kind, object, offset, 0, 0}); }
    // Every warning of other, placed on the pages first..last (1-based)
    // where it names none.
    void Append(const WarningList& other, int32_t firstPage = 0, int32_t lastPage = 0);
    void Clear() { items_.clear(); }
    // Drops the warnings of one kind (a step that runs again finds them again).
    void ClearKind(WarningKind kind);
    // Drops the page-file warnings of pages after lastPage: those files
    // were not kept.
    void DropPagesAfter(int32_t lastPage);

    const std::vector<Warning>& items() const { return items_; }
    bool empty() const { return items_.empty(); }
    int32_t Count(WarningKind kind) const;
    // The pages (1-based, ascending, each once) that warnings of the kind name.
    std::vector<int32_t> Pages(WarningKind kind) const;

private:
    std::vector<Warning> items_;
};

}  // namespace brisel
