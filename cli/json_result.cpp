#include "cli/json_result.h"

#include <algorithm>
#include <cstdio>

namespace brisel {

namespace {

// The length of the UTF-8 sequence at text[i], or 0 when it is not one
// (overlong forms, surrogates and values past U+10FFFF included).
size_t Utf8Length(const std::string& text, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    size_t length;
    uint32_t value;
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) length = 2, value = lead & 0x1F;
    else if (lead >= 0xE0 && lead <= 0xEF) length = 3, value = lead & 0x0F;
    else if (lead >= 0xF0 && lead <= 0xF4) length = 4, value = lead & 0x07;
    else return 0;
    if (i + length > text.size()) return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        value = value << 6 | (byte(i + k) & 0x3F);
    }
    if ((length == 3 && (value < 0x800 || (value >= 0xD800 && value <= 0xDFFF))) ||
        (length == 4 && (value < 0x10000 || value > 0x10FFFF)))
        return 0;
    return length;
}

std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const size_t length = Utf8Length(text, i);
        if (length == 0) {
            out += "\\ufffd";
            ++i;
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out.append(text, i, length);
        }
        i += length;
    }
    return out + "\"";
}

}  // namespace

std::string JsonLine(const InputOutcome& outcome) {
    std::string line = "{\"file\":" + Quoted(outcome.file) + ",\"status\":" + std::to_string(outcome.status) +
                       ",\"pages\":" + (outcome.pages > 0 ? std::to_string(outcome.pages) : "null") + ",\"written\":[";
    for (size_t i = 0; i < outcome.written.size(); ++i) line.append(i ? "," : "").append(Quoted(outcome.written[i]));
    line.append("],\"reason\":").append(outcome.reason.empty() ? std::string("null") : Quoted(outcome.reason));
    line.append(",\"warnings\":[");
    auto number = [](int64_t value) { return value >= 0 ? std::to_string(value) : std::string("null"); };
    for (size_t i = 0; i < outcome.warnings.size(); ++i) {
        const Warning& w = outcome.warnings[i];
        line.append(i ? ",{\"kind\":\"" : "{\"kind\":\"").append(WarningName(w.kind));
        line.append("\",\"object\":").append(number(w.object));
        line.append(",\"offset\":").append(number(w.offset));
        line.append(",\"pages\":");
        if (w.firstPage > 0)
            line.append("[").append(std::to_string(w.firstPage)).append(",")
                .append(std::to_string(std::max(w.firstPage, w.lastPage))).append("]}");
        else
            line.append("null}");
    }
    return line + "]}";
}

}  // namespace brisel
