#include "midi/SmfBuilder.h"
#include "support/FormTestSupport.h"

#include "app/FileDrop.h"
#include "app/MainFrame.h"
#include "form/Playback.h"
#include "form/VelkanView.h"
#include "platform/FakeSequencer.h"
#include "support/Actions.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMimeData>
#include <QPointer>
#include <QTest>
#include <QUrl>

using namespace velkan;
using velkan::test::SeamedTest;

namespace {

class FileDropTest : public SeamedTest {
protected:
    void SetUp() override
    {
        SeamedTest::SetUp();
        Playback::setSequencerFactory([this] {
            auto fake = std::make_unique<FakeSequencer>();
            fake->setSongLength(64);
            device = fake.get();
            return fake;
        });
        frame = new MainFrame;
        frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame));
    }
    void TearDown() override
    {
        delete frame.data();
        Playback::setSequencerFactory({});
        SeamedTest::TearDown();
    }
    VelkanView *view() const { return frame->view(); }

    QString song(const QString &name)
    {
        velkan::test::TrackBuilder t;
        t.tempo(0, 500000).timeSignature(0, 4, 2).note(0, 60).endOfTrack(64 * 120);
        return writeTemp(name, velkan::test::smf(480, {t}));
    }
    QString lyrics(const QString &name) { return writeTemp(name, "@TITLE\r\none\r\ntwo\r\n"); }

    static QMimeData *files(const QStringList &paths)
    {
        auto *data = new QMimeData;
        QList<QUrl> urls;
        for (const QString &p : paths)
            urls << (p.contains(u':') ? QUrl(p) : QUrl::fromLocalFile(p));
        data->setUrls(urls);
        // As file managers offer it: the paths as text too.
        data->setText(paths.join(u'\n'));
        return data;
    }

    // Drags `data` onto `target` and drops it if the drag is taken; true when
    // it was. The load follows once the events are processed.
    static bool drop(QWidget *target, QMimeData *data)
    {
        const std::unique_ptr<QMimeData> owned(data);
        const QPoint at(target->width() / 2, target->height() / 2);
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent dropped(at, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton,
                           Qt::NoModifier);
        QApplication::sendEvent(target, &dropped);
        QCoreApplication::processEvents();
        return dropped.isAccepted();
    }

    QStringList lines() const
    {
        QStringList out;
        const ScriptList &list = frame->view()->scriptList();
        for (int i = 0; i < list.count(); ++i)
            out << QString::fromLatin1(list.at(i));
        return out;
    }

    QPointer<MainFrame> frame;
    FakeSequencer *device = nullptr;
};

} // namespace

TEST_F(FileDropTest, SongOfEitherSuffixLoadsAsMidiLoadDoes)
{
    for (const QString &name : {QStringLiteral("song.MID"), QStringLiteral("song.rmi")}) {
        SCOPED_TRACE(name.toStdString());
        const QString path = song(name);
        ASSERT_TRUE(drop(frame, files({path})));
        EXPECT_EQ(view()->playback()->songPath(), path);
        EXPECT_EQ(device->ops().back(), FakeSequencer::Op::Length);
        EXPECT_EQ(view()->undoAction()->text(), QStringLiteral("元に戻す: MIDI読込(&U)"));
        EXPECT_TRUE(lines().contains(QStringLiteral("dT:0 Tempo:500")));
        EXPECT_TRUE(MessageBox::shownTexts().isEmpty());
    }
}

TEST_F(FileDropTest, LyricsOnTheLineBoxLoadAsLyricsLoadDoes)
{
    const QString path = lyrics(QStringLiteral("words.Txt"));
    QLineEdit *box = view()->lineEdit();
    box->setText(QStringLiteral("keep"));
    ASSERT_TRUE(drop(box, files({path})));
    EXPECT_EQ(box->text(), QStringLiteral("keep"));
    EXPECT_EQ(lines(), (QStringList{QStringLiteral("@TITLE"), QStringLiteral("one"),
                                    QStringLiteral("two")}));
    EXPECT_EQ(view()->document().scriptPath(), path);
    EXPECT_EQ(view()->undoAction()->text(), QStringLiteral("元に戻す: 歌詞読込(&U)"));
    view()->undoAction()->trigger();
    EXPECT_TRUE(lines().isEmpty() || !lines().contains(QStringLiteral("one")));
}

