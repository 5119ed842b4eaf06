#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "security/aes.h"
#include "security/crypt_buffer.h"
#include "security/encrypted_output.h"
#include "security/md5.h"
#include "security/rc4.h"
#include "test_support.h"

namespace brisel {
namespace {

using test::TestJob;

std::vector<uint8_t> Hex(const std::string& hex) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

std::string HexOf(const uint8_t* bytes, size_t length) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < length; ++i) (out += kDigits[bytes[i] >> 4]) += kDigits[bytes[i] & 15];
    return out;
}

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

TEST(Md5, Rfc1321TestSuite) {
    const std::pair<std::string, std::string> cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& [text, digest] : cases) {
        uint8_t out[16];
        Md5(reinterpret_cast<const uint8_t*>(text.data()), text.size(), out);
        EXPECT_EQ(HexOf(out, 16), digest) << text;
    }
}

TEST(Md5, PiecewiseUpdatesEqualOneUpdate) {
    std::string text(200, 'x');
    for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>(i * 7);
    uint8_t whole[16], pieces[16];
    Md5(reinterpret_cast<const uint8_t*>(text.data()), text.size(), whole);
    Md5Context context;
    Md5Init(context);
    for (size_t at = 0, step = 1; at < text.size(); at += step, step = step * 2 + 1)
        Md5Update(context, reinterpret_cast<const uint8_t*>(text.data()) + at, std::min(step, text.size() - at));
    Md5Final(pieces, context);
    EXPECT_EQ(HexOf(whole, 16), HexOf(pieces, 16));
}

TEST(Rc4, PublishedKeystreams) {
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"Key", "Plaintext", "bbf316e8d940af0ad3"},
        {"Wiki", "pedia", "1021bf0420"},
        {"Secret", "Attack at dawn", "45a01f645fc35b383552544b9bf5"},
    };
    for (const auto& [key, plain, cipher] : cases) {
        std::vector<uint8_t> k = Bytes(key), p = Bytes(plain), out(p.size());
        Rc4(k.data(), k.size(), out.data(), p.data(), p.size());
        EXPECT_EQ(HexOf(out.data(), out.size()), cipher);
    }
}

TEST(Aes, Fips197KnownAnswers) {
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"000102030405060708090a0b0c0d0e0f", "00112233445566778899aabbccddeeff", "69c4e0d86a7b0430d8cdb78070b4c55a"},
        {"2b7e151628aed2a6abf7158809cf4f3c", "3243f6a8885a308d313198a2e0370734", "3925841d02dc09fbdc118597196a0b32"},
    };
    for (const auto& [key, plain, cipher] : cases) {
        AesRoundKeys keys;
        AesExpandKey(keys, Hex(key).data());
        std::vector<uint8_t> block = Hex(plain);
        AesEncryptBlock(block.data(), keys);
        EXPECT_EQ(HexOf(block.data(), 16), cipher);
        AesDecryptBlock(block.data(), keys);
        EXPECT_EQ(HexOf(block.data(), 16), plain);
    }
    // The last round key of FIPS-197 appendix A.1.
    AesRoundKeys keys;
    AesExpandKey(keys, Hex("2b7e151628aed2a6abf7158809cf4f3c").data());
    EXPECT_EQ(HexOf(keys.bytes + 160, 16), "d014f9a8c9ee2589e13f0cc8b6630ca6");
}

struct Coded {
    int64_t result;
    std::vector<uint8_t> bytes;
    int32_t error;
};

Coded Crypt(const std::vector<uint8_t>& input, int method, bool encrypt, const std::vector<uint8_t>& key) {
    Coded c;
    c.bytes.assign(input.size() + 32, 0xEE);
    const uint8_t* source = input.data();
    const Result<int64_t> coded =
        CryptBuffer(source, input.size(), c.bytes.data(), key.data(), key.size(), method, encrypt);
    c.result = coded.value_or(-1);
    c.error = coded.code();
    if (c.result >= 0) {
        EXPECT_EQ(source, input.data() + input.size());
        c.bytes.resize(static_cast<size_t>(c.result));
    } else {
        EXPECT_EQ(source, input.data());
    }
    return c;
}

