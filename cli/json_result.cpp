#include "cli/json_result.h"

#include <cstdio>

#include "split/engine.h"

namespace brisel {

namespace {

std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const size_t length = Utf8SequenceLength(text, i);
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
    for (size_t i = 0; i < outcome.written.size(); ++i) line += (i ? "," : "") + Quoted(outcome.written[i]);
    line += "],\"reason\":" + (outcome.reason.empty() ? std::string("null") : Quoted(outcome.reason)) + "}";
    return line;
}

}  // namespace brisel
