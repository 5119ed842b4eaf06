#include "docstruct/document_data.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "docstruct/field_tree.h"
#include "docstruct/flat_tree.h"
#include "pdfread/xref_table.h"
#include "pdfread/token_stepper.h"

namespace brisel {

namespace {

constexpr const char* kCatalogKeyNames[kCatalogKeyCount] = {
    "/AcroForm", "/StructTreeRoot", "/Lang", "/MarkInfo", "/ViewerPreferences", "/Metadata", "/OutputIntents",
    "/PageLabels"};

// Positions of the references of an array (or of the array a reference
// names) in order, each number at its first place.
void ReadReferenceOrder(const Document& doc, Cursor value, ObjectMap& order) {
    Cursor open, close;
    if (!ArrayAt(doc, value, open, close)) return;
    int32_t position = 0;
    EachReference(open, close, [&](int32_t number) {
        if (order.Find(number) < 0) order.Insert(number, position++);
    });
}

// The form's entries, read once: page files take from them what their pages need.
void ReadForm(Document& doc) {
    Cursor form = CatalogValue(doc, kAcroForm);
    Cursor open, close, value, valueEnd;
    if (!form || !DictionaryAt(doc, form, open, close)) return;
    doc.data.hasForm = true;
    for (int k = 0; k < kFormKeyCount; ++k)
        if (DictValue(open, close, kFormKeyNames[k], value, valueEnd)) doc.data.form[k] = value - doc.start();
    if (DictValue(open, close, "/Fields", value, valueEnd)) {
        ReadReferenceOrder(doc, value, doc.data.fieldOrder);
        ReadFieldTree(doc, value);
    }
    if (DictValue(open, close, "/CO", value, valueEnd))
        ReadReferenceOrder(doc, value, doc.data.calculationOrder);
}

// The number tree of /PageLabels, flattened: its /Nums pairs from every node.
void ReadPageLabels(Job& job, Document& doc) {
    Cursor labels = CatalogValue(doc, kPageLabels);
    if (!labels) return;
    auto& ranges = doc.data.pageLabels;
    FlattenTree(job, doc, labels, "/Nums", [&](Cursor key, Cursor label) {
        Cursor p = key;
        const int32_t first = ReadInt(p, label).value_or(-1);
        if (p != key && first >= 0 && ranges.size() < 1000000) ranges.emplace_back(first, label - doc.start());
    });
    std::stable_sort(ranges.begin(), ranges.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
}

}  // namespace

Cursor ValueEnd(Cursor p, Cursor end) {
    if (!SkipWhiteAndComments(p, end)) return nullptr;
    if (IsDigit(*p)) {
        Cursor q = p;
        int32_t number, generation;
        if (ReadReference(q, end, number, generation)) return q;
    }
    StepRules rules;
    rules.hexStrings = true;
    int depth = 0;
    Cursor cur = p;
    // Bounded by the text: every step moves cur forward.
    for (;;) {
        Cursor at;
        const Token token = StepToken(cur, end, at, rules);
        switch (token) {
            case Token::End:
            case Token::Unclosed:
                return nullptr;
            case Token::DictOpen:
                ++depth;
                break;
            case Token::DictClose:
                --depth;
                break;
            case Token::Bracket:
                if (*at == '[') ++depth;
                else if (*at == ']') --depth;
                break;
            default:
                break;
        }
        if (depth <= 0) return depth == 0 ? cur : nullptr;
    }
}

bool DictionaryAt(const Document& doc, Cursor p, Cursor& open, Cursor& close) {
    const Cursor end = doc.end();
    if (!SkipWhiteAndComments(p, end)) return false;
    if (!StartsWith(p, end, "<<")) {
        int32_t number, generation;
        if (!ReadReference(p, end, number, generation)) return false;
        p = FindObject(doc.table, doc.start(), end, number, generation).value_or(nullptr);
        if (!p || !StartsWith(p, end, "<<")) return false;
    }
    open = p;
    close = FindDictEnd(p + 2, end);
    return close != nullptr;
}

bool ArrayAt(const Document& doc, Cursor p, Cursor& open, Cursor& end) {
    if (!SkipWhiteAndComments(p, doc.end())) return false;
    int32_t number, generation;
    if (*p != '[') {
        if (!ReadReference(p, doc.end(), number, generation)) return false;
        p = FindObject(doc.table, doc.start(), doc.end(), number, generation).value_or(nullptr);
        if (!p || *p != '[') return false;
    }
    open = p;
    end = ValueEnd(p, doc.end());
    return end != nullptr;
}

bool DictValue(Cursor open, Cursor close, const char* key, Cursor& value, Cursor& valueEnd) {
    Cursor at = FindKey(key, open + 2, close);
    if (!at) return false;
    value = at + std::strlen(key);
    if (!SkipWhiteAndComments(value, close)) return false;
    valueEnd = ValueEnd(value, close);
    return valueEnd != nullptr;
}

void AnalyzeDocumentData(Job& job, Document& doc, Cursor from, Cursor to) {
    doc.data = DocumentData();
    for (int k = 0; k < kCatalogKeyCount; ++k) {
        Cursor key = FindKey(kCatalogKeyNames[k], from, to);
        if (!key) continue;
        Cursor value = key + std::strlen(kCatalogKeyNames[k]);
        if (SkipWhiteAndComments(value, to)) doc.data.catalog[k] = value - doc.start();
    }
    ReadForm(doc);
    ReadPageLabels(job, doc);
}

}  // namespace brisel
