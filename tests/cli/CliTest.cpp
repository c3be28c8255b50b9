// Option parsing, and the built glyphwerk-cli run on small pictures: its bytes, messages and
// exit statuses. tests/data/cli holds one 16 x 8 picture (left half black, right half white) in
// every type the converter reads, and an all-black one.

#include "Converter.h"
#include "Options.h"
#include "palette/InitialSet.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace gw::cli {
namespace {

namespace fs = std::filesystem;

TEST(CommandLine, DefaultsAndValueSpellings) {
    const CommandLine c = parseCommandLine({"photo.jpg"});
    EXPECT_EQ(c.options.maxWidth, 80);
    EXPECT_EQ(c.options.characters, kInitialCharacterSet);
    EXPECT_EQ(c.options.fontName, "Monaco");
    for (const auto& args : std::vector<std::vector<std::string_view>>{
             {"-w", "120", "a"}, {"-w120", "a"}, {"--width=120", "a"}, {"--width", "+120", "a"}}) {
        EXPECT_EQ(parseCommandLine(args).options.maxWidth, 120);
    }
    EXPECT_EQ(parseCommandLine({"-w", "-5", "a"}).options.maxWidth, -5);
    EXPECT_EQ(parseCommandLine({"--", "-w", "--color"}).options.pictures,
              std::vector<std::string>({"-w", "--color"}));
    // A font size outside 1 to 73 is 12.
    EXPECT_EQ(parseCommandLine({"--font-size", "73", "a"}).options.fontSize, 73);
    for (const std::string_view bad : {"0", "74", "big", "12.5", ""})
        EXPECT_EQ(parseCommandLine({"--font-size", bad, "a"}).options.fontSize, 12) << bad;
}

TEST(OutputPaths, OneFileOrOneFilePerPictureInAFolder) {
    Options o;
    o.pictures = {"x/a.png"};
    std::string error;
    o.output = "-";
    EXPECT_EQ(outputPaths(o, error), std::vector<std::string>({""}));
    o.output = "art.txt";
    EXPECT_EQ(outputPaths(o, error), std::vector<std::string>({"art.txt"}));
    const std::string folder = ::testing::TempDir() + "gw-output-paths";
    o.output = folder;
    o.format = OutputFormat::Ansi;
    o.pictures = {"x/a.png", "y/a.jpg", ".hidden"};
    EXPECT_EQ(outputPaths(o, error),
              std::vector<std::string>(
                  {folder + "/a.ans", folder + "/a-2.ans", folder + "/.hidden.ans"}));
    fs::remove_all(folder);
}

const std::string kData = GLYPHWERK_TEST_DATA "/cli/";
// 16 x 8 points at width 16: 16 x 4 cells, of which the inner 14 x 2 are shown.
const std::string kHalf = "@@@@@@@       \n@@@@@@@       \n";
const std::string kDark = "@@@@@@@@@@@@@@\n@@@@@@@@@@@@@@\n";

std::string readBytes(const fs::path& path) {
    std::stringstream bytes; // not istreambuf_iterator: GCC 12 -O3 warns inside it
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

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
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("gw-cli-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
        // Darkness steps '@' 0, '+' 0.5, '.' 0.92; the rest is a code no test set uses.
        std::string table = "# test table\n64 @ 0\n43 + 32767\n46 . 60000\n";
        for (int i = 0; i < 220; ++i)
            table += "1 ~ 65535\n";
        writeBytes(dir / "table.txt", table);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string path(const std::string& name) const { return (dir / name).string(); }

    // Runs the converter with the test table and the characters "@+." unless `own` is set;
    // `env` holds NAME=VALUE words added to an environment without NO_COLOR.
    CliRun run(std::vector<std::string> args, const std::string& input = "",
               const std::string& env = "", bool own = false) {
        if (!own) args.insert(args.begin(), {"--table", path("table.txt"), "-c", "@+."});
        writeBytes(dir / "stdin", input);
        std::string command = "env -u NO_COLOR " + env + " " + quoted(GLYPHWERK_CLI);
        for (const std::string& a : args)
            command += " " + quoted(a);
        command += " <" + quoted(path("stdin")) + " >" + quoted(path("stdout")) + " 2>" +
                   quoted(path("stderr"));
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
                readBytes(dir / "stdout"), readBytes(dir / "stderr")};
    }

    fs::path dir;
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
    for (const std::string w : {"0", "-3"}) { // no lines for a width of 0 or below
        const CliRun empty = run({"--width=" + w, kData + "half.png"});
        EXPECT_EQ(std::make_pair(empty.status, empty.out), std::make_pair(0, std::string()));
    }
}

TEST_F(CliTest, StandardInputAndOutputFilesGiveTheSameBytes) {
    const CliRun piped = run({"-w", "16", "-"}, readBytes(kData + "half.png"));
    EXPECT_EQ(std::make_pair(piped.status, piped.out), std::make_pair(0, kHalf));

    const CliRun file = run({"-w", "16", "-o", path("art.txt"), kData + "half.gif"});
    EXPECT_EQ(std::make_pair(file.status, file.out), std::make_pair(0, std::string()));
    EXPECT_EQ(readBytes(path("art.txt")), kHalf);

    // Several pictures go into a folder, named after them; a repeated name gets a number.
    const CliRun folder = run({"-w", "16", "-o", path("out"), kData + "half.png",
                               kData + "half.tif", kData + "half.tiff", "-"},
                              readBytes(kData + "dark.png"));
    EXPECT_EQ(folder.status, 0) << folder.err;
    for (const char* name : {"half", "half-2", "half-3"})
        EXPECT_EQ(readBytes(path("out/" + std::string(name) + ".txt")), kHalf) << name;
    EXPECT_EQ(readBytes(path("out/stdin.txt")), kDark);
}

TEST_F(CliTest, AnsiColoursEachChangeAndHonoursNoColor) {
    const std::string row = "\x1b[38;2;0;0;0m@@@@@@@       \x1b[0m\n";
    const std::vector<std::string> args = {"-w", "16", "-f", "ansi", "--color", kData + "half.png"};
    EXPECT_EQ(run(args).out, row + row);
    EXPECT_EQ(run(args, "", "NO_COLOR=1").out, kHalf);
    EXPECT_EQ(run(args, "", "NO_COLOR=").out, row + row); // empty means unset
}

TEST_F(CliTest, ReportsEachFailedPictureAndExitsOneOrTwo) {
    writeBytes(dir / "notes.png", "these are notes, not a picture\n");
    const std::string missing = "glyphwerk-cli: " + path("missing.png") + ": ";
    const CliRun some = run({"-w", "16", path("missing.png"), kData + "half.png"});
    EXPECT_EQ(std::make_pair(some.status, some.out), std::make_pair(1, kHalf));
    EXPECT_TRUE(some.err.starts_with(missing)) << some.err;

    const CliRun all = run({path("missing.png"), path("notes.png")});
    EXPECT_EQ(std::make_pair(all.status, all.out), std::make_pair(2, std::string()));
    EXPECT_TRUE(all.err.starts_with(missing)) << all.err;
    EXPECT_NE(all.err.find("\nglyphwerk-cli: " + path("notes.png") + ": "), std::string::npos)
        << all.err;

    const CliRun unwritable = run({"-o", path("no/dir/art.txt"), kData + "half.png"});
    EXPECT_EQ(unwritable.status, 2);
    EXPECT_EQ(unwritable.err, "glyphwerk-cli: " + path("no/dir/art.txt") +
                                  ": cannot write: No such file or directory\n");
}

TEST_F(CliTest, UsageErrorsExitTwoWithAHint) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--bogus", "x.png"}, "unknown option '--bogus'"},
        {{"-w", "wide", "x.png"}, "the width must be a whole number, not 'wide'"},
        {{"-w"}, "option '-w' needs a value"},
        {{"--color=yes", "x.png"}, "option '--color' takes no value"},
        {{}, "no picture given"},
        {{""}, "an empty picture name was given"},
        {{"-", "-"}, "standard input ('-') can be read only once"},
        {{"-f", "svg", "x.png"}, "unknown format 'svg'; choose text, ansi, html, rtf or tiff"},
        {{"--background", "red", "x.png"},
         "the background must be a colour like #ff8000, not 'red'"},
    };
    for (const auto& [args, message] : cases) {
        const CliRun r = run(args);
        EXPECT_EQ(std::make_tuple(r.status, r.out, r.err),
                  std::make_tuple(2, "",
                                  "glyphwerk-cli: " + message + "\nTry 'glyphwerk-cli --help'.\n"));
    }
    const CliRun help = run({"--help"}, "", "", true);
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.starts_with("Usage: glyphwerk-cli [options] PICTURE...\n"));
    EXPECT_TRUE(run({"--version"}, "", "", true).out.starts_with("glyphwerk-cli "));
    // Formats still to come are refused before any output is made.
    for (const std::string format : {"html", "rtf", "tiff"}) {
        const CliRun r = run({"-f", format, "-o", path("out"), kData + "half.png"});
        EXPECT_EQ(std::make_pair(r.status, r.err),
                  std::make_pair(2, "glyphwerk-cli: the " + format +
                                        " format is not available yet in this version; use "
                                        "text or ansi\n"));
        EXPECT_FALSE(fs::exists(path("out")));
    }
}

