#include "cli/options.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "cli/part_options.h"
#include "split/engine.h"

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

namespace {

// A readable word of a viewer option and the option-line code it stands for.
struct ViewerWord {
    const char* word;
    const char* code;
};

struct ViewerOption {
    const char* name;
    char letter;  // the option letter of the option line
    std::vector<ViewerWord> words;
    const char* error;
};

const ViewerOption kViewerOptions[] = {
    {"--zoom", 'd', {{"fit", "a"}, {"width", "w"}, {"height", "h"}, {"keep", "o"}, {"none", "0"}},
     "--zoom needs a percentage N or Nf, or fit, width, height, keep or none"},
    {"--direction", 'i', {{"r2l", "r"}, {"keep", "o"}, {"none", "l"}}, "--direction needs r2l, keep or none"},
    {"--layout", 'p', {{"one", "1"}, {"left", "2l"}, {"right", "2r"}, {"single", "s"}, {"keep", "o"}, {"none", "n"}},
     "--layout needs one, left, right, single, keep or none"},
    {"--mode", 'n',
     {{"outlines", "o"}, {"outlines-or-thumbs", "ot"}, {"thumbs", "t"}, {"fullscreen", "f"}, {"keep", "org"},
      {"outlines-or-none", "on"}, {"none", "n"}},
     "--mode needs outlines, outlines-or-thumbs, thumbs, fullscreen, keep, outlines-or-none or none"},
    {"--bookmarks", 'o', {{"keep", "k"}, {"flat", "kt"}, {"none", "n"}}, "--bookmarks needs keep, flat or none"},
};

// A zoom percentage as the option line writes it: digits, then "f" for
// fit window.
bool IsZoomPercent(const std::string& value) {
    size_t digits = value.size() - (!value.empty() && value.back() == 'f' ? 1 : 0);
    if (digits == 0 || digits > 9) return false;
    for (size_t i = 0; i < digits; ++i)
        if (value[i] < '0' || value[i] > '9') return false;
    return true;
}

// Sets the fields of one viewer option through the option-line parser, so
// that both spell the same choices the same way.
bool ApplyViewerOption(const ViewerOption& option, const std::string& value, ViewerSettings& viewer) {
    std::string code;
    for (const ViewerWord& w : option.words)
        if (value == w.word) code = w.code;
    if (code.empty() && option.letter == 'd' && IsZoomPercent(value)) code = value;
    if (code.empty()) return false;
    ViewerSettings parsed = ParseOptionLine(std::string("/") + option.letter + code);
    switch (option.letter) {
        case 'd':
            viewer.OpenActionMode = parsed.OpenActionMode;
            viewer.FitWindow = parsed.FitWindow;
            break;
        case 'i': viewer.Direction = parsed.Direction; break;
        case 'p': viewer.PageLayout = parsed.PageLayout; break;
        case 'n': viewer.PageMode = parsed.PageMode; break;
        default:
            viewer.KeepOutlines = parsed.KeepOutlines;
            viewer.FlatOutlines = parsed.FlatOutlines;
    }
    return true;
}

const ViewerOption* FindViewerOption(const std::string& name) {
    for (const ViewerOption& option : kViewerOptions)
        if (name == option.name) return &option;
    return nullptr;
}

}  // namespace

static bool ParseCount(const std::string& text, int32_t& value) {
    if (text.empty() || text.size() > 9) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    value = std::atoi(text.c_str());
    return true;
}

