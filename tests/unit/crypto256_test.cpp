// SHA-2, AES-256 and the revision 5 and 6 password algorithms against
// published vectors (FIPS 180-4, FIPS-197) and against encryption
// dictionaries written by qpdf.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "security/aes.h"
#include "security/password_hash.h"
#include "security/sha2.h"

namespace brisel {
namespace {

std::vector<uint8_t> Hex(const std::string& hex) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

std::string HexOf(const uint8_t* bytes, size_t length) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < length; ++i) (out += kDigits[bytes[i] >> 4]) += kDigits[bytes[i] & 15];
    return out;
}

const uint8_t* U8(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

struct Digests {
    std::string sha256, sha384, sha512;
};

Digests DigestsOf(const std::string& message) {
    uint8_t d256[32], d384[48], d512[64];
    Sha256(U8(message), message.size(), d256);
    Sha384(U8(message), message.size(), d384);
    Sha512(U8(message), message.size(), d512);
    return {HexOf(d256, 32), HexOf(d384, 48), HexOf(d512, 64)};
}

TEST(Sha2, Fips180Examples) {
    const std::pair<std::string, Digests> cases[] = {
        {"abc",
         {"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad",
          "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed8086072ba1e7cc2358baeca134c825a7",
          "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f"}},
        {"",
         {"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855",
          "38b060a751ac96384cd9327eb1b1e36a21fdb71114be07434c0cc7bf63f6e1da274edebfe76f65fbd51ad2f14898b95b",
          "cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce47d0d13c5d85f2b0ff8318d2877eec2f63b931bd47417a81a538327af927da3e"}},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         {"248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1",
          "3391fdddfc8dc7393707a65b1b4709397cf8b1d162af05abfe8f450de5f36bc6b0455a8520bc4e6f5fe95b1fe3c8452b",
          "204a8fc6dda82f0a0ced7beb8e08a41657c16ef468b228a8279be331a703c33596fd15c13b1b07f9aa1d3bea57789ca031ad85c7a71dd70354ec631238ca3445"}},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu",
         {"cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1",
          "09330c33f71147e83d192fc782cd1b4753111b173b3b05d22fa08086e3b0f712fcc7c71a557e2db966c3e9fa91746039",
          "8e959b75dae313da8cf4f72814fc143f8f7779c6eb9f7fa17299aeadb6889018501d289e4900f7e4331b99dec4b5433ac7d329eeb6dd26545e96e55b874be909"}},
        {std::string(1000000, 'a'),
         {"cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0",
          "9d0e1809716474cb086e834e310a4a1ced149e9c00f248527972cec5704c2a5b07b8b3dc38ecc4ebae97ddd87f3d8985",
          "e718483d0ce769644e2e42c7bc15b4638e1f98b13b2044285632a803afa973ebde0ff244877ea60a4cb0432ce577c31beb009c5c2c49aa2e4eadb217ad8cc09b"}},
    };
    for (const auto& [message, expected] : cases) {
        const Digests got = DigestsOf(message);
        EXPECT_EQ(got.sha256, expected.sha256) << message.size();
        EXPECT_EQ(got.sha384, expected.sha384) << message.size();
        EXPECT_EQ(got.sha512, expected.sha512) << message.size();
    }
}

TEST(Sha2, PiecewiseUpdatesEqualOneUpdateAtEveryPaddingBoundary) {
    // Lengths around the block and length-field boundaries of both families.
    std::string text(300, 0);
    for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>(i * 31 + 7);
    for (size_t length : {55, 56, 63, 64, 111, 112, 127, 128, 129, 300}) {
        const std::string message = text.substr(0, length);
        const Digests whole = DigestsOf(message);
        Sha256Context c256;
        Sha512Context c384, c512;
        Sha256Init(c256);
        Sha384Init(c384);
        Sha512Init(c512);
        for (size_t at = 0, step = 1; at < length; at += step, step = step * 2 + 1) {
            const size_t take = std::min(step, length - at);
            Sha256Update(c256, U8(message) + at, take);
            Sha512Update(c384, U8(message) + at, take);
            Sha512Update(c512, U8(message) + at, take);
        }
        uint8_t d256[32], d384[48], d512[64];
        Sha256Final(d256, c256);
        Sha512Final(d384, c384);
        Sha512Final(d512, c512);
        EXPECT_EQ(HexOf(d256, 32), whole.sha256) << length;
        EXPECT_EQ(HexOf(d384, 48), whole.sha384) << length;
        EXPECT_EQ(HexOf(d512, 64), whole.sha512) << length;
    }
}

