// Option parsing, and the built glyphwerk-cli run on small pictures: its bytes, messages and
// exit statuses. tests/data/cli holds one 16 x 8 picture (left half black, right half white) in
// every type the converter reads, an all-black one, and a test character table.

#include "Converter.h"
#include "Options.h"
#include "palette/InitialSet.h"
#include "support/DataTable.h"
#include "support/TestFolder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <tuple>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace gw::cli {
namespace {

namespace fs = std::filesystem;

TEST(CommandLine, DefaultCharactersAndFont) {
    const CommandLine c = parseCommandLine({"photo.jpg"});
    EXPECT_EQ(c.options.characters, kInitialCharacterSet);
    EXPECT_EQ(c.options.fontName, "Monaco");
}

GW_TABLE_TEST(OptionValueRows, ReadsTheValueListed, "cli/option-values.tsv") {
    const std::vector<std::string>& f = GetParam().fields;
    const Options o = parseCommandLine({f.begin() + 2, f.end()}).options;
    std::string pictures;
    for (const std::string& picture : o.pictures)
        pictures += (pictures.empty() ? "" : " ") + picture;
    const std::map<std::string, std::string> got = {
        {"maxWidth", std::to_string(o.maxWidth)},
        {"fontSize", std::to_string(o.fontSize)},
        {"background", o.background},
        {"pictures", pictures},
        {"match", std::string(o.match == MatchMode::Shape ? "shape" : "darkness") + " dither " +
                      (o.dither ? "yes" : "no")},
        {"tone", std::string("auto ") + (o.tone.autoContrast ? "yes" : "no") + " contrast " +
                     std::to_string(o.tone.contrast) + " brightness " +
                     std::to_string(o.tone.brightness) + " invert " +
                     (o.tone.invert ? "yes" : "no")}};
    EXPECT_EQ(got.at(f.at(0)), f.at(1));
}

TEST(OutputPaths, OneFilePerPictureInAFolderNamedAfterIt) {
    Options o;
    const std::string folder = ::testing::TempDir() + "gw-output-paths/";
    o.output = folder;
    o.format = FormatId::Html;
    o.pictures = {"x/a.png", "y/a.jpg", ".hidden", "z/a.tif", "-"};
    const OutputPlan plan = planOutputs(o);
    EXPECT_EQ(plan.paths, std::vector<std::string>({folder + "a.html", folder + "a-2.html",
                                                    folder + ".hidden.html", folder + "a-3.html",
                                                    folder + "stdin.html"}));
    EXPECT_TRUE(plan.inFolder && fs::is_directory(folder));
    fs::remove_all(folder);
}

const std::string kData = GLYPHWERK_TEST_DATA "/cli/";
// 16 x 8 points at width 16: 16 x 4 cells, of which the inner 14 x 2 are shown.
const std::string kHalf = "@@@@@@@       \n@@@@@@@       \n";
const std::string kDark = "@@@@@@@@@@@@@@\n@@@@@@@@@@@@@@\n";

using test::readBytes;

void writeBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string quoted(const std::string& text) {
    std::string q = "'";
    for (const char c : text)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

class CliTest : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return (dir / name).string(); }

    // Runs the converter with the test table and the characters "@+." unless `own` is set;
    // `env` holds NAME=VALUE words added to an environment without NO_COLOR.
    CliRun run(std::vector<std::string> args, const std::string& input = "",
               const std::string& env = "", bool own = false, const std::string& out = "") {
        if (!own) args.insert(args.begin(), {"--table", kData + "table.txt", "-c", "@+."});
        writeBytes(dir / "stdin", input);
        std::string command = "env -u NO_COLOR " + env + " " + quoted(GLYPHWERK_CLI);
        for (const std::string& a : args)
            command += " " + quoted(a);
        command += " <" + quoted(path("stdin")) + " >" +
                   quoted(out.empty() ? path("stdout") : out) + " 2>" + quoted(path("stderr"));
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
                readBytes(dir / "stdout"), readBytes(dir / "stderr")};
    }

    gw::testing::TestFolder folder;
    const fs::path dir = folder.path();
};

