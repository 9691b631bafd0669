#pragma once

#include "platform/DialogUnits.h"

#include <QString>
#include <QWidget>
#include <functional>
#include <map>
#include <span>
#include <vector>

namespace velkan {

// The controls a dialog template knows how to make by itself.
enum class ControlKind {
    Static,       // QLabel showing the text
    Group,        // QGroupBox titled with the text
    Button,       // QPushButton; never pressed by Enter (not auto-default)
    Radio,        // QRadioButton
    Edit,         // QLineEdit
    ReadOnlyEdit, // QLineEdit the user cannot type into
    HScroll,      // horizontal QScrollBar
    Custom,       // made by the caller's factory
};

// One line of a dialog template: what to make, where, and under which names.
struct DialogControl {
    int id; // 0 for controls nothing refers to
    ControlKind kind;
    const char16_t *text;
    int x, y, w, h; // dialog units
    const char *objectName;
    // For labels and edits; none leaves the widget's own.
    Qt::Alignment alignment = {};

    QString caption() const { return QString::fromUtf16(text); }
};

// Makes a Custom control as a child of the given parent. The template then
// names and places it like any other.
using CustomControlFactory = std::function<QWidget *(const DialogControl &, QWidget *parent)>;

// What a template built, in the template's order.
class DialogControls {
public:
    struct Made {
        DialogControl control;
        QWidget *widget;
    };

    // The control of that id, or null.
    QWidget *widget(int id) const;
    template <class W> W *widget(int id) const { return qobject_cast<W *>(widget(id)); }
    // The controls of that kind, in the template's order.
    std::vector<QWidget *> ofKind(ControlKind kind) const;
    // Every control with an id other than 0.
    const std::map<int, QWidget *> &byId() const { return m_byId; }

    const std::vector<Made> &made() const { return m_made; }
    auto begin() const { return m_made.begin(); }
    auto end() const { return m_made.end(); }

private:
    friend DialogControls buildDialogTemplate(QWidget *, const DialogUnits &,
                                              std::span<const DialogControl>,
                                              const CustomControlFactory &);
    std::vector<Made> m_made;
    std::map<int, QWidget *> m_byId;
};

// Creates every control of the template as a child of parent, in the
// template's order (which is also the order of the focus chain), named and
// placed in pixels of the given dialog units.
DialogControls buildDialogTemplate(QWidget *parent, const DialogUnits &du,
                                   std::span<const DialogControl> controls,
                                   const CustomControlFactory &makeCustom = {});

} // namespace velkan