TEST(Aes256, Fips197KnownAnswers) {
    const std::tuple<std::string, std::string, std::string> cases[] = {
        // Appendix C.3.
        {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f", "00112233445566778899aabbccddeeff",
         "8ea2b7ca516745bfeafc49904b496089"},
        // The first ECB vector of SP 800-38A for AES-256.
        {"603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4", "6bc1bee22e409f96e93d7e117393172a",
         "f3eed1bdb5d2a03c064b5a7e3db181f8"},
    };
    for (const auto& [key, plain, cipher] : cases) {
        AesRoundKeys keys;
        AesExpandKey(keys, Hex(key).data(), 32);
        EXPECT_EQ(keys.rounds, 14);
        std::vector<uint8_t> block = Hex(plain);
        AesEncryptBlock(block.data(), keys);
        EXPECT_EQ(HexOf(block.data(), 16), cipher);
        AesDecryptBlock(block.data(), keys);
        EXPECT_EQ(HexOf(block.data(), 16), plain);
    }
    // The last four words of the key expansion in FIPS-197 appendix A.3.
    AesRoundKeys keys;
    AesExpandKey(keys, Hex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4").data(), 32);
    EXPECT_EQ(HexOf(keys.bytes + 224, 16), "fe4890d1e6188d0b046df344706c631e");
}

// Encryption dictionaries qpdf wrote, with the file key it reports.
struct Dictionary {
    int R;
    std::string user, owner;
    std::string O, U, OE, UE, Perms;
    int32_t P;
    std::string key;
};

const Dictionary kDictionaries[] = {
    {6, "user", "owner",
     "65e39e210ee93af7087dbf37e14855e477b1253286d3204e27346075f87d149eb9bd6df2db5844b041cf3285b080030c",
     "a122dc09a5c71f6d01196f31abb1c0ceee3a61e9417e976baaaaa50234151b89ec3be580bb59e8769a00d47fca079bb1",
     "64a5002f0559854b10186dbb3231d3698695b8e9318e45379a6081f03420be4a",
     "b4cd2425596551289befcdffb2ccf83e0fe06ebce9c26fcf9c389510c023d8b9", "e2708a02ced1768532cbb3dc0aa67db6", -4,
     "dfeac72dfa94b8bc1a00210d5c1483d180aeb767640ac3f51323210cc9991e57"},
    {5, "user", "owner",
     "78c5edc3c578df146ef45e2ad788625fec204252cdf509ba359820dbee2da37c9d24da205515668e3add9ee5eb531b7c",
     "a0b74641185c3eaf372f4f7da4cf1be58e95d2a0e45cf4cfd35356b752a40e6180beb15091e78f4e69d7554d26dada3b",
     "cb62c0138b606fd793daa3acb4f2bae48fa47725f87d2132a8ab474e5bd92148",
     "b15a1758db9aaa99d024c58906aec81c0df08fcdf6a08eebbcfd902513e3f116", "1d1fbdb7b58496c1963440c4c6d1a3b6", -4,
     "e753e54f692267da4f10093052406584d56129d7c5a493d82715a8a120f4b219"},
    {6, "gr\xc3\xbc\xc3\x9f" "e", "\xce\xa9mega\xe5\xaf\x86\xe7\xa0\x81",
     "74081fcaa043f213cbf21b2ee63522ba31bfba9a3d7a7143254a2fa15b650a1121106c953022d42ad836ae8149b2798f",
     "320512ab0db0c7f318225731fd71914d29dcdb9fcd700ebed8cf4051f0c5303a50cf76adae82768fa06c2cd30c752fa1",
     "dd7e1258b41fa76b7628749b6b743c58c1c09aeb848cd5c91e2cafb2a07af246",
     "8544bea855d3f28ed5d501e2c9500ae26b0e4fc3e45794dbf9ad7669683559e4", "95d7f6a45f0e165d92f171b364f44b3f", -1324,
     "f6d3cb1f6fc161b8f45c114d19a04de7325cdfc137c64316752ad13348d43863"},
};

TEST(Aes256Passwords, BothPasswordsGiveTheFileKeyAndNothingElseDoes) {
    for (const Dictionary& d : kDictionaries) {
        SCOPED_TRACE("R " + std::to_string(d.R) + " " + d.user);
        const std::vector<uint8_t> o = Hex(d.O), u = Hex(d.U), oe = Hex(d.OE), ue = Hex(d.UE), perms = Hex(d.Perms);
        Aes256KeyInputs in;
        in.R = d.R;
        in.owner = o.data();
        in.user = u.data();
        in.ownerKey = oe.data();
        in.userKey = ue.data();
        uint8_t key[32] = {};
        ASSERT_TRUE(CheckUserPassword256(in, U8(d.user), d.user.size(), key));
        EXPECT_EQ(HexOf(key, 32), d.key);
        EXPECT_TRUE(PermsMatch(perms.data(), key, d.P, true));
        std::memset(key, 0, sizeof key);
        ASSERT_TRUE(CheckOwnerPassword256(in, U8(d.owner), d.owner.size(), key));
        EXPECT_EQ(HexOf(key, 32), d.key);
        // Each password is only what it is; a near miss, the empty password
        // and the other revision's hash open nothing.
        for (const std::string& wrong : {d.owner, d.user + "x", d.user.substr(1), std::string()})
            EXPECT_FALSE(CheckUserPassword256(in, U8(wrong), wrong.size(), key)) << wrong;
        EXPECT_FALSE(CheckOwnerPassword256(in, U8(d.user), d.user.size(), key));
        Aes256KeyInputs other = in;
        other.R = d.R == 6 ? 5 : 6;
        EXPECT_FALSE(CheckUserPassword256(other, U8(d.user), d.user.size(), key));
        // /Perms binds /P and /EncryptMetadata to the key.
        uint8_t right[32];
        CheckUserPassword256(in, U8(d.user), d.user.size(), right);
        EXPECT_FALSE(PermsMatch(perms.data(), right, d.P ^ 8, true));
        EXPECT_FALSE(PermsMatch(perms.data(), right, d.P, false));
    }
}

TEST(Aes256Passwords, CandidatesArePreparedFirstThenAsTyped) {
    using V = std::vector<std::string>;
    EXPECT_EQ(PasswordCandidates256("user"), V{"user"});
    EXPECT_EQ(PasswordCandidates256(""), V{""});
    EXPECT_EQ(PasswordCandidates256("e\xCC\x81"), (V{"\xC3\xA9", "e\xCC\x81"}));
    EXPECT_EQ(PasswordCandidates256("a\x07"), V{"a\x07"});  // refused by the preparation: as typed
    const std::string longer = std::string(126, 'x') + "\xC3\xA9";
    EXPECT_EQ(PasswordCandidates256(longer), V{longer.substr(0, 127)});
}

TEST(Aes256Passwords, PasswordsAreCutTo127Bytes) {
    const std::string longer(200, 'p');
    uint8_t a[32], b[32];
    const uint8_t salt[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    for (int R : {5, 6}) {
        PasswordHash(R, U8(longer), longer.size(), salt, nullptr, a);
        PasswordHash(R, U8(longer), 127, salt, nullptr, b);
        EXPECT_EQ(HexOf(a, 32), HexOf(b, 32));
        PasswordHash(R, U8(longer), 126, salt, nullptr, b);
        EXPECT_NE(HexOf(a, 32), HexOf(b, 32));
    }
}

}  // namespace
}  // namespace brisel