TEST_F(FileDropTest, FirstLoadableFileOfSeveralIsTaken)
{
    const QString picture = writeTemp(QStringLiteral("cover.png"), "png");
    const QString script = lyrics(QStringLiteral("b.WRD"));
    ASSERT_TRUE(drop(frame, files({picture, script, song(QStringLiteral("c.mid"))})));
    EXPECT_EQ(view()->document().scriptPath(), script);
    EXPECT_TRUE(view()->playback()->songPath().isEmpty());
}

TEST_F(FileDropTest, OtherFilesAreRefusedEverywhere)
{
    QLineEdit *box = view()->lineEdit();
    box->setText(QStringLiteral("keep"));
    const QString picture = writeTemp(QStringLiteral("cover.png"), "png");
    const QString named = writeTemp(QStringLiteral("mid"), "MThd");
    for (QWidget *target : {static_cast<QWidget *>(frame.data()), static_cast<QWidget *>(box)}) {
        EXPECT_FALSE(drop(target, files({picture})));
        EXPECT_FALSE(drop(target, files({named})));
        EXPECT_FALSE(drop(target, files({QStringLiteral("https://example.org/song.mid")})));
    }
    EXPECT_EQ(box->text(), QStringLiteral("keep"));
    EXPECT_TRUE(view()->playback()->songPath().isEmpty());
    EXPECT_FALSE(view()->undoAction()->isEnabled());
}

TEST_F(FileDropTest, TextAloneIsLeftToTheLineBox)
{
    auto *data = new QMimeData;
    data->setText(QStringLiteral("@WAIT(1,0);"));
    EXPECT_TRUE(drop(view()->lineEdit(), data));
    EXPECT_FALSE(drop(frame, new QMimeData));
}

TEST_F(FileDropTest, ChangedScriptIsAskedAboutAndCancelKeepsIt)
{
    const QString first = lyrics(QStringLiteral("first.txt"));
    ASSERT_TRUE(drop(frame, files({first})));
    view()->document().setModified(true);
    MessageBox::setNextAnswer(MessageBox::Cancel);
    MessageBox::setNextAnswer(MessageBox::Cancel);
    ASSERT_TRUE(drop(frame, files({lyrics(QStringLiteral("second.txt"))})));
    ASSERT_TRUE(drop(frame, files({song(QStringLiteral("s.mid"))})));
    EXPECT_EQ(MessageBox::shownTexts(),
              QStringList(2, QStringLiteral("スクリプトは変更されています。保存しますか?")));
    EXPECT_EQ(view()->document().scriptPath(), first);
    EXPECT_TRUE(view()->playback()->songPath().isEmpty());
    EXPECT_TRUE(view()->document().isModified());
}

TEST_F(FileDropTest, MissingFileGivesTheMessagesOfTheDialogLoads)
{
    const QString lost = m_dir.filePath(QStringLiteral("lost.wrd"));
    FileDialog::setNextFileName(lost);
    test::triggerAction(view(), "actionLyricsLoad");
    const QStringList byDialog = MessageBox::shownTexts();
    ASSERT_EQ(byDialog.size(), 1);
    MessageBox::clearShown();
    ASSERT_TRUE(drop(frame, files({lost})));
    EXPECT_EQ(MessageBox::shownTexts(), byDialog);

    const QString noSong = m_dir.filePath(QStringLiteral("lost.mid"));
    MessageBox::clearShown();
    FileDialog::setNextFileName(noSong);
    test::triggerAction(view(), "actionMidiLoad");
    const QStringList songByDialog = MessageBox::shownTexts();
    ASSERT_EQ(songByDialog.size(), 1);
    MessageBox::clearShown();
    ASSERT_TRUE(drop(frame, files({noSong})));
    EXPECT_EQ(MessageBox::shownTexts(), songByDialog);
}

TEST_F(FileDropTest, TargetIsJudgedBySuffixWhateverItsCase)
{
    const std::unique_ptr<QMimeData> data(files({QStringLiteral("/a/x.TXT")}));
    EXPECT_EQ(FileDrop::targetOf(data.get()).kind, FileDrop::Kind::Lyrics);
    data->setUrls({QUrl::fromLocalFile(QStringLiteral("/a/x.Rmi"))});
    EXPECT_EQ(FileDrop::targetOf(data.get()).kind, FileDrop::Kind::Song);
    EXPECT_EQ(FileDrop::targetOf(data.get()).path, QStringLiteral("/a/x.Rmi"));
    data->setUrls({QUrl::fromLocalFile(QStringLiteral("/a/x.midi"))});
    EXPECT_EQ(FileDrop::targetOf(data.get()).kind, FileDrop::Kind::None);
    EXPECT_EQ(FileDrop::targetOf(nullptr).kind, FileDrop::Kind::None);
}
