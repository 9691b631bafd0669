#pragma once

#include <optional>
#include <string_view>

namespace velkan {

inline constexpr std::string_view kToolName = "velkan-tool";
inline constexpr std::string_view kToolVersion = "1.1.0";

enum class ToolCommand { None, New, Lyrics, Tempo, Locate, Clock, Shift, Trace, Check };

// The subcommand a word names, if any.
std::optional<ToolCommand> toolCommandNamed(std::string_view word);

// The word that names a subcommand ("" for None).
std::string_view toolCommandWord(ToolCommand command);

// The "usage: ..." line of a subcommand (None: of the program).
std::string_view toolUsage(ToolCommand command);

// The full --help text of a subcommand (None: of the program), ending in '\n'.
std::string_view toolHelp(ToolCommand command);

} // namespace velkan
