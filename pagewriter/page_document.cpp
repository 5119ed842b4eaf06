#include "pagewriter/page_document.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "base/platform.h"
#include "base/version.h"
#include "pagewriter/bookmark_tree.h"
#include "pagewriter/catalog.h"
#include "pagewriter/closure.h"
#include "pagewriter/document_data.h"
#include "pagewriter/form_fields.h"
#include "pagewriter/object_sink.h"
#include "pagewriter/page_objects.h"
#include "pagewriter/part_dests.h"
#include "pagewriter/reference_scan.h"
#include "pagewriter/resource_names.h"
#include "pagewriter/struct_tree.h"
#include "pdfread/xref_section.h"

namespace brisel {

namespace {

void Append(std::string& out, Cursor from, Cursor to) {
    if (to > from) out.append(reinterpret_cast<const char*>(from), static_cast<size_t>(to - from));
}

// A header for an input whose first line is no PDF header (damaged bytes):
// the version that line still shows ("-1.5" of a damaged "%PDF-1.5"), else
// 1.7, and a binary marker.
void WriteOwnHeader(Cursor p, Cursor end, std::string& out) {
    std::string version = "1.7";
    for (int i = 0; i < 16 && p + 3 < end && !IsLineEnd(*p); ++i, ++p) {
        if (*p == '-' && (p[1] == '1' || p[1] == '2') && p[2] == '.' && p[3] >= '0' && p[3] <= '9') {
            version.assign(reinterpret_cast<const char*>(p + 1), 3);
            break;
        }
    }
    out += "%PDF-" + version + "\n%\xE2\xE3\xCF\xD3\n";
}

// The input's header: leading white space, the "%PDF-" line and, when the
// next line is a comment (the binary marker), that line too.
Failure CopyHeader(const Document& doc, std::string& out) {
    const Cursor start = doc.start(), end = doc.end();
    Cursor p = start;
    while (p < end && IsWhite(*p)) ++p;
    if (p >= end) return Failure(kPageHeaderEnd);
    if (!StartsWith(p, end, "%PDF-")) {
        WriteOwnHeader(p, end, out);
        return {};
    }
    for (int line = 0; line < 2; ++line) {
        while (p < end && !IsLineEnd(*p)) ++p;
        if (p >= end) return Failure(line == 0 ? kPageHeaderLineEnd : kPageMarkerLineEnd);
        while (p < end && IsLineEnd(*p)) ++p;
        if (p >= end) return Failure(line == 0 ? kPageHeaderEndAfterLine : kPageMarkerEndAfterLine);
        if (*p != '%') break;
    }
    Append(out, start, p);
    return {};
}

// The producer as a literal string: UTF-16BE with its byte-order mark, every
// byte as an octal escape.
std::string MakeProducerText() {
    std::string text;
    auto escape = [&](unsigned byte) {
        char octal[8];
        std::snprintf(octal, sizeof octal, "\\%o", byte);
        text += octal;
    };
    escape(0xFE);
    escape(0xFF);
    for (const char* c = kVersionText; *c; ++c) {
        escape(0);
        escape(static_cast<unsigned char>(*c));
    }
    return text;
}
const std::string& ProducerText() {
    static const std::string text = MakeProducerText();
    return text;
}

// The catalog's /OCProperties entry of the page file, with what it reaches
// added to the closure: without it a reader draws every layer, also those
// the input hides. Nothing when the input has none or it is not a dictionary.
bool WalkLayers(const Document& doc, PageClosure& closure, std::string& entry) {
    if (doc.ocProperties < 0 || doc.ocProperties >= static_cast<int64_t>(doc.image.size())) return true;
    const Cursor end = doc.end();
    Cursor value = doc.start() + doc.ocProperties;
    int32_t number, generation;
    Cursor r = value;
    if (ReadReference(r, end, number, generation)) {
        if (closure.WalkObject(number, generation) < 0) return false;
        int32_t index = closure.IndexOf(number);
        if (index >= 0)
            entry = "/OCProperties " + std::to_string(closure.entries()[static_cast<size_t>(index)].newNumber) +
                    " 0 R\n";
        return true;
    }
    if (!StartsWith(value, end, "<<")) return true;
    Cursor close = FindDictEnd(value + 2, end);
    if (!close) return true;
    int range = closure.WalkRange(value + 2, close);
    if (range < 0) return false;
    entry = "/OCProperties ";
    closure.CopyWithReferences(range, value, close + 2, "null", entry);
    entry += "\n";
    return true;
}

// One page file over a set of pages, written in stages: gather (the closure
// of the pages and of the document data that belongs to them, numbered),
// header, objects, catalog, bookmarks, information, table and trailer. Every
// stage hands plain object texts to the sink, which encrypts them for an
// encrypted input; such a file lists its objects in number order, so its
// catalog (object 1) comes before the others.
class PartWriter {
public:
    PartWriter(Job& job, const Document& doc, std::string& out, PageEncryption* encryption, PageSpans* spans)
        : job_(job), doc_(doc), out_(out), sink_(job, doc, out, encryption, spans), closure_(job, doc, 3) {}

