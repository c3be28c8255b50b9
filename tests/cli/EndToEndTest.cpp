// Runs the built glyphwerk-cli on pictures made here and checks its bytes, messages and exit
// statuses.

#include "PictureWriters.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace gw::test {
namespace {

namespace fs = std::filesystem;

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
        fs::remove_all(dir);
        fs::create_directories(dir);
        // Darkness steps '@' 0, '+' 0.5, '.' 0.92; the rest of the table is a code no set uses.
        std::string table = "# test table\n64 @ 0\n43 + 32767\n46 . 60000\n";
        for (int i = 0; i < 220; ++i)
            table += "1 ~ 65535\n";
        tablePath = path("table.txt");
        writeBytes(tablePath, table);
        picture = halfDark(16, 8, 8);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string path(const std::string& name) const { return (dir / name).string(); }

    // Runs the converter with the test table unless `withTable` is false.
    CliRun run(std::vector<std::string> args, const std::string& stdinBytes = "",
               std::vector<std::string> env = {}, bool withTable = true) {
        if (withTable) {
            // The test table knows only these; a test that sets characters puts its own later.
            args.insert(args.begin(), {"--table", tablePath, "-c", "@+."});
        }
        args.insert(args.begin(), GLYPHWERK_CLI);
        const std::string in = path("stdin"), out = path("stdout"), err = path("stderr");
        writeBytes(in, stdinBytes);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<std::string> environment;
        for (char** e = environ; *e != nullptr; ++e) {
            if (std::string_view(*e).starts_with("NO_COLOR=")) continue;
            environment.emplace_back(*e);
        }
        environment.insert(environment.end(), env.begin(), env.end());
        std::vector<char*> envp;
        for (std::string& e : environment)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        pid_t pid = 0;
        CliRun result;
        if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0) {
            int status = 0;
            waitpid(pid, &status, 0);
            result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        posix_spawn_file_actions_destroy(&actions);
        result.out = readBytes(out);
        result.err = readBytes(err);
        return result;
    }

    fs::path dir;
    std::string tablePath;
    RgbPicture picture;
    // 16 x 8 points at width 16: 16 x 4 cells; the inner 14 x 2 are shown.
    const std::string expected = "@@@@@@@       \n@@@@@@@       \n";
};

TEST_F(CliTest, WritesTheTextToStandardOutput) {
    writePng(path("half.png"), picture);
    const CliRun r = run({"-w", "16", path("half.png")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.err, "");
}

TEST_F(CliTest, ReadsEveryPictureTypeByContent) {
    const std::vector<std::pair<std::string, void (*)(const std::string&, const RgbPicture&)>>
        writers = {{"a.png", &writePng},  {"b.bmp", &writeBmp}, {"c.tga", &writeTga},
                   {"d.psd", &writePsd},  {"e.gif", &writeGif}, {"f.tif", &writeTiff},
                   {"g.tiff", &writeTiff}};
    std::vector<std::string> args = {"-w", "16"};
    for (const auto& [name, write] : writers) {
        write(path(name), picture);
        args.push_back(path(name));
    }
    writeJpeg(path("h.jpg"), picture);
    writeJpeg(path("i.jpeg"), picture, true);
    args.push_back(path("h.jpg"));
    args.push_back(path("i.jpeg"));
    std::string all;
    for (int i = 0; i < 9; ++i)
        all += expected;
    const CliRun r = run(args);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, all);
}

TEST_F(CliTest, ReadsStandardInput) {
    writePng(path("half.png"), picture);
    const CliRun r = run({"-w", "16", "-"}, readBytes(path("half.png")));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, expected);
}

TEST_F(CliTest, WritesAFileWithTheSameBytes) {
    writePng(path("half.png"), picture);
    const CliRun r = run({"-w", "16", "-o", path("art.txt"), path("half.png")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(readBytes(path("art.txt")), expected);
}

TEST_F(CliTest, KeepsTheOrderOfSeveralPictures) {
    writePng(path("dark.png"), halfDark(16, 8, 16));
    writePng(path("half.png"), picture);
    const std::string dark = "@@@@@@@@@@@@@@\n@@@@@@@@@@@@@@\n";
    std::vector<std::string> args = {"-w", "16"};
    std::string want;
    for (int i = 0; i < 6; ++i) {
        args.push_back(path(i % 3 == 0 ? "dark.png" : "half.png"));
        want += i % 3 == 0 ? dark : expected;
    }
    const CliRun r = run(args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, want);
}

TEST_F(CliTest, WritesSeveralPicturesIntoAFolder) {
    fs::create_directories(dir / "sub");
    writePng(path("half.png"), picture);
    writePng(path("sub/half.png"), picture);
    const CliRun r =
        run({"-w", "16", "-o", path("out"), path("half.png"), path("sub/half.png"), "-"},
            readBytes(path("half.png")));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readBytes(path("out/half.txt")), expected);
    EXPECT_EQ(readBytes(path("out/half-2.txt")), expected);
    EXPECT_EQ(readBytes(path("out/stdin.txt")), expected);
}

TEST_F(CliTest, AnsiColoursEachChangeAndHonoursNoColor) {
    writePng(path("half.png"), picture);
    const std::string row = "\x1b[38;2;0;0;0m@@@@@@@       \x1b[0m\n";
    const CliRun colored = run({"-w", "16", "-f", "ansi", "--color", path("half.png")});
    EXPECT_EQ(colored.status, 0);
    EXPECT_EQ(colored.out, row + row);
    const CliRun plain =
        run({"-w", "16", "-f", "ansi", "--color", path("half.png")}, "", {"NO_COLOR=1"});
    EXPECT_EQ(plain.out, expected);
    const CliRun emptyNoColor =
        run({"-w", "16", "-f", "ansi", "--color", path("half.png")}, "", {"NO_COLOR="});
    EXPECT_EQ(emptyNoColor.out, row + row);
}

TEST_F(CliTest, ReportsEachFailedPictureAndExitsOneOrTwo) {
    writePng(path("half.png"), picture);
    writeBytes(path("notes.png"), "these are notes, not a picture\n");
    const CliRun some = run({"-w", "16", path("missing.png"), path("half.png")});
    EXPECT_EQ(some.status, 1);
    EXPECT_EQ(some.out, expected);
    EXPECT_TRUE(some.err.starts_with("glyphwerk-cli: " + path("missing.png") + ": ")) << some.err;
    const CliRun all = run({path("missing.png"), path("notes.png")});
    EXPECT_EQ(all.status, 2);
    EXPECT_EQ(all.out, "");
    const std::size_t first = all.err.find("glyphwerk-cli: " + path("missing.png") + ": ");
    const std::size_t second = all.err.find("glyphwerk-cli: " + path("notes.png") + ": ");
    EXPECT_EQ(first, 0u) << all.err;
    EXPECT_NE(second, std::string::npos) << all.err;
    EXPECT_GT(second, first);
}

TEST_F(CliTest, UnwritableOutputFails) {
    writePng(path("half.png"), picture);
    const CliRun r = run({"-o", path("no/such/dir/art.txt"), path("half.png")});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "glyphwerk-cli: " + path("no/such/dir/art.txt") +
                         ": cannot write: No such file or directory\n");
}

