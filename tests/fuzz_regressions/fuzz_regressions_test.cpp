// Replays the fuzz targets' seed corpus (fuzz/corpus/<name>) and the inputs that once broke
// them (fuzz/regressions/<name>) through the same target bodies the fuzzer runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "fuzz_targets.h"

namespace {

namespace fs = std::filesystem;

const fs::path kFuzzDir = fs::path(CLIPMILL_SOURCE_DIR) / "fuzz";

struct ReplayCase {
    clipmill::fuzz::FuzzTarget target;
    fs::path input;
};

void PrintTo(const ReplayCase& replay, std::ostream* out) { *out << replay.target.name << ": " << replay.input; }

std::vector<fs::path> filesIn(const fs::path& dir) {
    std::vector<fs::path> files;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(dir, error))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<ReplayCase> replayCases() {
    std::vector<ReplayCase> cases;
    for (const auto& target : clipmill::fuzz::fuzzTargets())
        for (const char* kind : {"corpus", "regressions"})
            for (const fs::path& file : filesIn(kFuzzDir / kind / target.name)) cases.push_back({target, file});
    return cases;
}

std::string caseName(const testing::TestParamInfo<ReplayCase>& info) {
    std::string name = std::string(info.param.target.name) + "_" + info.param.input.parent_path().parent_path().filename().string() +
                       "_" + info.param.input.filename().string();
    std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name + "_" + std::to_string(info.index);
}

class FuzzReplay : public testing::TestWithParam<ReplayCase> {};

TEST_P(FuzzReplay, InputKeepsEveryProperty) {
    std::ifstream in(GetParam().input, std::ios::binary);
    ASSERT_TRUE(in) << GetParam().input;
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // A broken property aborts with its condition on stderr.
    EXPECT_EQ(GetParam().target.run(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), 0);
}

INSTANTIATE_TEST_SUITE_P(Inputs, FuzzReplay, testing::ValuesIn(replayCases()), caseName);

TEST(FuzzTargets, EachHasASeedCorpus) {
    ASSERT_FALSE(clipmill::fuzz::fuzzTargets().empty());
    for (const auto& target : clipmill::fuzz::fuzzTargets())
        EXPECT_FALSE(filesIn(kFuzzDir / "corpus" / target.name).empty()) << target.name;
}

}  // namespace