    WarningList found() const {
        WarningList all = closure_.found();
        all.Append(sink_.found());
        return all;
    }

    // Why Build failed; no failure when it was stopped, or when a step
    // failed without a reason of its own.
    Failure failure() const { return failure_ ? failure_ : sink_.failure(); }

    bool Build(const std::vector<int32_t>& pageIndexes) {
        if (!Gather(pageIndexes) || !Header()) return false;
        if (sink_.encrypted()) {
            if (!Catalog() || !Objects()) return false;
        } else {
            if (!Objects() || !Catalog()) return false;
        }
        return Bookmarks() && Information() && Table() && Trailer();
    }

private:
    // A step fails: false, with its failure kept.
    bool Failed(Failure f) {
        failure_ = f;
        return false;
    }
    // The closure could not be completed; a stopped walk is no failure.
    bool ClosureFailed(Failure inner = {}) {
        return job_.Stopped() ? false : Failed(Failure(kPageClosureFailed).At(inner.object, inner.offset));
    }

    // The pages first (objects 3, 4, ...), each with what it reaches and
    // the page dictionary's text; then what the catalog's entries reach.
    bool Gather(const std::vector<int32_t>& pageIndexes) {
        std::vector<const PageEntry*> pages;
        for (int32_t index : pageIndexes) {
            if (index < 0 || static_cast<size_t>(index) >= doc_.pages.size()) return Failed(Failure(kPageNotListed));
            pages.push_back(&doc_.pages[static_cast<size_t>(index)]);
        }
        if (pages.empty()) return Failed(Failure(kPageNotListed));
        if (closure_.AddPages(pages) < 0) return ClosureFailed();
        if (job_.app.PruneResources) {
            // A page whose content cannot be read keeps every resource.
            SkipRanges unused;
            if (FindUnusedResources(job_, doc_, pages, unused)) closure_.Skip(std::move(unused));
            else sink_.Note(WarningKind::UnreadContent);
            if (job_.Stopped()) return false;
        }
        pageTexts_.resize(static_cast<size_t>(closure_.pageCount()));
        for (size_t i = 0; i < pages.size(); ++i) {
            // A page the page tree lists twice is one page of the file.
            const int32_t k = closure_.IndexOf(pages[i]->number);
            pageNumbers_.emplace_back(pageIndexes[i], closure_.entries()[static_cast<size_t>(k)].newNumber);
            std::string& text = pageTexts_[static_cast<size_t>(k)];
            if (!text.empty()) continue;
            if (closure_.WalkPage(k) < 0) return ClosureFailed();
            if (Failure f = WritePageObject(doc_, *pages[i], k, closure_, text)) return ClosureFailed(f);
        }
        std::sort(pageNumbers_.begin(), pageNumbers_.end());
        if (!WalkLayers(doc_, closure_, catalogEntries_)) return ClosureFailed();
        std::vector<int32_t> filePages(static_cast<size_t>(closure_.pageCount()));
        for (const auto& [index, number] : pageNumbers_) filePages[static_cast<size_t>(number - 3)] = index;
        if (!GatherFormFields(doc_, closure_, catalogEntries_) ||
            !GatherDocumentData(job_, doc_, closure_, filePages, catalogEntries_) ||
            !GatherStructure(job_, doc_, closure_, catalogEntries_, structure_))
            return ClosureFailed();
        bookmarks_ = SelectPartBookmarks(job_, doc_, pageIndexes);
        if (job_.PartFiles) AddBookmarkAncestors(job_, doc_, bookmarks_);
        // The names that lead to the file's pages, for its links by name.
        catalogEntries_ += PartNamedDests(doc_, pageNumbers_);
        next_ = closure_.nextNumber();
        return true;
    }

