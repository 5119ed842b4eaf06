#include "security/encrypted_output.h"

#include "security/crypt_buffer.h"
#include "security/output_dictionary.h"
#include "security/recode_image.h"
#include "security/recode_object.h"
#include "security/recode_strings.h"

namespace brisel {

int EncryptPageImage(Job& job, const ReaderRecord& reader, Block& image) {
    // The page image names its own catalog and information dictionary.
    ReaderRecord page;
    const Failure failure = RecodeDocument(job, reader, image, kEncrypt, page);
    if (!failure) return 0;
    // Nothing plain may be saved in place of the encrypted page.
    image.Release();
    return failure.code < 0 ? failure.code : kRecodeNoDetail;
}

InputKeyEncryption::InputKeyEncryption(const ReaderRecord& reader)
    : reader_(reader),
      strings_(StringCrypt(reader.security)),
      streams_(StreamCrypt(reader.security)),
      plainMetadata_(reader.security.R >= 4 && reader.security.EncryptMetadata == 0) {}

int InputKeyEncryption::AppendText(Job& /*job*/, int32_t number, const std::string& text, std::string& out) {
    uint8_t key[kMaxObjectKey];
    const size_t keyLength = ObjectKey(number, 0, reader_.security.FileKey, strings_, key);
    const Cursor from = reinterpret_cast<Cursor>(text.data());
    if (RecodeStrings(from, from + text.size(), out, key, keyLength, strings_.codec, true) != 0)
        return kRecodeStringsFailed;
    return 0;
}

int InputKeyEncryption::EncryptStreamData(Job& /*job*/, int32_t number, const uint8_t* data, size_t length,
                                          bool metadata, std::vector<uint8_t>& out) {
    const int codec = plainMetadata_ && metadata ? -1 : streams_.codec;
    if (codec < 0) {
        out.assign(data, data + length);
        return 0;
    }
    uint8_t key[kMaxObjectKey];
    const size_t keyLength = ObjectKey(number, 0, reader_.security.FileKey, streams_, key);
    out.resize(CryptRoom(length, codec, true));
    const uint8_t* source = data;
    const Result<int64_t> written = CryptBuffer(source, length, out.data(), key, keyLength, codec, true);
    if (!written) return kRecodeStreamFailed;
    out.resize(static_cast<size_t>(*written));
    return 0;
}

void InputKeyEncryption::AppendDictionary(int32_t number, std::string& out) {
    AppendEncryptDictionary(reader_.security, number, out);
}

void InputKeyEncryption::AppendFileId(std::string& out) { brisel::AppendFileId(reader_, out); }

}  // namespace brisel
