#include "device/ReportMessage.h"
#include "resources/BuiltInStrings.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace
{
const QString kLogHint = QStringLiteral("\r\n\r\nPlease send the log file to Velmor SA and describe the "
                                        "error.\r\nThank you for helping us improve our Software.");

QCoreApplication& App()
{
    static int argc = 1;
    static char name[] = "test_device";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app =
        QCoreApplication::instance() ? QCoreApplication::instance() : new QCoreApplication(argc, argv);
    return *app;
}

class ReportMessageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterBuiltInStrings();
        App();
        m_previous = SetMessageReporter(
            [this](const SReport& r)
            {
                m_reports.push_back(r);
                m_threads.push_back(QThread::currentThread());
                return 2;
            });
    }
    void TearDown() override { SetMessageReporter(m_previous); }

    MessageReporter m_previous;
    std::vector<SReport> m_reports;
    std::vector<QThread*> m_threads;
};

TEST_F(ReportMessageTest, KindChoosesCaptionStyleAndLogHint)
{
    struct Case
    {
        int kind;
        const char* caption;
        uint32_t style;
        bool hint;
    };
    const Case cases[] = {
        {0, "Information", 0x41, false}, {1, "Warning", 0x31, false}, {2, "Error", 0x11, true},
        {3, "Fatal Error", 0x10, true},  {7, "Error", 0x10, false},   {-1, "Error", 0x10, false},
    };
    for (const Case& c : cases)
    {
        m_reports.clear();
        EXPECT_EQ(ReportMessage(c.kind, QStringLiteral("Boom"), QStringLiteral("DeviceThread"), 1553), 2);
        ASSERT_EQ(m_reports.size(), 1u) << c.kind;
        const SReport& r = m_reports.front();
        EXPECT_EQ(r.caption, QString::fromLatin1(c.caption)) << c.kind;
        EXPECT_EQ(r.style, c.style) << c.kind;
        EXPECT_EQ(r.text, QStringLiteral("Boom") + (c.hint ? kLogHint : QString())) << c.kind;
        EXPECT_EQ(r.sourceFile, QStringLiteral("DeviceThread"));
        EXPECT_EQ(r.sourceLine, 1553);
    }
}

TEST_F(ReportMessageTest, OtherThreadsQueueTheReportAndDoNotWait)
{
    // A reporter that would block forever if it were called on the reporting thread.
    SetMessageReporter(
        [&](const SReport& r)
        {
            m_reports.push_back(r);
            m_threads.push_back(QThread::currentThread());
            return 1;
        });
    int result = -1;
    QElapsedTimer timer;
    timer.start();
    std::thread worker(
        [&]
        {
            result = ReportMessage(reportFatal, QStringLiteral("Unhandled exception in Device Thread."),
                                   QStringLiteral("DeviceThread"), 1553);
        });
    worker.join();
    EXPECT_LT(timer.elapsed(), 1000);
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(m_reports.empty());

    QCoreApplication::processEvents();
    ASSERT_EQ(m_reports.size(), 1u);
    EXPECT_EQ(m_threads.front(), App().thread());
    EXPECT_EQ(m_reports.front().caption, QStringLiteral("Fatal Error"));
    EXPECT_TRUE(m_reports.front().text.startsWith(QStringLiteral("Unhandled exception in Device Thread.")));
}

} // namespace
