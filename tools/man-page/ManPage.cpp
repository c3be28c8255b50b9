// man-page: writes a manual page from a program's --help text and a page template, so that the
// page lists exactly the options --help lists.
//
//   man-page TEMPLATE OUTPUT < help-text
//
// The help text: a "Usage: PROGRAM ARGS" line, paragraphs, then option lines
// ("  -w, --width N        text", at least two spaces before the text) whose continuation lines
// are indented, then closing paragraphs. The template's lines "%SYNOPSIS%", "%DESCRIPTION%",
// "%OPTIONS%" and "%NOTES%" are replaced by the corresponding parts in roff.

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Text as roff shows it literally: backslashes escaped, hyphens as minus signs where they are
// part of a command-line word, and a leading dot or quote made harmless.
std::string roff(const std::string& text, bool minus = false) {
    std::string out;
    for (const char c : text) {
        if (c == '\\')
            out += "\\e";
        else if (c == '-' && minus)
            out += "\\-";
        else
            out += c;
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out.insert(0, "\\&");
    return out;
}

std::string trim(const std::string& s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// "-w, --width N" as bold names and an italic value.
std::string optionNames(const std::string& names) {
    std::string out;
    std::istringstream words(names);
    for (std::string word; words >> word;) {
        if (!out.empty()) out += ' ';
        const bool comma = word.back() == ',';
        if (comma) word.pop_back();
        if (word[0] == '-')
            out += "\\fB" + roff(word, true) + "\\fR";
        else
            out += "\\fI" + roff(word) + "\\fR";
        if (comma) out += ',';
    }
    return out;
}

struct Help {
    std::string program, synopsis;
    std::vector<std::string> description, notes; // paragraphs
    std::vector<std::pair<std::string, std::string>> options;
};

Help parse(std::istream& in) {
    Help help;
    std::vector<std::string>* paragraphs = &help.description;
    bool newParagraph = true;
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with("Usage: ")) {
            std::istringstream words(line.substr(7));
            words >> help.program;
            std::getline(words, help.synopsis);
            help.synopsis = trim(help.synopsis);
            continue;
        }
        if (trim(line).empty()) {
            newParagraph = true;
            if (!help.options.empty()) paragraphs = &help.notes;
            continue;
        }
        const std::string text = trim(line);
        if (line.starts_with(" ") && text[0] == '-') {
            const auto gap = text.find("  ");
            help.options.emplace_back(text.substr(0, gap),
                                      gap == std::string::npos ? "" : trim(text.substr(gap)));
        } else if (line.starts_with("   ") && !help.options.empty() && paragraphs != &help.notes) {
            help.options.back().second += ' ' + text;
        } else {
            if (newParagraph || paragraphs->empty())
                paragraphs->emplace_back();
            else
                paragraphs->back() += '\n';
            paragraphs->back() += text;
            newParagraph = false;
        }
    }
    return help;
}

std::string paragraphs(const std::vector<std::string>& list) {
    std::string out;
    for (const std::string& p : list) {
        if (!out.empty()) out += ".PP\n";
        std::istringstream lines(p);
        for (std::string line; std::getline(lines, line);)
            out += roff(line) + '\n';
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: man-page TEMPLATE OUTPUT < help-text\n", stderr);
        return 2;
    }
    const Help help = parse(std::cin);
    if (help.program.empty() || help.options.empty()) {
        std::fputs("man-page: the help text has no Usage line or no options\n", stderr);
        return 1;
    }
    std::ifstream templ(argv[1]);
    if (!templ) {
        std::fprintf(stderr, "man-page: cannot read %s\n", argv[1]);
        return 1;
    }
    std::ostringstream page;
    for (std::string line; std::getline(templ, line);) {
        if (line == "%SYNOPSIS%") {
            page << "\\fB" << roff(help.program, true) << "\\fR " << roff(help.synopsis, true)
                 << '\n';
        } else if (line == "%DESCRIPTION%") {
            page << paragraphs(help.description);
        } else if (line == "%OPTIONS%") {
            for (const auto& [names, text] : help.options)
                page << ".TP\n" << optionNames(names) << '\n' << roff(text) << '\n';
        } else if (line == "%NOTES%") {
            page << paragraphs(help.notes);
        } else {
            page << line << '\n';
        }
    }
    std::ofstream out(argv[2], std::ios::binary);
    out << page.str();
    return out.good() ? 0 : 1;
}
