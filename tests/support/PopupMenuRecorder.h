#pragma once
#include "platform/gui/PopupMenu.h"

#include <QAction>
#include <QMenu>
#include <QString>
#include <QVariant>

#include <deque>
#include <vector>

// Stands in for popup menus in tests: records every tracked menu with its items and
// answers from a queue of command ids (0, or an empty queue, dismisses the menu). An id
// that is not in the menu, or whose item is disabled, cannot be chosen and dismisses it
// too, as a user could not choose it either. Installed for its lifetime.
class PopupMenuRecorder final : public Platform::PopupMenuService
{
public:
    struct Item
    {
        // The whole item text, with a tab before an accelerator.
        QString text;
        unsigned id = 0;
        bool enabled = true;
        bool checked = false;
        bool separator = false;
        std::vector<Item> submenu;
    };
    struct Menu
    {
        std::vector<Item> items;
        QPoint pos;
        unsigned flags = 0;
        QWidget* owner = nullptr;
    };

    PopupMenuRecorder() { m_previous = Platform::SetPopupMenuService(this); }
    ~PopupMenuRecorder() override { Platform::SetPopupMenuService(m_previous); }

    void Choose(unsigned id) { m_answers.push_back(id); }

    QAction* Track(QMenu& menu, QPoint screenPos, unsigned flags, QWidget* owner) override
    {
        menus.push_back(Menu{Snapshot(menu), screenPos, flags, owner});
        if (m_answers.empty())
            return nullptr;
        const unsigned id = m_answers.front();
        m_answers.pop_front();
        QAction* chosen = id ? Find(menu, id) : nullptr;
        if (chosen)
            chosen->trigger();
        return chosen;
    }

    std::vector<Menu> menus;

private:
    static std::vector<Item> Snapshot(const QMenu& menu)
    {
        std::vector<Item> items;
        for (QAction* action : menu.actions())
        {
            Item item;
            const QVariant whole = action->property(Platform::kMenuItemTextProperty);
            item.text = whole.isValid() ? whole.toString() : action->text();
            item.id = action->data().toUInt();
            item.enabled = action->isEnabled();
            item.checked = action->isChecked();
            item.separator = action->isSeparator();
            if (action->menu())
                item.submenu = Snapshot(*action->menu());
            items.push_back(std::move(item));
        }
        return items;
    }

    static QAction* Find(const QMenu& menu, unsigned id)
    {
        for (QAction* action : menu.actions())
        {
            if (action->menu())
            {
                if (!action->isEnabled())
                    continue;
                if (QAction* inner = Find(*action->menu(), id))
                    return inner;
                continue;
            }
            if (!action->isSeparator() && action->data().isValid() && action->data().toUInt() == id)
                return action->isEnabled() ? action : nullptr;
        }
        return nullptr;
    }

    std::deque<unsigned> m_answers;
    Platform::PopupMenuService* m_previous = nullptr;
};