TEST_F(CliTest, ReadsEveryPictureTypeByContentInArgumentOrder) {
    std::vector<std::string> args = {"-w", "16"};
    std::string want;
    for (const std::string name :
         {"dark.png", "half.png", "half.bmp", "half.tga", "half.psd", "half.gif", "half.tif",
          "half.tiff", "half.jpg", "half.jpeg", "dark.png"}) {
        args.push_back(kData + name);
        want += name == "dark.png" ? kDark : kHalf;
    }
    const CliRun r = run(args);
    EXPECT_EQ(std::make_tuple(r.status, r.out, r.err), std::make_tuple(0, want, ""));
}

// Text goes to the output file; art without a single character is a failure, and no file is
// written for it.
TEST_F(CliTest, TextGoesToTheOutputFileButEmptyArtWritesNothing) {
    const std::string empty = kData + "half.png: the art would be empty: a picture of 16 x 8 "
                                      "pixels gives no whole character at this width\n";
    writeBytes(path("art.txt"), "kept");
    const CliRun one = run({"-w", "1", "-o", path("art.txt"), kData + "half.png"});
    EXPECT_EQ(std::make_tuple(one.status, one.err, readBytes(path("art.txt"))),
              std::make_tuple(2, "glyphwerk-cli: " + empty, std::string("kept")));
    const CliRun file = run({"-w", "16", "-o", path("art.txt"), kData + "half.gif"});
    EXPECT_EQ(std::make_tuple(file.status, file.out, readBytes(path("art.txt"))),
              std::make_tuple(0, std::string(), kHalf));
}

TEST_F(CliTest, AnsiColoursEachChangeAndHonoursNoColor) {
    const std::string row = "\x1b[38;2;0;0;0m@@@@@@@       \x1b[0m\n";
    const std::vector<std::string> args = {"-w", "16", "-f", "ansi", "--color", kData + "half.png"};
    EXPECT_EQ(run(args).out, row + row);
    EXPECT_EQ(run(args, "", "NO_COLOR=1").out, kHalf);
    EXPECT_EQ(run(args, "", "NO_COLOR=").out, row + row); // empty means unset
}

// The tone options change which characters stand for the cells, never their colours, and go
// with the shape match, the dither and every format.
TEST_F(CliTest, ToneOptionsChangeTheCharactersNotTheirColours) {
    const std::string half = kData + "half.png";
    EXPECT_EQ(run({"-w", "16", "--invert", half}).out, "       @@@@@@@\n       @@@@@@@\n");
    EXPECT_EQ(run({"-w", "16", "--brightness", "-100", half}).out, kDark);
    const std::string row = "       \x1b[38;2;254;254;254m@@@@@@@\x1b[0m\n";
    EXPECT_EQ(run({"-w", "16", "-f", "ansi", "--color", "--invert", half}).out, row + row);

    const std::vector<std::string> tone = {"--auto-contrast", "--contrast", "20",
                                           "--brightness",    "10",         "--invert",
                                           "--match",         "shape",      "--dither"};
    for (const std::string format : {"text", "ansi", "html", "rtf", "tiff", "png", "svg"}) {
        std::vector<std::string> args = {"-w", "16", "-f", format, "-o", path("tone/"), half};
        args.insert(args.end(), tone.begin(), tone.end());
        const CliRun r = run(args);
        EXPECT_EQ(std::make_tuple(r.status, r.err), std::make_tuple(0, std::string())) << format;
    }
    EXPECT_EQ(readBytes(path("tone/half.txt")), "....   @@@@@@@\n....   @@@@@@@\n");
}

