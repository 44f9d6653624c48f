#pragma once
#include "export/core/ExportFeedback.h"

#include <optional>
#include <vector>

// Records what an export shows and answers its question; stands in for the screens.
class FakeExportFeedback final : public ExportFeedback
{
public:
    void SetProgress(int position) override { positions.push_back(position); }
    void SetProgressText(const QString& text) override { texts.push_back(text); }
    bool ConfirmReplace(const QStringList& existing) override
    {
        questions.push_back(existing);
        return replace;
    }
    void ShowError(const QString& text) override { errors.push_back(text); }
    void ShowNotice(const QString& text) override { notices.push_back(text); }
    bool SetClipboardText(const QString& text) override
    {
        if (clipboardFails)
            return false;
        clipboardText = text;
        return true;
    }
    bool SetClipboardImage(const QImage& image) override
    {
        if (clipboardFails)
            return false;
        clipboardImages.push_back(image);
        return true;
    }

    bool replace = true;
    bool clipboardFails = false;
    std::vector<int> positions;
    std::vector<QString> texts;
    std::vector<QStringList> questions;
    std::vector<QString> errors;
    std::vector<QString> notices;
    std::optional<QString> clipboardText;
    std::vector<QImage> clipboardImages;
};