    bool Header() {
        const size_t estimate = doc_.image.size() * 2 * pageTexts_.size() /
                                static_cast<size_t>(job_.PageCount > 0 ? job_.PageCount : 1);
        // Large streams need no room: they go to the file in pieces.
        const size_t most = static_cast<size_t>(std::min<uint64_t>(doc_.image.size(), job_.app.LargeStreamBytes));
        if (out_.capacity() < 32768) out_.reserve(std::max<size_t>(32768, std::min(estimate, most)));
        if (Failure f = CopyHeader(doc_, out_)) return Failed(f);
        return true;
    }

    // The Pages object, the pages and the rest of the closure.
    bool Objects() {
        std::string& pages = sink_.Begin(2);
        pages += "2 0 obj\n<<\n/Type /Pages\n/Kids [ ";
        for (int32_t k = 0; k < closure_.pageCount(); ++k)
            pages += std::to_string(closure_.entries()[static_cast<size_t>(k)].newNumber) + " 0 R ";
        pages += "]\n/Count " + std::to_string(closure_.pageCount()) + "\n>>\nendobj\n";
        if (!sink_.End(2)) return false;
        for (int32_t k = 0; k < closure_.pageCount(); ++k) {
            const int32_t number = closure_.entries()[static_cast<size_t>(k)].newNumber;
            sink_.Begin(number) += pageTexts_[static_cast<size_t>(k)];
            if (!sink_.End(number)) return false;
        }
        for (size_t i = static_cast<size_t>(closure_.pageCount()); i < closure_.entries().size(); ++i) {
            // A direct dictionary is written with its owner, a structure
            // element below.
            if (closure_.entries()[i].newNumber == 0 || closure_.entries()[i].reserved) continue;
            if (!sink_.WriteClosureObject(closure_, i)) return false;
        }
        for (const auto& [number, text] : structure_) {
            sink_.Begin(number) += text;
            if (!sink_.End(number)) return false;
        }
        return !job_.Stopped();
    }

    bool Catalog() {
        std::string& text = sink_.Begin(1);
        if (Failure f = WriteCatalog(job_, doc_, bookmarks_.empty() ? 0 : next_, catalogEntries_, text)) return Failed(f);
        return sink_.End(1);
    }

    // The bookmark nodes, each its own object after the closure.
    bool Bookmarks() {
        if (bookmarks_.empty()) return true;
        std::string text;
        std::vector<size_t> starts;
        const int32_t first = next_;
        const Result<int32_t> next = WriteBookmarkTree(job_, doc_, bookmarks_, first, text, starts, pageNumbers_);
        if (!next) return Failed(next.failure());
        next_ = *next;
        for (size_t k = 0; k < starts.size(); ++k) {
            const size_t to = k + 1 < starts.size() ? starts[k + 1] : text.size();
            const int32_t number = first + static_cast<int32_t>(k);
            sink_.Begin(number).append(text, starts[k], to - starts[k]);
            if (!sink_.End(number)) return false;
        }
        return true;
    }

