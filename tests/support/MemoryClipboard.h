#pragma once
#include "platform/gui/Clipboard.h"

// An in-process clipboard for tests, installed for its lifetime. `failSet` makes the
// next Set report that the clipboard could not be opened.
class MemoryClipboard final : public Platform::ClipboardService
{
public:
    MemoryClipboard() { m_previous = Platform::SetClipboardService(this); }
    ~MemoryClipboard() override { Platform::SetClipboardService(m_previous); }

    bool Set(const Content& c) override
    {
        if (failSet)
            return false;
        content = c;
        return true;
    }
    std::optional<QString> Text() const override { return content.text; }
    std::optional<QImage> Image() const override { return content.image; }
    std::optional<QByteArray> PrivateData(const QString& format) const override
    {
        const auto it = content.privateFormats.constFind(format);
        if (it == content.privateFormats.constEnd())
            return std::nullopt;
        return *it;
    }
    bool HasPrivateFormat(const QString& format) const override
    {
        return content.privateFormats.contains(format);
    }

    Content content;
    bool failSet = false;

private:
    Platform::ClipboardService* m_previous = nullptr;
};
