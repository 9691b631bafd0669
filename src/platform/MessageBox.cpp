#include "platform/MessageBox.h"

#include "platform/TestAnswers.h"

#include <QMessageBox>
#include <QPushButton>

namespace velkan {
namespace {
bool g_testMode = false;
QStringList g_shown;
TestAnswers<MessageBox::Answer> g_answers([] {
    g_testMode = false;
    g_shown.clear();
});

MessageBox::Answer takeAnswer(MessageBox::Answer fallback)
{
    return g_answers.take().value_or(fallback);
}
} // namespace

void MessageBox::show(QWidget *parent, const QString &text)
{
    if (g_testMode) {
        g_shown << text;
        takeAnswer(Ok);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Velkan"), text, QMessageBox::Ok, parent);
    box.exec();
}

MessageBox::Answer MessageBox::askSaveChanges(QWidget *parent)
{
    const QString text = QStringLiteral("スクリプトは変更されています。保存しますか?");
    if (g_testMode) {
        g_shown << text;
        return takeAnswer(Cancel);
    }
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Velkan"), text, QMessageBox::NoButton,
                    parent);
    auto *save = box.addButton(QStringLiteral("保存(&S)"), QMessageBox::AcceptRole);
    auto *discard = box.addButton(QStringLiteral("保存しない(&N)"), QMessageBox::DestructiveRole);
    auto *cancel = box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
    box.setDefaultButton(save);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == save)
        return Save;
    if (box.clickedButton() == discard)
        return Discard;
    return Cancel;
}

MessageBox::Answer MessageBox::askRestore(QWidget *parent, const QString &details)
{
    const QString text = QStringLiteral("前回の作業を復元しますか?");
    if (g_testMode) {
        g_shown << text + u'\n' + details;
        return takeAnswer(Later);
    }
    QMessageBox box(QMessageBox::Question, QStringLiteral("Velkan"), text, QMessageBox::NoButton,
                    parent);
    box.setInformativeText(details);
    // Room for a path on one line.
    box.setStyleSheet(QStringLiteral("QLabel#qt_msgbox_informativelabel { min-width: 26em; }"));
    auto *restore = box.addButton(QStringLiteral("復元(&R)"), QMessageBox::AcceptRole);
    auto *discard = box.addButton(QStringLiteral("破棄(&D)"), QMessageBox::DestructiveRole);
    auto *later = box.addButton(QStringLiteral("後で(&L)"), QMessageBox::RejectRole);
    box.setDefaultButton(restore);
    // Closing the box decides nothing: the work is offered again next time.
    box.setEscapeButton(later);
    box.exec();
    if (box.clickedButton() == restore)
        return Restore;
    if (box.clickedButton() == discard)
        return Discard;
    return Later;
}

void MessageBox::setTestMode(bool on)
{
    g_testMode = on;
    g_answers.clear();
    g_shown.clear();
}

void MessageBox::setNextAnswer(Answer answer)
{
    g_answers.push(answer);
}

QStringList MessageBox::shownTexts()
{
    return g_shown;
}

void MessageBox::clearShown()
{
    g_shown.clear();
}

} // namespace velkan