    bool Information() {
        info_ = next_;
        // Every number below the information dictionary names an object.
        const std::vector<size_t>& offsets = sink_.offsets();
        if (offsets.size() != static_cast<size_t>(info_)) return Failed(Failure(kPageInfoNumber));
        for (int32_t n = 1; n < info_; ++n)
            if (offsets[static_cast<size_t>(n)] == 0) return Failed(Failure(kPageInfoNumber));
        CalendarTime t = UtcNow();
        char date[32];
        std::snprintf(date, sizeof date, "%04d%02d%02d%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute,
                      t.second);
        sink_.Begin(info_) += std::to_string(info_) + " 0 obj\n<<\n/CreationDate (D:" + date + ")\n/Producer (" +
                              ProducerText() + ")\n";
        AppendInfoEntries(job_, doc_, sink_.Pending());
        sink_.Pending() += ">>\nendobj\n";
        if (!sink_.End(info_)) return false;
        last_ = info_;
        if (sink_.encrypted()) {
            last_ = info_ + 1;
            sink_.Mark(last_);
            sink_.encryption()->AppendDictionary(last_, out_);
        }
        return true;
    }

    bool Table() {
        xref_ = sink_.offset();
        // An offset beyond ten digits would not fit its 20-byte line.
        if (xref_ > 9999999999ull) return Failed(Failure(kPageXrefTooFar));
        auto append = [&](const char* text, size_t length) {
            out_.append(text, length);
            return true;
        };
        const std::vector<size_t>& offsets = sink_.offsets();
        WriteXrefTable(append, last_ + 1, [&](int32_t n, int64_t& offset, int64_t&, char&) {
            offset = static_cast<int64_t>(offsets[static_cast<size_t>(n)]);
        });
        return true;
    }

    bool Trailer() {
        out_ += "trailer\n<<\n/Size " + std::to_string(last_ + 1) + "\n/Root 1 0 R\n/Info " + std::to_string(info_) +
                " 0 R\n";
        if (sink_.encrypted()) {
            out_ += "/Encrypt " + std::to_string(last_) + " 0 R\n";
            sink_.encryption()->AppendFileId(out_);
        }
        out_ += ">>\nstartxref\n" + std::to_string(xref_) + "\n%%EOF\n";
        return true;
    }

    Job& job_;
    const Document& doc_;
    std::string& out_;
    ObjectSink sink_;
    PageClosure closure_;
    std::vector<std::string> pageTexts_;
    PageObjectNumbers pageNumbers_;
    std::string catalogEntries_;
    std::vector<int32_t> bookmarks_;
    WrittenObjects structure_;
    Failure failure_;
    int32_t next_ = 0, info_ = 0, last_ = 0;
    size_t xref_ = 0;
};

}  // namespace

Failure BuildPartDocument(Job& job, const std::vector<int32_t>& pageIndexes, const Document& doc, std::string& out,
                          PageEncryption* encryption, WarningList* found, PageSpans* spans) {
    out.clear();
    if (spans) spans->clear();
    if (found) found->Clear();
    try {
        if (doc.reader.encrypted && !encryption) return Failure(kPageEncryptionMissing);
        PartWriter writer(job, doc, out, doc.reader.encrypted ? encryption : nullptr, spans);
        if (!writer.Build(pageIndexes)) {
            // Nothing plain may be saved in place of an encrypted page.
            out.clear();
            if (spans) spans->clear();
            if (job.Stopped()) return Failure(job.StopCode);
            if (Failure f = writer.failure()) return f;
            // Only an encrypting step fails without a reason of its own.
            return Failure(doc.reader.encrypted ? kPageEncryptionMissing : kPageClosureFailed);
        }
        if (found) *found = writer.found();
    } catch (const std::bad_alloc&) {
        out.clear();
        if (spans) spans->clear();
        return Failure(kPageNoMemory);
    }
    return {};
}

Failure BuildPageDocument(Job& job, int32_t pageIndex, const Document& doc, std::string& out,
                          PageEncryption* encryption, WarningList* found, PageSpans* spans) {
    return BuildPartDocument(job, std::vector<int32_t>{pageIndex}, doc, out, encryption, found, spans);
}

}  // namespace brisel
