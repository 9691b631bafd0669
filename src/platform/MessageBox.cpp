#include "platform/MessageBox.h"

#include <QMessageBox>
#include <QPushButton>
#include <deque>

namespace velkan {
namespace {
bool g_testMode = false;
std::deque<MessageBox::Answer> g_answers;
QStringList g_shown;

MessageBox::Answer takeAnswer(MessageBox::Answer fallback)
{
    if (g_answers.empty())
        return fallback;
    const auto a = g_answers.front();
    g_answers.pop_front();
    return a;
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
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Velkan"), text, QMessageBox::NoButton, parent);
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

void MessageBox::setTestMode(bool on)
{
    g_testMode = on;
    g_answers.clear();
    g_shown.clear();
}

void MessageBox::setNextAnswer(Answer answer)
{
    g_answers.push_back(answer);
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
