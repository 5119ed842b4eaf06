// Where the objects of a page file go: straight into the file, or, for an
// encrypted input, through the encryption one object at a time, so that the
// file is encrypted as it is assembled. The writing stages hand it plain
// object texts; encryption happens here and nowhere else.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/job.h"
#include "base/warnings.h"
#include "docstruct/document.h"
#include "pagewriter/closure.h"
#include "pagewriter/page_encryption.h"
#include "pagewriter/page_spans.h"
#include "pagewriter/stream_compress.h"
#include "pdfread/stream_length.h"

namespace brisel {

class ObjectSink {
public:
    // With spans, the data of streams larger than the job's LargeStreamBytes
    // goes there instead of into out.
    ObjectSink(Job& job, const Document& doc, std::string& out, PageEncryption* encryption,
               PageSpans* spans = nullptr)
        : job_(job), doc_(doc), out_(out), encryption_(encryption), spans_(spans),
          largeStream_(job.app.LargeStreamBytes) {}

    bool encrypted() const { return encryption_ != nullptr; }
    PageEncryption* encryption() const { return encryption_; }
    std::string& out() { return out_; }
    // Where the next byte appended to out goes in the file.
    size_t offset() const { return out_.size() + static_cast<size_t>(spans_ ? spans_->bytes : 0); }

    // Starts object number at the end of the file: its plain text goes into
    // the string returned, then End(number).
    std::string& Begin(int32_t number);
    // The text of the object begun last.
    std::string& Pending() { return encryption_ ? scratch_ : out_; }
    // The object's text is complete: encrypted into the file when it must be.
    bool End(int32_t number);
    // Entry `index` of the closure as its own object.
    bool WriteClosureObject(const PageClosure& closure, size_t index);
    // Starts an object whose bytes the caller appends itself (the encryption
    // dictionary, which is never encrypted).
    void Mark(int32_t number);

    // What writing met: streams mended or left out, content not read.
    const WarningList& found() const { return found_; }
    void Note(WarningKind kind, int32_t number = -1) { found_.Add(kind, number); }

    // Why the object written last failed (encrypting it).
    const Failure& failure() const { return failure_; }

    // Offsets by object number (0 for a number not written).
    const std::vector<size_t>& offsets() const { return offsets_; }

private:
    // Where the data of a stream entry starts and its true length: the
    // stated /Length when "endstream" follows it, else (mended true) the
    // bytes up to the first "endstream". -1 when the data has no end.
    int64_t MeasureStream(const PageClosure::Entry& e, Cursor& data, LengthText& lengthText, bool& mended);
    // The stream's dictionary and keyword, up to dictEnd, with /Length
    // written as length when replace is set, and a Flate filter added when
    // flate is set.
    void AppendStreamDictionary(const PageClosure& closure, size_t index, const LengthText& lengthText,
                                Cursor dictEnd, bool replace, int64_t length, bool flate, std::string& text);
    bool WriteEncryptedStream(const PageClosure& closure, size_t index, Cursor data, int64_t length,
                              const LengthText& lengthText, bool mended, bool flate);
    // Whether the stream is a metadata stream that stays plain.
    bool PlainMetadata(const PageClosure::Entry& e) const;
    // Whether the stream's data goes into the file as a span.
    bool Large(int64_t length) const { return spans_ && static_cast<uint64_t>(length) > largeStream_; }
    void AddSpan(Cursor data, int64_t length, uint64_t size, std::unique_ptr<SpanCoder> coder);
    bool WriteLargeStream(const PageClosure& closure, size_t index, Cursor data, int64_t length,
                          const LengthText& lengthText, bool mended);

    Job& job_;
    Failure failure_;
    const Document& doc_;
    std::string& out_;
    PageEncryption* encryption_;
    PageSpans* spans_;
    uint64_t largeStream_;
    std::string scratch_;
    StreamCompressor compressor_;
    std::string packed_;
    std::vector<size_t> offsets_;
    WarningList found_;
};

}  // namespace brisel
