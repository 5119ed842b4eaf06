#include "test_support.h"

#include "base/platform.h"

#include <algorithm>
#include <cstdio>

namespace brisel::test {

bool ReadFixture(const std::string& name, Block& out) {
    return ReadWholeFile(std::string(BRISEL_FIXTURES) + "/" + name, out);
}

std::string PdfBuilder::Build() const {
    std::string out = header_;
    offsets_.clear();
    int highest = 0;
    for (const Obj& o : objects_) {
        offsets_.push_back({o.number, static_cast<long>(out.size())});
        out += std::to_string(o.number) + " " + std::to_string(o.generation) + " obj\n" + o.body + "\nendobj\n";
        highest = std::max(highest, o.number);
    }
    long xref = static_cast<long>(out.size());
    out += "xref\n0 " + std::to_string(highest + 1) + "\n0000000000 65535 f \n";
    for (int n = 1; n <= highest; ++n) {
        long offset = 0;
        int generation = 0;
        bool found = false;
        for (size_t i = 0; i < objects_.size(); ++i)
            if (objects_[i].number == n) {
                offset = offsets_[i].second;
                generation = objects_[i].generation;
                found = true;
            }
        char line[32];
        std::snprintf(line, sizeof line, "%010ld %05d %c \n", offset, found ? generation : 0, found ? 'n' : 'f');
        out += line;
    }
    out += "trailer\n<< /Size " + std::to_string(highest + 1) + " " + trailer_ + " >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
    return out;
}

long PdfBuilder::OffsetOf(int number) const {
    for (auto& [n, offset] : offsets_)
        if (n == number) return offset;
    return -1;
}

std::string SimpleDocument(int pages) {
    PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    std::string kids;
    for (int i = 0; i < pages; ++i) kids += std::to_string(3 + i) + " 0 R ";
    b.Object(2, "<< /Type /Pages /Kids [ " + kids + "] /Count " + std::to_string(pages) +
                    " /MediaBox [0 0 200 200] >>");
    for (int i = 0; i < pages; ++i) b.Object(3 + i, "<< /Type /Page /Parent 2 0 R >>");
    b.Trailer("/Root 1 0 R");
    return b.Build();
}

}  // namespace brisel::test
