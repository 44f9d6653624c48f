// The measurement file explorer's management of the tester's folders, opened by the main
// window's download command and driven through its list, keys and context menu against
// the simulated portable tester: what reaches the tester and what the list shows.
#include "tests/devicefiles/TesterCommandFixture.h"
#include "tests/support/PopupMenuRecorder.h"

#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>

#include <chrono>
#include <thread>

using namespace TesterCommands;

namespace
{
class ExplorerTest : public Fixture
{
protected:
    void SetUp() override
    {
        Fixture::SetUp();
        sim.ClearFiles();
        for (const char* name : {"a", "b", "c"})
            sim.AddFile(kVsmRoot + "X.DIR\\" + name + ".vsm", QByteArray(100, char(name[0])));
        sim.AddFolder(kVsmRoot + "Y.DIR\\");
        Serve(Link::tcp);
        QueueWizard();
    }

    // Opens the explorer through the download command, hands it to the steps and ends it
    // with Cancel.
    void Explore(std::function<void(CVesk3Explorer&)> steps)
    {
        QueueExplorer(
            [steps = std::move(steps)](CVesk3Explorer& explorer)
            {
                steps(explorer);
                if (explorer.isVisible())
                    Click(explorer, "cancel");
            });
        frame->OnCmdMsg(Cmd::ID_DOWNLOAD);
        EXPECT_TRUE(Loaded(kVsmRoot).isEmpty());
    }

    static void Key(CVesk3Explorer& explorer, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        explorer.List()->setFocus();
        QTest::keyClick(explorer.List(), Qt::Key(key), modifiers);
    }

    static QLineEdit* NameEditor(CVesk3Explorer& explorer)
    {
        return explorer.List()->viewport()->findChild<QLineEdit*>();
    }

    // Types a name into the open editor and commits it. The view commits and the
    // explorer checks the name in queued calls, one after the other.
    static void CommitName(CVesk3Explorer& explorer, const QString& name)
    {
        QLineEdit* editor = NameEditor(explorer);
        ASSERT_NE(editor, nullptr);
        editor->setText(name);
        QTest::keyClick(editor, Qt::Key_Return);
        for (int round = 0; round < 3; ++round)
            QCoreApplication::processEvents();
        EXPECT_FALSE(explorer.IsEditingName());
    }

    // The context menu on the list's empty space, below every row.
    static void RightClickBelowRows(CVesk3Explorer& explorer)
    {
        QWidget* viewport = explorer.List()->viewport();
        const QPoint at(10, viewport->height() - 5);
        ASSERT_EQ(explorer.List()->itemAt(at), nullptr);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
        QCoreApplication::sendEvent(viewport, &event);
    }

