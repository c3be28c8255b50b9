// Runs the built glyphwerk-cli on small pictures and checks its bytes, messages and exit
// statuses. tests/data/cli holds one 16 x 8 picture (left half black, right half white) in
// every type the converter reads, and an all-black one.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;

const std::string kData = GLYPHWERK_TEST_DATA "/cli/";
// 16 x 8 points at width 16: 16 x 4 cells, of which the inner 14 x 2 are shown.
const std::string kHalf = "@@@@@@@       \n@@@@@@@       \n";

std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

void writeBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
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

    // Runs the converter with the test table and the characters "@+." unless `own` is set.
    CliRun run(std::vector<std::string> args, const std::string& input = "",
               std::vector<std::string> env = {}, bool own = false) {
        if (!own) args.insert(args.begin(), {"--table", path("table.txt"), "-c", "@+."});
        args.insert(args.begin(), GLYPHWERK_CLI);
        writeBytes(dir / "stdin", input);
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_addopen(&files, 0, path("stdin").c_str(), O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&files, 1, path("stdout").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&files, 2, path("stderr").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        for (char** e = environ; *e != nullptr; ++e) {
            if (!std::string_view(*e).starts_with("NO_COLOR=")) env.emplace_back(*e);
        }
        std::vector<char*> argv, envp;
        for (std::string& a : args)
            argv.push_back(a.data());
        for (std::string& e : env)
            envp.push_back(e.data());
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        CliRun result;
        pid_t pid = 0;
        if (posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), envp.data()) == 0) {
            int status = 0;
            waitpid(pid, &status, 0);
            result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        posix_spawn_file_actions_destroy(&files);
        result.out = readBytes(dir / "stdout");
        result.err = readBytes(dir / "stderr");
        return result;
    }

    fs::path dir;
};

TEST_F(CliTest, ReadsEveryPictureTypeByContentInArgumentOrder) {
    std::vector<std::string> args = {"-w", "16"};
    std::string want;
    for (const char* name : {"dark.png", "half.png", "half.bmp", "half.tga", "half.psd", "half.gif",
                             "half.tif", "half.tiff", "half.jpg", "half.jpeg", "dark.png"}) {
        args.push_back(kData + name);
        want += std::string(name) == "dark.png" ? "@@@@@@@@@@@@@@\n@@@@@@@@@@@@@@\n" : kHalf;
    }
    const CliRun r = run(args);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, want);
}

TEST_F(CliTest, StandardInputAndOutputFilesGiveTheSameBytes) {
    const CliRun piped = run({"-w", "16", "-"}, readBytes(kData + "half.png"));
    EXPECT_EQ(piped.status, 0);
    EXPECT_EQ(piped.out, kHalf);

    const CliRun file = run({"-w", "16", "-o", path("art.txt"), kData + "half.gif"});
    EXPECT_EQ(file.status, 0);
    EXPECT_EQ(file.out, "");
    EXPECT_EQ(readBytes(path("art.txt")), kHalf);

    // Several pictures go into a folder, named after them; a repeated name gets a number.
    const CliRun folder = run({"-w", "16", "-o", path("out"), kData + "half.png",
                               kData + "half.tif", kData + "half.tiff", "-"},
                              readBytes(kData + "dark.png"));
    EXPECT_EQ(folder.status, 0) << folder.err;
    EXPECT_EQ(readBytes(path("out/half.txt")), kHalf);
    EXPECT_EQ(readBytes(path("out/half-2.txt")), kHalf);
    EXPECT_EQ(readBytes(path("out/half-3.txt")), kHalf);
    EXPECT_EQ(readBytes(path("out/stdin.txt")), "@@@@@@@@@@@@@@\n@@@@@@@@@@@@@@\n");
}

TEST_F(CliTest, AnsiColoursEachChangeAndHonoursNoColor) {
    const std::string row = "\x1b[38;2;0;0;0m@@@@@@@       \x1b[0m\n";
    const std::vector<std::string> args = {"-w", "16", "-f", "ansi", "--color", kData + "half.png"};
    EXPECT_EQ(run(args).out, row + row);
    EXPECT_EQ(run(args, "", {"NO_COLOR=1"}).out, kHalf);
    EXPECT_EQ(run(args, "", {"NO_COLOR="}).out, row + row); // empty means unset
}

TEST_F(CliTest, ReportsEachFailedPictureAndExitsOneOrTwo) {
    writeBytes(dir / "notes.png", "these are notes, not a picture\n");
    const CliRun some = run({"-w", "16", path("missing.png"), kData + "half.png"});
    EXPECT_EQ(some.status, 1);
    EXPECT_EQ(some.out, kHalf);
    EXPECT_TRUE(some.err.starts_with("glyphwerk-cli: " + path("missing.png") + ": ")) << some.err;

    const CliRun all = run({path("missing.png"), path("notes.png")});
    EXPECT_EQ(all.status, 2);
    EXPECT_EQ(all.out, "");
    const std::size_t second = all.err.find("\nglyphwerk-cli: " + path("notes.png") + ": ");
    EXPECT_TRUE(all.err.starts_with("glyphwerk-cli: " + path("missing.png") + ": ")) << all.err;
    EXPECT_NE(second, std::string::npos) << all.err;

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
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, "glyphwerk-cli: " + message + "\nTry 'glyphwerk-cli --help'.\n");
        EXPECT_EQ(r.out, "");
    }
    const CliRun help = run({"--help"}, "", {}, true);
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.starts_with("Usage: glyphwerk-cli [options] PICTURE...\n"));
    EXPECT_TRUE(run({"--version"}, "", {}, true).out.starts_with("glyphwerk-cli "));
}

TEST_F(CliTest, FormatsStillToComeAreRefusedWithoutOutput) {
    for (const std::string format : {"html", "rtf", "tiff"}) {
        const CliRun r = run({"-f", format, "-o", path("out"), kData + "half.png"});
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, "glyphwerk-cli: the " + format +
                             " format is not available yet in this version; use text or ansi\n");
        EXPECT_FALSE(fs::exists(path("out")));
    }
}

TEST_F(CliTest, TableComesFromTheResourcesUnlessGiven) {
    const CliRun installed = run({"-w", "16", kData + "half.png"}, "", {}, true);
    EXPECT_EQ(installed.status, 0);
    EXPECT_EQ(installed.err, "");
    EXPECT_EQ(installed.out.size(), kHalf.size());

    const CliRun missing = run({"--table", path("none.txt"), kData + "half.png"}, "", {}, true);
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.err, "glyphwerk-cli: " + path("none.txt") +
                               ": cannot open the character table: No such file or directory\n");
}

TEST_F(CliTest, WarnsOnceAboutCharactersAndColourItCannotUse) {
    const CliRun r = run({"-w", "16", "--color", "-c", "\xc3\xa9@\t\xc3\xa9", kData + "half.png",
                          kData + "half.bmp"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "glyphwerk-cli: warning: left out, the character table has no darkness "
                     "for: \xc3\xa9 U+0009\n"
                     "glyphwerk-cli: warning: text output has no colour; use -f ansi\n");
    EXPECT_EQ(r.out, kHalf + kHalf);
}

TEST_F(CliTest, WidthZeroOrNegativeGivesNoLines) {
    for (const std::string w : {"0", "-3"}) {
        const CliRun r = run({"--width=" + w, kData + "half.png"});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, "");
    }
}

} // namespace