TEST_F(CliTest, ReportsEachFailedPictureAndExitsOneOrTwo) {
    writeBytes(dir / "notes.png", "these are notes, not a picture\n");
    const std::string missing =
        "glyphwerk-cli: " + path("missing.png") + ": cannot open (No such file or directory)\n";
    const CliRun some = run({"-w", "16", path("missing.png"), kData + "half.png"});
    EXPECT_EQ(std::make_tuple(some.status, some.out, some.err), std::make_tuple(1, kHalf, missing));
    const CliRun all = run({path("missing.png"), path("notes.png")});
    EXPECT_EQ(std::make_tuple(all.status, all.out, all.err),
              std::make_tuple(2, std::string(),
                              missing + "glyphwerk-cli: " + path("notes.png") +
                                  ": not a picture in a supported format\n"));

    const CliRun unwritable = run({"-o", path("no/dir/art.txt"), kData + "half.png"});
    EXPECT_EQ(std::make_pair(unwritable.status, unwritable.err),
              std::make_pair(1, "glyphwerk-cli: " + path("no/dir/art.txt") +
                                    ": No such file or directory\n"));
    // A failed write to standard output ends the run with one message, whatever is left.
    const CliRun full =
        run({"-w", "16", kData + "half.png", kData + "half.gif"}, "", "", false, "/dev/full");
    EXPECT_EQ(std::make_pair(full.status, full.err),
              std::make_pair(1, std::string("glyphwerk-cli: standard output: No space left on "
                                            "device\n")));
}

// Names from outside reach the terminal with their control characters escaped; the files are
// still opened by their real names.
TEST_F(CliTest, ShowsControlCharactersInNamesEscapedWhileReadingTheFiles) {
    const std::string titled = "a\x1b]0;PWNED\x07"
                               "b.png";
    fs::copy_file(kData + "half.png", dir / titled);
    writeBytes(dir / "n\x1b[2J.png", "notes");
    const CliRun r = run({"-w", "16", path(titled), path("n\x1b[2J.png")});
    EXPECT_EQ(std::make_tuple(r.status, r.out, r.err),
              std::make_tuple(1, kHalf,
                              "glyphwerk-cli: " + path("n\\033[2J.png") +
                                  ": not a picture in a supported format\n"));
    const CliRun font = run(
        {"-w", "16", "-f", "tiff", "--font", "No\x1b[2JSuch", "-o", path("art.tif"), path(titled)});
    EXPECT_NE(font.err.find("No\\033[2JSuch"), std::string::npos) << font.err;
    EXPECT_EQ(font.err.find('\x1b'), std::string::npos) << font.err;
    EXPECT_EQ(run({"--bogus\x07"}).err,
              "glyphwerk-cli: unknown option '--bogus\\a'\nTry 'glyphwerk-cli --help'.\n");
}

// The message, then the arguments. The last rows would write over the picture they convert.
GW_TABLE_TEST_F(CliTest, UsageErrorRows, ExitTwoWithAHint, "cli/usage-errors.tsv") {
    fs::copy_file(kData + "half.png", path("victim.png"));
    fs::create_directory(path("dir"));
    fs::copy_file(kData + "half.png", path("dir/p.txt"));
    fs::create_symlink(path("victim.png"), path("link.txt"));
    std::vector<std::string> args = GetParam().fields;
    for (std::string& arg : args) {
        for (std::size_t x; (x = arg.find("@DIR@")) != std::string::npos;)
            arg.replace(x, 5, dir.string());
    }
    const std::string message = args.front();
    args.erase(args.begin());
    const CliRun r = run(args);
    EXPECT_EQ(
        std::make_tuple(r.status, r.out, r.err),
        std::make_tuple(2, "", "glyphwerk-cli: " + message + "\nTry 'glyphwerk-cli --help'.\n"));
    EXPECT_EQ(readBytes(path("victim.png")), readBytes(kData + "half.png"));
    EXPECT_EQ(readBytes(path("dir/p.txt")), readBytes(kData + "half.png"));
}

