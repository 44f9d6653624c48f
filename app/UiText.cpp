#include "app/UiText.h"

#include "platform/core/StringTable.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QVariant>

namespace
{
// The dynamic property that keeps a text's string id.
constexpr const char* kTextIdProperty = "vesk_textId";

void Apply(QObject* target, uint32_t textId)
{
    const QString text = Platform::LoadString(textId);
    if (auto* menu = qobject_cast<QMenu*>(target))
        menu->setTitle(text);
    else if (auto* action = qobject_cast<QAction*>(target))
        action->setText(text.section(u'\t', 0, 0));
    else if (auto* label = qobject_cast<QLabel*>(target))
        label->setText(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(target))
        button->setText(text);
    else if (auto* frame = qobject_cast<QGroupBox*>(target))
        frame->setTitle(text);
    else if (auto* window = qobject_cast<QWidget*>(target))
        window->setWindowTitle(text);
}

void RetranslateOne(QObject* object)
{
    const QVariant id = object->property(kTextIdProperty);
    if (id.isValid())
        Apply(object, id.toUInt());
}
} // namespace

namespace UiText
{
void Set(QObject* target, uint32_t textId)
{
    target->setProperty(kTextIdProperty, textId);
    Apply(target, textId);
}

void Retranslate(QObject* root)
{
    RetranslateOne(root);
    for (QObject* child : root->findChildren<QObject*>())
        RetranslateOne(child);
}
} // namespace UiText
