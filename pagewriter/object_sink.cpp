#include "pagewriter/object_sink.h"

#include "pagewriter/page_document.h"
#include "pdfread/stream_length.h"

namespace brisel {

void ObjectSink::Mark(int32_t number) {
    if (offsets_.size() <= static_cast<size_t>(number)) offsets_.resize(static_cast<size_t>(number) + 1, 0);
    offsets_[static_cast<size_t>(number)] = out_.size();
}

std::string& ObjectSink::Begin(int32_t number) {
    Mark(number);
    return encryption_ ? scratch_ : out_;
}

bool ObjectSink::End(int32_t number) {
    if (!encryption_) return true;
    const int r = encryption_->AppendText(job_, number, scratch_, out_);
    scratch_.clear();
    return r == 0;
}

bool ObjectSink::WriteClosureObject(const PageClosure& closure, size_t index) {
    const PageClosure::Entry& e = closure.entries()[index];
    if (!e.bodyEnd) {
        // An object whose end a failed walk never reached.
        Begin(e.newNumber) += std::to_string(e.newNumber) + " 0 obj\nnull\nendobj\n";
        return End(e.newNumber);
    }
    if (encryption_ && e.streamKeywordEnd) return WriteEncryptedStream(closure, index);
    std::string& text = Begin(e.newNumber);
    text += std::to_string(e.newNumber) + " 0 obj\n";
    closure.CopyWithReferences(static_cast<int>(index), e.body, e.bodyEnd, "null", text);
    text += "endobj\n";
    return End(e.newNumber);
}

// A stream object of the closure, encrypted: its dictionary with the length
// the encrypted data has, the data, and "endstream".
bool ObjectSink::WriteEncryptedStream(const PageClosure& closure, size_t index) {
    const PageClosure::Entry& e = closure.entries()[index];
    const Cursor end = doc_.end();
    Cursor data = e.streamKeywordEnd;
    if (data < end && *data == '\r') ++data;
    if (data < end && *data == '\n') ++data;
    LengthText lengthText;
    const int64_t length = StreamLength(job_, e.body, data, doc_.start(), end, doc_.table, &lengthText);
    job_.LastError = 0;
    if (length < 0 || length > end - data) return Fail(job_, kPageStreamLength, false);
    bool metadata = false;
    if (encryption_->KeepsMetadataPlain() && StartsWith(e.body, end, "<<")) {
        Cursor close = FindDictEnd(e.body + 2, end);
        Cursor type = close ? FindKey("/Type", e.body + 2, close) : nullptr;
        if (type) {
            Cursor v = type + 5;
            metadata = SkipWhiteAndComments(v, close) && StartsWith(v, close, "/Metadata") &&
                       (v + 9 == close || IsNumberTerminator(v[9]));
        }
    }
    std::vector<uint8_t> coded;
    if (encryption_->EncryptStreamData(job_, e.newNumber, data, static_cast<size_t>(length), metadata, coded) != 0)
        return false;
    std::string& text = Begin(e.newNumber);
    text += std::to_string(e.newNumber) + " 0 obj\n";
    const int i = static_cast<int>(index);
    if (!lengthText.indirect || coded.size() != static_cast<size_t>(length)) {
        closure.CopyWithReferences(i, e.body, lengthText.from, "null", text);
        text += std::to_string(coded.size());
        closure.CopyWithReferences(i, lengthText.to, data, "null", text);
    } else {
        closure.CopyWithReferences(i, e.body, data, "null", text);
    }
    if (!End(e.newNumber)) return false;
    out_.append(reinterpret_cast<const char*>(coded.data()), coded.size());
    if (out_.back() != '\n' && out_.back() != '\r') out_ += '\n';
    out_ += "endstream\nendobj\n";
    return true;
}

}  // namespace brisel
