#include "controls/CommentDlg.h"
#include "platform/gui/DialogLayout.h"
#include "resources/BuiltInStrings.h"
#include "tests/controls/ScopedTimeZone.h"
#include "tests/support/ModalDialogRunner.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

namespace
{
QPlainTextEdit* Edit(QDialog& dlg)
{
    return Platform::GetDlgItemAs<QPlainTextEdit>(&dlg, CCommentDlg::IDC_COMMENT);
}
} // namespace

TEST(CommentDlg, OpensWithTheCaretAfterTheCommentAndKeepsLineBreaks)
{
    RegisterBuiltInStrings();
    ModalDialogRunner driver(
        [](QDialog& dlg)
        {
            EXPECT_EQ(dlg.windowTitle(), "Please enter a comment");
            QPlainTextEdit* edit = Edit(dlg);
            ASSERT_NE(edit, nullptr);
            EXPECT_EQ(dlg.focusWidget(), edit);
            EXPECT_EQ(edit->document()->blockCount(), 2);
            EXPECT_EQ(edit->textCursor().position(), edit->document()->characterCount() - 1);
            EXPECT_FALSE(edit->textCursor().hasSelection());
            // Return starts a new line rather than closing the dialog.
            QTest::keyClicks(edit, " east");
            QTest::keyClick(edit, Qt::Key_Return);
            QTest::keyClicks(edit, "third");
            EXPECT_TRUE(dlg.isVisible());
            QTest::mouseClick(Platform::GetDlgItemAs<QPushButton>(&dlg, 1), Qt::LeftButton);
        });
    CCommentDlg dlg;
    dlg.SetComment("Hall 2\r\nweld seam");
    EXPECT_EQ(dlg.DoModal(), Platform::IDOK);
    EXPECT_EQ(dlg.GetComment(), "Hall 2\r\nweld seam east\r\nthird");
}

TEST(CommentDlg, CancelAnswersCancel)
{
    for (const bool escape : {false, true})
    {
        ModalDialogRunner driver(
            [escape](QDialog& dlg)
            {
                QTest::keyClicks(Edit(dlg), "x");
                if (escape)
                    QTest::keyClick(Edit(dlg), Qt::Key_Escape);
                else
                    QTest::mouseClick(Platform::GetDlgItemAs<QPushButton>(&dlg, 2), Qt::LeftButton);
            });
        CCommentDlg dlg;
        dlg.SetComment("old");
        EXPECT_EQ(dlg.DoModal(), Platform::IDCANCEL);
    }
}

TEST(CommentDlg, LongLinesScrollInsteadOfWrapping)
{
    ModalDialogRunner driver(
        [](QDialog& dlg)
        {
            QPlainTextEdit* edit = Edit(dlg);
            EXPECT_EQ(edit->document()->blockCount(), 1);
            EXPECT_EQ(edit->lineWrapMode(), QPlainTextEdit::NoWrap);
            // Scrolled to show the caret at the end.
            EXPECT_GT(edit->horizontalScrollBar()->value(), 0);
            QTest::mouseClick(Platform::GetDlgItemAs<QPushButton>(&dlg, 1), Qt::LeftButton);
        });
    CCommentDlg dlg;
    const QString longLine = QString("measured on the north side ").repeated(20);
    dlg.SetComment(longLine);
    EXPECT_EQ(dlg.DoModal(), Platform::IDOK);
    EXPECT_EQ(dlg.GetComment(), longLine);
}

