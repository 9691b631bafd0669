#include "midi/MidiBytes.h"
#include "midi/MidiReader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace velkan {
namespace {

std::string slurp(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// What holds for any read, whatever the file.
void expectSane(const MidiReadResult &r, const std::string &name)
{
    EXPECT_EQ(r.lines.size(),
              static_cast<std::size_t>(r.timing.tempo.count() + r.timing.meter.count()))
        << name;
    for (const TempoChange &t : r.timing.tempo) {
        EXPECT_GT(t.usPerQuarter, 0) << name;
        EXPECT_GE(t.quarter, 0) << name;
    }
    for (const MeterChange &m : r.timing.meter) {
        EXPECT_GT(m.quartersPerBar, 0) << name;
        EXPECT_GE(m.quarter, 0) << name;
    }
}

struct Fixture {
    const char *file;
    int tempos;
    int meters;
    std::optional<std::int32_t> length;
};

TEST(MidiFixtures, HostileFilesReadSafely)
{
    // 8 notes of 96 ticks at division 96: 32 sixteenths.
    const Fixture fixtures[] = {
        {"div0.mid", 0, 0, std::nullopt},
        {"smpte.mid", 0, 0, std::nullopt},
        {"tempo0.mid", 0, 0, 32},
        {"tempo250.mid", 200, 0, 250},
        {"timesig250.mid", 0, 200, 250},
        {"timesig_bad_values.mid", 0, 0, 1},
        {"tslen2.mid", 0, 0, 32},
        // a delta of 2^28 ticks, then one note
        {"vlq5.mid", 0, 0, static_cast<std::int32_t>(((std::int64_t{1} << 28) + 96) * 4 / 96)},
        {"hugelen.mid", 0, 0, 32},
        {"meta_len_lies.mid", 0, 0, 32},
        {"trunc_in_track_header.mid", 0, 0, 0},
    };
    for (const Fixture &f : fixtures) {
        const auto path = std::filesystem::path(VELKAN_TEST_DATA) / "midi" / f.file;
        const auto r = readMidiFile(path);
        ASSERT_TRUE(r.ok()) << f.file;
        expectSane(r, f.file);
        EXPECT_EQ(r.timing.tempo.count(), f.tempos) << f.file;
        EXPECT_EQ(r.timing.meter.count(), f.meters) << f.file;
        EXPECT_EQ(songLengthSixteenths(slurp(path)), f.length) << f.file;
    }
}

TEST(MidiFixtures, ManyChangesKeepTheFirstTwoHundred)
{
    const auto dir = std::filesystem::path(VELKAN_TEST_DATA) / "midi";
    const auto tempo = readMidiFile(dir / "tempo250.mid");
    ASSERT_EQ(tempo.timing.tempo.count(), 200);
    // One change every quarter of a quarter note, 1 ms slower each time.
    EXPECT_EQ(tempo.timing.tempo[0], (TempoChange{0, 400, 400000}));
    EXPECT_EQ(tempo.timing.tempo[199], (TempoChange{49, 599, 599000}));

    const auto meter = readMidiFile(dir / "timesig250.mid");
    ASSERT_EQ(meter.timing.meter.count(), 200);
    // 2/8, 3/4, 4/8, 5/4, 6/8 ...
    const std::vector<std::string> first(meter.lines.begin(), meter.lines.begin() + 5);
    EXPECT_EQ(first, (std::vector<std::string>{"dT:0 Mean4:1", "dT:0 Mean4:3", "dT:0 Mean4:2",
                                               "dT:0 Mean4:5", "dT:1 Mean4:3"}));
}

// Every file of the shared corpus, whatever it holds, reads without fault and
// within bounds. Skips where the corpus is not beside the checkout.
TEST(MidiFixtures, SharedCorpusNeverFaults)
{
    const auto root = std::filesystem::path(VELKAN_SHARED_DIR) / "midi-corpus";
    if (!std::filesystem::is_directory(root))
        GTEST_SKIP() << "no corpus at " << root;
    int files = 0;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file() || entry.file_size() > 64 * 1024 * 1024)
            continue;
        const std::string image = slurp(entry.path());
        const auto r = readMidiImage(image);
        expectSane(r, entry.path().string());
        const auto length = songLengthSixteenths(unwrapRmid(image));
        if (length) {
            EXPECT_GE(*length, 0) << entry.path();
        }
        ++files;
    }
    EXPECT_GT(files, 0);
}

std::vector<std::string> splitTabs(const std::string &line)
{
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, '\t');)
        fields.push_back(field);
    return fields;
}

// Each collection's MANIFEST.tsv counts the tempo and time-signature events of
// the first track with a separate scanner: the reader must find as many
// (up to 200), leaving out only the zero tempos and broken signatures it
// refuses on purpose.
TEST(MidiFixtures, SharedCorpusCountsMatchTheManifests)
{
    const auto root = std::filesystem::path(VELKAN_SHARED_DIR) / "midi-corpus";
    if (!std::filesystem::is_directory(root))
        GTEST_SKIP() << "no corpus at " << root;
    int checked = 0;
    for (const auto &dir : std::filesystem::directory_iterator(root)) {
        std::ifstream manifest(dir.path() / "MANIFEST.tsv");
        std::string line;
        std::getline(manifest, line);
        const std::vector<std::string> header = splitTabs(line);
        const auto column = [&header](const char *name) {
            return std::find(header.begin(), header.end(), name) - header.begin();
        };
        const auto file = column("file"), atFourteen = column("chunk_at_14_is_MTrk"),
                   tempos = column("first_track_tempo_events"),
                   meters = column("first_track_timesigs"), flags = column("parser_flags(scan)");
        if (header.empty())
            continue;
        const auto last = std::max({file, atFourteen, tempos, meters, flags});
        ASSERT_LT(last, static_cast<std::ptrdiff_t>(header.size())) << dir.path();
        while (std::getline(manifest, line)) {
            const std::vector<std::string> row = splitTabs(line);
            if (static_cast<std::ptrdiff_t>(row.size()) <= last || row[atFourteen] != "True" ||
                row[meters] == "BAD" || row[flags].find("tempo value 0") != std::string::npos)
                continue;
            const int tempoEvents = row[tempos].empty() ? 0 : std::stoi(row[tempos]);
            const std::string &signatures = row[meters];
            const int meterEvents =
                signatures.empty() ? 0
                : signatures.find("(250)") != std::string::npos
                    ? 250
                    : static_cast<int>(std::count(signatures.begin(), signatures.end(), ',')) + 1;
            const auto r = readMidiFile(dir.path() / row[file]);
            EXPECT_EQ(r.timing.tempo.count(), std::min(tempoEvents, 200)) << row[file];
            EXPECT_EQ(r.timing.meter.count(), std::min(meterEvents, 200)) << row[file];
            ++checked;
        }
    }
    EXPECT_GT(checked, 100);
}

} // namespace
} // namespace velkan
