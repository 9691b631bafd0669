#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <QProcess>

using namespace velkan;

// Options the editor does not know are passed over wherever they stand; the
// first other argument names the document.
TEST(CommandLineTest, UnknownOptionsAreIgnored)
{
    const struct {
        const char *arguments; // split at spaces
        const char *document;
        bool help;
        bool version;
    } cases[] = {
        {"", "", false, false},
        {"song.txt", "song.txt", false, false},
        {"--no-such-option song.txt", "song.txt", false, false},
        {"-zq --level=3 a.wrd -x b.wrd", "a.wrd", false, false},
        {"-- -dash.txt", "-dash.txt", false, false},
        {"--bogus --help", "", true, false},
        {"-v -y", "", false, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.arguments);
        const CommandLine line(QStringList{QStringLiteral("velkan")} +
                               QString::fromUtf8(c.arguments).split(u' ', Qt::SkipEmptyParts));
        EXPECT_EQ(line.documentPath().toStdString(), c.document);
        EXPECT_EQ(line.helpRequested(), c.help);
        EXPECT_EQ(line.versionRequested(), c.version);
    }
}

// The editor started from a shell: an unknown option neither stops it nor hides
// the options it knows, and the window system's -platform still reaches Qt
// (over a platform in the environment that does not exist).
TEST(CommandLineTest, TheEditorStartsPastUnknownOptions)
{
    const struct {
        const char *arguments; // split at spaces
        const char *printed;   // a part of what it prints
    } runs[] = {
        {"--no-such-option --version", "Velkan 1.1.0.0\n"},
        {"-platform offscreen -zq --version", "Velkan 1.1.0.0\n"},
        {"--no-such-option --help", "--version"},
    };
    for (const auto &run : runs) {
        SCOPED_TRACE(run.arguments);
        const QStringList arguments = QString::fromUtf8(run.arguments).split(u' ');
        QProcess editor;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"),
                   arguments.contains(QStringLiteral("-platform")) ? QStringLiteral("none-such")
                                                                   : QStringLiteral("offscreen"));
        editor.setProcessEnvironment(env);
        editor.start(QStringLiteral(VELKAN_EDITOR_PATH), arguments);
        ASSERT_TRUE(editor.waitForFinished(30000));
        EXPECT_EQ(editor.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(editor.exitCode(), 0) << editor.readAllStandardError().toStdString();
        EXPECT_NE(editor.readAllStandardOutput().toStdString().find(run.printed),
                  std::string::npos);
    }
}
