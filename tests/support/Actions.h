#pragma once

// Reaching the program's commands as a user does: through their actions,
// found by object name ("actionStart", "actionTemplateWAIT").
#include <QAction>
#include <QMetaMethod>
#include <QObject>
#include <functional>
#include <memory>

namespace velkan::test {

inline QAction *findAction(const QObject *root, const char *name)
{
    return root ? root->findChild<QAction *>(QString::fromLatin1(name)) : nullptr;
}

template <class T> QAction *findAction(const std::unique_ptr<T> &root, const char *name)
{
    return findAction(root.get(), name);
}

// Triggers the action; false when there is none of that name or it is disabled.
template <class Root> bool triggerAction(const Root &root, const char *name)
{
    QAction *action = findAction(root, name);
    if (!action || !action->isEnabled())
        return false;
    action->trigger();
    return true;
}

// Puts `handler` in place of whatever the action did.
inline void replaceHandler(QAction *action, std::function<void()> handler)
{
    QObject::disconnect(action, &QAction::triggered, nullptr, nullptr);
    QObject::connect(action, &QAction::triggered, action,
                     [handler = std::move(handler)] { handler(); });
}

// Whether anything runs when the action is triggered.
inline bool isHandled(const QAction *action)
{
    struct Peek : QObject {
        using QObject::isSignalConnected;
    };
    return (action->*(&Peek::isSignalConnected))(QMetaMethod::fromSignal(&QAction::triggered));
}

} // namespace velkan::test