std::string ParseArguments(int argc, const char* const* argv, Language, CliOptions& options) {
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
        else if (name == "--quiet") options.quiet = true;
        else if (name == "--no-warn") options.noWarn = true;
        else if (name == "--same-date") options.sameDate = options.range = true;
        else if (name == "--pages") {
            if (!needValue() || !ParsePageRange(value, options.firstPage, options.lastPage))
                return "--pages needs A-B, A-, -B or A, where A and B are page numbers from 1 on" +
                       (hasValue ? " (not \"" + value + "\")" : std::string());
            options.range = true;
        } else if (name == "--out") {
            if (!needValue() || value.empty()) return "--out needs a folder";
            options.outDir = value;
            options.hasOut = options.range = true;
        } else if (name == "--annotations") {
            if (!needValue() || (value != "keep" && value != "drop")) return "--annotations needs keep or drop";
            options.keepAnnotations = value == "keep";
        } else if (name == "--document-data") {
            if (!needValue() || (value != "keep" && value != "drop")) return "--document-data needs keep or drop";
            options.keepDocumentData = value == "keep";
        } else if (name == "--warn-limit") {
            int32_t n;
            if (!needValue() || !ParseCount(value, n)) return "--warn-limit needs a number";
            options.warnLimit = n;
        } else if (name == "--password") {
            if (!needValue()) return "--password needs a password";
            options.password = value;
        } else if (name == "--name") {
            if (!needValue()) return "--name needs a pattern such as \"%s-%d.pdf\"";
            if (std::string why = CheckNamePattern(value); !why.empty()) return why;
            options.namePattern = value;
        } else if (name == "--options") {
            if (!needValue()) return "--options needs an option line such as \"/d100 /p1 /nt /ok\"";
            options.viewer = ParseOptionLine(value);
            options.bookmarksChosen = true;
        } else if (IsPartOption(name)) {
            std::string error = ParsePartOption(name, hasValue, value, needValue, options);
            if (!error.empty()) return error;
        } else if (const ViewerOption* viewerOption = FindViewerOption(name)) {
            if (!needValue() || !ApplyViewerOption(*viewerOption, value, options.viewer)) return viewerOption->error;
            if (viewerOption->letter == 'o') options.bookmarksChosen = true;
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
           "  --out DIR         write the page files into DIR (made when missing)\n"
           "  --same-date       give the page files the input's file times\n"
           "  --yes             go on without asking when many files are created\n"
           "  --warn-limit N    ask before creating N or more files (default 50)\n"
           "  --no-warn         never ask before creating many files\n"
           "  --password PW     password of an encrypted input\n"
           "  --quiet           print nothing but errors\n"
           "  --every N         write parts of N pages (the last may be shorter) instead\n"
           "                    of single pages, named NAME-A-B.pdf after their pages\n"
           "  --at-bookmarks[=L] start a part at the page of each bookmark of level L\n"
           "                    (default 1, the top level); pages before the first\n"
           "                    such bookmark form the first part\n"
           "  --parts RANGES    one part per range, e.g. 1-3,7,9- (A-B, A- to the end,\n"
           "                    or A alone; no page in two ranges)\n"
           "                    Parts keep the bookmarks that lead into them (unless\n"
           "                    --bookmarks says otherwise) and the links between their\n"
           "                    pages; --pages limits the pages before parts are made\n"
           "                    With --name, %d is a part's first page, %e (%Ne) its\n"
           "                    last and %t the title of the bookmark that starts it\n"
           "  --annotations A   keep (the page's comments, form fields and web links;\n"
           "                    links to other pages go) or drop (every annotation and\n"
           "                    the form)\n"
           "  --document-data D keep (language, tags, metadata, page labels of the\n"
           "                    input) or drop\n"
           "\n"
           "How the page files open in a viewer, and their bookmarks (later options\n"
           "override earlier ones; \"keep\" takes the input's own setting):\n"
           "  --options LINE    a batch option line, e.g. \"/d100 /p1 /nt /ok\"; sets all\n"
           "                    of the choices below, none where the line is silent\n"
           "  --zoom Z          N (percent, Nf also fits the window), fit, width,\n"
           "                    height, keep or none\n"
           "  --direction D     r2l, keep or none\n"
           "  --layout L        one, left, right, single, keep or none\n"
           "  --mode M          outlines, outlines-or-thumbs, thumbs, fullscreen, keep,\n"
           "                    outlines-or-none or none\n"
           "  --bookmarks B     keep (the bookmarks that lead to each page), flat (the\n"
           "                    same in one level) or none\n"
           "\n"
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