TEST_F(CliTest, TableComesFromTheResourcesUnlessGiven) {
    const CliRun installed = run({"-w", "16", kData + "half.png"}, "", "", true);
    EXPECT_EQ(std::make_pair(installed.status, installed.err), std::make_pair(0, std::string()));
    EXPECT_EQ(installed.out.size(), kHalf.size());

    const CliRun missing = run({"--table", path("none.txt"), kData + "half.png"}, "", "", true);
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.err, "glyphwerk-cli: " + path("none.txt") +
                               ": cannot open the character table: No such file or directory\n");
}

TEST_F(CliTest, WarnsOnceAboutCharactersAndColourItCannotUse) {
    const CliRun r = run({"-w", "16", "--color", "-c", "\xc3\xa9@\t\xc3\xa9\xf0\x9f\x98\x80\x7f",
                          kData + "half.png", kData + "half.bmp"});
    EXPECT_EQ(std::make_pair(r.status, r.out), std::make_pair(0, kHalf + kHalf));
    EXPECT_EQ(r.err, "glyphwerk-cli: warning: left out, the character table has no darkness "
                     "for: \xc3\xa9 U+0009 \xf0\x9f\x98\x80 U+007F\n"
                     "glyphwerk-cli: warning: text output has no colour; use -f ansi\n");
}

} // namespace
} // namespace gw::cli
