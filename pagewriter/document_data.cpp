#include "pagewriter/document_data.h"

#include <algorithm>

#include "docstruct/document_data.h"
#include "pdfread/xref_table.h"
#include "docstruct/object_value.h"

namespace brisel {

namespace {

// A catalog value copied as it is, with what it reaches.
bool CopyCatalogValue(const Document& doc, PageClosure& closure, CatalogKey key, const char* name,
                      std::string& entries) {
    Cursor value = CatalogValue(doc, key);
    Cursor valueEnd = value ? ValueEnd(value, doc.end()) : nullptr;
    return !valueEnd || AppendWalkedEntry(closure, name, value, valueEnd, entries);
}

// The viewer preferences that hold for any set of pages: the title bar shows
// the document's title, and the reading direction.
void CopyViewerPreferences(const Document& doc, std::string& entries) {
    Cursor at = CatalogValue(doc, kViewerPreferences);
    Cursor open, close;
    if (!at || !DictionaryAt(doc, at, open, close)) return;
    std::string kept;
    for (const char* key : {"/DisplayDocTitle", "/Direction"}) {
        Cursor value, valueEnd;
        if (!DictValue(open, close, key, value, valueEnd) || (*value != '/' && *value != 't' && *value != 'f'))
            continue;  // a name or a boolean, never a reference
        kept += std::string(" ") + key + " " + std::string(BytesBetween(value, valueEnd));
    }
    if (!kept.empty()) entries += "/ViewerPreferences <<" + kept + " >>\n";
}

// The label each page of the file had in the input, as a number tree with
// one entry per page: the style and prefix of its range, and the start that
// gives the same number.
void WritePageLabels(const Document& doc, const std::vector<int32_t>& filePages, std::string& entries) {
    const auto& ranges = doc.data.pageLabels;
    if (ranges.empty()) return;
    std::string nums;
    for (size_t k = 0; k < filePages.size(); ++k) {
        auto after = std::upper_bound(ranges.begin(), ranges.end(), filePages[k],
                                      [](int32_t page, const auto& range) { return page < range.first; });
        if (after == ranges.begin()) continue;
        const auto& range = *(after - 1);
        Cursor open, close;
        if (!DictionaryAt(doc, doc.start() + range.second, open, close)) continue;
        std::string label = std::to_string(k) + " <<";
        Cursor value, valueEnd;
        for (const char* key : {"/S", "/P"})
            if (DictValue(open, close, key, value, valueEnd) && (*value == '/' || *value == '(' || *value == '<'))
                label += std::string(" ") + key + " " + std::string(BytesBetween(value, valueEnd));
        int64_t start = 1;
        if (DictValue(open, close, "/St", value, valueEnd)) {
            start = ReadInt(value, valueEnd).value_or(-1);
            if (start < 1) start = 1;
        }
        label += " /St " + std::to_string(start + (filePages[k] - range.first)) + " >> ";
        nums += label;
    }
    if (!nums.empty()) entries += "/PageLabels << /Nums [ " + nums + "] >>\n";
}

}  // namespace

bool AppendWalkedEntry(PageClosure& closure, const char* key, Cursor value, Cursor valueEnd, std::string& out) {
    const int range = closure.WalkRange(value, valueEnd);
    if (range < 0) return false;
    out += key;
    out += ' ';
    closure.CopyWithReferences(range, value, valueEnd, "null", out);
    out += '\n';
    return true;
}

bool GatherDocumentData(Job& job, const Document& doc, PageClosure& closure, const std::vector<int32_t>& filePages,
                        std::string& entries) {
    if (!job.app.KeepDocumentData) return true;
    // /MarkInfo goes with the structure tree (pagewriter/struct_tree.h): a
    // page file that claimed to be tagged without one would mislead a
    // screen reader.
    if (!CopyCatalogValue(doc, closure, kLang, "/Lang", entries) ||
        !CopyCatalogValue(doc, closure, kMetadata, "/Metadata", entries) ||
        !CopyCatalogValue(doc, closure, kOutputIntents, "/OutputIntents", entries))
        return false;
    CopyViewerPreferences(doc, entries);
    WritePageLabels(doc, filePages, entries);
    return true;
}

void AppendInfoEntries(Job& job, const Document& doc, std::string& out) {
    if (!job.app.KeepDocumentData || doc.reader.infoNumber <= 0) return;
    Cursor body = FindObject(doc.table, doc.start(), doc.end(), doc.reader.infoNumber, doc.reader.infoGeneration).value_or(nullptr);
    if (!body || !StartsWith(body, doc.end(), "<<")) return;
    Cursor close = FindDictEnd(body + 2, doc.end());
    if (!close) return;
    for (const char* key : {"/Title", "/Author", "/Subject", "/Keywords", "/Creator", "/ModDate"}) {
        Cursor value, valueEnd;
        // Strings only: a reference would name an object the file does not hold.
        if (DictValue(body, close, key, value, valueEnd) && (*value == '(' || (*value == '<' && value[1] != '<')))
            out += std::string(key) + " " + std::string(BytesBetween(value, valueEnd)) + "\n";
    }
}

}  // namespace brisel
