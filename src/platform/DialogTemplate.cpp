#include "platform/DialogTemplate.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QtGlobal>

namespace velkan {

QWidget *DialogControls::widget(int id) const
{
    const auto it = m_byId.find(id);
    return it == m_byId.end() ? nullptr : it->second;
}

std::vector<QWidget *> DialogControls::ofKind(ControlKind kind) const
{
    std::vector<QWidget *> widgets;
    for (const Made &m : m_made) {
        if (m.control.kind == kind)
            widgets.push_back(m.widget);
    }
    return widgets;
}

namespace {

QWidget *makeControl(const DialogControl &ctl, QWidget *parent)
{
    switch (ctl.kind) {
    case ControlKind::Static: {
        auto *label = new QLabel(ctl.caption(), parent);
        if (ctl.alignment)
            label->setAlignment(ctl.alignment);
        return label;
    }
    case ControlKind::Group:
        return new QGroupBox(ctl.caption(), parent);
    case ControlKind::Button: {
        auto *button = new QPushButton(ctl.caption(), parent);
        button->setAutoDefault(false);
        return button;
    }
    case ControlKind::Radio:
        return new QRadioButton(ctl.caption(), parent);
    case ControlKind::Edit:
    case ControlKind::ReadOnlyEdit: {
        auto *edit = new QLineEdit(parent);
        if (ctl.kind == ControlKind::ReadOnlyEdit)
            edit->setReadOnly(true);
        if (ctl.alignment)
            edit->setAlignment(ctl.alignment);
        return edit;
    }
    case ControlKind::HScroll:
        return new QScrollBar(Qt::Horizontal, parent);
    case ControlKind::Custom:
        break;
    }
    return nullptr;
}

} // namespace

DialogControls buildDialogTemplate(QWidget *parent, const DialogUnits &du,
                                   std::span<const DialogControl> controls,
                                   const CustomControlFactory &makeCustom)
{
    DialogControls built;
    built.m_made.reserve(controls.size());
    for (const DialogControl &ctl : controls) {
        QWidget *w = ctl.kind == ControlKind::Custom
                         ? (makeCustom ? makeCustom(ctl, parent) : nullptr)
                         : makeControl(ctl, parent);
        if (!w) {
            qWarning("dialog template: nothing made for control \"%s\"", ctl.objectName);
            continue;
        }
        Q_ASSERT(w->parentWidget() == parent);
        w->setObjectName(QString::fromLatin1(ctl.objectName));
        w->setGeometry(du.rect(ctl.x, ctl.y, ctl.w, ctl.h));
        built.m_made.push_back({ctl, w});
        if (ctl.id != 0) {
            Q_ASSERT(!built.m_byId.contains(ctl.id));
            built.m_byId[ctl.id] = w;
        }
    }
    return built;
}

} // namespace velkan
