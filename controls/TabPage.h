#pragma once
#include <QWidget>

#include <cstdint>

// A page of the series tab sheet. The sheet hands it the WM_CMD_ messages and queries
// (DocView.h) synchronously and returns its answer; a query enables its command only
// when the answer is exactly 1.
class CTabPage : public QWidget
{
public:
    using QWidget::QWidget;
    virtual intptr_t OnCommandMessage(uint32_t message) = 0;
};
