#pragma once

#include <optional>
#include <string>
#include <vector>

namespace velkan {

// The options a subcommand takes besides its operands and --help.
struct ToolOptions {
    bool output = false;  // -o FILE, --output FILE
    bool song = false;    // --song FILE
    bool tapping = false; // --speed PERCENT, --grid UNIT, --latency MS
};

// A subcommand's command line, split into operands and options.
struct ToolArgs {
    std::vector<std::string> operands;
    std::optional<std::string> output;
    std::optional<std::string> song;
    std::optional<std::string> speed;
    std::optional<std::string> grid;
    std::optional<std::string> latency;
    bool help = false;
    std::string error; // set when the line cannot be used: a usage error

    bool ok() const { return error.empty(); }
};

// Splits the arguments after the subcommand's name. A word that begins with
// '-' and a digit is an operand ("shift -48 in.wrd"), as is "-" alone (standard
// input or output); "--" ends the options.
ToolArgs parseToolArgs(const std::vector<std::string> &args, ToolOptions accepted);

// A whole decimal integer in int range, with an optional sign; nothing else.
std::optional<int> parseWholeInt(const std::string &text);

} // namespace velkan
