// The editor's own start-up, form and recovery, driven without a person:
//   velkan_kill_harness edit LOG SAVEPATH SEED
//     edits the script at random (and saves it now and then) until killed,
//     writing to LOG each state of the script and each file write as it begins
//     and ends;
//   velkan_kill_harness recover DUMP
//     starts as the editor starts, answers 復元 to what it offers, and writes
//     to DUMP what it then holds.
// Writes are slowed (the bytes go in small pieces) so that a kill lands in
// one often.
#include "app/CommandLine.h"
#include "app/MainFrame.h"
#include "app/RecoveryOffer.h"
#include "app/VelkanApp.h"
#include "document/RecoveryJournal.h"
#include "form/VelkanView.h"
#include "platform/FileDialog.h"
#include "platform/MessageBox.h"
#include "script/FileSystem.h"

#include <QDateTime>
#include <QTimer>
#include <QUndoStack>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <string>
#include <unistd.h>

using namespace velkan;

namespace {

int g_log = -1;
std::string g_stateFolder;

void logLine(const std::string &line)
{
    const std::string text = line + '\n';
    // One write a line, appended: whole lines survive a kill.
    [[maybe_unused]] const ssize_t n = ::write(g_log, text.data(), text.size());
}

std::string now()
{
    return std::to_string(QDateTime::currentMSecsSinceEpoch());
}

std::string hex(std::string_view bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (const char c : bytes) {
        out.push_back(digits[(static_cast<unsigned char>(c) >> 4) & 0xF]);
        out.push_back(digits[static_cast<unsigned char>(c) & 0xF]);
    }
    return out;
}

// "STATE ms modified count hex,hex,..."
std::string stateLine(const ScriptDocument &document)
{
    std::string line = "STATE " + now() + (document.isModified() ? " 1 " : " 0 ") +
                       std::to_string(document.list().count()) + ' ';
    for (int i = 0; i < document.list().count(); ++i) {
        if (i)
            line += ',';
        line += hex(document.list().at(i));
    }
    return line;
}

class SlowFileSystem : public FileSystem {
public:
    int createTemp(const std::string &folder, std::string &temp) const override
    {
        logLine("WRITE-BEGIN " + now() + ' ' + kind(folder));
        return FileSystem::createTemp(folder, temp);
    }
    bool write(int fd, std::string_view data) const override
    {
        while (!data.empty()) {
            const std::string_view piece = data.substr(0, 128);
            if (!FileSystem::write(fd, piece))
                return false;
            data.remove_prefix(piece.size());
            ::usleep(1000);
        }
        return true;
    }
    bool rename(const std::string &from, const std::string &to) const override
    {
        const bool ok = FileSystem::rename(from, to);
        const auto slash = to.rfind('/');
        logLine("WRITE-END " + now() + ' ' + kind(to.substr(0, slash)));
        return ok;
    }

private:
    static std::string kind(const std::string &folder)
    {
        return folder == g_stateFolder ? "journal" : "save";
    }
};

const char *const kSampleLines[] = {
    "@WAIT(3,48);",   "\x82\xa0\x82\xa2\x82\xa4\x82\xa6\x82\xa8",
    "@LOCATE(5;20);", "\xc3\xbd\xc4\xc4",
    "a\rb",           "",
    "@COLOR(32);",    "\x89\xcc\x8e\x8c\x82\xcc\x8d\x73",
};

int edit(VelkanApp &app, const std::string &savePath, unsigned seed)
{
    static SlowFileSystem slow;
    FileSystem::setCurrent(&slow);
    MainFrame &frame = *app.frame();
    VelkanView &view = *frame.view();
    ScriptDocument &document = view.document();
    FileDialog::setTestMode(true);
    MessageBox::setTestMode(true);

    std::mt19937 random(seed);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    std::vector<ScriptLine> start;
    for (int i = 0; i < 20; ++i)
        start.emplace_back(kSampleLines[pick(std::size(kSampleLines))]);
    document.assign(ScriptLines(start), QStringLiteral("歌詞読込"), true);
    logLine(stateLine(document));
    logLine("READY " + now());

    auto *timer = new QTimer(&frame);
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, &frame, [&, timer] {
        // About one save in three seconds, so that the recovery copy is
        // written between saves too.
        const int what = pick(1000) / 10;
        const int count = document.list().count();
        const std::string line = kSampleLines[pick(std::size(kSampleLines))] +
                                 std::string(static_cast<std::size_t>(pick(4)), 'x');
        if (what < 45 && count > 0) {
            document.replaceLine(pick(count), line, QStringLiteral("行の上書き"), -1);
        } else if (what < 70 || count == 0) {
            document.insertLine(pick(count + 1), line, QStringLiteral("行の挿入"), -1);
        } else if (what < 82) {
            document.removeLines(pick(count), 1, QStringLiteral("行の削除"), -1);
        } else if (what < 90) {
            document.undo();
        } else if (what < 98 || pick(10) < 6) {
            document.redo();
        } else {
            std::string content;
            for (int i = 0; i < count; ++i)
                content += std::string(document.list().at(i)) + "\r\n";
            logLine("SAVE-BEGIN " + now() + ' ' + hex(content));
            FileDialog::setNextFileName(QString::fromStdString(savePath));
            const bool saved = view.saveScript();
            logLine("SAVE-END " + now() + (saved ? " ok" : " failed"));
        }
        logLine(stateLine(document));
        timer->start(10 + pick(50));
    });
    timer->start(10);
    return app.exec();
}

int recover(VelkanApp &app, const std::string &dumpPath)
{
    MainFrame &frame = *app.frame();
    MessageBox::setTestMode(true);
    for (int i = 0; i < 8; ++i)
        MessageBox::setNextAnswer(MessageBox::Restore);
    offerLeftBehindWork(frame, RecoveryJournal::stateFolder());
    g_log = ::open(dumpPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    for (const QString &shown : MessageBox::shownTexts()) {
        QString text = shown;
        logLine("SHOWN " + text.replace(u'\n', u' ').toStdString());
    }
    logLine("SCRIPTPATH " + frame.view()->document().scriptPath().toStdString());
    ScriptDocument &document = frame.view()->document();
    logLine(stateLine(document));
    // The history came back too: each undo, back to the restore itself,
    // shows a script the editor held before.
    for (int i = 0; i < 6 && document.undoStack()->canUndo() &&
                    document.undoStack()->undoText() != QStringLiteral("作業の復元");
         ++i) {
        logLine("UNDO " + document.undoStack()->undoText().toStdString());
        document.undo();
        logLine(stateLine(document));
    }
    // Nothing of this run is to be offered again.
    frame.recoveryJournal()->discard();
    ::close(g_log);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fputs("usage: velkan_kill_harness edit LOG SAVEPATH SEED | recover DUMP\n", stderr);
        return 2;
    }
    const std::string mode = argv[1];
    int appArgc = 1;
    VelkanApp app(appArgc, argv);
    g_stateFolder = RecoveryJournal::stateFolder().toStdString();
    if (!app.initInstance(CommandLine({QString::fromLocal8Bit(argv[0])})))
        return 1;
    app.frame()->show();
    if (mode == "edit" && argc == 5) {
        g_log = ::open(argv[2], O_WRONLY | O_CREAT | O_APPEND, 0644);
        return edit(app, argv[3], static_cast<unsigned>(std::stoul(argv[4])));
    }
    if (mode == "recover")
        return recover(app, argv[2]);
    return 2;
}
