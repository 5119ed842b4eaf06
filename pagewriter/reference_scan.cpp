#include "pagewriter/reference_scan.h"

#include <cstring>

#include "pdfread/stream_length.h"
#include "pdfread/token_stepper.h"

namespace brisel {

namespace {

// Steps over the data of a stream whose keyword ends at keywordEnd. The
// length from the dictionary is trusted when "endstream" follows it;
// otherwise the data is searched for "endstream" from its first byte. The
// position after "endstream", or null when there is none.
Cursor SkipStreamData(const void* context, Cursor keywordEnd, Cursor end) {
    const ScanContext& scan = *static_cast<const ScanContext*>(context);
    Cursor data = keywordEnd;
    while (data < end && (*data == ' ' || *data == '\t')) ++data;
    if (data < end && *data == '\r') ++data;
    if (data < end && *data == '\n') ++data;
    int64_t length = StreamLength(scan.body, data, scan.imageStart, scan.imageEnd, *scan.table).value_or(-1);
    if (length < 0) length = 0;
    Cursor found = nullptr;
    if (length <= end - data) {
        Cursor q = data + length;
        if (SkipWhiteAndComments(q, end) && StartsWith(q, end, "endstream") && (q + 9 == end || IsDelimiter(q[9])))
            found = q;
    }
    if (!found) found = FindEndstream(data, end);
    return found ? found + 9 : nullptr;
}

}  // namespace

ScanResult NextReference(Cursor& cur, Cursor end, const ScanContext& context) {
    ScanResult result;
    StepRules rules;
    rules.streamData = SkipStreamData;
    rules.streamContext = &context;
    for (;;) {
        Cursor at;
        const Token token = StepToken(cur, end, at, rules);
        switch (token) {
            case Token::End:
                result.event = ScanEvent::Bound;
                return result;
            case Token::Unclosed:
                result.event = ScanEvent::Error;
                result.error = *at == '(' ? kScanUnclosedString : kScanBadStream;
                return result;
            case Token::StreamData:
                result.event = ScanEvent::StreamData;
                result.at = at + 6;
                result.after = cur;
                return result;
            case Token::Name:
                if (cur - at == 7 && std::memcmp(at, "/Parent", 7) == 0 && cur < end && (IsWhite(*cur) || *cur == '%')) {
                    Cursor q = cur;
                    int32_t n, g;
                    if (SkipWhiteAndComments(q, end)) {
                        Cursor value = q;
                        if (ReadReference(q, end, n, g)) {
                            cur = q;
                            result.event = ScanEvent::ParentValue;
                            result.number = n;
                            result.generation = g;
                            result.at = value;
                            result.after = q;
                            return result;
                        }
                    }
                }
                break;
            case Token::Word:
                if (IsDigit(*at)) {
                    Cursor p = at;
                    int32_t n, g;
                    if (ReadReference(p, end, n, g)) {
                        result.event = ScanEvent::Reference;
                        result.number = n;
                        result.generation = g;
                        result.at = at;
                        result.after = p;
                        cur = p;
                        return result;
                    }
                } else if (cur - at == 6 && std::memcmp(at, "endobj", 6) == 0) {
                    result.event = ScanEvent::ObjectEnd;
                    result.at = at;
                    return result;
                }
                break;
            default:
                break;  // brackets and strings
        }
    }
}

}  // namespace brisel
