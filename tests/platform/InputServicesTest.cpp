#include "platform/gui/BalloonTip.h"
#include "platform/gui/Clipboard.h"
#include "platform/gui/VirtualKeys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

using namespace Platform;

TEST(TranslateKeyPress, SplitsAKeyIntoItsKeyDownAndItsCharacters)
{
    struct Case
    {
        Qt::Key key;
        Qt::KeyboardModifiers keys;
        QString text;
        int virtualKey;
        QString characters;
        bool system;
    } cases[] = {
        {Qt::Key_A, {}, "a", 'A', "a", false},
        {Qt::Key_A, Qt::ShiftModifier, "A", 'A', "A", false},
        {Qt::Key_S, Qt::ControlModifier, "\x13", 'S', "", false},
        {Qt::Key_F, Qt::AltModifier, "f", 'F', "", true},
        {Qt::Key_7, {}, "7", '7', "7", false},
        {Qt::Key_Return, {}, "\r", VK_RETURN, "\r", false},
        {Qt::Key_Enter, {}, "", VK_RETURN, "\r", false},
        {Qt::Key_Tab, {}, "", VK_TAB, "\t", false},
        {Qt::Key_Backtab, Qt::ShiftModifier, "", VK_TAB, "\t", false},
        {Qt::Key_Escape, {}, "\x1b", VK_ESCAPE, "\x1b", false},
        {Qt::Key_Backspace, {}, "\b", VK_BACK, "\b", false},
        {Qt::Key_Delete, {}, "\x7f", VK_DELETE, "", false},
        {Qt::Key_Space, {}, " ", VK_SPACE, " ", false},
        {Qt::Key_F2, {}, "", VK_F2, "", false},
        {Qt::Key_PageDown, {}, "", VK_NEXT, "", false},
        {Qt::Key_Left, {}, "", VK_LEFT, "", false},
        {Qt::Key_unknown, {}, QString::fromUtf16(u"\u00e9"), 0, QString::fromUtf16(u"\u00e9"), false},
    };
    for (const Case& c : cases)
    {
        const QKeyEvent event(QEvent::KeyPress, c.key, c.keys, c.text);
        const KeyStroke stroke = TranslateKeyPress(event);
        EXPECT_EQ(stroke.virtualKey, c.virtualKey) << c.key;
        EXPECT_EQ(stroke.characters, c.characters) << c.key;
        EXPECT_EQ(stroke.system, c.system) << c.key;
    }
}

TEST(ClipboardService, TheBuiltInServiceCarriesUnicodeText)
{
    const QString text = QStringLiteral("a\tb\r\nü€ 𝄞");
    ASSERT_TRUE(Clipboard().SetText(text));
    EXPECT_EQ(Clipboard().Text(), text);
}

namespace
{
// A mouse move over the window, relayed to its tip.
void MoveTo(QWidget* window, BalloonTip& tip, QPoint at)
{
    QMouseEvent move(QEvent::MouseMove, QPointF(at), QPointF(window->mapToGlobal(at)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    tip.RelayEvent(&move);
}
} // namespace

TEST(BalloonTip, ShowsAfterTheMouseRestsAndGoesAwayAsTold)
{
    QWidget window;
    window.resize(200, 100);
    window.show();
    BalloonTip tip(&window);
    tip.SetTitle(QStringLiteral("Title"), BalloonTip::TTI_INFO);
    tip.SetInitialDelay(20);
    tip.SetAutoPopDelay(150);
    tip.SetMaxTipWidth(120);
    tip.AddTool({10, 10, 60, 40}, QStringLiteral("a text long enough to be wrapped at the width given"));

    // Outside the area nothing shows; resting inside shows the tip after the delay.
    MoveTo(&window, tip, {100, 50});
    QTest::qWait(60);
    EXPECT_FALSE(tip.IsShown());
    MoveTo(&window, tip, {20, 20});
    EXPECT_FALSE(tip.IsShown());
    EXPECT_TRUE(QTest::qWaitFor([&] { return tip.IsShown(); }, 2000));

    // Auto-pop; it stays away while the mouse stays, and comes back after leaving.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !tip.IsShown(); }, 2000));
    MoveTo(&window, tip, {22, 22});
    QTest::qWait(60);
    EXPECT_FALSE(tip.IsShown());
    MoveTo(&window, tip, {100, 50});
    MoveTo(&window, tip, {20, 20});
    EXPECT_TRUE(QTest::qWaitFor([&] { return tip.IsShown(); }, 2000));

    // A press pops it; without a tool nothing shows.
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(20, 20), QPointF(window.mapToGlobal(QPoint(20, 20))),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    tip.RelayEvent(&press);
    EXPECT_FALSE(tip.IsShown());
    tip.DelTool();
    MoveTo(&window, tip, {25, 25});
    QTest::qWait(60);
    EXPECT_FALSE(tip.IsShown());
    EXPECT_FALSE(tip.HasTool());
}
