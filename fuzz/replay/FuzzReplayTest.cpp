// Replays the fuzz corpora and every input a fuzzer once broke through the
// checks the fuzz targets run, with the ordinary compiler: fast, no fuzzing.
#include "entries/FuzzEntries.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;
using velkan::fuzz::Check;

namespace {

struct Target {
    const char *name; // the fuzz target, and its folder under corpus/ and regressions/
    Check check;
};

void PrintTo(const Target &target, std::ostream *os)
{
    *os << target.name;
}

const Target kTargets[] = {
    {"fuzz_midi_image", velkan::fuzz::checkMidiImage},
    {"fuzz_script_round_trip", velkan::fuzz::checkScriptRoundTrip},
    {"fuzz_wait_and_search", velkan::fuzz::checkWaitAndSearch},
    {"fuzz_shift_jis_codec", velkan::fuzz::checkShiftJisCodec},
    {"fuzz_player_reading", velkan::fuzz::checkPlayerReading},
    {"fuzz_lyrics_text", velkan::fuzz::checkLyricsText},
    {"fuzz_recovery_file", velkan::fuzz::checkRecoveryFile},
};

std::string readAll(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Runs every file under root/name; returns how many there were.
int replay(const Target &target, const fs::path &root)
{
    const fs::path dir = root / target.name;
    if (!fs::is_directory(dir))
        return 0;
    int count = 0;
    for (const auto &entry : fs::recursive_directory_iterator(dir)) {
        if (!entry.is_regular_file())
            continue;
        ++count;
        EXPECT_EQ(target.check(readAll(entry.path())), "") << entry.path();
    }
    return count;
}

class FuzzReplay : public ::testing::TestWithParam<Target> {};

TEST_P(FuzzReplay, SeedCorpusKeepsEveryPromise)
{
    // An empty or missing corpus would make this test pass on nothing.
    EXPECT_GT(replay(GetParam(), fs::path(VELKAN_FUZZ_DIR) / "corpus"), 0);
}

TEST_P(FuzzReplay, RegressionInputsKeepEveryPromise)
{
    replay(GetParam(), fs::path(VELKAN_FUZZ_DIR) / "regressions");
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzReplay, ::testing::ValuesIn(kTargets),
                         [](const auto &test) { return std::string(test.param.name); });

} // namespace
