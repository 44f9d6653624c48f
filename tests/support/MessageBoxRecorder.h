#pragma once
#include "platform/gui/MessageBox.h"

#include <QCoreApplication>
#include <QStringList>
#include <QThread>

#include <deque>
#include <mutex>

// Stands in for message boxes in tests: records every box and answers from a queue
// (IDOK, or the first button's answer, when the queue is empty). Installed for its
// lifetime.
class MessageBoxRecorder final : public Platform::MessageBoxService
{
public:
    struct Box
    {
        QString text;
        QString caption;
        uint32_t type;
        bool uiThread; // asked for on the application's thread
        const QWidget* owner; // compared, never used: it may be gone by then
    };

    MessageBoxRecorder() { m_previous = Platform::SetMessageBoxService(this); }
    ~MessageBoxRecorder() override { Platform::SetMessageBoxService(m_previous); }

    void Answer(int answer)
    {
        std::lock_guard g(m_lock);
        m_answers.push_back(answer);
    }

    int Show(QWidget* owner, const QString& text, const QString& caption, uint32_t type) override
    {
        std::lock_guard g(m_lock);
        auto* app = QCoreApplication::instance();
        boxes.push_back(Box{text, caption, type, app && QThread::currentThread() == app->thread(), owner});
        if (!m_answers.empty())
        {
            const int a = m_answers.front();
            m_answers.pop_front();
            return a;
        }
        switch (type & 0x0F)
        {
        case Platform::MB_YESNO:
        case Platform::MB_YESNOCANCEL:
            return Platform::IDYES;
        default:
            return Platform::IDOK;
        }
    }

    std::vector<Box> boxes;

private:
    std::mutex m_lock;
    std::deque<int> m_answers;
    Platform::MessageBoxService* m_previous = nullptr;
};
