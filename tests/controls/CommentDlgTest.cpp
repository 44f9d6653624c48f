#include "controls/CommentDlg.h"
#include "platform/gui/DialogLayout.h"
#include "resources/BuiltInStrings.h"
#include "tests/controls/ScopedTimeZone.h"
#include "tests/support/ModalDialogRunner.h"

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
            edit->insertPlainText("pasted"); // a paste that does not fit is refused whole
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
