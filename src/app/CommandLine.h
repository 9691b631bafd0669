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
    // A recovery file handed over by another instance; empty when none.
    QString recoverPath() const;
    bool helpRequested() const;
    bool versionRequested() const;

    // What --version or --help asks to be printed instead of starting, as
    // Qt's parser prints it (the version when both are given); empty when
    // neither is.
    QString informationText() const;

private:
    QCommandLineParser m_parser;
    QCommandLineOption m_help;
    QCommandLineOption m_version;
    QCommandLineOption m_recover;
};

} // namespace velkan