const std::vector<uint8_t> kKey = Hex("2b7e151628aed2a6abf7158809cf4f3c");

const std::vector<uint8_t> kKey256 = Hex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");

TEST(CryptBuffer, AesPadsEveryLengthAndRoundTrips) {
    for (const auto& [method, key] : {std::pair{kCryptAes, kKey}, std::pair{kCryptAes256, kKey256}})
    for (size_t length : {0, 1, 15, 16, 17, 32, 90}) {
        std::vector<uint8_t> plain(length);
        for (size_t i = 0; i < length; ++i) plain[i] = static_cast<uint8_t>(i * 13);
        Coded enc = Crypt(plain, method, true, key);
        ASSERT_EQ(enc.result, static_cast<int64_t>(16 + (length / 16 + 1) * 16)) << length;
        // CBC: the first block decrypts to the plain text XOR the vector.
        AesRoundKeys keys;
        AesExpandKey(keys, key.data(), key.size());
        uint8_t block[16];
        std::memcpy(block, enc.bytes.data() + 16, 16);
        AesDecryptBlock(block, keys);
        for (size_t j = 0; j < 16; ++j) {
            uint8_t expected = j < length ? plain[j] : static_cast<uint8_t>(16 - length % 16);
            EXPECT_EQ(block[j] ^ enc.bytes[j], expected) << length;
        }
        Coded dec = Crypt(enc.bytes, method, false, key);
        ASSERT_EQ(dec.result, static_cast<int64_t>(length));
        EXPECT_EQ(dec.bytes, plain);
        // Each key length belongs to its own method.
        EXPECT_EQ(Crypt(enc.bytes, method == kCryptAes ? kCryptAes256 : kCryptAes, false, key).error, kCryptBadData);
    }
}

// A vector and one block whose plain text is the given 16 bytes.
std::vector<uint8_t> OneBlock(const std::vector<uint8_t>& plain) {
    std::vector<uint8_t> out(16, 0x5A);
    AesRoundKeys keys;
    AesExpandKey(keys, kKey.data());
    uint8_t block[16];
    for (int j = 0; j < 16; ++j) block[j] = plain[static_cast<size_t>(j)] ^ out[static_cast<size_t>(j)];
    AesEncryptBlock(block, keys);
    out.insert(out.end(), block, block + 16);
    return out;
}

TEST(CryptBuffer, AesPaddingChecks) {
    EXPECT_EQ(Crypt(OneBlock(std::vector<uint8_t>(16, 0x10)), kCryptAes, false, kKey).result, 0);
    EXPECT_EQ(Crypt(OneBlock(std::vector<uint8_t>(16, 0x00)), kCryptAes, false, kKey).result, 0);
    std::vector<uint8_t> three(16, 'a');
    three[13] = three[14] = three[15] = 3;
    Coded ok = Crypt(OneBlock(three), kCryptAes, false, kKey);
    EXPECT_EQ(ok.result, 13);

    std::vector<uint8_t> disagree = three;
    disagree[13] = 4;
    std::vector<uint8_t> tooLarge(16, 17);
    for (const auto& plain : {disagree, tooLarge}) {
        Coded bad = Crypt(OneBlock(plain), kCryptAes, false, kKey);
        EXPECT_EQ(bad.result, -1);
        EXPECT_EQ(bad.error, kCryptBadData);
        EXPECT_EQ(bad.bytes, std::vector<uint8_t>(bad.bytes.size(), 0xEE));  // untouched
    }
    // Too short, ragged, or a key that is not 16 bytes.
    EXPECT_EQ(Crypt(std::vector<uint8_t>(16), kCryptAes, false, kKey).error, kCryptBadData);
    EXPECT_EQ(Crypt(std::vector<uint8_t>(40), kCryptAes, false, kKey).error, kCryptBadData);
    EXPECT_EQ(Crypt(std::vector<uint8_t>(32), kCryptAes, false, Hex("0102030405")).error, kCryptBadData);
    EXPECT_EQ(Crypt(std::vector<uint8_t>(8), 3, true, kKey).error, kCryptUnknownMethod);
}

