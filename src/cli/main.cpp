// glyphwerk-cli: character art from pictures, for scripts and terminals.

#include "Converter.h"
#include "Options.h"
#include "Version.h"
#include "common/Log.h"
#include "common/Resources.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kExitUsage = 2;

// The default font stands in silently: only a font the user named is worth a word when it is
// replaced.
bool quietDefaultFont = true;

// The engine's system log lines, as a command-line tool shows them. The version line is
// routine, and a character the table lacks has been reported once, in words, already.
void showLogLine(std::string_view message) {
    if (message.starts_with("Mac OS Version ") || message == "Shouldn't Be Hit A") return;
    if (quietDefaultFont && message.starts_with("Font \"Monaco\" ")) return;
    std::fprintf(stderr, "glyphwerk-cli: %.*s\n", static_cast<int>(message.size()), message.data());
}

bool loadTable(const gw::cli::Options& options, gw::CharacterTable& table) {
    std::string path = options.table;
    if (path.empty()) {
        const std::string folder = gw::findResourceFolder(gw::currentExecutablePath());
        if (folder.empty()) {
            std::fputs("glyphwerk-cli: cannot find the character table Table.txt; set "
                       "GLYPHWERK_RESOURCES to its folder or use --table PATH\n",
                       stderr);
            return false;
        }
        path = folder + "/Table.txt";
    }
    const gw::TableLoadResult loaded = gw::loadCharacterTableFile(path, table);
    if (!loaded.ok) {
        std::fprintf(stderr, "glyphwerk-cli: %s\n", gw::printable(loaded.error).c_str());
        return false;
    }
    return true;
}

// Whether `output` (empty or "-" for standard output) is a terminal. Only character devices are
// opened to ask, without blocking and without becoming the controlling terminal.
bool writesToTerminal(const std::string& output) {
    if (output.empty() || output == "-") return ::isatty(STDOUT_FILENO) == 1;
    struct stat st {};
    if (::stat(output.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) return false;
    const int fd = ::open(output.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    const bool terminal = fd >= 0 && ::isatty(fd) == 1;
    if (fd >= 0) ::close(fd);
    return terminal;
}

} // namespace

int main(int argc, char** argv) {
    using namespace gw::cli;
    gw::setLogSink(&showLogLine);

    const std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const CommandLine command = parseCommandLine(args);
    switch (command.action) {
    case Action::Help:
        std::fputs(helpText().c_str(), stdout);
        return 0;
    case Action::Version:
        std::puts("glyphwerk-cli " GLYPHWERK_VERSION " (commit " GLYPHWERK_COMMIT ")");
        return 0;
    case Action::UsageError:
        std::fprintf(stderr, "glyphwerk-cli: %s\nTry 'glyphwerk-cli --help'.\n",
                     gw::printable(command.error).c_str());
        return kExitUsage;
    case Action::Convert:
        break;
    }
    const Options& options = command.options;
    quietDefaultFont = !options.fontChosen;
    const gw::OutputFormat& format = gw::outputFormat(options.format);
    if (format.binary && writesToTerminal(options.output)) {
        std::fprintf(stderr,
                     "glyphwerk-cli: a %.*s is not written to a terminal; use -o FILE or "
                     "redirect standard output\n",
                     static_cast<int>(format.name.size()), format.name.data());
        return kExitUsage;
    }

    gw::CharacterTable table{};
    if (!loadTable(options, table)) return kExitUsage;

    const std::vector<std::string> missing = charactersWithoutDarkness(options.characters, table);
    if (!missing.empty()) {
        // A long list would bury everything else: the first few stand for the rest.
        constexpr std::size_t kShown = 8;
        std::string list;
        for (std::size_t i = 0; i < std::min(kShown, missing.size()); ++i)
            list += (list.empty() ? "" : " ") + missing[i];
        if (missing.size() > kShown)
            list = std::to_string(missing.size()) + " characters, among them " + list;
        std::fprintf(stderr,
                     "glyphwerk-cli: warning: left out, the character table has no darkness "
                     "for: %s\n",
                     gw::printable(list).c_str());
    }
    if (options.color && !format.color) {
        std::fputs("glyphwerk-cli: warning: text output has no colour; use -f ansi\n", stderr);
    }

    Environment env;
    const char* noColor = std::getenv("NO_COLOR");
    env.noColor = noColor != nullptr && noColor[0] != '\0';
    env.progressTerminal = ::isatty(STDERR_FILENO) == 1;
    env.threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));

    const RunReport report = convertAll(options, table, env);
    if (report.outputClosed) return 1;
    if (report.failed == 0) return 0;
    // 2 when nothing could be read at all; an output that could not be written is 1.
    return report.converted > 0 || report.unwritten > 0 ? 1 : kExitUsage;
}
