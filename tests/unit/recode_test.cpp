#include <gtest/gtest.h>

#include <string>

#include "encrypted_input.h"
#include "pdfread/read_xref.h"
#include "security/encrypted_output.h"
#include "security/scan_object.h"
#include "split/unlock.h"
#include "test_support.h"

namespace brisel {
namespace {

using test::BytesOf;
using test::PdfBuilder;
using test::ScriptedJob;
using test::TempFolder;
using test::TextOf;

const std::string kContent = "BT /F1 12 Tf 20 100 Td (Hello) Tj ET";
const std::string kXmp = "<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?><x:xmpmeta xmlns:x='adobe:ns:meta/'/>";

// A page image with what the recoder must get right: a stream whose
// indirect /Length object comes before it, one whose length object follows,
// an empty stream, a metadata stream and strings that need escapes.
std::string PageImage() {
    PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Object(2, "<< /Type /Pages /Kids [ 3 0 R ] /Count 1 >>");
    b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents [ 5 0 R 6 0 R 8 0 R ] "
                "/Resources << /Font << /F1 << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> >> >> "
                "/Metadata 10 0 R >>");
    b.Object(4, std::to_string(kContent.size()));
    b.Object(5, "<< /Length 4 0 R >>\nstream\n" + kContent + "\nendstream");
    b.Object(6, "<</Length 7 0 R/Note(x)>>stream\r\n" + kContent + "\nendstream");
    b.Object(7, std::to_string(kContent.size()));
    b.Object(8, "<< /Length 0 >>\nstream\n\nendstream");
    b.Object(9, "<< /Title (a\\(b\\)c\\\\d) /Subject (line\\nbreak\\r) /Keywords <4142> /Author (endobj >>) >>");
    b.Object(10, "<< /Type /Metadata /Subtype /XML /Length " + std::to_string(kXmp.size()) + " >>\nstream\n" + kXmp +
                     "\nendstream");
    b.Trailer("/Root 1 0 R /Info 9 0 R");
    return b.Build();
}

// The security state of a file qpdf encrypted with an empty user password.
void TakeKeysFrom(ScriptedJob& s, const TempFolder& folder, const std::string& args) {
    Block input = test::EncryptWithQpdf(folder, "", "owner", args);
    ASSERT_FALSE(input.empty());
    XrefTable table;
    s.reader.security.StreamMethod = s.reader.security.StringMethod = -1;
    ASSERT_EQ(ReadXref(s.job, input.data(), input.end(), table, s.reader).code, 0);
    s.reader.encrypted = 1;
    ASSERT_EQ(UnlockDocument(s.job, input, table, s.reader), 0);
}

TEST(Recode, EncryptedPageFilesRoundTrip) {
    for (const char* args : {"40", "128 --use-aes=n", "128 --use-aes=y", "128 --use-aes=y --cleartext-metadata"}) {
        SCOPED_TRACE(args);
        TempFolder folder;
        ScriptedJob s;
        TakeKeysFrom(s, folder, args);
        s.reader.infoNumber = 77;  // the input's, kept while the page is read
        Block page = BytesOf(PageImage());
        ASSERT_EQ(EncryptPageImage(s.job, s.reader, page), 0) << s.job.LastError;
        EXPECT_EQ(s.reader.infoNumber, 77);
        const std::string encrypted = TextOf(page);
        EXPECT_EQ(encrypted.find("Hello"), std::string::npos);
        // The whole plain title: a vector may well begin with the letter a.
        EXPECT_EQ(encrypted.find("/Title (a\\(b\\)c"), std::string::npos);
        EXPECT_NE(encrypted.find("trailer\n<<\n/Size 12\n/Root 1 0 R\n/Info 9 0 R\n/Encrypt 11 0 R\n"
                                 "/ID [<00112233445566778899AABBCCDDEEFF><00112233445566778899AABBCCDDEEFF>]\n>>\n"),
                  std::string::npos);
        const bool clearMetadata = std::string(args).find("clear") != std::string::npos;
        EXPECT_EQ(encrypted.find(kXmp) != std::string::npos, clearMetadata);
        EXPECT_EQ(encrypted.find("/EncryptMetadata false") != std::string::npos, clearMetadata);

        const std::string path = folder.Path("page.pdf");
        ASSERT_TRUE(test::WriteFile(path, page));
        EXPECT_TRUE(test::Run("qpdf --check " + path)) << encrypted;
        EXPECT_TRUE(test::Run("qpdf --qdf " + path + " " + folder.Path("qdf.pdf") + " && grep -c '" + kContent + "' " +
                              folder.Path("qdf.pdf") + " | grep -q 2"));

        // Our own decryption gives back the strings and streams.
        ScriptedJob again;
        again.reader.security.StreamMethod = again.reader.security.StringMethod = -1;
        XrefTable table;
        ASSERT_EQ(ReadXref(again.job, page.data(), page.end(), table, again.reader).code, 0);
        ASSERT_EQ(UnlockDocument(again.job, page, table, again.reader), 0);
        const std::string plain = TextOf(page);
        EXPECT_NE(plain.find("/Title (a\\(b\\)c\\\\d) /Subject (line\\nbreak\\r) /Keywords <4142> /Author (endobj >>)"),
                  std::string::npos);
        // AES changes the stored length: an indirect /Length whose object came
        // earlier is written directly; RC4 keeps it as it was.
        const bool aes = std::string(args).find("aes=y") != std::string::npos;
        const std::string length = aes ? std::to_string(kContent.size()) : "4 0 R";
        EXPECT_NE(plain.find("5 0 obj\n<< /Length " + length + " >>\nstream\n" + kContent + "\nendstream\nendobj\n"),
                  std::string::npos);
        EXPECT_NE(plain.find("<< /Length 0 >>\nstream\nendstream"), std::string::npos);
        EXPECT_NE(plain.find("stream\r\n" + kContent + "\nendstream"), std::string::npos);
        EXPECT_NE(plain.find(kXmp), std::string::npos);
    }
}

TEST(Recode, FailureLeavesNothingToSave) {
    TempFolder folder;
    ScriptedJob s;
    TakeKeysFrom(s, folder, "128 --use-aes=y");
    // A stream whose /Length runs past the end of the image.
    PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>").Object(2, "<< /Length 999 >>\nstream\nabc\nendstream");
    b.Trailer("/Root 1 0 R");
    Block page = BytesOf(b.Build());
    EXPECT_LT(EncryptPageImage(s.job, s.reader, page), 0);
    EXPECT_TRUE(page.empty());
}

TEST(ScanObject, FindsStreamsAndTheirLengths) {
    auto scan = [](const std::string& body, int64_t indirect = 42) {
        Block b = BytesOf(body);
        ObjectScan r = ScanObject(b.data(), b.end(), [&](int32_t n, int32_t) { return n == 9 ? indirect : -1; });
        return std::make_pair(r, r.stop ? static_cast<int64_t>(r.stop - b.data()) : -1);
    };
    auto [plain, plainStop] = scan("<< /Length 5 /S (stream) /D << /Length 7 >> >> endobj");
    EXPECT_EQ(plain.kind, kPlainObject);
    EXPECT_EQ(plainStop, 47);
    auto [stream, dataAt] = scan("<</Length 12/Type/Metadata>>stream\r\nDATA");
    EXPECT_EQ(stream.kind, kStreamObject);
    EXPECT_EQ(stream.length, 12);
    EXPECT_TRUE(stream.metadata);
    EXPECT_EQ(dataAt, 36);
    auto [indirect, _] = scan("<< /Length 9 0 R >>\nstream\nDATA");
    EXPECT_TRUE(indirect.lengthIndirect);
    EXPECT_EQ(indirect.length, 42);
    EXPECT_EQ(scan("<< /Length 8 0 R >>\nstream\nDATA").first.kind, -3);
    EXPECT_EQ(scan("<< /Filter /X >>\nstream\nDATA").first.kind, -1);
    EXPECT_EQ(scan("<< /Type /XRef /Length 4 >>\nstream\nDATAendobj\nendstream\nendobj").first.kind, kXrefStreamObject);
    EXPECT_EQ(scan("<< /Type /XRef /Length 400 >>\nstream\nDATA\nendstream\nendobj").first.kind, -2);
    EXPECT_EQ(scan("<< /Open (never closed").first.kind, -2);
}

}  // namespace
}  // namespace brisel
