#include "platform/DialogTemplate.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <optional>

using namespace velkan;

// Each kind makes its own widget, named, captioned and placed in the font's
// pixels; an alignment given replaces the widget's own; the caller's factory
// makes the custom ones. They come back by id and by kind in the template's
// order, which is also their order among the parent's children.
TEST(DialogTemplateTest, EachControlIsMadeNamedPlacedAndFoundAgain)
{
    using Kind = ControlKind;
    constexpr Qt::Alignment kOwn = Qt::AlignLeft | Qt::AlignVCenter;
    constexpr Qt::Alignment kTopRight = Qt::AlignRight | Qt::AlignTop;
    const struct {
        DialogControl control;
        const char *className; // null: nothing made
        QRect pixels;
        std::optional<Qt::Alignment> alignment;
        bool readOnly = false;
    } cases[] = {
        {{0, Kind::Static, u"左", 3, 5, 20, 8, "label"}, "QLabel", {5, 8, 30, 13}, kOwn},
        {{11, Kind::Static, u"nnn", 10, 20, 30, 8, "right", kTopRight},
         "QLabel",
         {15, 33, 45, 13},
         kTopRight},
        {{0, Kind::Group, u"枠", 1, 2, 100, 50, "group"}, "QGroupBox", {2, 3, 150, 82}, {}},
        {{12, Kind::Button, u"押す", 7, 9, 34, 14, "button"}, "QPushButton", {11, 15, 51, 22}, {}},
        {{13, Kind::Radio, u"選ぶ", 7, 25, 40, 12, "radio"}, "QRadioButton", {11, 41, 60, 19}, {}},
        {{14, Kind::Edit, u"", 50, 25, 23, 15, "edit", Qt::AlignRight},
         "QLineEdit",
         {75, 41, 35, 24},
         Qt::AlignRight},
        {{15, Kind::ReadOnlyEdit, u"", 80, 25, 64, 12, "readOnly"},
         "QLineEdit",
         {120, 41, 96, 19},
         kOwn,
         true},
        {{16, Kind::HScroll, u"", 179, 17, 71, 15, "scroll"}, "QScrollBar", {269, 28, 106, 24}, {}},
        {{17, Kind::Custom, u"", 5, 60, 90, 40, "panel"}, "QPlainTextEdit", {8, 98, 135, 65}, {}},
        {{18, Kind::Button, u"二", 7, 25, 34, 14, "second"}, "QPushButton", {11, 41, 51, 22}, {}},
        {{19, Kind::Custom, u"", 5, 60, 90, 40, "unmade"}, nullptr, {}, {}},
    };
    std::vector<DialogControl> controls;
    for (const auto &c : cases)
        controls.push_back(c.control);
    const auto makeCustom = [](const DialogControl &ctl, QWidget *p) -> QWidget * {
        return ctl.id == 17 ? new QPlainTextEdit(p) : nullptr;
    };
    QDialog parent; // where push buttons are auto-default unless told otherwise
    QTest::ignoreMessage(QtWarningMsg, "dialog template: nothing made for control \"unmade\"");
    // A font 6 pixels wide on average and 13 high.
    const DialogControls built =
        buildDialogTemplate(&parent, DialogUnits(6, 13), controls, makeCustom);

    std::size_t made = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.control.objectName);
        QWidget *w = built.widget(c.control.id);
        if (!c.className) {
            EXPECT_EQ(w, nullptr);
            continue;
        }
        ASSERT_LT(made, built.made().size());
        EXPECT_EQ(built.made()[made].control.objectName, c.control.objectName);
        if (c.control.id == 0)
            w = built.made()[made].widget;
        ++made;
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w, parent.findChildren<QWidget *>(Qt::FindDirectChildrenOnly).value(made - 1));
        EXPECT_STREQ(w->metaObject()->className(), c.className);
        EXPECT_EQ(w->objectName(), QString::fromLatin1(c.control.objectName));
        EXPECT_EQ(w->geometry(), c.pixels);
        const auto *label = qobject_cast<QLabel *>(w);
        const auto *group = qobject_cast<QGroupBox *>(w);
        const auto *button = qobject_cast<QAbstractButton *>(w);
        const auto *edit = qobject_cast<QLineEdit *>(w);
        const QString text = label    ? label->text()
                             : group  ? group->title()
                             : button ? button->text()
                                      : QString();
        EXPECT_EQ(text, c.control.caption());
        const std::optional<Qt::Alignment> alignment = label  ? label->alignment()
                                                       : edit ? std::optional(edit->alignment())
                                                              : std::nullopt;
        EXPECT_EQ(alignment, c.alignment);
        EXPECT_EQ(edit && edit->isReadOnly(), c.readOnly);
        if (auto *push = qobject_cast<QPushButton *>(w)) {
            EXPECT_FALSE(push->autoDefault());
        }
        if (auto *bar = qobject_cast<QScrollBar *>(w)) {
            EXPECT_EQ(bar->orientation(), Qt::Horizontal);
        }
    }
    EXPECT_EQ(built.made().size(), made);
    EXPECT_EQ(built.byId().size(), made - 2); // the label and the group have no id
    EXPECT_EQ(built.widget<QPushButton>(12), built.widget(12));
    EXPECT_EQ(built.widget<QLabel>(12), nullptr);
    const std::vector<QWidget *> buttons{built.widget(12), built.widget(18)};
    EXPECT_EQ(built.ofKind(Kind::Button), buttons);
}
