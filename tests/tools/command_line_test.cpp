// The table-driven command line both programs read: what it takes, what it
// refuses and how, and the usage it prints.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tools/common/command_line.h"

namespace {

using vt::cli::Action;
using vt::cli::Outcome;

// A made-up program with one option of each kind.
struct Fixture {
    bool fast = false;
    std::string media;
    double speed = 1.0;
    vt::cli::Program program{"demo",
                             "Does a demonstration.",
                             {
                                 {"--fast", "", "go fast", vt::cli::Set(fast, true)},
                                 {"--media", "DIR", "read from DIR", vt::cli::Store(media)},
                                 {"--speed", "X", "how fast, from 0 to 10",
                                  [this](const std::string& value, std::string& error) {
                                      double v = 0;
                                      if (!vt::cli::ReadNumber(value, v) || v < 0 || v > 10) {
                                          error = "not from 0 to 10";
                                          return false;
                                      }
                                      speed = v;
                                      return true;
                                  }},
                             }};

    Outcome Parse(std::vector<const char*> args) {
        args.insert(args.begin(), "demo");
        return vt::cli::Parse(program, static_cast<int>(args.size()), args.data());
    }
};

TEST(CommandLine, TakesFlagsAndValuesInEitherForm) {
    Fixture f;
    EXPECT_EQ(f.Parse({}).action, Action::Run);
    EXPECT_FALSE(f.fast);

    Fixture g;
    const Outcome outcome = g.Parse({"--fast", "--media", "/m one", "--speed=2.5"});
    EXPECT_EQ(outcome.action, Action::Run) << outcome.error;
    EXPECT_TRUE(g.fast);
    EXPECT_EQ(g.media, "/m one");
    EXPECT_EQ(g.speed, 2.5);

    Fixture h;
    EXPECT_EQ(h.Parse({"--media=a=b", "--media", "--fast"}).action, Action::Run);
    EXPECT_EQ(h.media, "--fast") << "the next argument is the value, whatever it looks like";
    EXPECT_FALSE(h.fast);
}

TEST(CommandLine, HelpAndVersionEndTheReadingAtOnce) {
    for (const char* help : {"--help", "-h"}) {
        Fixture f;
        EXPECT_EQ(f.Parse({"--fast", help, "--bogus"}).action, Action::Help) << help;
        EXPECT_TRUE(f.fast);
    }
    Fixture f;
    EXPECT_EQ(f.Parse({"--version", "--speed", "99"}).action, Action::Version);
    EXPECT_EQ(f.speed, 1.0);
    // A bad argument before them is still an error.
    EXPECT_EQ(f.Parse({"--bogus", "--help"}).action, Action::Fail);
}

TEST(CommandLine, BadArgumentsFailWithOneLineSayingWhat) {
    struct Case {
        std::vector<const char*> args;
        std::string error;
    };
    const Case cases[] = {
        {{"--bogus"}, "unknown option: --bogus"},
        {{"--bogus=1"}, "unknown option: --bogus"},
        {{"-x"}, "unknown option: -x"},
        {{"-"}, "unexpected argument: -"},
        {{"--"}, "unknown option: --"},
        {{"file.txt"}, "unexpected argument: file.txt"},
        {{"--media"}, "missing value after --media"},
        {{"--media="}, "--media \"\": must not be empty"},
        {{"--media", ""}, "--media \"\": must not be empty"},
        {{"--fast=yes"}, "--fast takes no value"},
        {{"--speed", "fast"}, "--speed fast: not from 0 to 10"},
        {{"--speed", "11"}, "--speed 11: not from 0 to 10"},
        {{"--FAST"}, "unknown option: --FAST"},
    };
    for (const Case& c : cases) {
        Fixture f;
        const Outcome outcome = f.Parse(c.args);
        EXPECT_EQ(outcome.action, Action::Fail) << c.error;
        EXPECT_EQ(outcome.error, c.error);
        EXPECT_EQ(outcome.error.find('\n'), std::string::npos);
    }
}

TEST(CommandLine, ATakeWithoutAReasonStillSaysWhichValue) {
    bool taken = false;
    vt::cli::Program program{"p",
                             "",
                             {{"--n", "N", "", [&](const std::string&, std::string&) { return false; }},
                              {"--f", "", "", [&](const std::string&, std::string&) { return taken; }}}};
    const char* args[] = {"p", "--n", "7"};
    EXPECT_EQ(vt::cli::Parse(program, 3, args).error, "--n 7: not accepted");
    const char* flag[] = {"p", "--f"};
    EXPECT_EQ(vt::cli::Parse(program, 2, flag).error, "--f: not accepted");
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(CommandLine, UsageListsEveryOptionInOneColumnThenHelpAndVersion) {
    Fixture f;
    const std::vector<std::string> lines = Lines(vt::cli::Usage(f.program));
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[0], "usage: demo [OPTION]...");
    EXPECT_EQ(lines[1], "Does a demonstration.");
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(lines[3], "  --fast       go fast");
    EXPECT_EQ(lines[4], "  --media DIR  read from DIR");
    EXPECT_EQ(lines[5], "  --speed X    how fast, from 0 to 10");
    EXPECT_EQ(lines[6], "  --help       print this text and exit");
    EXPECT_EQ(lines[7], "  --version    print the version and exit");
}

TEST(CommandLine, UsageWrapsLongTextsAndPutsLongNamesOnTheirOwnLine) {
    std::string words;
    for (int i = 0; i < 40; ++i) words += (i ? " word" : "word") + std::to_string(i);
    vt::cli::Program program{
        "p", "", {{"--a", "", words, nullptr}, {"--a-very-long-option-name", "VALUE", "short", nullptr}}};
    const std::vector<std::string> lines = Lines(vt::cli::Usage(program));
    size_t longName = 3;
    while (longName < lines.size() && lines[longName].rfind("  --a-very-long", 0) != 0) ++longName;
    ASSERT_LT(longName + 1, lines.size());
    EXPECT_GT(longName, 4u) << "the long text took several lines";

    const size_t column = lines[3].find("word0");
    ASSERT_NE(column, std::string::npos);
    EXPECT_EQ(lines[3].substr(0, column), "  --a" + std::string(column - 5, ' '));
    std::string joined;
    for (size_t i = 3; i < longName; ++i) {
        EXPECT_LE(lines[i].size(), 79u) << lines[i];
        if (i > 3) {
            EXPECT_EQ(lines[i].substr(0, column), std::string(column, ' ')) << lines[i];
        }
        joined += (i > 3 ? " " : "") + lines[i].substr(column);
    }
    EXPECT_EQ(joined, words) << "every word once, in order";
    EXPECT_EQ(lines[longName], "  --a-very-long-option-name VALUE");
    EXPECT_EQ(lines[longName + 1], std::string(column, ' ') + "short");
}

TEST(CommandLine, NumbersAndCounts) {
    double d = -1;
    EXPECT_TRUE(vt::cli::ReadNumber("64.5", d));
    EXPECT_EQ(d, 64.5);
    EXPECT_TRUE(vt::cli::ReadNumber("-3e2", d));
    EXPECT_EQ(d, -300.0);
    for (const char* bad : {"", "1x", "x1", "1e309", "nan", "inf", "1 2"}) {
        d = 7;
        EXPECT_FALSE(vt::cli::ReadNumber(bad, d)) << bad;
        EXPECT_EQ(d, 7) << "left alone on failure: " << bad;
    }

    int n = -1;
    EXPECT_TRUE(vt::cli::ReadCount("0", 5, n));
    EXPECT_EQ(n, 0);
    EXPECT_TRUE(vt::cli::ReadCount("5", 5, n));
    EXPECT_EQ(n, 5);
    for (const char* bad : {"", "6", "-1", "+1", "1.0", " 1", "0x1", "99999999999"}) {
        n = 3;
        EXPECT_FALSE(vt::cli::ReadCount(bad, 5, n)) << bad;
        EXPECT_EQ(n, 3) << bad;
    }
}

}  // namespace
