#include "base/pdf_text.h"

#include <algorithm>
#include <cstdint>

namespace brisel {

namespace {

// PDFDocEncoding's bytes 18..1F and 80..A0: accents, typographic marks and
// letters beyond Latin-1. The other bytes from 20 on are Latin-1's, except
// 7F, 9F and AD, which the encoding leaves undefined.
constexpr char16_t kHigh[] = {
    0x2022, 0x2020, 0x2021, 0x2026, 0x2014, 0x2013, 0x0192, 0x2044, 0x2039, 0x203A, 0x2212,
    0x2030, 0x201E, 0x201C, 0x201D, 0x2018, 0x2019, 0x201A, 0x2122, 0xFB01, 0xFB02, 0x0141,
    0x0152, 0x0160, 0x0178, 0x017D, 0x0131, 0x0142, 0x0153, 0x0161, 0x017E, 0xFFFD, 0x20AC,
};
constexpr char16_t kAccents[] = {0x02D8, 0x02C7, 0x02C6, 0x02D9, 0x02DD, 0x02DB, 0x02DA, 0x02DC};

constexpr char32_t kEscape = 0x1B;

bool IsSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

void DecodeUtf16(std::string_view bytes, std::u32string& out) {
    const auto unit = [&](size_t i) {
        return static_cast<char32_t>(static_cast<unsigned char>(bytes[i]) << 8 | static_cast<unsigned char>(bytes[i + 1]));
    };
    bool inLanguageMark = false;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t c = unit(i);
        if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 && unit(i + 2) < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            i += 2;
        } else if (IsSurrogate(c)) {
            c = kReplacementCharacter;
        }
        if (c == kEscape) {
            inLanguageMark = !inLanguageMark;
            continue;
        }
        if (!inLanguageMark) out.push_back(c);
    }
    if (bytes.size() % 2) out.push_back(kReplacementCharacter);
}

void DecodeUtf8Lenient(std::string_view bytes, std::u32string& out) {
    for (size_t i = 0; i < bytes.size();) {
        const size_t length = Utf8SequenceLength(bytes, i);
        if (length == 0) {
            out.push_back(kReplacementCharacter);
            ++i;
            continue;
        }
        DecodeUtf8(bytes.substr(i, length), out);
        i += length;
    }
}

}  // namespace

char32_t PdfDocCharacter(unsigned char byte) {
    if (byte >= 0x18 && byte <= 0x1F) return kAccents[byte - 0x18];
    if (byte >= 0x80 && byte <= 0xA0) return kHigh[byte - 0x80];
    if (byte == 0x7F || byte == 0xAD) return kReplacementCharacter;
    return byte;
}

int PdfDocByte(char32_t c) {
    if (c == kReplacementCharacter) return -1;
    if (c < 0x18 || (c >= 0x20 && c < 0x7F) || (c > 0xA0 && c <= 0xFF && c != 0xAD)) return static_cast<int>(c);
    for (int byte = 0x18; byte <= 0xA0; ++byte)
        if ((byte <= 0x1F || byte >= 0x80) && PdfDocCharacter(static_cast<unsigned char>(byte)) == c) return byte;
    return -1;
}

std::u32string DecodePdfText(std::string_view bytes) {
    std::u32string out;
    if (bytes.size() >= 2 && bytes[0] == '\xFE' && bytes[1] == '\xFF') {
        DecodeUtf16(bytes.substr(2), out);
    } else if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        DecodeUtf8Lenient(bytes.substr(3), out);
    } else {
        out.reserve(bytes.size());
        for (char b : bytes) out.push_back(PdfDocCharacter(static_cast<unsigned char>(b)));
    }
    return out;
}

std::string PdfTextToUtf8(std::string_view bytes) { return EncodeUtf8(DecodePdfText(bytes)); }

bool Utf8ToPdfDoc(std::string_view utf8, std::string& out) {
    out.clear();
    std::u32string text;
    if (!DecodeUtf8(utf8, text)) return false;
    for (char32_t c : text) {
        const int byte = PdfDocByte(c);
        if (byte < 0) return false;
        out.push_back(static_cast<char>(byte));
    }
    return true;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (IsSurrogate(c) || c > 0x10FFFF) c = kReplacementCharacter;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string EncodeUtf8(std::u32string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char32_t c : text) AppendUtf8(out, c);
    return out;
}

size_t Utf8SequenceLength(std::string_view text, size_t i) {
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
    if ((length == 3 && (value < 0x800 || IsSurrogate(value))) || (length == 4 && (value < 0x10000 || value > 0x10FFFF)))
        return 0;
    return length;
}

bool DecodeUtf8(std::string_view text, std::u32string& out) {
    for (size_t i = 0; i < text.size();) {
        const size_t length = Utf8SequenceLength(text, i);
        if (length == 0) return false;
        const auto lead = static_cast<unsigned char>(text[i]);
        char32_t c = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
        for (size_t k = 1; k < length; ++k) c = c << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        out.push_back(c);
        i += length;
    }
    return true;
}

namespace {

size_t Columns(char32_t c) {
    const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
                      (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                      (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1FAFF) || (c >= 0x20000 && c <= 0x3FFFD);
    return wide ? 2 : 1;
}

}  // namespace

size_t TextColumns(std::string_view text) {
    size_t columns = 0;
    std::u32string chars;
    for (size_t i = 0; i < text.size();) {
        const size_t length = std::max<size_t>(Utf8SequenceLength(text, i), 1);
        chars.clear();
        columns += DecodeUtf8(text.substr(i, length), chars) && !chars.empty() ? Columns(chars[0]) : 1;
        i += length;
    }
    return columns;
}

std::string FitColumns(std::string_view text, size_t columns) {
    size_t used = 0, i = 0;
    std::u32string chars;
    while (i < text.size()) {
        const size_t length = std::max<size_t>(Utf8SequenceLength(text, i), 1);
        chars.clear();
        const size_t width = DecodeUtf8(text.substr(i, length), chars) && !chars.empty() ? Columns(chars[0]) : 1;
        if (used + width > columns) break;
        used += width;
        i += length;
    }
    return std::string(text.substr(0, i));
}

}  // namespace brisel
