#include "split/unlock.h"

#include <gtest/gtest.h>

#include <string>

#include "base/texts.h"
#include "encrypted_input.h"
#include "pdfread/read_xref.h"
#include "security/encrypted_output.h"
#include "test_support.h"

namespace brisel {
namespace {

using test::ScriptedJob;
using test::TempFolder;
using test::TextOf;

const std::string kWrong = Tr(Language::English, Text::InputRightPassword);
const std::string kUnsupported = Tr(Language::English, Text::FailInDecrypting);

std::string HexString(const std::string& text) {
    std::string out = "<";
    char digits[3];
    for (unsigned char c : text) {
        std::snprintf(digits, sizeof digits, "%02X", c);
        out += digits;
    }
    return out + ">";
}

// The job state the split job has when it calls UnlockDocument.
struct Unlocking {
    ScriptedJob s;
    Block image;
    XrefTable table;
    int result = -99;

    Unlocking(Block encrypted, std::deque<std::string> answers = {}) : image(std::move(encrypted)) {
        s.host.answers = std::move(answers);
        s.reader.security.StreamMethod = s.reader.security.StringMethod = s.reader.security.EmbeddedMethod = -1;
    }
    int Unlock() {
        EXPECT_FALSE(image.empty()) << "qpdf made no input";
        if (image.empty()) return result;
        EXPECT_EQ(ReadXref(s.job, image.data(), image.end(), table, s.reader).code, 0);
        EXPECT_NE(s.reader.encryptKey, ReaderRecord::kNone);
        s.reader.encrypted = 1;
        return result = UnlockDocument(s.job, image, table, s.reader);
    }
    std::string Text() const { return TextOf(image); }
};

using Case = test::EncryptionCase;
constexpr auto& kCases = test::kEncryptionCases;

TEST(Unlock, DecryptsEveryRevisionInMemory) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        Unlocking u(test::EncryptWithQpdf(folder, "", "owner", c.args));
        ASSERT_EQ(u.Unlock(), 0);
        EXPECT_EQ(u.s.host.asked, 0);  // the empty user password opens it
        const std::string plain = u.Text();
        EXPECT_NE(plain.find("(Hello page 2) Tj"), std::string::npos);
        // qpdf writes its strings in hexadecimal; they come back that way.
        EXPECT_NE(plain.find(HexString("Secret title")), std::string::npos);
        EXPECT_NE(plain.find(HexString("a(b)c\\d")), std::string::npos);
        EXPECT_EQ(plain.find("/Encrypt"), std::string::npos);
        EXPECT_EQ(plain.find("/Standard"), std::string::npos);

        // The decrypted image reads as a classic file, and encrypting it again
        // gives a file that qpdf opens with the input's passwords and
        // permissions.
        XrefTable table;
        ASSERT_EQ(ReadXref(u.s.job, u.image.data(), u.image.end(), table, u.s.reader).code, 0);
        EXPECT_EQ(u.s.reader.encryptKey, ReaderRecord::kNone);
        ASSERT_EQ(EncryptPageImage(u.s.job, u.s.reader, u.image), 0);
        EXPECT_EQ(TextOf(u.image).find("Hello"), std::string::npos);
        const std::string again = folder.Path("again.pdf");
        ASSERT_TRUE(test::WriteFile(again, u.image));
        EXPECT_TRUE(test::Run("qpdf --check " + again));
        EXPECT_TRUE(test::Run("qpdf --password=owner --check " + again));
        EXPECT_TRUE(test::Run("qpdf --password=owner --show-encryption " + again + " | grep -q 'P = -4'"));
        EXPECT_TRUE(test::Run("qpdf --qdf --password=owner " + again + " " + folder.Path("qdf.pdf") + " && grep -q "
                              "'Hello page 1' " + folder.Path("qdf.pdf")));
    }
}

TEST(Unlock, AskedPasswordsAndTheirMessages) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        Block input = test::EncryptWithQpdf(folder, "user", "owner", c.args);
        {
            Unlocking u(test::EncryptWithQpdf(folder, "user", "owner", c.args), {"x", "y", "user"});
            EXPECT_EQ(u.Unlock(), 0);
            EXPECT_EQ(u.s.host.messages, std::vector<std::string>({kWrong, kWrong}));
            EXPECT_EQ(u.s.app.PasswordText, "user");
            EXPECT_FALSE(u.s.app.RememberedPassword);
        }
        {
            Unlocking u(test::EncryptWithQpdf(folder, "user", "owner", c.args), {"owner"});
            EXPECT_EQ(u.Unlock(), 0);
            EXPECT_NE(u.Text().find("Hello page 1"), std::string::npos);
        }
        {
            Unlocking u(test::EncryptWithQpdf(folder, "user", "owner", c.args), {"a", "b", "c", "user"});
            EXPECT_EQ(u.Unlock(), 10);
            EXPECT_EQ(u.s.host.asked, 3);
            EXPECT_EQ(u.s.host.messages.size(), 2u);
        }
        {
            Unlocking u(test::EncryptWithQpdf(folder, "user", "owner", c.args));  // cancelled
            EXPECT_EQ(u.Unlock(), 10);
            EXPECT_TRUE(u.s.host.messages.empty());
        }
    }
}

