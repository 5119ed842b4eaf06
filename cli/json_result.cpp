#include "cli/json_result.h"

#include <algorithm>
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
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\udc%02x", c);
            out += escaped;
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
    std::string line = "{\"file\":";
    line += Quoted(outcome.file);
    line += ",\"status\":";
    line += std::to_string(outcome.status);
    line += ",\"pages\":";
    line += outcome.pages > 0 ? std::to_string(outcome.pages) : "null";
    line += ",\"written\":[";
    for (size_t i = 0; i < outcome.written.size(); ++i) {
        if (i) line += ',';
        line += Quoted(outcome.written[i]);
    }
    line += "],\"error\":";
    line += outcome.error ? Quoted(outcome.error) : "null";
    line += ",\"reason\":";
    line += outcome.reason.empty() ? "null" : Quoted(outcome.reason);
    if (outcome.dryRun) {
        line += ",\"plan\":[";
        for (size_t i = 0; i < outcome.plan.size(); ++i) {
            const InputOutcome::File& file = outcome.plan[i];
            if (i) line += ',';
            line += "{\"file\":";
            line += Quoted(file.path);
            line += ",\"pages\":[";
            for (size_t k = 0; k < file.pages.size(); ++k) {
                if (k) line += ',';
                line += std::to_string(file.pages[k]);
            }
            line += "],\"title\":";
            line += file.title.empty() ? "null" : Quoted(file.title);
            line += ",\"exists\":";
            line += file.exists ? "true" : "false";
            line += '}';
        }
        line += ']';
    }
    line += ",\"warnings\":[";
    auto number = [](int64_t value) { return value >= 0 ? std::to_string(value) : std::string("null"); };
    for (size_t i = 0; i < outcome.warnings.size(); ++i) {
        const Warning& w = outcome.warnings[i];
        line += i ? ",{\"kind\":\"" : "{\"kind\":\"";
        line += WarningName(w.kind);
        line += "\",\"object\":" + number(w.object) + ",\"offset\":" + number(w.offset) + ",\"pages\":";
        line += w.firstPage > 0 ? "[" + std::to_string(w.firstPage) + "," + std::to_string(std::max(w.firstPage, w.lastPage)) + "]}"
                                : std::string("null}");
    }
    return line + "]}";
}

}  // namespace brisel
