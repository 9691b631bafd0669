#include "platform/DialogTemplate.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <optional>

using namespace velkan;
using namespace Qt::StringLiterals;

namespace {

using Kind = ControlKind;

// A font 6 pixels wide on average and 13 high.
const DialogUnits kUnits(6, 13);

QString shownText(QWidget *w)
{
    if (auto *l = qobject_cast<QLabel *>(w))
        return l->text();
    if (auto *g = qobject_cast<QGroupBox *>(w))
        return g->title();
    if (auto *b = qobject_cast<QAbstractButton *>(w))
        return b->text();
    if (auto *e = qobject_cast<QLineEdit *>(w))
        return e->text();
    return {};
}

std::optional<Qt::Alignment> alignmentOf(QWidget *w)
{
    if (auto *l = qobject_cast<QLabel *>(w))
        return l->alignment();
    if (auto *e = qobject_cast<QLineEdit *>(w))
        return e->alignment();
    return std::nullopt;
}

} // namespace

// Each kind makes its own widget, named, captioned and placed in the font's
// pixels; an alignment given in the template replaces the widget's own.
TEST(DialogTemplateTest, EachKindMakesItsWidgetInPlace)
{
    constexpr Qt::Alignment kOwn = Qt::AlignLeft | Qt::AlignVCenter;
    const struct {
        DialogControl control;
        const char *className;
        QRect pixels;
        std::optional<Qt::Alignment> alignment;
        bool readOnly;
    } cases[] = {
        {{0, Kind::Static, u"左", 3, 5, 20, 8, "label"}, "QLabel", {5, 8, 30, 13}, kOwn, false},
        {{11, Kind::Static, u"nnn", 10, 20, 30, 8, "rightLabel", Qt::AlignRight | Qt::AlignTop},
         "QLabel", {15, 33, 45, 13}, Qt::AlignRight | Qt::AlignTop, false},
        {{0, Kind::Group, u"枠", 1, 2, 100, 50, "group"}, "QGroupBox", {2, 3, 150, 82}, {}, false},
        {{12, Kind::Button, u"押す", 7, 9, 34, 14, "button"}, "QPushButton", {11, 15, 51, 22}, {},
         false},
        {{13, Kind::Radio, u"選ぶ", 7, 25, 40, 12, "radio"}, "QRadioButton", {11, 41, 60, 19}, {},
         false},
        {{14, Kind::Edit, u"", 50, 25, 23, 15, "edit", Qt::AlignRight}, "QLineEdit",
         {75, 41, 35, 24}, Qt::AlignRight, false},
        {{15, Kind::ReadOnlyEdit, u"", 80, 25, 64, 12, "readOnlyEdit"}, "QLineEdit",
         {120, 41, 96, 19}, kOwn, true},
        {{16, Kind::HScroll, u"", 179, 17, 71, 15, "scroll"}, "QScrollBar", {269, 28, 106, 24}, {},
         false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.control.objectName);
        QDialog parent;
        const DialogControls built = buildDialogTemplate(&parent, kUnits, {&c.control, 1});
        ASSERT_EQ(built.made().size(), 1u);
        QWidget *w = built.made().front().widget;
        EXPECT_EQ(w->parentWidget(), &parent);
        EXPECT_STREQ(w->metaObject()->className(), c.className);
        EXPECT_EQ(w->objectName(), QString::fromLatin1(c.control.objectName));
        EXPECT_EQ(w->geometry(), c.pixels);
        EXPECT_EQ(shownText(w), c.control.caption());
        EXPECT_EQ(alignmentOf(w), c.alignment);
        if (auto *e = qobject_cast<QLineEdit *>(w)) {
            EXPECT_EQ(e->isReadOnly(), c.readOnly);
        }
        // Even in a dialog, Enter presses no button of a template.
        if (auto *b = qobject_cast<QPushButton *>(w)) {
            EXPECT_FALSE(b->autoDefault());
        }
        if (auto *s = qobject_cast<QScrollBar *>(w)) {
            EXPECT_EQ(s->orientation(), Qt::Horizontal);
        }
    }
}

// Controls come back by id and by kind in the template's order, which is
// also their order among the parent's children; the caller's factory makes
// the custom ones, which are placed like the rest.
TEST(DialogTemplateTest, IdsAndKindsMapBackToTheWidgets)
{
    const DialogControl controls[] = {
        {0, Kind::Group, u"枠", 1, 2, 100, 50, "group"},
        {21, Kind::Button, u"一", 7, 9, 34, 14, "first"},
        {0, Kind::Static, u"見出し", 3, 5, 20, 8, "caption"},
        {22, Kind::Custom, u"", 5, 60, 90, 40, "panel"},
        {23, Kind::Button, u"二", 7, 25, 34, 14, "second"},
        {24, Kind::Custom, u"", 5, 60, 90, 40, "unmade"},
    };
    QWidget parent;
    QPlainTextEdit *panel = nullptr;
    const auto makeCustom = [&panel](const DialogControl &ctl, QWidget *p) -> QWidget * {
        if (ctl.id != 22)
            return nullptr;
        return panel = new QPlainTextEdit(p);
    };
    QTest::ignoreMessage(QtWarningMsg, "dialog template: nothing made for control \"unmade\"");
    const DialogControls built = buildDialogTemplate(&parent, kUnits, controls, makeCustom);

    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->objectName(), QStringLiteral("panel"));
    EXPECT_EQ(panel->geometry(), QRect(8, 98, 135, 65));

    const struct {
        int id;
        const char *objectName; // null: no control
    } ids[] = {{21, "first"}, {22, "panel"}, {23, "second"}, {24, nullptr}, {0, nullptr}};
    for (const auto &c : ids) {
        SCOPED_TRACE(c.id);
        QWidget *w = built.widget(c.id);
        if (!c.objectName) {
            EXPECT_EQ(w, nullptr);
            continue;
        }
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->objectName(), QString::fromLatin1(c.objectName));
    }
    EXPECT_EQ(built.byId().size(), 3u);
    EXPECT_EQ(built.widget<QPushButton>(21), built.widget(21));
    EXPECT_EQ(built.widget<QLabel>(21), nullptr);

    const std::vector<QWidget *> buttons = built.ofKind(Kind::Button);
    ASSERT_EQ(buttons.size(), 2u);
    EXPECT_EQ(buttons[0]->objectName(), QStringLiteral("first"));
    EXPECT_EQ(buttons[1]->objectName(), QStringLiteral("second"));

    QStringList madeNames;
    for (const auto &[ctl, w] : built)
        madeNames << QString::fromLatin1(ctl.objectName);
    QStringList childNames;
    for (QWidget *w : parent.findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        childNames << w->objectName();
    const QStringList expected{u"group"_s, u"first"_s, u"caption"_s, u"panel"_s, u"second"_s};
    EXPECT_EQ(madeNames, expected);
    EXPECT_EQ(childNames, expected);
}
