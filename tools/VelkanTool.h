#pragma once

#include "ToolArgs.h"
#include "ToolHelp.h"
#include "midi/MidiReader.h"
#include "script/FileSystem.h"
#include "script/ScriptList.h"

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkan {

// The command-line program: runs the editor's core on files. Standard output
// carries results, standard error messages (UTF-8).
class VelkanTool {
public:
    static constexpr int kExitOk = 0;
    static constexpr int kExitFailure = 1; // a file could not be read or written
    static constexpr int kExitUsage = 2;

    VelkanTool(std::ostream &out, std::ostream &err, const FileSystem &fs = FileSystem::real());

    // args: everything after the program name. Returns the exit status.
    int run(const std::vector<std::string> &args);

private:
    int runNew(const ToolArgs &args);
    int runLyrics(const ToolArgs &args);
    int runTempo(const ToolArgs &args);
    int runLocate(const ToolArgs &args);
    int runClock(const ToolArgs &args);
    int runShift(const ToolArgs &args);
    int runTrace(const ToolArgs &args);
    int runCheck(const ToolArgs &args);

    // A song as the editor loads it for playing: the reader's lines, its
    // timeline and its length in sixteenths as the device measures it.
    struct LoadedSong {
        std::vector<std::string> lines;
        std::shared_ptr<const SongTimeline> timeline;
        std::int32_t length = 0;
    };
    // Nothing when SONG cannot be read or has no timeline; the error is told.
    std::optional<LoadedSong> loadSong(const std::string &song);

    int usageError(ToolCommand command, std::string_view problem);
    int failure(std::string_view message, std::string_view file);

    // The path to open for an input operand: "-" is standard input.
    static std::string inputPath(const std::string &name);
    // Reads an input file's bytes, or says why not; a read that breaks off fails.
    bool readInput(const std::string &name, std::string &bytes);
    // Writes the lines as the editor saves them, to OUT or standard output.
    bool writeScript(const std::optional<std::string> &output, const ScriptLines &lines);
    bool flushOut();

    std::ostream &m_out;
    std::ostream &m_err;
    const FileSystem &m_fs;
};

} // namespace velkan
