#include "platform/FileDialog.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QSortFilterProxyModel>
#include <QTemporaryDir>
#include <QTest>

using namespace velkan;

TEST(FileDialog, FilterTextsNameTheirPatterns)
{
    EXPECT_EQ(FileDialog::patternsOf(QStringLiteral("TXT/WRDﾌｧｲﾙ(*.TXT;*.WRD)")),
              (QStringList{QStringLiteral("*.TXT"), QStringLiteral("*.WRD")}));
    EXPECT_EQ(FileDialog::patternsOf(QStringLiteral("MIDIﾌｧｲﾙ(*.RMI;*.MID)")),
              (QStringList{QStringLiteral("*.RMI"), QStringLiteral("*.MID")}));
    EXPECT_EQ(FileDialog::patternsOf(QStringLiteral("すべてのﾌｧｲﾙ (*.*)")),
              QStringList{QStringLiteral("*")});
}

TEST(FileDialog, FileListFollowsTheChosenFilter)
{
    QTemporaryDir dir;
    for (const char *name : {"song.mid", "SONG2.MID", "old.rmi", "lyrics.txt", "noext"})
        QFile(dir.filePath(QString::fromLatin1(name))).open(QIODevice::WriteOnly);

    QFileDialog dialog;
    const QStringList filters = {QStringLiteral("MIDIﾌｧｲﾙ(*.RMI;*.MID)"),
                                 QStringLiteral("すべてのﾌｧｲﾙ (*.*)")};
    FileDialog::configure(dialog, filters);
    dialog.setDirectory(dir.path());
    auto *model = dialog.findChild<QFileSystemModel *>();
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(dialog.nameFilters(), filters);

    // The names the dialog would list, once the model has read the folder.
    auto shown = [&] {
        QStringList names;
        const QModelIndex root = model->index(dir.path());
        for (int i = 0; i < model->rowCount(root); ++i) {
            const QModelIndex index = model->index(i, 0, root);
            if (model->flags(index) & Qt::ItemIsEnabled)
                names << model->fileName(index);
        }
        names.sort();
        return names;
    };
    model->setNameFilterDisables(true); // filtered-out files stay in the model, disabled
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return model->rowCount(model->index(dir.path())) == 5; }, 5000));
    EXPECT_EQ(shown(), (QStringList{QStringLiteral("SONG2.MID"), QStringLiteral("old.rmi"),
                                    QStringLiteral("song.mid")}));

    dialog.selectNameFilter(filters[1]);
    emit dialog.filterSelected(filters[1]);
    EXPECT_EQ(shown().size(), 5);
}
