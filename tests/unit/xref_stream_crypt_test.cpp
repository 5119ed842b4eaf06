// Encrypted files with object streams and cross-reference streams, made by
// qpdf at test time: the rewrite checks, asks for the password and decrypts
// every object on its way into the classic image.
#include <gtest/gtest.h>

#include <string>

#include "encrypted_input.h"
#include "pdfread/read_xref.h"
#include "pdfread/xref_stream.h"
#include "split/unlock.h"
#include "rewrite_support.h"

namespace brisel {
namespace {

using test::TempFolder;
using test::TextOf;

test::Rewritten Normalise(test::ScriptedJob& s, const Block& input) {
    test::Rewritten r = test::RewriteAndRead(s.job, TextOf(input), [](Job& job, Block& image, const XrefTable& table,
                                                                          ReaderRecord& reader) {
        JobStreamDecryption decryption(reader);
        return NormaliseXrefStreams(job, image, table, reader, &decryption);
    });
    // What the rewrite found, where the test looks for it.
    s.reader = r.reader;
    return r;
}

TEST(EncryptedStreams, DecryptsObjectsAndObjectStreams) {
    for (const test::EncryptionCase& v : test::kEncryptionCases) {
        SCOPED_TRACE(v.name);
        TempFolder folder;
        Block input = test::EncryptWithQpdf(folder, "", "owner", v.args, true);
        ASSERT_FALSE(input.empty());
        ASSERT_NE(TextOf(input).find("/ObjStm"), std::string::npos);
        test::ScriptedJob s;
        test::Rewritten r = Normalise(s, input);
        ASSERT_EQ(r.result, 0) << s.job.LastError;
        ASSERT_EQ(r.read, 1);
        EXPECT_EQ(s.host.asked, 0);
        EXPECT_EQ(s.reader.encrypted, 1);
        const std::string plain = TextOf(r.image);
        // Content streams in the file and strings from the object streams.
        EXPECT_NE(plain.find("(Hello page 1) Tj"), std::string::npos);
        EXPECT_NE(plain.find("(Hello page 2) Tj"), std::string::npos);
        EXPECT_TRUE(plain.find("Secret title") != std::string::npos ||
                    plain.find("53656372657420746974") != std::string::npos);
        // The encryption dictionary and the cross-reference stream are gone.
        EXPECT_EQ(plain.find("/Standard"), std::string::npos);
        EXPECT_EQ(plain.find("/XRef"), std::string::npos);
        EXPECT_EQ(CountPages(r.image.begin(), r.image.end(), r.root, r.rootGeneration, r.table).value_or(-1), 2);
        // The key stays for the page files.
        EXPECT_GT(s.reader.security.KeyBytes, 0);
    }
}

TEST(EncryptedStreams, PasswordsAndRefusals) {
    TempFolder folder;
    Block input = test::EncryptWithQpdf(folder, "user", "owner", "128 --use-aes=y", true);
    ASSERT_FALSE(input.empty());
    {
        test::ScriptedJob s;  // the prompt is cancelled
        test::Rewritten r = Normalise(s, input);
        EXPECT_EQ(r.result, kOpenRefused);
        EXPECT_EQ(s.reader.refused, 1);
        EXPECT_EQ(s.host.asked, 1);
        EXPECT_EQ(r.image.size(), input.size());
    }
    {
        test::ScriptedJob s;
        s.host.answers = {"wrong", "user"};
        test::Rewritten r = Normalise(s, input);
        EXPECT_EQ(r.result, 0);
        EXPECT_EQ(s.host.asked, 2);
        EXPECT_NE(TextOf(r.image).find("(Hello page 2) Tj"), std::string::npos);
    }
    {
        // Splitting forbidden: the user password counts as a wrong one.
        Block locked = test::EncryptWithQpdf(folder, "user", "owner", "128 --use-aes=y --modify=none", true);
        test::ScriptedJob s;
        s.host.answers = {"user", "user", "user"};
        EXPECT_EQ(Normalise(s, locked).result, kOpenRefused);
        EXPECT_EQ(s.reader.refused, 1);
    }
}

}  // namespace
}  // namespace brisel