TEST(CryptBuffer, Rc4BothWaysAndEmpty) {
    std::vector<uint8_t> plain = Bytes("Attack at dawn");
    Coded enc = Crypt(plain, kCryptRc4, true, Bytes("Secret"));
    EXPECT_EQ(HexOf(enc.bytes.data(), enc.bytes.size()), "45a01f645fc35b383552544b9bf5");
    EXPECT_EQ(Crypt(enc.bytes, kCryptRc4, false, Bytes("Secret")).bytes, plain);
    EXPECT_EQ(Crypt({}, kCryptRc4, true, Bytes("Secret")).result, 0);
}

// Stream data written in pieces of any size, within a page file's text,
// decrypts to what it was, as the data encrypted whole does.
TEST(CryptBuffer, SpansEncryptedInPiecesDecryptWhole) {
    const uint8_t vector[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    for (const auto& [method, key] :
         {std::pair{kCryptRc4, Bytes("Secret")}, std::pair{kCryptAes, kKey}, std::pair{kCryptAes256, kKey256}})
        for (size_t length : {1, 15, 16, 17, 90, 1000})
            for (size_t piece : {1, 7, 16, 33, 4096}) {
                std::vector<uint8_t> plain(length);
                for (size_t i = 0; i < length; ++i) plain[i] = static_cast<uint8_t>(i * 13 + 5);
                PageSpans spans;
                StreamSpan span;
                span.at = 3;
                span.data = plain.data();
                span.length = length;
                span.coder = MakeSpanCoder(method, key.data(), key.size(), vector);
                spans.spans.push_back(std::move(span));
                std::vector<uint8_t> file;
                ASSERT_TRUE(WalkPageBytes(
                    "abcdef", spans, piece,
                    [&](const uint8_t* data, size_t size) {
                        file.insert(file.end(), data, data + size);
                        return true;
                    },
                    [] { return false; }));
                ASSERT_GE(file.size(), 6u);
                EXPECT_EQ(std::string(file.begin(), file.begin() + 3), "abc");
                EXPECT_EQ(std::string(file.end() - 3, file.end()), "def");
                const std::vector<uint8_t> coded(file.begin() + 3, file.end() - 3);
                EXPECT_EQ(coded.size(), method == kCryptRc4 ? length : 16 + (length / 16 + 1) * 16);
                if (method != kCryptRc4) EXPECT_EQ(std::memcmp(coded.data(), vector, 16), 0);
                Coded dec = Crypt(coded, method, false, key);
                EXPECT_EQ(dec.bytes, plain) << method << " " << length << " " << piece;
            }
    // A stop request between pieces ends the walk.
    std::vector<uint8_t> plain(100);
    PageSpans spans;
    spans.spans.push_back(StreamSpan{0, plain.data(), plain.size(), plain.size(), nullptr});
    int pieces = 0;
    EXPECT_FALSE(WalkPageBytes(
        "", spans, 10, [&](const uint8_t*, size_t) { return ++pieces > 0; }, [&] { return pieces == 3; }));
    EXPECT_EQ(pieces, 3);
}

TEST(CryptBuffer, InitialisationVectorsDiffer) {
    std::vector<uint8_t> plain(5, 'x');
    Coded a = Crypt(plain, kCryptAes, true, kKey), b = Crypt(plain, kCryptAes, true, kKey);
    EXPECT_NE(std::vector<uint8_t>(a.bytes.begin(), a.bytes.begin() + 16),
              std::vector<uint8_t>(b.bytes.begin(), b.bytes.begin() + 16));
    uint8_t d1[16], d2[16];
    ASSERT_EQ(UniqueDigest("", 0, {}, d1), 0);
    ASSERT_EQ(UniqueDigest("", 0, {}, d2), 0);
    EXPECT_NE(HexOf(d1, 16), HexOf(d2, 16));
}

}  // namespace
}  // namespace brisel
