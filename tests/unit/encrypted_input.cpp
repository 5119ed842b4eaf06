#include "encrypted_input.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "base/platform.h"
#include "test_support.h"

namespace brisel::test {

std::string PlainDocument() {
    PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Object(2, "<< /Type /Pages /Kids [ 3 0 R 5 0 R ] /Count 2 /MediaBox [0 0 200 200] >>");
    for (int page = 0; page < 2; ++page) {
        const int n = 3 + 2 * page;
        std::string content = "BT /F1 12 Tf 20 100 Td (Hello page " + std::to_string(page + 1) + ") Tj ET";
        b.Object(n, "<< /Type /Page /Parent 2 0 R /Contents " + std::to_string(n + 1) +
                        " 0 R /Resources << /Font << /F1 7 0 R >> >> /PieceInfo << /X << /Private (a\\(b\\)c\\\\d) "
                        "/LastModified <4142> >> >> >>");
        b.Object(n + 1, "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "\nendstream");
    }
    b.Object(7, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    b.Object(8, "<< /Title (Secret title) /Producer (line\\nbreak) >>");
    b.Trailer("/Root 1 0 R /Info 8 0 R /ID [<00112233445566778899AABBCCDDEEFF> <00112233445566778899AABBCCDDEEFF>]");
    return b.Build();
}

bool Run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "brisel-unit-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back(0);
    if (mkdtemp(buffer.data())) path_ = buffer.data();
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

bool WriteFile(const std::string& path, const Block& bytes) {
    std::remove(path.c_str());  // page files are created only where no file is
    return WriteWholeFile(path, bytes.data(), bytes.size()) == WriteResult::Ok;
}

Block EncryptWithQpdf(const TempFolder& folder, const std::string& user, const std::string& owner,
                      const std::string& qpdfArgs, bool objectStreams) {
    const std::string plain = folder.Path("plain.pdf"), encrypted = folder.Path("encrypted.pdf");
    Block source = BytesOf(PlainDocument());
    Block out;
    if (!WriteFile(plain, source)) return out;
    const std::string layout = objectStreams ? "generate" : "disable";
    const std::string command = "qpdf --allow-weak-crypto --compress-streams=n --object-streams=" + layout +
                                " --encrypt '" + user + "' '" + owner + "' " + qpdfArgs + " -- " + plain + " " +
                                encrypted;
    // qpdf exits 3 when it only warned (weak crypto).
    int status = std::system((command + " >/dev/null 2>&1").c_str());
    if (status != 0 && !(WIFEXITED(status) && WEXITSTATUS(status) == 3)) return out;
    ReadWholeFile(encrypted, out);
    return out;
}

}  // namespace brisel::test
