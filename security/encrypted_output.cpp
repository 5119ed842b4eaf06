#include "security/encrypted_output.h"

#include <cstring>

#include "security/aes.h"
#include "security/crypt_buffer.h"
#include "security/output_dictionary.h"
#include "security/recode_image.h"
#include "security/recode_object.h"
#include "security/recode_strings.h"
#include "security/rc4.h"

namespace brisel {

namespace {

// RC4 goes on from piece to piece with its state.
class Rc4Coder : public SpanCoder {
public:
    Rc4Coder(const uint8_t* key, size_t keyLength) { Rc4SetKey(state_, key, keyLength); }
    size_t Code(const uint8_t* in, size_t length, uint8_t* out) override {
        Rc4Crypt(state_, out, in, length);
        return length;
    }
    size_t Close(uint8_t*) override { return 0; }

private:
    Rc4State state_;
};

// AES-CBC: the initialisation vector first, then each whole block chained
// to the one before; the bytes short of a block wait for the next piece,
// and the last block takes the padding.
class AesCoder : public SpanCoder {
public:
    AesCoder(const uint8_t* key, size_t keyLength, const uint8_t vector[16]) {
        AesExpandKey(keys_, key, keyLength);
        std::memcpy(previous_, vector, 16);
    }
    size_t Code(const uint8_t* in, size_t length, uint8_t* out) override {
        size_t written = Start(out);
        for (size_t k = 0; k < length; ++k) {
            pending_[held_++] = in[k];
            if (held_ == 16) written += Block(out + written);
        }
        return written;
    }
    size_t Close(uint8_t* out) override {
        size_t written = Start(out);
        const uint8_t pad = static_cast<uint8_t>(16 - held_);
        while (held_ < 16) pending_[held_++] = pad;
        return written + Block(out + written);
    }

private:
    size_t Start(uint8_t* out) {
        if (started_) return 0;
        started_ = true;
        std::memcpy(out, previous_, 16);
        return 16;
    }
    size_t Block(uint8_t* out) {
        for (size_t j = 0; j < 16; ++j) out[j] = pending_[j] ^ previous_[j];
        AesEncryptBlock(out, keys_);
        std::memcpy(previous_, out, 16);
        held_ = 0;
        return 16;
    }
    AesRoundKeys keys_;
    uint8_t previous_[16];
    uint8_t pending_[16];
    size_t held_ = 0;
    bool started_ = false;
};

}  // namespace

std::unique_ptr<SpanCoder> MakeSpanCoder(int method, const uint8_t* key, size_t keyLength,
                                         const uint8_t vector[16]) {
    if (method == kCryptRc4) return std::make_unique<Rc4Coder>(key, keyLength);
    return std::make_unique<AesCoder>(key, keyLength, vector);
}

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

Failure InputKeyEncryption::AppendText(int32_t number, const std::string& text, std::string& out) {
    uint8_t key[kMaxObjectKey];
    const size_t keyLength = ObjectKey(number, 0, reader_.security.FileKey, strings_, key);
    const Cursor from = reinterpret_cast<Cursor>(text.data());
    if (RecodeStrings(from, from + text.size(), out, key, keyLength, strings_.codec, true) != 0)
        return Failure(kRecodeStringsFailed);
    return {};
}

Failure InputKeyEncryption::EncryptStreamData(int32_t number, const uint8_t* data, size_t length, bool metadata,
                                              std::vector<uint8_t>& out) {
    const int codec = plainMetadata_ && metadata ? -1 : streams_.codec;
    if (codec < 0) {
        out.assign(data, data + length);
        return {};
    }
    uint8_t key[kMaxObjectKey];
    const size_t keyLength = ObjectKey(number, 0, reader_.security.FileKey, streams_, key);
    out.resize(CryptRoom(length, codec, true));
    const uint8_t* source = data;
    const Result<int64_t> written = CryptBuffer(source, length, out.data(), key, keyLength, codec, true);
    if (!written) return Failure(kRecodeStreamFailed);
    out.resize(static_cast<size_t>(*written));
    return {};
}

Failure InputKeyEncryption::StartStreamData(int32_t number, uint64_t length, bool metadata,
                                            std::unique_ptr<SpanCoder>& coder, uint64_t& size) {
    const int codec = plainMetadata_ && metadata ? -1 : streams_.codec;
    coder.reset();
    size = length;
    if (codec < 0) return {};
    uint8_t key[kMaxObjectKey];
    const size_t keyLength = ObjectKey(number, 0, reader_.security.FileKey, streams_, key);
    uint8_t vector[16] = {};
    if (codec == kCryptRc4) {
        if (keyLength == 0) return Failure(kRecodeStreamFailed);
    } else if ((codec != kCryptAes && codec != kCryptAes256) || keyLength != (codec == kCryptAes ? 16u : 32u) ||
               UniqueDigest("", 0, {}, vector) != 0) {
        return Failure(kRecodeStreamFailed);
    } else {
        size = 16 + (length / 16 + 1) * 16;
    }
    coder = MakeSpanCoder(codec, key, keyLength, vector);
    return {};
}

void InputKeyEncryption::AppendDictionary(int32_t number, std::string& out) {
    AppendEncryptDictionary(reader_.security, number, out);
}

void InputKeyEncryption::AppendFileId(std::string& out) { brisel::AppendFileId(reader_, out); }

}  // namespace brisel
