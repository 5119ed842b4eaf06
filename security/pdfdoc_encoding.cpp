#include "security/pdfdoc_encoding.h"

#include <cstdint>

namespace brisel {

namespace {

// The characters whose byte differs from their code point: 18..1F and
// 80..A0 hold typographic marks, accents and letters beyond Latin-1.
struct Mapped {
    uint32_t code;
    uint8_t byte;
};
constexpr Mapped kMapped[] = {
    {0x02D8, 0x18}, {0x02C7, 0x19}, {0x02C6, 0x1A}, {0x02D9, 0x1B}, {0x02DD, 0x1C}, {0x02DB, 0x1D},
    {0x02DA, 0x1E}, {0x02DC, 0x1F}, {0x2022, 0x80}, {0x2020, 0x81}, {0x2021, 0x82}, {0x2026, 0x83},
    {0x2014, 0x84}, {0x2013, 0x85}, {0x0192, 0x86}, {0x2044, 0x87}, {0x2039, 0x88}, {0x203A, 0x89},
    {0x2212, 0x8A}, {0x2030, 0x8B}, {0x201E, 0x8C}, {0x201C, 0x8D}, {0x201D, 0x8E}, {0x2018, 0x8F},
    {0x2019, 0x90}, {0x201A, 0x91}, {0x2122, 0x92}, {0xFB01, 0x93}, {0xFB02, 0x94}, {0x0141, 0x95},
    {0x0152, 0x96}, {0x0160, 0x97}, {0x0178, 0x98}, {0x017D, 0x99}, {0x0131, 0x9A}, {0x0142, 0x9B},
    {0x0153, 0x9C}, {0x0161, 0x9D}, {0x017E, 0x9E}, {0x20AC, 0xA0},
};

// The byte of one code point; -1 when the encoding has none.
int ByteOf(uint32_t code) {
    for (const Mapped& m : kMapped)
        if (m.code == code) return m.byte;
    // 18..1F and 7F..A0 are taken by the marks above or undefined; AD too.
    if (code < 0x18 || (code >= 0x20 && code < 0x7F) || (code > 0xA0 && code <= 0xFF && code != 0xAD))
        return static_cast<int>(code);
    return -1;
}

// The next code point of s at i, advancing i; false on a malformed sequence.
bool NextCode(const std::string& s, size_t& i, uint32_t& code) {
    const uint8_t lead = static_cast<uint8_t>(s[i++]);
    int more = 0;
    if (lead < 0x80) {
        code = lead;
        return true;
    } else if ((lead & 0xE0) == 0xC0) {
        code = lead & 0x1F;
        more = 1;
    } else if ((lead & 0xF0) == 0xE0) {
        code = lead & 0x0F;
        more = 2;
    } else if ((lead & 0xF8) == 0xF0) {
        code = lead & 0x07;
        more = 3;
    } else {
        return false;
    }
    for (; more > 0; --more, ++i) {
        if (i >= s.size() || (static_cast<uint8_t>(s[i]) & 0xC0) != 0x80) return false;
        code = code << 6 | (static_cast<uint8_t>(s[i]) & 0x3F);
    }
    return true;
}

}  // namespace

bool Utf8ToPdfDoc(const std::string& utf8, std::string& out) {
    out.clear();
    for (size_t i = 0; i < utf8.size();) {
        uint32_t code = 0;
        if (!NextCode(utf8, i, code)) return false;
        const int byte = ByteOf(code);
        if (byte < 0) return false;
        out.push_back(static_cast<char>(byte));
    }
    return true;
}

}  // namespace brisel
