#pragma once
// A message box service for benchmarks: answers every box with one answer and counts them,
// so that no run waits on a modal loop.
#include "platform/gui/MessageBox.h"

class CountingBoxes final : public Platform::MessageBoxService
{
public:
    explicit CountingBoxes(int answer) : m_answer(answer) {}
    int Show(QWidget*, const QString&, const QString&, uint32_t) override
    {
        ++shown;
        return m_answer;
    }
    int shown = 0;

private:
    int m_answer;
};
