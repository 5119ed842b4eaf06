// The objects one page reaches through indirect references, numbered for the
// page file in the order they are first reached, and copied with every
// reference rewritten to the new numbers.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "base/job.h"
#include "base/object_map.h"
#include "docstruct/document.h"

namespace brisel {

// Results of the closure walk besides those of NextReference; they stay in
// the walk (a page file that cannot be built fails with kPageClosureFailed).
enum ClosureResult : int {
    kClosureStopped = -2,
    kClosureObjectMissing = -161,
    kClosureNoEndobj = -331,
};

class PageClosure {
public:
    // Objects get new numbers from firstNumber on.
    PageClosure(Job& job, const Document& doc, int32_t firstNumber);

    // Registers the pages of the file, before anything else: they take the
    // first numbers and entries, in the order given, so that each page and
    // any reference to it between them resolves. Other pages and the nodes
    // of the page tree never enter the closure. 0, or a negative code.
    int AddPages(const std::vector<const PageEntry*>& pages);
    // Adds what page k (of AddPages) reaches. 0, or a negative code.
    int WalkPage(int32_t k);
    int32_t pageCount() const { return pageCount_; }
    // Keeps an object out of the file, whatever reaches it later (a form
    // field whose widgets are all on other pages). A reference to it is
    // null, or left out where it is an element of an array.
    void Omit(int32_t number) { omitted_.Insert(number, 1); }
    // Writes the array [from, to) inside object number as the references to
    // kids (number, generation) that the file holds, in the order given, and
    // walks none of what the array names: a field's /Kids cut to the page.
    // false when the object is in the closure already.
    bool CutArray(int32_t number, Cursor from, Cursor to, std::vector<std::pair<int32_t, int32_t>> kids);

    // Gives a new number to an object whose text the caller writes itself
    // (a structure element rewritten for the file); references to it
    // resolve to that number. number -1: an object the input holds as a
    // direct value. Returns the new number.
    int32_t Reserve(int32_t number, int32_t generation);

    // Adds the object and everything it reaches that is not in the closure
    // yet (depth first, in the order references stand). 0, or a negative code.
    int WalkObject(int32_t number, int32_t generation);
    // Adds everything the references inside [from, to) of the image reach;
    // returns the index of the entry that holds those references, or a
    // negative code.
    int WalkRange(Cursor from, Cursor to);

    // Appends [from, to) of entry `index` to out with each recorded reference
    // replaced: by "N 0 R" with its new number, and by "null" for an object
    // the file does not hold (absent, free, listed with another generation,
    // another page or a node of the page tree). A /Parent value is never
    // followed: it keeps its target when the file holds it anyway (a popup's
    // annotation), else it becomes parentText; a page's own /Parent (the
    // first pageCount() entries) is always parentText.
    void CopyWithReferences(int index, Cursor from, Cursor to, const char* parentText, std::string& out) const;

    struct Entry {
        int32_t number = 0, generation = 0;
        int32_t newNumber = 0;  // 0 for a direct dictionary
        Cursor body = nullptr;  // first byte after "obj" and white space
        Cursor bodyEnd = nullptr;  // "endobj", or the end of a direct dictionary
        Cursor streamKeywordEnd = nullptr;  // just after the keyword "stream" of a stream object
        bool reserved = false;  // written by the caller of Reserve
        int32_t firstRef = -1, lastRef = -1;
        int32_t cut = -1;  // index in cuts_, or -1
    };
    const std::vector<Entry>& entries() const { return entries_; }
    int32_t nextNumber() const { return nextNumber_; }
    // The entry of an input object, or -1.
    int32_t IndexOf(int32_t number) const { return index_.Find(number); }

    // What the walk found missing: objects the file is written without.
    const WarningList& found() const { return found_; }
    void NoteMissing(int32_t number, int64_t offset = -1) { found_.Add(WarningKind::MissingObject, number, offset); }

private:
    struct Ref {
        int32_t target;  // input object number
        int32_t generation;
        Cursor at, after;
        bool parent;  // the value of a /Parent key
        int32_t next = -1;
    };

    int AddObject(int32_t number, int32_t generation);
    int Walk(int32_t start);
    void AppendRef(int32_t entry, int32_t target, int32_t generation, Cursor at, Cursor after, bool parent);

    Job& job_;
    const Document& doc_;
    int32_t nextNumber_;
    int32_t pageCount_ = 0;  // the first entries: the pages of the file
    std::vector<Entry> entries_;
    std::vector<Ref> refs_;
    struct Cut {
        Cursor from, to;
        std::vector<std::pair<int32_t, int32_t>> kids;
    };

    WarningList found_;
    ObjectMap index_;
    ObjectMap omitted_;
    std::vector<Cut> cuts_;
    ObjectMap cutOf_;  // object number -> index in cuts_
};

}  // namespace brisel
