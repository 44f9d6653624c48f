#include "platform/gui/Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace Platform
{

namespace
{
class QtClipboard final : public ClipboardService
{
public:
    bool SetText(const QString& text) override
    {
        QClipboard* clipboard = QGuiApplication::clipboard();
        if (!clipboard)
            return false;
        clipboard->setText(text);
        return true;
    }

    std::optional<QString> GetText() override
    {
        QClipboard* clipboard = QGuiApplication::clipboard();
        if (!clipboard)
            return std::nullopt;
        const QMimeData* data = clipboard->mimeData();
        if (!data || !data->hasText())
            return std::nullopt;
        return data->text();
    }
};

QtClipboard g_builtIn;
ClipboardService* g_service = &g_builtIn;
} // namespace

ClipboardService* SetClipboardService(ClipboardService* service)
{
    return std::exchange(g_service, service ? service : &g_builtIn);
}

ClipboardService& Clipboard()
{
    return *g_service;
}

} // namespace Platform
