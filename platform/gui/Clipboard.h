#pragma once
#include <QByteArray>
#include <QImage>
#include <QMap>
#include <QString>

#include <optional>

namespace Platform
{

// The system clipboard, behind a service that tests replace. Content is a set of
// formats put there together: plain UTF-16 text, an image, and the program's private
// formats by name (such as "Veskador3SEClipboardFormat").
class ClipboardService
{
public:
    struct Content
    {
        std::optional<QString> text;
        std::optional<QImage> image;
        QMap<QString, QByteArray> privateFormats;
    };

    virtual ~ClipboardService() = default;
    // Replaces the whole clipboard; false when the clipboard cannot be opened.
    virtual bool Set(const Content& content) = 0;
    virtual std::optional<QString> Text() const = 0;
    virtual std::optional<QImage> Image() const = 0;
    virtual std::optional<QByteArray> PrivateData(const QString& format) const = 0;
    virtual bool HasPrivateFormat(const QString& format) const = 0;

    // Replaces the whole clipboard by one text.
    bool SetText(const QString& text)
    {
        Content content;
        content.text = text;
        return Set(content);
    }
};

// Installs a service (null: the system clipboard); returns the previous one.
ClipboardService* SetClipboardService(ClipboardService* service);
ClipboardService& Clipboard();

} // namespace Platform