TEST_F(CliTest, HelpAndVersion) {
    const CliRun help = run({"--help"}, "", "", true);
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.starts_with("Usage: glyphwerk-cli [options] PICTURE...\n"));
    EXPECT_THAT(run({"--version"}, "", "", true).out,
                ::testing::MatchesRegex("glyphwerk-cli [0-9]+\\.[0-9]+\\.[0-9]+ \\(commit "
                                        "[0-9a-z-]+\\)\n"));
}

TEST_F(CliTest, WritesPagesDocumentsAndImagesToFilesFoldersAndStandardOutput) {
    const std::string row = "<span style=\"color: #000000\">@@@@@@@" + std::string() +
                            "&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;</span><br>\n";
    const CliRun html = run({"-w", "16", "-f", "html", "--background", "#ff7f3f", "--font",
                             "Courier", "-o", "-", kData + "half.png"});
    EXPECT_EQ(html.status, 0) << html.err;
    EXPECT_NE(html.out.find("font-family: \"Monaco\", monospace;"), std::string::npos);
    EXPECT_TRUE(html.out.ends_with("<div style=\"background-color: #ff7f3f\">" + row + row +
                                   "</div>\n</body>\n</html>\n"))
        << html.out;

    // Files named after the pictures in a folder that a trailing '/' creates; a planted link
    // there is replaced, not followed.
    fs::create_directories(path("art"));
    writeBytes(dir / "kept.txt", "kept");
    fs::create_symlink(path("kept.txt"), path("art/half.rtf"));
    for (const std::string format : {"html", "rtf", "tiff", "png", "svg"}) {
        const CliRun r = run({"-w", "16", "--color", "-f", format, "--font-size", "9.5", "-o",
                              path("art/"), kData + "half.png", kData + "dark.png"});
        EXPECT_EQ(r.status, 0) << r.err;
    }
    EXPECT_EQ(readBytes(path("kept.txt")), "kept");
    const std::string rtf = readBytes(path("art/half.rtf"));
    EXPECT_TRUE(rtf.starts_with("{\\rtf1") && rtf.find("\\fs18\n") != std::string::npos) << rtf;
    EXPECT_TRUE(readBytes(path("art/dark.html")).starts_with("<html>\n"));
    EXPECT_TRUE(readBytes(path("art/dark.tif")).starts_with(std::string("II*\0", 4)));
    EXPECT_TRUE(readBytes(path("art/dark.png")).starts_with("\x89PNG\r\n\x1a\n"));
    EXPECT_TRUE(readBytes(path("art/dark.svg")).starts_with("<?xml"));

    // An image goes to standard output, byte for byte as to a file, when it is no terminal, and
    // nowhere when it is one.
    for (const auto& [format, file, name] :
         {std::tuple{"tiff", "art/half.tif", "TIFF"}, std::tuple{"png", "art/half.png", "PNG"}}) {
        const CliRun image =
            run({"-w", "16", "--color", "-f", format, "--font-size", "9.5", kData + "half.png"});
        EXPECT_EQ(image.status, 0) << image.err;
        EXPECT_EQ(image.out, readBytes(path(file)));
        const std::string onTerminal =
            "script -qec " +
            quoted(quoted(GLYPHWERK_CLI) + " -f " + format + " " + kData + "half.png") +
            " /dev/null >" + quoted(path("terminal")) + " 2>&1";
        const int status = std::system(onTerminal.c_str());
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 2);
        EXPECT_EQ(readBytes(path("terminal")),
                  "glyphwerk-cli: a " + std::string(name) +
                      " image is not written to a terminal; use -o FILE or redirect standard "
                      "output\r\n");
    }
}

