// Runs the built tool the way a user does and checks what they would see.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define TOOL_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TOOL_UNDER_ASAN 1
#endif
#endif

namespace {

struct Outcome { int status; std::string output; };

Outcome run(const std::string& command) {
    Outcome result{-1, {}};
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    char buffer[4096];
    size_t n = 0;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
    const int wait = pclose(pipe);
    result.status = WIFEXITED(wait) ? WEXITSTATUS(wait) : -1;
    return result;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// How the tool is launched: a shell prefix and the arguments after it.
struct Launch { const char* name; const char* prefix; const char* arguments; };

void PrintTo(const Launch& launch, std::ostream* out) { *out << launch.name; }

class Report : public testing::TestWithParam<Launch> {};

TEST_P(Report, FullAndExact) {
#ifdef TOOL_UNDER_ASAN
    // AddressSanitizer pads every stack frame, so its build cannot show the real peak.
    if (std::string(GetParam().prefix).find("ulimit") != std::string::npos)
        GTEST_SKIP() << "stack budget is measured without AddressSanitizer";
#endif
    const Outcome result = run(std::string(GetParam().prefix) + " '" TOOL_PATH "' " +
                           GetParam().arguments + " 2>/dev/null");
    ASSERT_EQ(result.status, 0);
    ASSERT_EQ(result.output.back(), '\n');
    const std::vector<std::string> text = lines(result.output);
    ASSERT_EQ(text.size(), 6u + 800 + 2 + 800);
    EXPECT_EQ(text[0], "There were ->[ 4800 ]<- possibilities");
    EXPECT_EQ(text[2], "The dimension of each hash_element would be 1200176");
    EXPECT_EQ(text[4], "The dimension of the cache would be 960140800, with 800 hash keys");
    for (const size_t blank : {1u, 3u, 5u, 806u, 807u}) EXPECT_EQ(text[blank], "") << "line " << blank + 1;

    // Each listed line must read back exactly as the report format writes it.
    int keyCount[800];
    std::map<int, int> keysWithValue;  // only the values some key has
    int total = 0, used = 0;
    for (int i = 0; i < 800; ++i) {
        const std::string& keyLine = text[6 + size_t(i)];
        ASSERT_EQ(keyLine, "Key: " + std::to_string(i) + " has registered " +
                               std::to_string(std::stoi(keyLine.substr(keyLine.find("ed ") + 3))) +
                               " times");
        keyCount[i] = std::stoi(keyLine.substr(keyLine.find("ed ") + 3));
        total += keyCount[i];
        used += keyCount[i] > 0;
        EXPECT_EQ(keyCount[i] % 2, 0) << "key " << i;  // the flag never changes a key
        const std::string& valueLine = text[808 + size_t(i)];
        const int keys = std::stoi(valueLine.substr(11));
        ASSERT_EQ(valueLine, "There were " + std::to_string(keys) + " keys with value " +
                                 std::to_string(i));
        if (keys != 0) keysWithValue[i] = keys;
    }
    EXPECT_EQ(total, 4800);
    EXPECT_EQ(used, 712);
    EXPECT_EQ(keyCount[0], 8);
    EXPECT_EQ(keyCount[1], 6);
    EXPECT_EQ(keyCount[2], 0);
    EXPECT_EQ(keyCount[301], 24);
    EXPECT_EQ(keyCount[799], 2);
    for (int busiest : {157, 309, 493}) EXPECT_EQ(keyCount[busiest], 38);
    const std::map<int, int> expected{{0, 88},  {2, 187}, {4, 169}, {6, 131}, {8, 67},
                                      {10, 51}, {12, 24}, {14, 30}, {16, 10}, {18, 15},
                                      {20, 3},  {22, 8},  {24, 1},  {26, 2},  {28, 1},
                                      {30, 1},  {32, 6},  {34, 2},  {36, 1},  {38, 3}};
    EXPECT_EQ(keysWithValue, expected);
}

INSTANTIATE_TEST_SUITE_P(Tool, Report,
                         testing::Values(Launch{"Plain", "exec", ""},
                                         Launch{"ArgumentsIgnored", "exec", "--help -x 42"},
                                         Launch{"OneMiBStack", "ulimit -s 1024 && exec", ""}),
                         [](const testing::TestParamInfo<Launch>& launch) {
                             return std::string(launch.param.name);
                         });

TEST(Tool, FailsWhenTheReportCannotBeWritten) {
    for (const char* redirect : {">/dev/full", ">&-"}) {
        SCOPED_TRACE(redirect);
        const Outcome result = run("'" TOOL_PATH "' 2>&1 " + std::string(redirect));
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.output.rfind("hashFunctionTester: write error: ", 0), 0u) << result.output;
        EXPECT_EQ(lines(result.output).size(), 1u);
    }
}

}  // namespace
