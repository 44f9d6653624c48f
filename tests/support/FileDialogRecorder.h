#pragma once
#include "platform/gui/FileDialog.h"

#include <deque>
#include <vector>

// Stands in for file dialogs in tests: records every request and answers from a queue
// (a path, or nullopt for Cancel; Cancel when the queue is empty). Installed for its
// lifetime.
class FileDialogRecorder final : public Platform::FileDialogService
{
public:
    FileDialogRecorder() { m_previous = Platform::SetFileDialogService(this); }
    ~FileDialogRecorder() override { Platform::SetFileDialogService(m_previous); }

    void Answer(std::optional<QString> path) { m_answers.push_back(std::move(path)); }

    std::optional<QString> Show(QWidget*, const Platform::FileDialogRequest& request) override
    {
        requests.push_back(request);
        if (m_answers.empty())
            return std::nullopt;
        auto a = m_answers.front();
        m_answers.pop_front();
        return a;
    }

    // Answers the next dialog that offers several files (Cancel for nullopt); without one
    // queued, such a dialog takes a single answer of the other queue.
    void AnswerMany(std::optional<QStringList> paths) { m_manyAnswers.push_back(std::move(paths)); }

    std::optional<QStringList> ShowMany(QWidget* owner, const Platform::FileDialogRequest& request) override
    {
        if (m_manyAnswers.empty())
            return FileDialogService::ShowMany(owner, request);
        requests.push_back(request);
        auto a = m_manyAnswers.front();
        m_manyAnswers.pop_front();
        return a;
    }

    std::vector<Platform::FileDialogRequest> requests;

private:
    std::deque<std::optional<QString>> m_answers;
    std::deque<std::optional<QStringList>> m_manyAnswers;
    Platform::FileDialogService* m_previous = nullptr;
};
