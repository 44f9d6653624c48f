#include "platform/gui/Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <atomic>

namespace Platform
{

namespace
{
// Private formats travel under a MIME type of their own so other programs ignore them.
QString MimeOf(const QString& format)
{
    return QStringLiteral("application/x-velmor-") + format;
}

class SystemClipboard final : public ClipboardService
{
public:
    bool Set(const Content& content) override
    {
        QClipboard* board = Board();
        if (!board)
            return false;
        auto* data = new QMimeData;
        if (content.text)
            data->setText(*content.text);
        if (content.image)
            data->setImageData(*content.image);
        for (auto it = content.privateFormats.begin(); it != content.privateFormats.end(); ++it)
            data->setData(MimeOf(it.key()), it.value());
        board->setMimeData(data);
        return true;
    }

    std::optional<QString> Text() const override
    {
        const QMimeData* data = Board() ? Board()->mimeData() : nullptr;
        if (!data || !data->hasText())
            return std::nullopt;
        return data->text();
    }

    std::optional<QImage> Image() const override
    {
        const QMimeData* data = Board() ? Board()->mimeData() : nullptr;
        if (!data || !data->hasImage())
            return std::nullopt;
        return qvariant_cast<QImage>(data->imageData());
    }

    std::optional<QByteArray> PrivateData(const QString& format) const override
    {
        const QMimeData* data = Board() ? Board()->mimeData() : nullptr;
        if (!data || !data->hasFormat(MimeOf(format)))
            return std::nullopt;
        return data->data(MimeOf(format));
    }

    bool HasPrivateFormat(const QString& format) const override
    {
        const QMimeData* data = Board() ? Board()->mimeData() : nullptr;
        return data && data->hasFormat(MimeOf(format));
    }

private:
    static QClipboard* Board()
    {
        return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::clipboard()
                                                                             : nullptr;
    }
};

SystemClipboard g_system;
std::atomic<ClipboardService*> g_service{&g_system};
} // namespace

ClipboardService* SetClipboardService(ClipboardService* service)
{
    return g_service.exchange(service ? service : &g_system);
}

ClipboardService& Clipboard()
{
    return *g_service.load();
}

} // namespace Platform
