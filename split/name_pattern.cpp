#include "split/name_pattern.h"

#include "split/output_naming.h"

namespace brisel {

namespace {

// The widest padding a pattern may ask for: more digits than any page count.
constexpr int kMaxPadding = 99;

// One field of a pattern at pattern[i] == '%': its letter and padding.
// Returns the index after the field, or npos when it is not a field.
struct Field {
    char letter = 0;
    int width = -1;  // -1: the width of the page count
    size_t end = std::string::npos;
};

Field ReadField(const std::string& pattern, size_t i) {
    Field field;
    size_t j = i + 1;
    if (j < pattern.size() && pattern[j] == '%') {
        field.letter = '%';
        field.end = j + 1;
        return field;
    }
    // "%Nd" and the printf spelling "%0Nd".
    int width = 0;
    size_t digits = 0;
    while (j < pattern.size() && pattern[j] >= '0' && pattern[j] <= '9' && digits < 3) {
        width = width * 10 + (pattern[j] - '0');
        ++j;
        ++digits;
    }
    if (j >= pattern.size()) return field;
    const char letter = pattern[j];
    if (letter == 'd' || letter == 'e') {
        if (digits > 0 && (width < 1 || width > kMaxPadding)) return field;
        field.width = digits > 0 ? width : -1;
    } else if ((letter != 's' && letter != 't') || digits > 0) {
        return field;
    }
    field.letter = letter;
    field.end = j + 1;
    return field;
}

bool IsFolderSeparator(char c) {
#ifdef _WIN32
    return c == '\\' || c == '/' || c == ':';
#else
    return c == '/';
#endif
}

}  // namespace

std::string CheckNamePattern(const std::string& pattern) {
    if (pattern.empty()) return "--name needs a pattern such as \"%s-%d.pdf\"";
    bool hasPage = false;
    for (size_t i = 0; i < pattern.size();) {
        if (IsFolderSeparator(pattern[i]))
            return "--name takes a file name without a folder (give the folder with --out)";
        if (pattern[i] != '%') {
            ++i;
            continue;
        }
        const Field field = ReadField(pattern, i);
        if (field.end == std::string::npos)
            return "--name knows %d, %Nd (N from 1 to 99), %s, %e, %Ne, %t and %%, not \"" + pattern.substr(i, 2) + "\"";
        hasPage = hasPage || field.letter == 'd';
        i = field.end;
    }
    if (!hasPage) return "--name needs the page number in it (%d or %Nd)";
    return "";
}

bool NamePatternUsesTitle(const std::string& pattern) {
    for (size_t i = 0; i < pattern.size();) {
        const Field field = pattern[i] == '%' ? ReadField(pattern, i) : Field{};
        if (field.end == std::string::npos) {
            ++i;
            continue;
        }
        if (field.letter == 't') return true;
        i = field.end;
    }
    return false;
}

std::string ExpandNamePattern(const std::string& pattern, const NameFields& fields) {
    std::string name;
    for (size_t i = 0; i < pattern.size();) {
        const Field field = pattern[i] == '%' ? ReadField(pattern, i) : Field{};
        if (field.end == std::string::npos) {
            name += pattern[i++];
            continue;
        }
        if (field.letter == 'd' || field.letter == 'e') {
            const int32_t page = field.letter == 'e' && fields.lastPage > 0 ? fields.lastPage : fields.page;
            const std::string number = std::to_string(page);
            const size_t width = field.width < 0 ? static_cast<size_t>(DecimalDigits(fields.pageCount))
                                                 : static_cast<size_t>(field.width);
            if (number.size() < width) name.append(width - number.size(), '0');
            name += number;
        } else if (field.letter == 's') {
            name += fields.title;
        } else if (field.letter == 't') {
            name += fields.bookmark;
        } else {
            name += '%';
        }
        i = field.end;
    }
    // A name that begins with an empty title and a dot would be hidden.
    if (!name.empty() && name[0] == '.' && pattern[0] != '.') name[0] = '_';
    return name;
}

}  // namespace brisel
