#include "security/recode_object.h"

#include <new>
#include <vector>

#include "security/crypt_buffer.h"
#include "security/recode_strings.h"

namespace brisel {

namespace {

void Append(std::string& out, Cursor from, Cursor to) {
    out.append(reinterpret_cast<const char*>(from), static_cast<size_t>(to - from));
}

}  // namespace

RecodeContext::RecodeContext(Job& j, const ReaderRecord& record, Cursor imageStart, Cursor imageEnd,
                             bool encrypting)
    : job(j),
      reader(record),
      start(imageStart),
      end(imageEnd),
      encrypt(encrypting),
      strings(StringCrypt(record.security)),
      streams(StreamCrypt(record.security)),
      plainMetadata(record.security.R >= 4 && record.security.EncryptMetadata == 0) {}

int RecodeObject(RecodeContext& context, int32_t number, int32_t generation, Cursor body, std::string& out,
                 int& kind) {
    const ObjectScan scan = ScanObject(body, context.end, context.resolveLength);
    kind = scan.kind;
    if (scan.kind < 0) return kRecodeScanFailed;
    if (scan.kind == kXrefStreamObject) {
        Append(out, body, scan.stop);
        out += "endobj\n";
        return 0;
    }

    const uint8_t* fileKey = context.reader.security.FileKey;
    uint8_t stringKey[kMaxObjectKey];
    const size_t stringKeyLength = ObjectKey(number, generation, fileKey, context.strings, stringKey);
    auto strings = [&](Cursor from, Cursor to) {
        return RecodeStrings(from, to, out, stringKey, stringKeyLength, context.strings.codec, context.encrypt);
    };

    if (scan.kind == kPlainObject) {
        if (strings(body, scan.stop) != 0) return kRecodeStringsFailed;
        out += "endobj\n";
        return 0;
    }

    // A stream: recode the data first, so that the dictionary is written
    // with the length the data ends up with.
    const Cursor data = scan.stop;
    if (scan.length > context.end - data) return kRecodeStreamFailed;
    const size_t length = static_cast<size_t>(scan.length);
    const int codec = context.plainMetadata && scan.metadata ? -1 : context.streams.codec;
    std::vector<uint8_t> coded;
    const uint8_t* newData = data;
    size_t newLength = length;
    if (codec >= 0) {
        uint8_t key[kMaxObjectKey];
        const size_t keyLength = ObjectKey(number, generation, fileKey, context.streams, key);
        coded.resize(CryptRoom(length, codec, context.encrypt));
        const uint8_t* source = data;
        const Result<int64_t> written = CryptBuffer(source, length, coded.data(), key, keyLength, codec, context.encrypt);
        if (!written) return kRecodeStreamFailed;
        newData = coded.data();
        newLength = static_cast<size_t>(*written);
    }

    if (!scan.lengthIndirect || newLength != length) {
        if (strings(body, scan.lengthText) != 0) return kRecodeLengthTextFailed;
        out += std::to_string(newLength);
        if (strings(scan.lengthTextEnd, data) != 0) return kRecodeAfterLengthFailed;
    } else if (strings(body, data) != 0) {
        return kRecodeStreamDictFailed;
    }
    Append(out, newData, newData + newLength);
    if (out.back() != '\n' && out.back() != '\r') out += '\n';
    out += "endstream\nendobj\n";
    return 0;
}

}  // namespace brisel