TEST_F(CliTest, TableComesFromTheResourcesUnlessGiven) {
    const CliRun installed = run({"-w", "16", kData + "half.png"}, "", "", true);
    EXPECT_EQ(std::make_tuple(installed.status, installed.err, installed.out.size()),
              std::make_tuple(0, std::string(), kHalf.size()));

    // A refused table ends the run with the loader's message (its test walks the reasons).
    const std::string nan = GLYPHWERK_TEST_DATA "/tables/darkness-nan.txt";
    const CliRun refused = run({"--table", nan, kData + "half.png"}, "", "", true);
    EXPECT_EQ(std::make_tuple(refused.status, refused.out, refused.err),
              std::make_tuple(2, "",
                              "glyphwerk-cli: " + nan +
                                  ":1: the darkness nan is not a number from 0 to 65535\n"));
}

// A damaged picture with usable pixel data is converted as far as it could be read, counted as
// converted, with one warning; one without any stays a failure.
TEST_F(CliTest, DamagedPicturesConvertWithOneWarning) {
    const std::string cut = GLYPHWERK_TEST_DATA "/damaged/gif-truncated.gif";
    const CliRun r = run({"-w", "16", cut, kData + "half.png"});
    EXPECT_EQ(std::make_tuple(r.status, r.err),
              std::make_tuple(0, "glyphwerk-cli: " + cut +
                                     ": damaged data, converted the part that could be read\n"));
    EXPECT_TRUE(r.out.ends_with(kHalf)) << r.out;
    const CliRun piped = run({"-w", "16", "-"}, readBytes(cut));
    EXPECT_EQ(std::make_tuple(piped.status, piped.err),
              std::make_tuple(0, std::string("glyphwerk-cli: standard input: damaged data, "
                                             "converted the part that could be read\n")));
    const std::string none = GLYPHWERK_TEST_DATA "/bad/png-truncated-in-image-data.png";
    EXPECT_EQ(run({none}).status, 2);
}

// Standard input is looked at before it is read on, and held no longer than allowed; special
// files given as pictures are refused without waiting on them.
TEST_F(CliTest, StandardInputAndSpecialFiles) {
    const std::string notAPicture = "glyphwerk-cli: standard input: not a picture in a supported "
                                    "format\n";
    EXPECT_EQ(run({"-"}, std::string(1 << 20, '\0')).err, notAPicture);
    EXPECT_EQ(run({"-w", "16", "/dev/stdin"}, readBytes(kData + "half.png")).out, kHalf);
    EXPECT_EQ(run({"-"}, "").err, "glyphwerk-cli: standard input: the file is empty\n");
    ASSERT_EQ(::mkfifo(path("fifo.png").c_str(), 0600), 0);
    const CliRun fifo = run({path("fifo.png"), "/dev/zero"});
    EXPECT_EQ(std::make_pair(fifo.status, fifo.err),
              std::make_pair(2, "glyphwerk-cli: " + path("fifo.png") +
                                    ": not a regular file\nglyphwerk-cli: /dev/zero: not a "
                                    "regular file\n"));

    const int fd = ::open((kData + "half.png").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(StandardInput().read(fd, 16), "standard input: too large (more than 16 bytes)");
    ::close(fd);
}

TEST_F(CliTest, WarnsOnceAboutCharactersAndColourItCannotUse) {
    const CliRun many = run({"-w", "16", "-c", "@abcdefghijk\xf0\x9f\x98\x80", kData + "half.png"});
    EXPECT_EQ(many.err, "glyphwerk-cli: warning: left out, the character table has no darkness "
                        "for: 12 characters, among them a b c d e f g h\n");
    const CliRun r = run({"-w", "16", "--color", "-c", "\xc3\xa9@\t\xc3\xa9\xf0\x9f\x98\x80\x7f",
                          kData + "half.png", kData + "half.bmp"});
    EXPECT_EQ(std::make_pair(r.status, r.out), std::make_pair(0, kHalf + kHalf));
    EXPECT_EQ(r.err, "glyphwerk-cli: warning: left out, the character table has no darkness "
                     "for: \xc3\xa9 U+0009 \xf0\x9f\x98\x80 U+007F\n"
                     "glyphwerk-cli: warning: text output has no colour; use -f ansi\n");
}

} // namespace
} // namespace gw::cli
