#pragma once
#include "platform/gui/Clipboard.h"

// Stands in for the system clipboard in tests: holds text in memory, can refuse to be
// written, and counts what was put on it. Installed for its lifetime.
class ClipboardFake final : public Platform::ClipboardService
{
public:
    ClipboardFake() { m_previous = Platform::SetClipboardService(this); }
    ~ClipboardFake() override { Platform::SetClipboardService(m_previous); }

    bool SetText(const QString& value) override
    {
        if (refuse)
            return false;
        text = value;
        ++writes;
        return true;
    }
    std::optional<QString> GetText() override { return text; }

    std::optional<QString> text;
    bool refuse = false;
    int writes = 0;

private:
    Platform::ClipboardService* m_previous = nullptr;
};
