#include "docstruct/direct_kids.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "docstruct/object_value.h"
#include "pdfread/read_xref.h"
#include "pdfread/xref_table.h"

namespace brisel {

namespace {

struct Written {
    int32_t number;
    int32_t generation;
    size_t offset;  // from the start of the update
};

void Append(std::string& out, Cursor from, Cursor to) { out.append(reinterpret_cast<const char*>(from), to - from); }

// The node's object again, each dictionary in its /Kids replaced by a
// reference to a new object written into update. false when the node holds
// no such dictionary.
bool RewriteNode(const Document& doc, int32_t number, int32_t& next, std::string& update,
                 std::vector<Written>& written) {
    const XrefEntry* entry = doc.table.Find(number);
    if (!entry || entry->type != 'n') return false;
    const Cursor end = doc.end();
    const Cursor body = FindObject(doc.table, doc.start(), end, number, entry->generation).value_or(nullptr);
    Cursor dictEnd = body && AtDict(body, end) ? FindDictEnd(body + 2, end) : nullptr;
    Cursor kids = dictEnd ? FindKey("/Kids", body + 2, dictEnd) : nullptr;
    if (!kids) return false;
    Cursor p = kids + 5;
    if (!SkipWhiteAndComments(p, dictEnd) || *p != '[') return false;
    ++p;
    std::string node;
    Append(node, body, p);
    bool lifted = false;
    for (;;) {
        Cursor item = p;
        if (!SkipWhiteAndComments(p, dictEnd) || *p == ']') break;
        if (!AtDict(p, dictEnd)) {
            // A reference: its three tokens, whatever they hold.
            int32_t n, g;
            if (ReadReferenceValue(p, dictEnd, n, g) != PartFault::None) return false;
            Append(node, item, p);
            continue;
        }
        Cursor kid = p;
        if (!StepOverDict(p, dictEnd)) return false;
        const int32_t kidNumber = next++;
        written.push_back({kidNumber, 0, update.size()});
        update += std::to_string(kidNumber) + " 0 obj\n";
        Append(update, kid, p);
        update += "\nendobj\n";
        Append(node, item, kid);
        node += std::to_string(kidNumber) + " 0 R";
        lifted = true;
    }
    if (!lifted) return false;
    // The rest of the object up to its "endobj" as it stands.
    Cursor endobj = p;
    while (end - endobj >= 6 && std::string_view(reinterpret_cast<const char*>(endobj), 6) != "endobj") ++endobj;
    if (end - endobj < 6) return false;
    Append(node, p, endobj);
    written.push_back({number, entry->generation, update.size()});
    update += std::to_string(number) + " " + std::to_string(entry->generation) + " obj\n" + node + "endobj\n";
    return true;
}

}  // namespace

Failure LiftDirectKids(Job& job, Document& doc, const std::vector<int32_t>& nodes) {
    // The update chains to the image's own table.
    Cursor cur = doc.end();
    if (FindBackward(doc.start(), cur, "startxref") != 1) return Failure(kDirectKidsNotLifted);
    cur += 9;
    const int64_t previous = ReadLong(cur, doc.end()).value_or(-1);
    if (previous < 0) return Failure(kDirectKidsNotLifted);

    std::string update = "\n";
    std::vector<Written> written;
    int32_t next = doc.table.HighestNumber() + 1;
    bool lifted = false;
    for (int32_t node : nodes) lifted = RewriteNode(doc, node, next, update, written) || lifted;
    if (!lifted) return Failure(kDirectKidsNotLifted);

    const size_t base = doc.image.size();
    const size_t xref = base + update.size();
    update += "xref\n";
    char line[32];
    for (const Written& w : written) {
        std::snprintf(line, sizeof line, "%010zu %05d n \n", base + w.offset, w.generation);
        update += std::to_string(w.number) + " 1\n" + line;
    }
    update += "trailer\n<< /Size " + std::to_string(next) + " /Root " + std::to_string(doc.reader.rootNumber) + " " +
              std::to_string(doc.reader.rootGeneration) + " R /Prev " + std::to_string(previous) +
              " >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    if (!doc.image.Resize(base + update.size())) return Failure(kDirectKidsNotLifted);
    std::memcpy(doc.image.data() + base, update.data(), update.size());
    return ReadXref(job, doc.start(), doc.end(), doc.table, doc.reader);
}

}  // namespace brisel
