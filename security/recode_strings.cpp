#include "security/recode_strings.h"

#include <cstring>
#include <new>
#include <vector>

#include "security/crypt_buffer.h"

namespace brisel {

namespace {

// Decodes the string at cur ("(" or "<"), runs the codec and writes it back.
int RecodeOneString(Cursor& cur, Cursor stop, std::string& out, const uint8_t* key, size_t keyLength,
                    int codec, bool encrypt) {
    const bool literal = *cur == '(';
    // The decoded string is never longer than its text.
    Cursor close = cur;
    if (literal ? !SkipLiteralString(close, stop)
                : !(close = static_cast<Cursor>(std::memchr(cur, '>', static_cast<size_t>(stop - cur)))))
        return kStringsUnclosed;
    std::vector<uint8_t> raw(static_cast<size_t>(close - cur) + 1);
    Cursor p = cur + 1;
    const int capacity = static_cast<int>(raw.size());
    int length = literal ? ReadLiteralString(p, stop, raw.data(), capacity) : ReadHexString(p, stop, raw.data(), capacity);
    if (length < 0) return kStringsUnclosed;
    std::vector<uint8_t> coded(CryptRoom(static_cast<size_t>(length), codec, encrypt));
    int64_t written = 0;
    // An empty string stays empty; a file may hold one unencrypted even
    // where AES is used.
    if (length > 0 || encrypt) {
        const uint8_t* source = raw.data();
        const Result<int64_t> coding =
            CryptBuffer(source, static_cast<size_t>(length), coded.data(), key, keyLength, codec, encrypt);
        if (!coding) return kStringsCodecFailed;
        written = *coding;
    }
    if (literal) {
        out += '(';
        AppendEscapedString(out, coded.data(), static_cast<size_t>(written));
        out += ')';
    } else {
        AppendHexString(out, coded.data(), static_cast<size_t>(written));
    }
    cur = p;
    return 0;
}

}  // namespace

void AppendHexString(std::string& out, const uint8_t* bytes, size_t length) {
    static const char kDigits[] = "0123456789ABCDEF";
    out += '<';
    for (size_t i = 0; i < length; ++i) {
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 15];
    }
    out += '>';
}

void AppendEscapedString(std::string& out, const uint8_t* bytes, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        const char c = static_cast<char>(bytes[i]);
        if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c == '(' || c == ')' || c == '\\') (out += '\\') += c;
        else out += c;
    }
}

int RecodeStrings(Cursor from, Cursor stop, std::string& out, const uint8_t* key, size_t keyLength,
                  int codec, bool encrypt) {
    try {
        if (codec < 0) {
            out.append(reinterpret_cast<const char*>(from), static_cast<size_t>(stop - from));
            return 0;
        }
        Cursor cur = from;
        while (cur < stop) {
            Cursor run = cur;
            const uint8_t c = *cur;
            if (c == '(' || (c == '<' && !(stop - cur >= 2 && cur[1] == '<'))) {
                if (int r = RecodeOneString(cur, stop, out, key, keyLength, codec, encrypt)) return r;
                continue;
            }
            if (c == '<' || c == '>') {
                cur += stop - cur >= 2 && cur[1] == c ? 2 : 1;
            } else if (c == '%') {
                while (cur < stop && !IsLineEnd(*cur)) ++cur;
            } else if (c == '/') {
                ++cur;
                while (cur < stop && !IsNumberTerminator(*cur)) ++cur;
            } else {
                ++cur;
                while (cur < stop && !IsNumberTerminator(*cur)) ++cur;
            }
            out.append(reinterpret_cast<const char*>(run), static_cast<size_t>(cur - run));
        }
        return 0;
    } catch (const std::bad_alloc&) {
        return kStringsNoMemory;
    }
}

}  // namespace brisel
