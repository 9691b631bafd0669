#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>

namespace velkan {

// What the editor's command line asks for. Options the editor does not know
// are passed over, as the window system's own options are: a desktop or a
// script may hand any program switches of its own. The first other argument
// names the document.
class CommandLine {
public:
    explicit CommandLine(const QStringList &arguments);

    // Empty when no document is named.
    QString documentPath() const;
    bool helpRequested() const;
    bool versionRequested() const;

    // Print the usage or the version on standard output and end the program.
    [[noreturn]] void showHelp();
    [[noreturn]] void showVersion();

private:
    QCommandLineParser m_parser;
    QCommandLineOption m_help;
    QCommandLineOption m_version;
};

} // namespace velkan
