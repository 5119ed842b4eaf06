#include "cli/options.h"

#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "cli/part_options.h"
#include "split/engine.h"

namespace brisel {

namespace {

const char* PagesHelp() {
    return "pages or ranges separated by commas, such as 3-5, 3-, -5, 7, 1,3,7-9, r3-z or 1-z:odd (z is the last "
           "page, rN the N-th from the end; a range never runs backwards)";
}

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

namespace {

// One option: its long name, its one-letter name (0: none), the name of its
// value ("" for a switch), its group and its help, whose lines the usage
// text indents under the help column.
struct OptionSpec {
    const char* name;
    char letter;
    const char* value;
    int group;
    const char* help;
};

const char* const kGroups[] = {
    "Which pages, and where the page files go:",
    "Questions and passwords:",
    "What is printed:",
    "What the page files keep, and how they open in a viewer (later options\n"
    "override earlier ones; \"keep\" takes the input's own setting):",
    "",
};

const OptionSpec kOptions[] = {
    {"--pages", 0, "PAGES", 0,
     "write these pages only: 3-5, 3- (to the end), -5,\n7, lists 1,3,7-9, z the last page, rN the N-th\n"
     "from the end, :odd or :even after a range (1-z:odd)"},
    {"--out", 'o', "DIR", 0, "write the page files into DIR (made when missing)"},
    {"--name", 0, "PATTERN", 0,
     "name the page files by PATTERN: %d the page number\n(padded to the page count), %Nd padded to N digits,\n"
     "%s the input's name without .pdf, %% a percent sign;\na taken name fails the run (status 4)"},
    {"--if-exists", 0, "WHAT", 0,
     "when a page file's name exists: rename (another\nname, the default; said on stderr), replace (each\n"
     "file in whole), skip (keep it, write the rest)\nor fail (write nothing, status 4)"},
    {"--dry-run", 0, "", 0, "print the files, their pages and bookmark titles\nthat would be written; write nothing"},
    {"--same-date", 0, "", 0, "give the page files the input's file times"},
    {"--no-sync", 0, "", 0,
     "do not wait for the page files to reach the disk\n(scratch output: a power cut may take them)"},
    {"--every", 0, "N", 0, "write parts of N pages (the last may be shorter)\ninstead of single pages, named NAME-A-B.pdf"},
    {"--at-bookmarks", 0, "[=L]", 0,
     "start a part at the page of each bookmark of level\nL (default 1, the top level); pages before the\n"
     "first such bookmark form the first part"},
    {"--parts", 0, "RANGES", 0,
     "one part per range, e.g. 1-3,7,9- (A-B, A- to the\nend, or A alone; no page in two ranges). Parts keep\n"
     "the bookmarks and the links between their pages;\n--pages limits the pages first. With --name, %d is\n"
     "a part's first page, %e its last, %t the title of\nthe bookmark that starts it (--at-bookmarks)"},
    {"--max-size", 0, "SIZE", 0,
     "parts whose files stay under SIZE (500K, 10M, 1G;\nbytes without a unit), as long as they can be; a\n"
     "page larger alone is a part of its own. Combines\nwith --every, --at-bookmarks and --parts"},
    {"--yes", 0, "", 1, "go on without asking when many files are created"},
    {"--warn-limit", 0, "N", 1,
     "ask before creating N or more files (default 50);\nwithout a terminal brisel never asks and goes on"},
    {"--no-warn", 0, "", 1, "never ask before creating many files"},
    {"--password-file", 0, "FILE", 1, "read the password from the first line of FILE\n(\"-\": standard input)"},
    {"--password", 0, "PW", 1, "the password (other users can read it in the\nprocess list: prefer --password-file)"},
    {"--quiet", 'q', "", 2, "print nothing but errors"},
    {"--verbose", 0, "", 2, "list every page file written, then the summary"},
    {"--json", 0, "", 2, "at the end, one JSON object per input on stdout"},
    {"--annotations", 0, "A", 3,
     "keep (the page's comments, form fields and web\nlinks; links to other pages go) or drop (all)"},
    {"--document-data", 0, "D", 3,
     "keep (tagged structure, language, metadata, output\nintents, page labels of the input) or drop"},
    {"--resources", 0, "R", 3,
     "prune (where pages share a resource dictionary, each\npage file keeps the fonts, images and other\n"
     "resources its page uses) or keep (all of it)"},
    {"--streams", 0, "S", 3,
     "compress (stream data the input left without a\nfilter is Flate-compressed) or keep (copied as it is)"},
    {"--options", 0, "LINE", 3,
     "a batch option line, e.g. \"/d100 /p1 /nt /ok\"; sets\nall of the choices below, none where it is silent"},
    {"--zoom", 0, "Z", 3, "N (percent, Nf also fits the window), fit, width,\nheight, keep or none"},
    {"--direction", 0, "D", 3, "r2l, keep or none"},
    {"--layout", 0, "L", 3, "one, left, right, single, keep or none"},
    {"--mode", 0, "M", 3, "outlines, outlines-or-thumbs, thumbs, fullscreen,\nkeep, outlines-or-none or none"},
    {"--bookmarks", 0, "B", 3, "keep (the bookmarks that lead to each page), flat\n(the same in one level) or none"},
    {"--help", 'h', "", 4, "show this text"},
    {"--version", 'V', "", 4, "show the version and the zlib version in use"},
    {"--", 0, "", 4, "end the options: later arguments are files"},
};

const OptionSpec* FindOption(std::string_view name) {
    for (const OptionSpec& option : kOptions)
        if (name == option.name) return &option;
    return nullptr;
}

const OptionSpec* FindLetter(char letter) {
    for (const OptionSpec& option : kOptions)
        if (option.letter != 0 && option.letter == letter) return &option;
    return nullptr;
}

// Whether the option's value is optional and comes only after "=".
bool ValueOnlyAfterEquals(const OptionSpec& option) { return option.value[0] == '['; }

// Applies one option with its value (empty for a switch); returns the
// reason when the value is wrong.
std::string ApplyOption(const std::string& name, bool hasValue, const std::string& value, CliOptions& options) {
    if (name == "--help") options.help = true;
    else if (name == "--version") options.version = true;
    else if (name == "--yes") options.yes = true;
    else if (name == "--quiet") options.quiet = !(options.verbose = false);
    else if (name == "--verbose") options.verbose = !(options.quiet = false);
    else if (name == "--json") options.json = true;
    else if (name == "--no-warn") options.noWarn = true;
    else if (name == "--same-date") options.sameDate = options.range = true;
    else if (name == "--no-sync") options.noSync = true;
    else if (name == "--dry-run") options.dryRun = true;
    else if (name == "--pages") {
        options.pageSpans.clear();
        // An empty selection is every page.
        if (value.find_first_not_of(' ') != std::string::npos) {
            if (std::string why = ParsePageSelection(value, options.pageSpans, false); !why.empty())
                return "--pages: " + why + "; " + PagesHelp();
        }
        options.range = true;
    } else if (name == "--max-size") {
        if (!ParseByteSize(value, options.maxSize))
            return "--max-size needs a size such as 500K, 10M or 1G (not \"" + value + "\")";
        options.maxSizeText = value;
    } else if (name == "--if-exists") {
        if (value == "rename") options.ifExists = IfExists::Rename;
        else if (value == "replace") options.ifExists = IfExists::Replace;
        else if (value == "skip") options.ifExists = IfExists::Skip;
        else if (value == "fail") options.ifExists = IfExists::Fail;
        else return "--if-exists needs rename, replace, skip or fail";
    } else if (name == "--out") {
        if (value.empty()) return "--out needs a folder";
        options.outDir = value;
        options.hasOut = options.range = true;
    } else if (name == "--name") {
        if (std::string why = CheckNamePattern(value); !why.empty()) return why;
        options.namePattern = value;
    } else if (name == "--annotations") {
        if (value != "keep" && value != "drop") return "--annotations needs keep or drop";
        options.keepAnnotations = value == "keep";
    } else if (name == "--document-data") {
        if (value != "keep" && value != "drop") return "--document-data needs keep or drop";
        options.keepDocumentData = value == "keep";
    } else if (name == "--resources") {
        if (value != "keep" && value != "prune") return "--resources needs keep or prune";
        options.pruneResources = value == "prune";
    } else if (name == "--streams") {
        if (value != "keep" && value != "compress") return "--streams needs compress or keep";
        options.compressStreams = value == "compress";
    } else if (IsPartOption(name)) {
        return ParsePartOption(name, hasValue, value, options);
    } else if (name == "--warn-limit") {
        int32_t n;
        if (!ParseCount(value, n)) return "--warn-limit needs a number";
        options.warnLimit = n;
    } else if (name == "--password") {
        options.password = value;
        options.passwordFile.reset();
    } else if (name == "--password-file") {
        if (value.empty()) return "--password-file needs a file, or - for standard input";
        options.passwordFile = value;
        options.password.reset();
    } else if (name == "--options") {
        options.viewer = ParseOptionLine(value);
        options.bookmarksChosen = true;
    } else if (const ViewerOption* viewerOption = FindViewerOption(name)) {
        if (!ApplyViewerOption(*viewerOption, value, options.viewer)) return viewerOption->error;
        if (viewerOption->letter == 'o') options.bookmarksChosen = true;
    }
    return "";
}

// What an option with a value says when the value is missing.
std::string MissingValue(const OptionSpec& option) {
    const std::string name = option.name;
    if (name == "--warn-limit") return "--warn-limit needs a number";
    if (name == "--pages") return std::string("--pages needs ") + PagesHelp();
    if (name == "--max-size") return "--max-size needs a size such as 500K, 10M or 1G";
    if (name == "--if-exists") return "--if-exists needs rename, replace, skip or fail";
    if (name == "--out") return "--out needs a folder";
    if (name == "--name") return CheckNamePattern("");
    if (name == "--annotations") return "--annotations needs keep or drop";
    if (name == "--document-data") return "--document-data needs keep or drop";
    if (name == "--resources") return "--resources needs keep or prune";
    if (name == "--streams") return "--streams needs compress or keep";
    if (name == "--every") return "--every needs a number of pages from 1 on";
    if (name == "--parts") return PartRangesHelp();
    if (name == "--password") return "--password needs a password";
    if (name == "--password-file") return "--password-file needs a file, or - for standard input";
    if (name == "--options") return "--options needs an option line such as \"/d100 /p1 /nt /ok\"";
    if (const ViewerOption* viewerOption = FindViewerOption(name)) return viewerOption->error;
    return name + " needs a value";
}

}  // namespace

std::string ParseArguments(int argc, const char* const* argv, CliOptions& options) {
    bool onlyFiles = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (onlyFiles || arg.size() < 2 || arg[0] != '-') {
            options.files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            onlyFiles = true;
            continue;
        }
        // "--name=VALUE", "--name VALUE", "-x", "-x VALUE" and "-xVALUE".
        const OptionSpec* option = nullptr;
        std::string value;
        bool hasValue = false;
        if (arg[1] == '-') {
            const size_t eq = arg.find('=');
            option = FindOption(arg.substr(0, eq));
            if (!option) return "unknown option " + arg.substr(0, eq);
            if (eq != std::string::npos) {
                if (!*option->value) return std::string(option->name) + " takes no value";
                value = arg.substr(eq + 1);
                hasValue = true;
            }
        } else {
            option = FindLetter(arg[1]);
            if (!option) return "unknown option " + arg;
            if (arg.size() > 2) {
                if (!*option->value) return "unknown option " + arg;
                value = arg.substr(2);
                hasValue = true;
            }
        }
        if (*option->value && !hasValue && !ValueOnlyAfterEquals(*option)) {
            if (i + 1 >= argc) return MissingValue(*option);
            value = argv[++i];
            hasValue = true;
        }
        if (std::string why = ApplyOption(option->name, hasValue, value, options); !why.empty()) return why;
    }
    // A size limit cuts the parts of the mode chosen, or makes parts of its own.
    if (options.maxSize > 0) {
        if (!options.parts) options.parts = PartRequest{PartMode::Size};
        options.parts->maxSize = options.maxSize;
    }
    // Only a part that a bookmark starts has a title.
    if (NamePatternUsesTitle(options.namePattern) && !(options.parts && options.parts->mode == PartMode::AtBookmarks))
        return "--name: %t is the title of the bookmark that starts a part, so it needs --at-bookmarks";
    return "";
}

std::string UsageText() {
    // Options start at column 2 and their help at column 24.
    constexpr size_t kHelpColumn = 24;
    std::string text =
        "Usage: brisel [OPTIONS] FILE.pdf [FILE.pdf ...]\n"
        "Splits each PDF file into one PDF file per page, written beside it as\n"
        "NAME-1.pdf, NAME-2.pdf, ... (page numbers padded to the page count).\n";
    for (int group = 0; group < static_cast<int>(std::size(kGroups)); ++group) {
        text += std::string("\n") + kGroups[group] + (*kGroups[group] ? "\n" : "");
        for (const OptionSpec& option : kOptions) {
            if (option.group != group) continue;
            std::string names = "  ";
            if (option.letter) {
                names += '-';
                names += option.letter;
                names += ", ";
            } else {
                names += "    ";
            }
            names += option.name;
            if (*option.value) {
                if (!ValueOnlyAfterEquals(option)) names += ' ';
                names += option.value;
            }
            names += names.size() < kHelpColumn ? std::string(kHelpColumn - names.size(), ' ') : "\n" + std::string(kHelpColumn, ' ');
            text += names;
            for (const char* c = option.help; *c; ++c) {
                text += *c;
                if (*c == '\n') text.append(kHelpColumn, ' ');
            }
            text += '\n';
        }
    }
    text +=
        "\n"
        "Environment:\n"
        "  BRISEL_PASSWORD       the password, when no password option is given\n"
        "\n"
        "Exit status:\n"
        "  0    all pages written\n"
        "  3    the document has only one page\n"
        "  4    the page files cannot be created, or a --name name is taken\n"
        "  5    the page range lies outside the document\n"
        "  6    damaged or cut-short input: pages incomplete or not found\n"
        "  10   stopped after telling why (declined warning, password refused or\n"
        "       needed without a terminal)\n"
        "  130  stopped by Ctrl-C\n"
        "  2    wrong arguments\n"
        "  1    any other failure\n";
    return text;
}

}  // namespace brisel