    int Moves() { return sim.Engine().CountText("MOVF"); }
    QStringList BoxTexts() const
    {
        QStringList texts;
        for (const auto& box : boxes.boxes)
            texts << box.text;
        return texts;
    }
};

TEST_F(ExplorerTest, CutInOneFolderAndPasteInAnotherMovesOnTheTester)
{
    Explore(
        [this](CVesk3Explorer& explorer)
        {
            DoubleClick(explorer, "X");
            Choose(explorer, {"a", "b"});
            Key(explorer, Qt::Key_X, Qt::ControlModifier);
            EXPECT_EQ(explorer.CutCount(), 2);
            explorer.OnFolderUp();
            EXPECT_EQ(explorer.CurrentPath(), QStringLiteral("\\"));
            DoubleClick(explorer, "Y");
            Key(explorer, Qt::Key_V, Qt::ControlModifier);

            EXPECT_TRUE(sim.Exists(kVsmRoot + "Y.DIR\\a.vsm"));
            EXPECT_TRUE(sim.Exists(kVsmRoot + "Y.DIR\\b.vsm"));
            EXPECT_FALSE(sim.Exists(kVsmRoot + "X.DIR\\a.vsm"));
            EXPECT_TRUE(sim.Exists(kVsmRoot + "X.DIR\\c.vsm"));
            EXPECT_EQ(RowTexts(explorer), (QStringList{"a", "b"}));
            EXPECT_EQ(explorer.CutCount(), 0);
            EXPECT_TRUE(boxes.boxes.empty());

            // A folder cannot go into itself (nor below itself): nothing reaches the tester.
            const int moves = Moves();
            explorer.OnFolderUp();
            Choose(explorer, {"Y"});
            Key(explorer, Qt::Key_X, Qt::ControlModifier);
            DoubleClick(explorer, "Y");
            Key(explorer, Qt::Key_V, Qt::ControlModifier);
            EXPECT_EQ(BoxTexts(),
                      QStringList{"A folder cannot be moved into itself or into one of its subfolders."});
            EXPECT_EQ(Moves(), moves);

            // Into another folder it goes, with everything in it.
            explorer.OnFolderUp();
            DoubleClick(explorer, "X");
            Key(explorer, Qt::Key_V, Qt::ControlModifier);
            EXPECT_TRUE(sim.Exists(kVsmRoot + "X.DIR\\Y.DIR\\a.vsm"));
            EXPECT_EQ(RowTexts(explorer), (QStringList{"Y", "c"}));
            DoubleClick(explorer, "Y");
            EXPECT_EQ(RowTexts(explorer), (QStringList{"a", "b"}));
        });
}

TEST_F(ExplorerTest, KeysActOnTheListOnlyAndNamesAreCheckedBeforeTheTesterIsAsked)
{
    Explore(
        [this](CVesk3Explorer& explorer)
        {
            DoubleClick(explorer, "X");
            Choose(explorer, {"a"});
            Key(explorer, Qt::Key_F2);
            ASSERT_TRUE(explorer.IsEditingName());
            // In the name editor, Delete and the clipboard keys edit the name.
            QLineEdit* editor = NameEditor(explorer);
            ASSERT_NE(editor, nullptr);
            editor->setCursorPosition(0);
            QTest::keyClick(editor, Qt::Key_Delete);
            QTest::keyClick(editor, Qt::Key_X, Qt::ControlModifier);
            EXPECT_TRUE(boxes.boxes.empty());
            EXPECT_EQ(explorer.CutCount(), 0);
            EXPECT_TRUE(sim.Exists(kVsmRoot + "X.DIR\\a.vsm"));

            struct Case
            {
                const char* name;
                QStringList messages;
            };
            for (const Case& c :
                 {Case{"   ", {"Please enter a name."}},
                  Case{"..", {"A name made only of periods cannot be used! Renaming skipped."}},
                  Case{". .", {"A name made only of periods cannot be used! Renaming skipped."}},
                  Case{"a/b",
                       {"The new file/folder contains an invalid character! Renaming skipped.",
                        "Renaming failed!"}},
                  Case{"b:c",
                       {"The new file/folder contains an invalid character! Renaming skipped.",
                        "Renaming failed!"}}})
            {
                boxes.boxes.clear();
                if (!explorer.IsEditingName())
                    Key(explorer, Qt::Key_F2);
                CommitName(explorer, QString::fromLatin1(c.name));
                EXPECT_EQ(BoxTexts(), c.messages) << c.name;
                EXPECT_EQ(Moves(), 0);
                EXPECT_EQ(RowTexts(explorer), (QStringList{"a", "b", "c"}));
            }

            boxes.boxes.clear();
            Key(explorer, Qt::Key_F2);
            CommitName(explorer, QStringLiteral("Shaft (2)"));
            EXPECT_TRUE(boxes.boxes.empty());
            EXPECT_TRUE(sim.Exists(kVsmRoot + "X.DIR\\Shaft (2).vsm"));
            EXPECT_EQ(RowTexts(explorer), (QStringList{"Shaft (2)", "b", "c"}));

            // A folder's new name carries everything below it.
            explorer.OnFolderUp();
            Choose(explorer, {"X"});
            Key(explorer, Qt::Key_F2);
            CommitName(explorer, QStringLiteral("Z"));
            EXPECT_TRUE(sim.Exists(kVsmRoot + "Z.DIR\\b.vsm"));
            DoubleClick(explorer, "Z");
            EXPECT_EQ(explorer.CurrentPath(), QStringLiteral("\\Z.DIR\\"));
            EXPECT_EQ(RowTexts(explorer), (QStringList{"Shaft (2)", "b", "c"}));

            // Delete with the focus elsewhere does nothing.
            Choose(explorer, {"b"});
            auto* download = explorer.findChild<QPushButton*>(QStringLiteral("download"));
            download->setFocus();
            QTest::keyClick(download, Qt::Key_Delete);
            EXPECT_TRUE(boxes.boxes.empty());
            EXPECT_TRUE(sim.Exists(kVsmRoot + "Z.DIR\\b.vsm"));
        });
}

TEST_F(ExplorerTest, ASecondNewFolderGetsAFreeName)
{
    PopupMenuRecorder menus;
    Explore(
        [&](CVesk3Explorer& explorer)
        {
            DoubleClick(explorer, "Y");
            for (int i = 0; i < 2; ++i)
            {
                menus.Choose(CVesk3Explorer::menuNewFolder);
                RightClickBelowRows(explorer);
                // The new folder's name is open for editing; Esc keeps the name given.
                ASSERT_TRUE(explorer.IsEditingName());
                NameEditor(explorer)->setText(QStringLiteral("Typed"));
                QTest::keyClick(NameEditor(explorer), Qt::Key_Escape);
                for (int round = 0; round < 3; ++round)
                    QCoreApplication::processEvents();
            }
            ASSERT_EQ(menus.menus.size(), 2u);
            // On empty space: Paste (greyed, nothing cut), a separator and New folder.
            const auto& items = menus.menus[0].items;
            ASSERT_EQ(items.size(), 3u);
            EXPECT_EQ(items[0].text, QStringLiteral("Paste"));
            EXPECT_FALSE(items[0].enabled);
            EXPECT_TRUE(items[1].separator);
            EXPECT_EQ(items[2].text, QStringLiteral("New folder"));
            EXPECT_TRUE(sim.Exists(kVsmRoot + "Y.DIR\\New folder.DIR\\"));
            EXPECT_TRUE(sim.Exists(kVsmRoot + "Y.DIR\\New folder (2).DIR\\"));
            EXPECT_EQ(RowTexts(explorer), (QStringList{"New folder", "New folder (2)"}));
            EXPECT_TRUE(boxes.boxes.empty()) << BoxTexts().join(u'|').toStdString();
        });
}

// Deleting a fails (it is gone from the tester), and the user cancels while the tester
// holds back its answer for b: the Esc ends the delete at once, c is never asked for, the
// failure is still reported, and the list keeps what may still be on the tester.
TEST_F(ExplorerTest, ACancelledDeleteEndsAtOnceAndStillReportsFailures)
{
    Explore(
        [this](CVesk3Explorer& explorer)
        {
            DoubleClick(explorer, "X");
            Choose(explorer, {"a", "b", "c"});
            sim.RemovePath(kVsmRoot + "X.DIR\\a.vsm");
            sim.Engine().UpdateFaults(
                [](Sim::Faults& f)
                {
                    f.slowCommand = "b.vsm";
                    f.slowReplyMs = 3000;
                });
            QTreeWidget* list = explorer.List();
            QElapsedTimer sinceEscape;
            std::thread escape(
                [this, list, &sinceEscape]
                {
                    // The request for b has arrived; its answer takes 3 s.
                    QElapsedTimer waited;
                    waited.start();
                    while (sim.Engine().CountText("DELF") < 2 && waited.elapsed() < kDeadlineMs)
                        std::this_thread::sleep_for(std::chrono::milliseconds(5));
                    sinceEscape.start();
                    QCoreApplication::postEvent(
                        list, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
                });
            Key(explorer, Qt::Key_Delete);
            escape.join();
            EXPECT_LT(sinceEscape.elapsed(), 1000);

            EXPECT_EQ(BoxTexts(), (QStringList{"Do you really want to delete the selected files?",
                                               "An error occured while deleting files!"}));
            EXPECT_TRUE(sim.Exists(kVsmRoot + "X.DIR\\c.vsm"));
            EXPECT_EQ(sim.Engine().CountText("DELF"), 2);
            EXPECT_EQ(RowTexts(explorer), (QStringList{"a", "b", "c"}));
        });
}

} // namespace
