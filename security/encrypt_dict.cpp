#include "security/encrypt_dict.h"


#include <algorithm>
#include <cstring>
#include <string>

namespace brisel {

namespace {

// A signed decimal value after a key; writers put /P both as -3904 and as
// its unsigned twin 4294963392, which wraps to the same 32 bits.
bool ReadSignedValue(Cursor cur, Cursor end, int64_t& value) {
    if (!SkipWhiteAndComments(cur, end)) return false;
    bool negative = false;
    if (*cur == '-' || *cur == '+') negative = *cur++ == '-';
    if (cur >= end || !IsDigit(*cur)) return false;
    uint64_t v = 0;
    for (; cur < end && IsDigit(*cur); ++cur) v = v < (1ull << 40) ? v * 10 + (*cur - '0') : v;
    value = negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
    return true;
}

// Results of ReadNameValue besides 0.
enum NameValueResult : int { kNotName = -1, kNameUnended = -2 };

// A name value after a key, without its slash, up to the next delimiter.
int ReadNameValue(Cursor cur, Cursor end, Cursor& name, size_t& length) {
    if (!SkipWhiteAndComments(cur, end)) return kNameUnended;
    if (*cur != '/') return kNotName;
    name = ++cur;
    while (cur < end && !IsNumberTerminator(*cur)) ++cur;
    if (cur >= end) return kNameUnended;
    length = static_cast<size_t>(cur - name);
    return 0;
}

// /U, /O, /OE, /UE or /Perms: a literal or hexadecimal string of at most
// limit bytes. A missing optional key leaves length 0.
Failure ReadPasswordString(const char* key, Cursor dict, Cursor dictEnd, Cursor end, uint8_t* out, int32_t& length,
                           int32_t limit, bool required = true) {
    Cursor at = FindKey(key, dict, dictEnd);
    if (!at) {
        length = 0;
        return required ? Failure(kEncryptKeyMissing) : Failure();
    }
    Cursor cur = at + std::strlen(key);
    if (!SkipWhiteAndComments(cur, end)) return Failure(kEncryptPastEnd);
    length = 0;
    if (*cur == '(') {
        ++cur;
        length = ReadLiteralString(cur, end, out, limit);
    } else if (*cur == '<') {
        ++cur;
        length = ReadHexString(cur, end, out, limit);
    }
    return Failure();
}

bool ReadIntValue(const char* key, Cursor dict, Cursor dictEnd, int64_t& value) {
    Cursor at = FindKey(key, dict, dictEnd);
    return at && ReadSignedValue(at + std::strlen(key), dictEnd, value);
}

// A crypt filter named by /StmF, /StrF or /EFF.
struct FilterFields {
    int32_t& method;
    int32_t& authEvent;
    int32_t& keyLength;
};

Failure ReadCryptFilter(const std::string& name, Cursor cf, Cursor cfEnd, Cursor end, FilterFields fields) {
    Cursor at = FindKey(name.c_str(), cf, cfEnd);
    if (!at) return Failure();
    Cursor cur = at + name.size();
    if (!SkipWhiteAndComments(cur, end) || !StartsWith(cur, end, "<<")) return Failure(kEncryptNotClosed);
    Cursor filter = cur + 2;
    Cursor filterEnd = FindDictEnd(filter, end);
    if (!filterEnd) return Failure(kEncryptNotClosed);

    fields.authEvent = 0;
    if (Cursor key = FindKey("/AuthEvent", filter, filterEnd)) {
        Cursor v = key + 10;
        if (SkipWhiteAndComments(v, filterEnd) && StartsWith(v, filterEnd, "/EFOpen")) fields.authEvent = 1;
    }
    fields.method = 0;
    if (Cursor key = FindKey("/CFM", filter, filterEnd)) {
        Cursor v = key + 4;
        if (SkipWhiteAndComments(v, filterEnd)) {
            if (StartsWith(v, filterEnd, "/None")) fields.method = 0;
            else if (StartsWith(v, filterEnd, "/V2")) fields.method = 1;
            else if (StartsWith(v, filterEnd, "/AESV2")) fields.method = 2;
            else if (StartsWith(v, filterEnd, "/AESV3")) fields.method = 3;
        }
    }
    // The key length in bytes: AES keys have one length whatever /Length
    // says; an RC4 /Length is in bits from 40 on, and below that some
    // writers give it in bytes. 0 when the filter gives none.
    fields.keyLength = 0;
    if (fields.method == 2) {
        fields.keyLength = 16;
    } else if (fields.method == 3) {
        fields.keyLength = 32;
    } else if (Cursor key = FindKey("/Length", filter, filterEnd)) {
        Cursor v = key + 7;
        int32_t length = ReadInt(v, filterEnd).value_or(-1);
        if (length >= 40) fields.keyLength = std::min(length / 8, 16);
        else if (length >= 5) fields.keyLength = std::min(length, 16);
    }
    return Failure();
}

}  // namespace

Failure ReadEncryptDictionary(Cursor cursor, Cursor end, SecurityState& s) {
    s.FilterName[0] = 0;
    s.V = s.R = 0;
    s.OwnerLength = s.UserLength = 0;
    s.Permissions = 0;
    s.KeyLength = 0;
    s.OwnerKeyLength = s.UserKeyLength = s.PermsLength = 0;

    if (!StartsWith(cursor, end, "<<")) return Failure(kEncryptNotDict);
    Cursor dict = cursor + 2;
    Cursor dictEnd = FindDictEnd(dict, end);
    if (!dictEnd) return Failure(kEncryptNotClosed);

    // Up to revision 4 /O and /U hold 32 bytes; from revision 5 on 48 and
    // more, with the wrapped keys and the sealed permissions beside them.
    int64_t value = 0;
    const bool aes256 = ReadIntValue("/R", dict, dictEnd, value) && value >= 5;
    const int32_t limit = aes256 ? static_cast<int32_t>(sizeof s.User) - 1 : 32;
    if (Failure f = ReadPasswordString("/U", dict, dictEnd, end, s.User, s.UserLength, limit)) return f;
    if (Failure f = ReadPasswordString("/O", dict, dictEnd, end, s.Owner, s.OwnerLength, limit)) return f;
    if (aes256) {
        if (Failure f = ReadPasswordString("/UE", dict, dictEnd, end, s.UserKey, s.UserKeyLength, 32, false))
            return f;
        if (Failure f = ReadPasswordString("/OE", dict, dictEnd, end, s.OwnerKey, s.OwnerKeyLength, 32, false))
            return f;
        if (Failure f = ReadPasswordString("/Perms", dict, dictEnd, end, s.Perms, s.PermsLength, 16, false))
            return f;
    }

    Cursor key = FindKey("/Filter", dict, dictEnd);
    if (!key) return Failure(kEncryptKeyMissing);
    Cursor name;
    size_t length = 0;
    int nameResult = ReadNameValue(key + 7, end, name, length);
    if (nameResult == kNotName) return Failure(kEncryptFilterNotName);
    if (nameResult == kNameUnended) return Failure(kEncryptPastEnd);
    // A name too long for the field is never "Standard": store nothing.
    if (length < sizeof s.FilterName) {
        std::memcpy(s.FilterName, name, length);
        s.FilterName[length] = 0;
    }

    if (ReadIntValue("/V", dict, dictEnd, value)) s.V = static_cast<uint8_t>(value);
    if (!ReadIntValue("/R", dict, dictEnd, value)) return Failure(kEncryptKeyMissing);
    s.R = static_cast<uint8_t>(value);
    if (!ReadIntValue("/P", dict, dictEnd, value)) return Failure(kEncryptKeyMissing);
    s.Permissions = static_cast<int32_t>(static_cast<uint32_t>(value));
    if (ReadIntValue("/Length", dict, dictEnd, value)) s.KeyLength = static_cast<uint32_t>(value);

    s.EncryptMetadata = 1;
    if (Cursor k = FindKey("/EncryptMetadata", dict, dictEnd)) {
        Cursor v = k + 16;
        if (SkipWhiteAndComments(v, dictEnd) && dictEnd - v >= 5) {
            char word[6] = {};
            for (int i = 0; i < 5; ++i) word[i] = static_cast<char>(v[i] | 0x20);
            if (std::strcmp(word, "false") == 0) s.EncryptMetadata = 0;
        }
    }

    // Crypt filter names; a value that is not a name names no filter.
    std::string names[3];
    const char* keys[3] = {"/StmF", "/StrF", "/EFF"};
    for (int i = 0; i < 3; ++i) {
        Cursor k = FindKey(keys[i], dict, dictEnd);
        if (k && ReadNameValue(k + std::strlen(keys[i]), dictEnd, name, length) == 0 && length > 0)
            names[i].assign(reinterpret_cast<const char*>(name - 1), length + 1);  // with its slash
    }

    Cursor cfKey = FindKey("/CF", dict, dictEnd);
    if (cfKey) {
        Cursor cur = cfKey + 3;
        if (!SkipWhiteAndComments(cur, end) || !StartsWith(cur, end, "<<")) return Failure(kEncryptNotClosed);
        Cursor cf = cur + 2;
        Cursor cfEnd = FindDictEnd(cf, end);
        if (!cfEnd) return Failure(kEncryptNotClosed);
        FilterFields fields[3] = {{s.StreamMethod, s.StreamAuthEvent, s.StreamKeyLength},
                                  {s.StringMethod, s.StringAuthEvent, s.StringKeyLength},
                                  {s.EmbeddedMethod, s.EmbeddedAuthEvent, s.EmbeddedKeyLength}};
        for (int i = 0; i < 3; ++i)
            if (!names[i].empty())
                if (Failure f = ReadCryptFilter(names[i], cf, cfEnd, end, fields[i])) return f;
    }
    // A V4 file key is as long as its crypt filters' keys: the stream
    // filter's, else the string filter's, else the dictionary's /Length,
    // else 128 bits.
    if (s.V == 4) {
        const int32_t filterBytes = s.StreamMethod == 1 || s.StreamMethod == 2 ? s.StreamKeyLength
                                    : s.StringMethod == 1 || s.StringMethod == 2 ? s.StringKeyLength
                                                                                  : 0;
        if (filterBytes > 0) s.KeyLength = static_cast<uint32_t>(filterBytes) * 8;
        else if (s.KeyLength == 0) s.KeyLength = 128;
    }
    return Failure();
}

Result<int> ReadEncryptReference(Cursor start, Cursor end, const XrefTable& table, ReaderRecord& reader) {
    if (reader.encryptKey < 0 || reader.encryptKey > end - start - 8) return -1;
    SecurityState& s = reader.security;
    Cursor cur = start + reader.encryptKey + 8;
    Cursor value = cur;
    if (SkipWhiteAndComments(value, end) && StartsWith(value, end, "<<")) {
        // A direct dictionary: there is no object to drop later.
        s.EncryptNumber = s.EncryptGeneration = 0;
        if (Failure f = ReadEncryptDictionary(value, end, s)) return f;
        return 0;
    }
    int32_t number, generation;
    const PartFault fault = ReadReferenceValue(cur, end, number, generation);
    if (fault == PartFault::Number) return 1;
    s.EncryptNumber = number;
    if (fault == PartFault::Generation) return Failure(kEncryptNoNumber);
    s.EncryptGeneration = generation;
    if (fault == PartFault::End) return Failure(kEncryptEndInSpace);
    if (fault == PartFault::NoKeyword) return Failure(kEncryptNoR);
    const Result<Cursor> body = FindObject(table, start, end, number, generation);
    if (!body) return Failure(kEncryptObjectMissing, number, -1);
    if (Failure f = ReadEncryptDictionary(*body, end, s)) return f.At(number, *body - start);
    return 0;
}

Failure ReadEncryptObject(Cursor start, Cursor end, int64_t offset, SecurityState& s) {
    if (offset < 0 || offset >= end - start) return Failure(kEncryptNoNumber);
    Cursor cur = start + offset;
    int32_t number = 0, generation = 0;
    const PartFault fault = ReadObjectHeader(cur, end, number, generation);
    if (fault == PartFault::Number || fault == PartFault::Generation) return Failure(kEncryptNoNumber);
    if (fault == PartFault::End) return Failure(kEncryptEndInSpace);
    if (fault == PartFault::NoKeyword) return Failure(kEncryptNoObj);
    if (!SkipWhiteAndComments(cur, end)) return Failure(kEncryptEndInSpace);
    return ReadEncryptDictionary(cur, end, s);
}

}  // namespace brisel
