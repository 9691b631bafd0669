#include "ToolArgs.h"

#include <cctype>
#include <charconv>

namespace velkan {

namespace {

bool isOperandWord(const std::string &arg)
{
    if (arg.empty() || arg[0] != '-' || arg == "-")
        return true;
    return arg.size() > 1 && std::isdigit(static_cast<unsigned char>(arg[1]));
}

// Takes the value of an option given as "--name=value" or "--name value".
void takeValue(const std::vector<std::string> &args, std::size_t &i, const std::string &inlineValue,
               bool hasInline, std::optional<std::string> &slot, const std::string &name,
               std::string &error, const char *needs = "a file name")
{
    if (slot) {
        error = "option " + name + " given twice";
        return;
    }
    if (hasInline) {
        slot = inlineValue;
    } else if (i + 1 < args.size()) {
        slot = args[++i];
    } else {
        error = "option " + name + " needs " + needs;
        return;
    }
    if (slot->empty())
        error = "option " + name + " needs " + needs;
}

} // namespace

ToolArgs parseToolArgs(const std::vector<std::string> &args, ToolOptions accepted)
{
    ToolArgs parsed;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (optionsEnded || isOperandWord(arg)) {
            parsed.operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            parsed.help = true;
            continue;
        }
        const std::size_t equals = arg.find('=');
        const bool hasInline = arg.starts_with("--") && equals != std::string::npos;
        const std::string name = hasInline ? arg.substr(0, equals) : arg;
        const std::string value = hasInline ? arg.substr(equals + 1) : std::string();
        std::string error;
        if (accepted.output && (name == "-o" || name == "--output"))
            takeValue(args, i, value, hasInline, parsed.output, "-o", error);
        else if (accepted.song && name == "--song")
            takeValue(args, i, value, hasInline, parsed.song, "--song", error);
        else if (accepted.tapping && name == "--speed")
            takeValue(args, i, value, hasInline, parsed.speed, "--speed", error, "a percentage");
        else if (accepted.tapping && name == "--grid")
            takeValue(args, i, value, hasInline, parsed.grid, "--grid", error, "a note value");
        else if (accepted.tapping && name == "--latency")
            takeValue(args, i, value, hasInline, parsed.latency, "--latency", error,
                      "milliseconds");
        else
            error = "unknown option '" + arg + "'";
        // The first fault is the one told; reading on still finds a --help.
        if (parsed.error.empty())
            parsed.error = error;
    }
    return parsed;
}

std::optional<int> parseWholeInt(const std::string &text)
{
    std::string_view digits = text;
    // "+12" as the dialog writes it; from_chars takes only '-'.
    if (digits.starts_with('+'))
        digits.remove_prefix(1);
    if (digits.empty() || digits.starts_with('+') || digits.starts_with(' '))
        return std::nullopt;
    int value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc() || end != digits.data() + digits.size())
        return std::nullopt;
    if (text.starts_with('+') && digits.starts_with('-'))
        return std::nullopt;
    return value;
}

} // namespace velkan