TEST(Unlock, RememberedPassword) {
    TempFolder folder;
    Unlocking right(test::EncryptWithQpdf(folder, "user", "owner", "128 --use-aes=y"));
    right.s.app.PasswordText = "user";
    EXPECT_EQ(right.Unlock(), 0);
    EXPECT_EQ(right.s.host.asked, 0);
    EXPECT_TRUE(right.s.app.RememberedPassword);

    // A remembered password that does not fit: asked at once, no message.
    Unlocking wrong(test::EncryptWithQpdf(folder, "user", "owner", "128 --use-aes=y"), {"user"});
    wrong.s.app.PasswordText = "earlier";
    EXPECT_EQ(wrong.Unlock(), 0);
    EXPECT_EQ(wrong.s.host.asked, 1);
    EXPECT_TRUE(wrong.s.host.messages.empty());
    EXPECT_FALSE(wrong.s.app.RememberedPassword);
}

TEST(Unlock, LongPasswordsCountByTheirFirst32Bytes) {
    TempFolder folder;
    const std::string longPassword = "0123456789abcdefghijklmnopqrstuvwxyz";
    Unlocking u(test::EncryptWithQpdf(folder, longPassword, "owner", "128 --use-aes=n"), {longPassword.substr(0, 32)});
    EXPECT_EQ(u.Unlock(), 0);
}

TEST(Unlock, SplittingForbidden) {
    for (const char* args : {"40 --modify=n", "128 --use-aes=n --modify=none", "128 --use-aes=y --modify=none",
                             "256 --modify=none"}) {
        SCOPED_TRACE(args);
        TempFolder folder;
        {
            // Only the owner password allows splitting; the user password counts
            // as a wrong one.
            Unlocking u(test::EncryptWithQpdf(folder, "user", "owner", args), {"user", "owner"});
            EXPECT_EQ(u.Unlock(), 0);
            EXPECT_EQ(u.s.host.messages, std::vector<std::string>({kWrong}));
        }
        {
            Unlocking u(test::EncryptWithQpdf(folder, "", "owner", args), {"owner"});
            EXPECT_EQ(u.Unlock(), 0);
        }
        {
            // The empty owner password opens with the owner's rights, without
            // a prompt; so does a password that is both passwords.
            Unlocking u(test::EncryptWithQpdf(folder, "", "", args), {"x"});
            EXPECT_EQ(u.Unlock(), 0);
            EXPECT_EQ(u.s.host.asked, 0);
            EXPECT_TRUE(u.s.host.messages.empty());
        }
        {
            Unlocking u(test::EncryptWithQpdf(folder, "same", "same", args), {"same"});
            EXPECT_EQ(u.Unlock(), 0);
            EXPECT_TRUE(u.s.host.messages.empty());
        }
    }
    // Assembling alone is enough for revisions 3 and 4.
    TempFolder folder;
    Unlocking u(test::EncryptWithQpdf(folder, "", "owner", "128 --use-aes=y --modify=assembly"));
    EXPECT_EQ(u.Unlock(), 0);
}

TEST(Unlock, RefusesWhatItCannotDecrypt) {
    // V 2 with R 4, and a handler other than Standard; AES-256 with /P
    // altered after /Perms sealed it (with the empty password and with a
    // typed one), with an unknown crypt method, or without /Perms. Each input
    // has a folder of its own, as its block may map the file.
    TempFolder folders[3];
    const Block rc4 = test::EncryptWithQpdf(folders[0], "", "owner", "128 --use-aes=n");
    const Block aes256 = test::EncryptWithQpdf(folders[1], "", "owner", "256");
    const Block aes256User = test::EncryptWithQpdf(folders[2], "user", "owner", "256");
    const struct {
        const Block& input;
        std::string from, to;
        std::deque<std::string> answers;
    } cases[] = {
        {rc4, "/V 2", "/V 9", {}},
        {rc4, "/Standard", "/Standarx", {}},
        {aes256, "/P -4", "/P -2", {}},
        {aes256User, "/P -4", "/P -2", {"user"}},
        {aes256User, "/P -4", "/P -2", {"owner"}},
        {aes256, "/AESV3", "/AESV4", {}},
        {aes256, "/Perms", "/Permx", {}},
    };
    for (const auto& [input, from, to, answers] : cases) {
        SCOPED_TRACE(to);
        std::string text = TextOf(input);
        size_t at = text.find(from);
        ASSERT_NE(at, std::string::npos);
        text.replace(at, from.size(), to);
        Unlocking u(test::BytesOf(text), answers);
        EXPECT_EQ(u.Unlock(), 10);
        EXPECT_EQ(u.s.host.messages, std::vector<std::string>({kUnsupported}));
    }
}

}  // namespace
}  // namespace brisel
