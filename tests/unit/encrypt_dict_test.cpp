#include "security/encrypt_dict.h"

#include <gtest/gtest.h>

#include <string>

#include "pdfread/read_xref.h"
#include "test_support.h"

namespace brisel {
namespace {

using test::BytesOf;
using test::PdfBuilder;
using test::TestJob;

const std::string kO = "<" + std::string(64, 'A') + ">";
const std::string kU = "<" + std::string(64, 'B') + ">";

int Read(TestJob& t, const std::string& dict) {
    t.reader.security.StreamMethod = t.reader.security.StringMethod = t.reader.security.EmbeddedMethod = -1;
    Block b = BytesOf(dict);
    return ReadEncryptDictionary(b.data(), b.end(), t.reader.security).code;
}

TEST(EncryptDictionary, ReadsAnAesRevision4Dictionary) {
    TestJob t;
    ASSERT_EQ(Read(t, "<< /CF << /StdCF << /AuthEvent /DocOpen /CFM /AESV2 /Length 16 >> >> /Filter /Standard "
                      "/Length 128 /O " + kO + " /P -3904 /R 4 /StmF /StdCF /StrF /StdCF /U " + kU + " /V 4 >>"),
              0);
    const SecurityState& s = t.reader.security;
    EXPECT_STREQ(s.FilterName, "Standard");
    EXPECT_EQ(s.V, 4);
    EXPECT_EQ(s.R, 4);
    EXPECT_EQ(s.Permissions, -3904);
    EXPECT_EQ(s.KeyLength, 128u);
    EXPECT_EQ(s.OwnerLength, 32);
    EXPECT_EQ(s.Owner[31], 0xAA);
    EXPECT_EQ(s.UserLength, 32);
    EXPECT_EQ(s.User[0], 0xBB);
    EXPECT_EQ(s.EncryptMetadata, 1);
    EXPECT_EQ(s.StreamMethod, 2);
    EXPECT_EQ(s.StringMethod, 2);
    EXPECT_EQ(s.StreamKeyLength, 16);
    EXPECT_EQ(s.EmbeddedMethod, -1);  // no /EFF
}

TEST(EncryptDictionary, ReadsAnAes256DictionaryWithPaddedStrings) {
    TestJob t;
    // /U padded with zeros to 127 bytes as some writers do, the keys as
    // literal strings, the filter length in bits.
    ASSERT_EQ(Read(t, "<< /CF << /StdCF << /AuthEvent /DocOpen /CFM /AESV3 /Length 256 >> >> /Filter /Standard "
                      "/Length 256 /O <" + std::string(96, 'A') + "> /OE (" + std::string(31, 'e') + "\\\\) /P -1028 "
                      "/Perms <" + std::string(32, 'C') + "> /R 6 /StmF /StdCF /StrF /StdCF /U <" +
                      std::string(96, 'B') + std::string(158, '0') + "> /UE <" + std::string(64, 'D') +
                      "> /V 5 /EncryptMetadata false >>"),
              0);
    const SecurityState& s = t.reader.security;
    EXPECT_EQ(s.V, 5);
    EXPECT_EQ(s.R, 6);
    EXPECT_EQ(s.OwnerLength, 48);
    EXPECT_EQ(s.UserLength, 127);
    EXPECT_EQ(s.User[47], 0xBB);
    EXPECT_EQ(s.User[48], 0);
    EXPECT_EQ(s.OwnerKeyLength, 32);
    EXPECT_EQ(s.OwnerKey[31], '\\');
    EXPECT_EQ(s.UserKeyLength, 32);
    EXPECT_EQ(s.UserKey[0], 0xDD);
    EXPECT_EQ(s.PermsLength, 16);
    EXPECT_EQ(s.Perms[15], 0xCC);
    EXPECT_EQ(s.StreamMethod, 3);
    EXPECT_EQ(s.StringMethod, 3);
    EXPECT_EQ(s.EncryptMetadata, 0);

    // Missing keys read as empty, a /U beyond 127 bytes as not fitting, and a
    // later revision 4 dictionary as 32-byte strings again.
    ASSERT_EQ(Read(t, "<< /Filter /Standard /V 5 /R 5 /P -4 /O " + kO + " /U <" + std::string(256, '1') + "> >>"), 0);
    EXPECT_EQ(s.OwnerKeyLength, 0);
    EXPECT_EQ(s.UserKeyLength, 0);
    EXPECT_EQ(s.PermsLength, 0);
    EXPECT_LT(s.UserLength, 0);
    ASSERT_EQ(Read(t, "<< /Filter /Standard /V 4 /R 4 /P -4 /O " + kO + " /U <" + std::string(96, '1') + "> >>"), 0);
    EXPECT_LT(s.UserLength, 0);
}

TEST(EncryptDictionary, OptionalAndOddValues) {
    TestJob t;
    // No /V, /EncryptMetadata in capitals, /P in its unsigned form, a literal
    // /O with escapes, a /U of 33 bytes.
    ASSERT_EQ(Read(t, "<< /Filter/Standard /R 2 /P 4294963392 /EncryptMetadata FALSE /O (" + std::string(30, 'o') +
                          "\\(\\)) /U <" + std::string(66, '1') + "> >>"),
              0);
    const SecurityState& s = t.reader.security;
    EXPECT_EQ(s.V, 0);
    EXPECT_EQ(s.KeyLength, 0u);
    EXPECT_EQ(s.Permissions, -3904);
    EXPECT_EQ(s.EncryptMetadata, 0);
    EXPECT_EQ(s.OwnerLength, 32);
    EXPECT_EQ(s.Owner[30], '(');
    EXPECT_LT(s.UserLength, 0);

    // /StmF naming a filter missing from /CF keeps -1; /CFM /None gives 0;
    // /StrF absent leaves the string method.
    ASSERT_EQ(Read(t, "<< /Filter /Standard /V 4 /R 4 /P -4 /O " + kO + " /U " + kU +
                          " /StmF /Identity /EFF /Emb /CF << /Emb << /CFM /None >> >> >>"),
              0);
    EXPECT_EQ(s.StreamMethod, -1);
    EXPECT_EQ(s.EmbeddedMethod, 0);
    EXPECT_EQ(s.StringMethod, -1);
}

TEST(EncryptDictionary, Failures) {
    TestJob t;
    EXPECT_EQ(Read(t, "< /Filter /Standard >>"), kEncryptNotDict);
    EXPECT_EQ(Read(t, "<< /Filter /Standard /R 2"), kEncryptNotClosed);
    // /R only inside /CF is not found.
    EXPECT_EQ(Read(t, "<< /Filter /Standard /P -4 /O " + kO + " /U " + kU + " /CF << /F << /R 2 >> >> >>"),
              kEncryptKeyMissing);
    EXPECT_EQ(Read(t, "<< /Filter /Standard /R 3 /O " + kO + " /U " + kU + " >>"), kEncryptKeyMissing);
    EXPECT_EQ(Read(t, "<< /Filter (Standard) /R 3 /P 0 /O " + kO + " /U " + kU + " >>"), kEncryptFilterNotName);
    EXPECT_EQ(Read(t, "<< /Filter /Standard /R 3 /P 0 /O " + kO + " /U " + kU + " /StmF /F /CF << /F 5 >> >>"),
              kEncryptNotClosed);
    // A /Filter name too long for its field is stored as nothing.
    ASSERT_EQ(Read(t, "<< /Filter /" + std::string(40, 'S') + " /R 3 /P 0 /O " + kO + " /U " + kU + " >>"), 0);
    EXPECT_STREQ(t.reader.security.FilterName, "");
}

struct ReadFile {
    TestJob t;
    Block image;
    XrefTable table;
    explicit ReadFile(const std::string& file) : image(BytesOf(file)) {
        EXPECT_EQ(ReadXref(t.job, image.data(), image.end(), table, t.reader).code, 0);
    }
    // The reference's result, or the failure's code.
    int ReadEncrypt() {
        const Result<int> r = ReadEncryptReference(image.data(), image.end(), table, t.reader);
        return r ? *r : r.code();
    }
};

TEST(EncryptDictionary, FollowsTheTrailerReferenceOrTakesADirectDictionary) {
    const std::string dict = "<< /Filter /Standard /V 1 /R 2 /P -4 /O " + kO + " /U " + kU + " >>";
    for (const std::string& value : {std::string("7 0 R"), dict}) {
        PdfBuilder b;
        b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>").Object(2, "<< /Type /Pages /Kids [] /Count 0 >>");
        b.Object(7, dict).Trailer("/Root 1 0 R /Encrypt " + value);
        ReadFile f(b.Build());
        ASSERT_EQ(f.ReadEncrypt(), 0) << value;
        EXPECT_EQ(f.t.reader.security.EncryptNumber, value == dict ? 0 : 7);
        EXPECT_EQ(f.t.reader.security.R, 2);
    }
    PdfBuilder b;
    b.Object(1, "<< /Type /Catalog >>").Trailer("/Root 1 0 R /Encrypt 9 0 R");
    EXPECT_EQ(ReadFile(b.Build()).ReadEncrypt(), kEncryptObjectMissing);
    b.Trailer("/Root 1 0 R /Encrypt /Odd");
    EXPECT_EQ(ReadFile(b.Build()).ReadEncrypt(), 1);
}

TEST(EncryptDictionary, ReadsAnObjectAtAnOffset) {
    TestJob t;
    Block image = BytesOf("%PDF-1.5\n12 0 obj % comment\n<< /Filter /Standard /V 2 /R 3 /Length 40 /P -1 /O " + kO +
                          " /U " + kU + " >>\nendobj\n");
    ASSERT_EQ(ReadEncryptObject(image.data(), image.end(), 9, t.reader.security).code, 0);
    EXPECT_EQ(t.reader.security.KeyLength, 40u);
    EXPECT_EQ(ReadEncryptObject(image.data(), image.end(), 12, t.reader.security).code, kEncryptNoNumber);
}

}  // namespace
}  // namespace brisel