TEST_F(CliTest, UsageErrorsExitTwoWithAHint) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--bogus", "x.png"}, "unknown option '--bogus'"},
        {{"-w", "wide", "x.png"}, "the width must be a whole number, not 'wide'"},
        {{"-w"}, "option '-w' needs a value"},
        {{}, "no picture given"},
        {{"-", "-"}, "standard input ('-') can be read only once"},
        {{"-f", "svg", "x.png"}, "unknown format 'svg'; choose text, ansi, html, rtf or tiff"},
        {{"--background", "red", "x.png"},
         "the background must be a colour like #ff8000, not 'red'"},
    };
    for (const auto& [args, message] : cases) {
        const CliRun r = run(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, "glyphwerk-cli: " + message + "\nTry 'glyphwerk-cli --help'.\n");
        EXPECT_EQ(r.out, "");
    }
}

TEST_F(CliTest, FormatsStillToComeAreRefusedWithoutOutput) {
    writePng(path("half.png"), picture);
    for (const std::string format : {"html", "rtf", "tiff"}) {
        const CliRun r = run({"-f", format, "-o", path("out." + format), path("half.png")});
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, "glyphwerk-cli: the " + format +
                             " format is not available yet in this version; use text or ansi\n");
        EXPECT_FALSE(fs::exists(path("out." + format)));
    }
}

TEST_F(CliTest, HelpAndVersion) {
    const CliRun help = run({"--help"}, "", {}, false);
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.starts_with("Usage: glyphwerk-cli [options] PICTURE...\n"));
    const CliRun version = run({"--version"}, "", {}, false);
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.out.starts_with("glyphwerk-cli ")) << version.out;
}

TEST_F(CliTest, TableProblemsStopBeforeConverting) {
    writePng(path("half.png"), picture);
    const CliRun missing = run({"--table", path("none.txt"), path("half.png")}, "", {}, false);
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.err, "glyphwerk-cli: " + path("none.txt") +
                               ": cannot open the character table: No such file or directory\n");
    writeBytes(path("short.txt"), "65 A 0\n");
    const CliRun shortTable = run({"--table", path("short.txt"), path("half.png")}, "", {}, false);
    EXPECT_EQ(shortTable.status, 2);
    EXPECT_EQ(shortTable.err, "glyphwerk-cli: " + path("short.txt") +
                                  ": the character table holds only 1 data lines; 223 are "
                                  "needed\n");
}

TEST_F(CliTest, FindsTheInstalledTableByDefault) {
    writePng(path("half.png"), picture);
    const CliRun r = run({"-w", "16", path("half.png")}, "", {}, false);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.size(), expected.size());
}

TEST_F(CliTest, WarnsOnceAboutCharactersWithoutDarkness) {
    writePng(path("half.png"), picture);
    writePng(path("half2.png"), picture);
    const CliRun r =
        run({"-w", "16", "-c", "\xc3\xa9@\t\xc3\xa9", path("half.png"), path("half2.png")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "glyphwerk-cli: warning: left out, the character table has no darkness "
                     "for: \xc3\xa9 U+0009\n");
    EXPECT_EQ(r.out, expected + expected);
}

TEST_F(CliTest, ColourWithTextOutputWarns) {
    writePng(path("half.png"), picture);
    const CliRun r = run({"-w", "16", "--color", path("half.png")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "glyphwerk-cli: warning: text output has no colour; use -f ansi\n");
    EXPECT_EQ(r.out, expected);
}

TEST_F(CliTest, WidthZeroOrNegativeGivesNoLines) {
    writePng(path("half.png"), picture);
    for (const std::string w : {"0", "-3"}) {
        const CliRun r = run({"--width=" + w, path("half.png")});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, "");
    }
}

} // namespace
} // namespace gw::test
