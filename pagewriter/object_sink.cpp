#include "pagewriter/object_sink.h"

#include "pagewriter/page_document.h"
#include "pdfread/stream_length.h"

#include <cstring>

namespace brisel {

void ObjectSink::Mark(int32_t number) {
    if (offsets_.size() <= static_cast<size_t>(number)) offsets_.resize(static_cast<size_t>(number) + 1, 0);
    offsets_[static_cast<size_t>(number)] = offset();
}

std::string& ObjectSink::Begin(int32_t number) {
    Mark(number);
    return encryption_ ? scratch_ : out_;
}

bool ObjectSink::End(int32_t number) {
    if (!encryption_) return true;
    failure_ = encryption_->AppendText(number, scratch_, out_);
    scratch_.clear();
    return !failure_;
}

int64_t ObjectSink::MeasureStream(const PageClosure::Entry& e, Cursor& data, LengthText& lengthText,
                                  bool& mended) {
    const Cursor end = doc_.end();
    data = e.streamKeywordEnd;
    while (data < end && (*data == ' ' || *data == '\t')) ++data;
    if (data < end && *data == '\r') ++data;
    if (data < end && *data == '\n') ++data;
    const int64_t stated = StreamLength(e.body, data, doc_.start(), end, doc_.table, &lengthText).value_or(-1);
    mended = false;
    if (stated >= 0 && stated <= end - data) {
        Cursor q = data + stated;
        if (SkipWhiteAndComments(q, end) && StartsWith(q, end, "endstream") && (q + 9 == end || IsDelimiter(q[9])))
            return stated;
    }
    // The stated length does not lead to "endstream": the data runs to the
    // first one, without the line end in front of it, as readers take it.
    Cursor found = FindEndstream(data, e.bodyEnd ? e.bodyEnd : end);
    if (!found) return -1;
    if (found > data && found[-1] == '\n') --found;
    if (found > data && found[-1] == '\r') --found;
    mended = true;
    return found - data;
}

void ObjectSink::AppendStreamDictionary(const PageClosure& closure, size_t index, const LengthText& lengthText,
                                        Cursor dictEnd, bool replace, int64_t length, bool flate, std::string& text) {
    const PageClosure::Entry& e = closure.entries()[index];
    const int i = static_cast<int>(index);
    if (!replace) {
        closure.CopyWithReferences(i, e.body, dictEnd, "null", text);
        return;
    }
    Cursor close = StartsWith(e.body, doc_.end(), "<<") ? FindDictEnd(e.body + 2, doc_.end()) : nullptr;
    if (!close || close > dictEnd) close = dictEnd;
    if (lengthText.from && lengthText.to) {
        closure.CopyWithReferences(i, e.body, lengthText.from, "null", text);
        text += std::to_string(length);
        closure.CopyWithReferences(i, lengthText.to, close, "null", text);
    } else {
        // No /Length at all: one goes in before the dictionary's end.
        closure.CopyWithReferences(i, e.body, close, "null", text);
        text += " /Length " + std::to_string(length) + " ";
    }
    if (flate) text += " /Filter /FlateDecode";
    closure.CopyWithReferences(i, close, dictEnd, "null", text);
}

bool ObjectSink::WriteClosureObject(const PageClosure& closure, size_t index) {
    const PageClosure::Entry& e = closure.entries()[index];
    Cursor data = nullptr;
    LengthText lengthText;
    bool mended = false;
    int64_t length = 0;
    if (e.bodyEnd && e.streamKeywordEnd) {
        length = MeasureStream(e, data, lengthText, mended);
        // Data without its end: the page file is written without it and
        // reported incomplete.
        if (length < 0) found_.Add(WarningKind::MissingObject, e.number, e.body - doc_.start());
        else if (mended) found_.Add(WarningKind::MendedStream, e.number, e.body - doc_.start());
    }
    if (!e.bodyEnd || length < 0) {
        // An object whose end a failed walk never reached.
        Begin(e.newNumber) += std::to_string(e.newNumber) + " 0 obj\nnull\nendobj\n";
        return End(e.newNumber);
    }
    if (e.streamKeywordEnd && Large(length)) return WriteLargeStream(closure, index, data, length, lengthText, mended);
    // Data the input left plain goes in compressed, when that pays.
    const bool flate = e.streamKeywordEnd && job_.app.CompressStreams && MayCompress(e.body, e.streamKeywordEnd) &&
                       compressor_.Compress(data, static_cast<size_t>(length), packed_);
    if (flate) {
        data = reinterpret_cast<Cursor>(packed_.data());
        length = static_cast<int64_t>(packed_.size());
    }
    if (encryption_ && e.streamKeywordEnd)
        return WriteEncryptedStream(closure, index, data, length, lengthText, mended, flate);
    std::string& text = Begin(e.newNumber);
    text += std::to_string(e.newNumber) + " 0 obj\n";
    if (mended || flate) {
        // Written with its true length: the stated one would make readers
        // search for the end of the data.
        AppendStreamDictionary(closure, index, lengthText, e.streamKeywordEnd, true, length, flate, text);
        text += "\n";
        text.append(reinterpret_cast<const char*>(data), static_cast<size_t>(length));
        text += "\nendstream\nendobj\n";
        return End(e.newNumber);
    }
    closure.CopyWithReferences(static_cast<int>(index), e.body, e.bodyEnd, "null", text);
    text += "endobj\n";
    return End(e.newNumber);
}

bool ObjectSink::PlainMetadata(const PageClosure::Entry& e) const {
    const Cursor end = doc_.end();
    if (!encryption_->KeepsMetadataPlain() || !StartsWith(e.body, end, "<<")) return false;
    Cursor close = FindDictEnd(e.body + 2, end);
    return close && IsMetadata(e.body, close);
}

// A stream object of the closure, encrypted: its dictionary with the length
// the encrypted data has, the data, and "endstream".
bool ObjectSink::WriteEncryptedStream(const PageClosure& closure, size_t index, Cursor data, int64_t length,
                                      const LengthText& lengthText, bool mended, bool flate) {
    const PageClosure::Entry& e = closure.entries()[index];
    const bool metadata = PlainMetadata(e);
    std::vector<uint8_t> coded;
    failure_ = encryption_->EncryptStreamData(e.newNumber, data, static_cast<size_t>(length), metadata, coded);
    if (failure_) return false;
    std::string& text = Begin(e.newNumber);
    text += std::to_string(e.newNumber) + " 0 obj\n";
    const bool replace = mended || flate || !lengthText.indirect || coded.size() != static_cast<size_t>(length);
    AppendStreamDictionary(closure, index, lengthText, flate ? e.streamKeywordEnd : data, replace,
                           static_cast<int64_t>(coded.size()), flate, text);
    if (flate) text += "\n";
    if (!End(e.newNumber)) return false;
    out_.append(reinterpret_cast<const char*>(coded.data()), coded.size());
    if (out_.back() != '\n' && out_.back() != '\r') out_ += '\n';
    out_ += "endstream\nendobj\n";
    return true;
}

void ObjectSink::AddSpan(Cursor data, int64_t length, uint64_t size, std::unique_ptr<SpanCoder> coder) {
    StreamSpan span;
    span.at = out_.size();
    span.data = data;
    span.length = static_cast<uint64_t>(length);
    span.size = size;
    span.coder = std::move(coder);
    spans_->bytes += size;
    spans_->spans.push_back(std::move(span));
}

// A stream too large to copy into memory: its dictionary and keyword in the
// text, its data a span of the input (encrypted on its way into the file for
// an encrypted input), then the rest of the object. A plain stream's bytes
// are those of the copy made of a small one.
bool ObjectSink::WriteLargeStream(const PageClosure& closure, size_t index, Cursor data, int64_t length,
                                  const LengthText& lengthText, bool mended) {
    const PageClosure::Entry& e = closure.entries()[index];
    const int i = static_cast<int>(index);
    if (!encryption_) {
        std::string& text = Begin(e.newNumber);
        text += std::to_string(e.newNumber) + " 0 obj\n";
        if (mended) {
            AppendStreamDictionary(closure, index, lengthText, e.streamKeywordEnd, true, length, false, text);
            text += "\n";
            AddSpan(data, length, static_cast<uint64_t>(length), nullptr);
            text += "\nendstream\nendobj\n";
        } else {
            closure.CopyWithReferences(i, e.body, data, "null", text);
            AddSpan(data, length, static_cast<uint64_t>(length), nullptr);
            closure.CopyWithReferences(i, data + length, e.bodyEnd, "null", text);
            text += "endobj\n";
        }
        return End(e.newNumber);
    }
    std::unique_ptr<SpanCoder> coder;
    uint64_t size = 0;
    failure_ = encryption_->StartStreamData(e.newNumber, static_cast<uint64_t>(length), PlainMetadata(e), coder, size);
    if (failure_) return false;
    std::string& text = Begin(e.newNumber);
    text += std::to_string(e.newNumber) + " 0 obj\n";
    const bool replace = mended || !lengthText.indirect || size != static_cast<uint64_t>(length);
    AppendStreamDictionary(closure, index, lengthText, data, replace, static_cast<int64_t>(size), false, text);
    if (!End(e.newNumber)) return false;
    AddSpan(data, length, size, std::move(coder));
    // The data's last byte is not known until it is written: a line end
    // always goes before "endstream".
    out_ += "\nendstream\nendobj\n";
    return true;
}

}  // namespace brisel
