// Runs the built tool the way a user does and checks what they would see.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <map>
#include <numeric>
#include <sstream>
#include <string>

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

// The full report, exact to the byte, as a user gets it: plain, with arguments
// (which change nothing), and within a 1 MiB stack.
void checkReport(const std::string& launch) {
    const Outcome result = run(launch + " 2>/dev/null");
    ASSERT_EQ(result.status, 0);

    // Read the per-key counts back, then rebuild the whole report from them: any
    // slip in wording, order, blank lines or the per-count lines shows as a difference.
    std::istringstream in(result.output);
    std::string line;
    for (int summary = 0; summary < 6; ++summary) std::getline(in, line);
    int keyCount[800] = {};
    int keysWithValue[800] = {};
    std::string expected =
        "There were ->[ 4800 ]<- possibilities\n\n"
        "The dimension of each hash_element would be 1200176\n\n"
        "The dimension of the cache would be 960140800, with 800 hash keys\n\n";
    for (int key = 0; key < 800 && std::getline(in, line); ++key) {
        std::sscanf(line.c_str(), "Key: %*d has registered %d", &keyCount[key]);
        ASSERT_TRUE(keyCount[key] >= 0 && keyCount[key] < 800) << line;
        EXPECT_EQ(keyCount[key] % 2, 0) << line;  // the flag never changes a key
        ++keysWithValue[keyCount[key]];
        expected += "Key: " + std::to_string(key) + " has registered " +
                    std::to_string(keyCount[key]) + " times\n";
    }
    expected += "\n\n";
    for (int value = 0; value < 800; ++value)
        expected += "There were " + std::to_string(keysWithValue[value]) + " keys with value " +
                    std::to_string(value) + "\n";
    ASSERT_EQ(result.output, expected);

    EXPECT_EQ(std::accumulate(keyCount, keyCount + 800, 0), 4800);
    const std::map<int, int> knownKeys{{0, 8},    {1, 6},    {2, 0},    {301, 24},
                                       {799, 2}, {157, 38}, {309, 38}, {493, 38}};
    for (const auto& [key, count] : knownKeys) EXPECT_EQ(keyCount[key], count) << "key " << key;
    // Keys per count. These sum to all 800 keys, so every count not listed has none;
    // 88 empty keys means 712 in use.
    const std::map<int, int> keysPerValue{
        {0, 88}, {2, 187}, {4, 169}, {6, 131}, {8, 67}, {10, 51}, {12, 24},
        {14, 30}, {16, 10}, {18, 15}, {20, 3}, {22, 8}, {24, 1}, {26, 2},
        {28, 1}, {30, 1}, {32, 6}, {34, 2}, {36, 1}, {38, 3}};
    for (const auto& [value, keys] : keysPerValue)
        EXPECT_EQ(keysWithValue[value], keys) << "value " << value;
}

TEST(Tool, PrintsTheFullReport) {
    for (const std::string launch : {"exec '" TOOL_PATH "'", "exec '" TOOL_PATH "' --help -x 42",
                                     "ulimit -s 1024 && exec '" TOOL_PATH "'"}) {
        SCOPED_TRACE(launch);
#ifdef TOOL_SANITIZED  // sanitizer frames are padded: they say nothing of the real stack peak
        if (launch.find("ulimit") != std::string::npos) continue;
#endif
        checkReport(launch);
    }
}

TEST(Tool, FailsWhenTheReportCannotBeWritten) {
    for (const char* redirect : {">/dev/full", ">&-"}) {
        SCOPED_TRACE(redirect);
        const Outcome result = run("'" TOOL_PATH "' 2>&1 " + std::string(redirect));
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.output.rfind("hashFunctionTester: write error: ", 0), 0u) << result.output;
        EXPECT_EQ(result.output.find('\n'), result.output.size() - 1);  // one line
    }
}

}  // namespace
