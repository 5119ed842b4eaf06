#include "cli/options.h"

#include <cstdlib>
#include <cstring>

#include "base/texts.h"
#include "split/page_range.h"

namespace brisel {

bool ParsePageRange(const std::string& text, int32_t& first, int32_t& last) {
    size_t dash = text.find('-');
    if (dash == std::string::npos) {
        // A single page: "7" means page 7 only.
        if (!ReadPageField(text, first)) return false;
        last = first;
        return true;
    }
    return ReadPageField(text.substr(0, dash), first) && ReadPageField(text.substr(dash + 1), last);
}

static bool ParseCount(const std::string& text, int32_t& value) {
    if (text.empty() || text.size() > 9) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    value = std::atoi(text.c_str());
    return true;
}

std::string ParseArguments(int argc, const char* const* argv, Language language, CliOptions& options) {
    bool onlyFiles = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (onlyFiles || arg.size() < 2 || arg[0] != '-' || arg[1] != '-') {
            if (!onlyFiles && arg.size() > 1 && arg[0] == '-') return "unknown option " + arg;
            options.files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            onlyFiles = true;
            continue;
        }
        std::string name = arg, value;
        bool hasValue = false;
        if (size_t eq = arg.find('='); eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            hasValue = true;
        }
        auto needValue = [&]() -> bool {
            if (hasValue) return true;
            if (i + 1 >= argc) return false;
            value = argv[++i];
            return hasValue = true;
        };
        if (name == "--help") options.help = true;
        else if (name == "--version") options.version = true;
        else if (name == "--yes") options.yes = true;
        else if (name == "--no-warn") options.noWarn = true;
        else if (name == "--same-date") options.sameDate = options.range = true;
        else if (name == "--pages") {
            if (!needValue()) return "--pages needs a range";
            if (!ParsePageRange(value, options.firstPage, options.lastPage)) return Tr(language, Text::BadField);
            options.range = true;
        } else if (name == "--out") {
            if (!needValue() || value.empty()) return "--out needs a folder";
            options.outDir = value;
            options.hasOut = options.range = true;
        } else if (name == "--warn-limit") {
            int32_t n;
            if (!needValue() || !ParseCount(value, n)) return "--warn-limit needs a number";
            options.warnLimit = n;
        } else if (name == "--password") {
            if (!needValue()) return "--password needs a password";
            options.password = value;
        } else {
            return "unknown option " + name;
        }
    }
    return "";
}

const char* UsageText() {
    return "Usage: brisel [OPTIONS] FILE.pdf [FILE.pdf ...]\n"
           "Splits each PDF file into one PDF file per page, written beside it as\n"
           "NAME-1.pdf, NAME-2.pdf, ... (page numbers padded to the page count).\n"
           "\n"
           "Options:\n"
           "  --pages A-B       write pages A to B only; either may be empty (\"3-\",\n"
           "                    \"-5\"), and \"7\" alone means page 7 only\n"
           "  --out DIR         write the page files into DIR\n"
           "  --same-date       give the page files the input's file times\n"
           "  --yes             go on without asking when many files are created\n"
           "  --warn-limit N    ask before creating N or more files (default 50)\n"
           "  --no-warn         never ask before creating many files\n"
           "  --password PW     password of an encrypted input\n"
           "  --help            show this text\n"
           "  --version         show the version\n"
           "\n"
           "Exit status:\n"
           "  0    all pages written\n"
           "  3    the document has only one page\n"
           "  4    the page files cannot be created\n"
           "  5    the page range lies outside the document\n"
           "  10   stopped after telling why (declined warning, password refused)\n"
           "  130  stopped by Ctrl-C\n"
           "  2    wrong arguments\n"
           "  1    any other failure\n";
}

}  // namespace brisel