TEST(CommentDlg, StopsAtTheLengthTheSeriesKeepsAndShowsWhatIsLeft)
{
    RegisterBuiltInStrings();
    ModalDialogRunner driver(
        [](QDialog& dlg)
        {
            QPlainTextEdit* edit = Edit(dlg);
            auto* left = dlg.findChild<QLabel*>("left");
            ASSERT_NE(left, nullptr);
            EXPECT_TRUE(left->isVisible());
            // A line break is kept as two characters.
            EXPECT_EQ(left->text(), "2 of 12 characters left");
            QTest::keyClicks(edit, "xyz");
            EXPECT_EQ(left->text(), "0 of 12 characters left");
            EXPECT_EQ(edit->toPlainText(), "Hall 2\nabxy") << "the key past the limit is refused";
            edit->insertPlainText("pasted"); // nothing of a paste fits
            QTest::keyClick(edit, Qt::Key_Return);
            EXPECT_EQ(edit->toPlainText(), "Hall 2\nabxy");
            QTest::keyClick(edit, Qt::Key_Backspace);
            EXPECT_EQ(left->text(), "1 of 12 characters left");
            QTest::mouseClick(Platform::GetDlgItemAs<QPushButton>(&dlg, 1), Qt::LeftButton);
        });
    CCommentDlg dlg;
    dlg.SetMaxLength(12);
    dlg.SetComment("Hall 2\r\nab");
    EXPECT_EQ(dlg.DoModal(), Platform::IDOK);
    EXPECT_EQ(dlg.GetComment(), "Hall 2\r\nabx");
}

// A text pasted from the clipboard (Ctrl+V) goes in as far as it fits, as typing stops at
// the limit: never half of a line break (kept as two characters) or of a character that
// takes two, and the caret after what went in.
TEST(CommentDlg, APasteGoesInAsFarAsItFits)
{
    RegisterBuiltInStrings();
    const QString face = QString::fromUtf8("\xF0\x9F\x98\x80"); // two UTF-16 units
    struct Case
    {
        const char* what;
        QString comment;
        int limit;
        // Before the paste: 0 caret at the end, -1 all selected, else the caret there.
        int caret;
        QString pasted;
        QString expected;
        int caretAfter;
    } cases[] = {
        {"into an empty comment", "", 128, 0, QString(200, u'p'), QString(128, u'p'), 128},
        {"up to a line break that does not fit", "ab", 10, 0, "1\n2\n3\n4", "ab1\n2\n3", 7},
        {"over the whole selection", "Hall 2", 8, -1, "0123456789", "01234567", 8},
        {"in the middle", "abcd", 6, 2, "xyz", "abxycd", 4},
        {"among equal characters", "xx", 3, 1, "xxxx", "xxx", 2},
        {"up to a character that takes two", "", 3, 0, "ab" + face, "ab", 2},
        {"with no room left", "abc", 3, 1, "xyz", "abc", 1},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        QApplication::clipboard()->setText(c.pasted);
        // A key typed after the paste goes in where room is left.
        const bool full = c.expected.size() + c.expected.count(u'\n') == c.limit;
        const QString typed = full ? c.expected : QString(c.expected).insert(c.caretAfter, u'q');
        ModalDialogRunner driver(
            [&c, &typed](QDialog& dlg)
            {
                QPlainTextEdit* edit = Edit(dlg);
                if (c.caret < 0)
                    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
                else if (c.caret > 0)
                {
                    QTest::keyClick(edit, Qt::Key_Home, Qt::ControlModifier);
                    for (int i = 0; i < c.caret; ++i)
                        QTest::keyClick(edit, Qt::Key_Right);
                }
                QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
                EXPECT_EQ(edit->toPlainText(), c.expected);
                EXPECT_EQ(edit->textCursor().position(), c.caretAfter);
                QTest::keyClick(edit, Qt::Key_Q);
                EXPECT_EQ(edit->toPlainText(), typed);
                QTest::mouseClick(Platform::GetDlgItemAs<QPushButton>(&dlg, 1), Qt::LeftButton);
            });
        CCommentDlg dlg;
        dlg.SetMaxLength(c.limit);
        dlg.SetComment(c.comment);
        EXPECT_EQ(dlg.DoModal(), Platform::IDOK);
        EXPECT_EQ(dlg.GetComment(), QString(typed).replace(u'\n', QStringLiteral("\r\n")));
    }
}
