#include "tests/document/DocTestSupport.h"

#include "app/LeftView.h"
#include "app/LocalTree.h"
#include "resources/BuiltInBitmaps.h"
#include "resources/BuiltInStrings.h"
#include "tests/support/MemoryClipboard.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/PopupMenuRecorder.h"
#include "tests/support/TempDir.h"

#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

namespace
{

using DocTest::AddSeries;
using DocTest::FolderPaths;

// Unnamed
//   A   (one series)
//     B (one series)
//   D   (one series)
class LocalTreeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterBuiltInStrings();
        RegisterBuiltInBitmaps();
        view.resize(260, 320);
        view.SetDocument(&doc);
        view.show();
        ASSERT_TRUE(AddSeries(doc, QStringLiteral("\\A\\one.vsm"), {400.0f, 500.0f}));
        ASSERT_TRUE(AddSeries(doc, QStringLiteral("\\A\\B\\two.vsm"), {600.0f}));
        ASSERT_TRUE(AddSeries(doc, QStringLiteral("\\D\\three.vsm"), {700.0f}));
        doc.AddMeasurementFile(QString(), nullptr);
        tree().expandAll();
    }

    CLocalTree& tree() { return view.Tree(); }
    TreeItem* Item(const char* path) { return tree().FindItem(QString::fromUtf8(path)); }
    QStringList Children(TreeItem* item)
    {
        QStringList texts;
        for (int i = 0; i < item->childCount(); ++i)
            texts << item->child(i)->text(0);
        return texts;
    }
    QPoint On(TreeItem* item) { return tree().GetItemLabelRect(item).center(); }
    void RightClick(TreeItem* item)
    {
        tree().scrollToItem(item);
        QTest::mouseClick(tree().viewport(), Qt::RightButton, {}, On(item));
    }
    // Runs what the menu or a key queued.
    static void Flush() { QCoreApplication::processEvents(); }
    QLineEdit* OpenEditor()
    {
        for (QLineEdit* editor : tree().viewport()->findChildren<QLineEdit*>())
            if (editor->isVisible())
                return editor;
        return nullptr;
    }
    void TypeLabel(const QString& text)
    {
        QLineEdit* editor = OpenEditor();
        ASSERT_NE(editor, nullptr);
        editor->selectAll();
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents();
    }
    void Select(TreeItem* item) { QTest::mouseClick(tree().viewport(), Qt::LeftButton, {}, On(item)); }
    void Command(TreeItem* target, uint32_t message)
    {
        tree().SelectItem(target);
        tree().RunCommand(message);
    }

    MessageBoxRecorder boxes;
    MemoryClipboard clipboard;
    CVeskDoc doc;
    CLeftView view;
};

TEST_F(LocalTreeTest, RebuildShowsTheFoldersBelowTheProjectAndSelectsTheRoot)
{
    TreeItem* top = tree().TopItem();
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(tree().topLevelItemCount(), 1);
    EXPECT_EQ(top->text(0), "Unnamed");
    EXPECT_EQ(Children(top), QStringList({"A", "D"}));
    EXPECT_EQ(Children(Item("\\A\\")), QStringList({"B"}));
    EXPECT_EQ(tree().FolderOf(Item("\\A\\B\\")), doc.LookupFolder("\\A\\B\\"));
    EXPECT_EQ(tree().GetItemImage(top), CLocalTree::kImageProject);
    EXPECT_EQ(tree().GetItemImage(Item("\\A\\")), CLocalTree::kImageFolder);
    EXPECT_EQ(tree().GetSelectedItem(), top);
    EXPECT_EQ(doc.GetCurrentFolderPath(), "\\");
    EXPECT_FALSE(tree().IsMultiSelect());

    // A project closed: the tree empties; items of the old project never outlive their
    // folders.
    boxes.Answer(Platform::IDNO); // no save
    ASSERT_TRUE(doc.CloseProject());
    EXPECT_EQ(tree().topLevelItemCount(), 0);
}

TEST_F(LocalTreeTest, ItemsOfFoldersThatWentAwayAreDroppedOnTheNextRebuild)
{
    ASSERT_TRUE(AddSeries(doc, QStringLiteral("\\E\\x.vsm"), {300.0f}));
    doc.AddMeasurementFile(QString(), nullptr);
    ASSERT_NE(Item("\\E\\"), nullptr);
    QString path = QStringLiteral("\\E\\");
    ASSERT_TRUE(doc.DeleteFolders(path));
    EXPECT_EQ(Item("\\E\\"), nullptr);
    EXPECT_EQ(Children(tree().TopItem()), QStringList({"A", "D"}));
}

TEST_F(LocalTreeTest, SelectingAFolderMakesItCurrentAndMarksTheProjectModified)
{
    Select(Item("\\D\\"));
    EXPECT_EQ(doc.GetCurrentFolderPath(), "\\D\\");
    EXPECT_EQ(doc.GetCurrentFolder(), doc.LookupFolder("\\D\\"));
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(LocalTreeTest, NewFolderTakesTheNextFreeNameAndOpensItForRenaming)
{
    for (const char* expected : {"\\A\\New Folder\\", "\\A\\New Folder(2)\\", "\\A\\New Folder(3)\\"})
    {
        Command(Item("\\A\\"), WM_CMD_NEW_FOLDER);
        SCOPED_TRACE(expected);
        ASSERT_NE(doc.LookupFolder(QString::fromUtf8(expected)), nullptr);
        TreeItem* item = Item(expected);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(tree().FolderOf(item), doc.LookupFolder(QString::fromUtf8(expected)));
        EXPECT_TRUE(tree().IsEditingLabel());
        QTest::keyClick(OpenEditor(), Qt::Key_Escape);
    }
    // Naming it at once moves the folder.
    Command(tree().TopItem(), WM_CMD_NEW_FOLDER);
    TypeLabel(QStringLiteral("Hall"));
    EXPECT_NE(doc.LookupFolder("\\Hall\\"), nullptr);
    EXPECT_EQ(doc.LookupFolder("\\New Folder\\"), nullptr);
}

TEST_F(LocalTreeTest, RenameMovesTheFolderWithEverythingBelowAndRefusesATakenName)
{
    const QString badName =
        QStringLiteral("A folder name must not be empty and cannot contain a backslash (\\).");
    const struct
    {
        const char* typed;
        QString message;
    } refused[] = {
        {"D", QStringLiteral("A folder named \"D\" already exists here. Please choose another name.")},
        // Saved and opened again, this would come back as folder x holding folder y.
        {"x\\y", badName},
        {"\\", badName},
    };
    for (const auto& c : refused)
    {
        boxes.boxes.clear();
        Command(Item("\\A\\"), WM_CMD_RENAME);
        TypeLabel(QString::fromLatin1(c.typed));
        ASSERT_EQ(boxes.boxes.size(), 1u) << c.typed;
        EXPECT_EQ(boxes.boxes[0].text, c.message) << c.typed;
        EXPECT_EQ(Item("\\A\\")->text(0), "A") << c.typed;
        EXPECT_EQ(FolderPaths(doc), (QStringList{"\\", "\\A\\", "\\A\\B\\", "\\D\\"})) << c.typed;
    }
    // An emptied name keeps the folder; keeping the name as it was is no rename at all.
    Command(Item("\\A\\"), WM_CMD_RENAME);
    QLineEdit* editor = OpenEditor();
    ASSERT_NE(editor, nullptr);
    editor->clear();
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(FolderPaths(doc), (QStringList{"\\", "\\A\\", "\\A\\B\\", "\\D\\"}));
    EXPECT_EQ(Item("\\A\\")->text(0), "A");
    boxes.boxes.clear();
    Command(Item("\\A\\"), WM_CMD_RENAME);
    TypeLabel(QStringLiteral("A"));
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_NE(doc.LookupFolder("\\A\\B\\"), nullptr);

    Command(Item("\\A\\"), WM_CMD_RENAME);
    TypeLabel(QStringLiteral("X"));
    EXPECT_NE(doc.LookupFolder("\\X\\B\\"), nullptr);
    EXPECT_EQ(doc.LookupFolder("\\A\\"), nullptr);
    EXPECT_NE(Item("\\X\\B\\"), nullptr);

    // The project's own label cannot be edited.
    Command(tree().TopItem(), WM_CMD_RENAME);
    EXPECT_FALSE(tree().IsEditingLabel());
    EXPECT_FALSE(tree().EditLabel(tree().TopItem()));
}

TEST_F(LocalTreeTest, DeleteAsksAndRemovesTheFolderWithItsChildren)
{
    boxes.Answer(Platform::IDNO);
    Command(Item("\\A\\"), WM_CMD_DELETE);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "Do you really want to delete the selected files?");
    EXPECT_NE(doc.LookupFolder("\\A\\"), nullptr);

    boxes.Answer(Platform::IDYES);
    Command(Item("\\A\\"), WM_CMD_DELETE);
    EXPECT_EQ(doc.LookupFolder("\\A\\"), nullptr);
    EXPECT_EQ(doc.LookupFolder("\\A\\B\\"), nullptr);
    EXPECT_EQ(Item("\\A\\"), nullptr);
    // The item before it became current.
    EXPECT_EQ(doc.GetCurrentFolderPath(), "\\");

    // The project itself is never deleted.
    Command(tree().TopItem(), WM_CMD_DELETE);
    EXPECT_EQ(boxes.boxes.size(), 2u);
}

TEST_F(LocalTreeTest, CopyPastedOntoItsParentMakesANumberedCopyWithSubfolders)
{
    Command(Item("\\A\\"), WM_CMD_COPY);
    EXPECT_TRUE(doc.IsFolderCopyPending());
    Command(tree().TopItem(), WM_CMD_PASTE);
    CFolderData* copy = doc.LookupFolder("\\A(2)\\");
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(DocTest::SeriesNames(*copy), QStringList({"one"}));
    ASSERT_NE(doc.LookupFolder("\\A(2)\\B\\"), nullptr);
    EXPECT_EQ(DocTest::SeriesNames(*doc.LookupFolder("\\A(2)\\B\\")), QStringList({"two"}));
    EXPECT_EQ(tree().FolderOf(Item("\\A(2)\\B\\")), doc.LookupFolder("\\A(2)\\B\\"));
    // The source is untouched and the same copy pastes again.
    EXPECT_EQ(DocTest::SeriesNames(*doc.LookupFolder("\\A\\")), QStringList({"one"}));
    Command(Item("\\D\\"), WM_CMD_PASTE);
    EXPECT_NE(doc.LookupFolder("\\D\\A\\B\\"), nullptr);
}

TEST_F(LocalTreeTest, PastingAFolderIntoItselfOrBelowIsRefused)
{
    for (uint32_t mark : {WM_CMD_COPY, WM_CMD_CUT})
    {
        for (const char* target : {"\\A\\", "\\A\\B\\"})
        {
            SCOPED_TRACE(target);
            const QStringList before = FolderPaths(doc);
            boxes.boxes.clear();
            Command(Item("\\A\\"), mark);
            Command(Item(target), WM_CMD_PASTE);
            ASSERT_EQ(boxes.boxes.size(), 1u);
            EXPECT_EQ(boxes.boxes[0].text,
                      "Error: The target folder is a child folder of the source folder. ");
            EXPECT_EQ(FolderPaths(doc), before);
        }
    }
}

TEST_F(LocalTreeTest, CutAndPasteMovesTheBranchOnce)
{
    Command(Item("\\A\\B\\"), WM_CMD_CUT);
    EXPECT_TRUE(tree().GetItemState(Item("\\A\\B\\"), TVIS_CUT) & TVIS_CUT);
    EXPECT_TRUE(doc.IsFolderCutPending());
    Command(Item("\\D\\"), WM_CMD_PASTE);
    EXPECT_EQ(doc.LookupFolder("\\A\\B\\"), nullptr);
    ASSERT_NE(doc.LookupFolder("\\D\\B\\"), nullptr);
    EXPECT_EQ(Item("\\A\\B\\"), nullptr);
    EXPECT_EQ(tree().FolderOf(Item("\\D\\B\\")), doc.LookupFolder("\\D\\B\\"));
    EXPECT_FALSE(tree().GetItemState(Item("\\D\\B\\"), TVIS_CUT) & TVIS_CUT);

    // The cut ended with the move: a second paste changes nothing.
    const QStringList after = FolderPaths(doc);
    Command(Item("\\A\\"), WM_CMD_PASTE);
    EXPECT_EQ(FolderPaths(doc), after);
    EXPECT_FALSE(doc.IsClipboardPending());
}

TEST_F(LocalTreeTest, ASeriesCopyIsPastedByThePageIntoTheTargetFolder)
{
    struct Page final : DocCommandPeer
    {
        CVeskDoc* doc = nullptr;
        QStringList seen;
        void OnDocCommand(uint32_t message) override
        {
            if (message == WM_CMD_PASTE)
                seen << doc->GetCurrentFolderPath();
        }
    } page;
    page.doc = &doc;
    doc.AddCommandPeer(&page);

    Command(Item("\\A\\"), WM_CMD_COPY);
    Select(Item("\\D\\"));
    std::vector<uint8_t> mask{1};
    ASSERT_TRUE(doc.CopySeries(mask));
    ASSERT_TRUE(doc.IsSeriesCopyPending());
    tree().RunCommand(WM_CMD_PASTE); // on D, the caret
    Command(Item("\\A\\B\\"), WM_CMD_PASTE);
    EXPECT_EQ(page.seen, QStringList({"\\D\\", "\\A\\B\\"}));
    // No folder was pasted, and the current folder is back.
    EXPECT_EQ(doc.LookupFolder("\\A\\B\\A\\"), nullptr);
    EXPECT_EQ(doc.GetCurrentFolderPath(), "\\A\\B\\");
    doc.RemoveCommandPeer(&page);
}

TEST_F(LocalTreeTest, ContextMenuOffersFolderCommandsOnlyOnFolders)
{
    PopupMenuRecorder menus;
    using Entry = std::pair<unsigned, bool>;
    auto entries = [&]
    {
        std::vector<Entry> list;
        for (const auto& item : menus.menus.back().items)
            list.emplace_back(item.separator ? 0u : item.id, item.enabled);
        return list;
    };

    RightClick(tree().TopItem());
    ASSERT_EQ(menus.menus.size(), 1u);
    EXPECT_EQ(entries(), (std::vector<Entry>{{5, false}, {0, true}, {8, true}}));

    RightClick(Item("\\D\\"));
    EXPECT_EQ(entries(),
              (std::vector<Entry>{
                  {3, true}, {4, true}, {5, false}, {0, true}, {6, true}, {7, true}, {0, true}, {8, true}}));
    QStringList texts;
    for (const auto& item : menus.menus.back().items)
        if (!item.separator)
            texts << item.text;
    EXPECT_EQ(texts, QStringList({"Cut", "Copy", "Paste", "Delete", "Rename", "New folder"}));

    // Copy chosen on D applies to D although A is selected; then Paste is offered.
    Select(Item("\\A\\"));
    menus.Choose(CLocalTree::kMenuCopy);
    RightClick(Item("\\D\\"));
    Flush();
    EXPECT_TRUE(doc.IsFolderCopyPending());
    menus.Choose(CLocalTree::kMenuPaste);
    RightClick(tree().TopItem());
    EXPECT_TRUE(entries()[0].second);
    Flush();
    EXPECT_NE(doc.LookupFolder("\\D(2)\\"), nullptr);
}

TEST_F(LocalTreeTest, KeysQueueTheEditCommands)
{
    Select(Item("\\D\\"));
    QTest::keyClick(&tree(), Qt::Key_C, Qt::ControlModifier);
    Flush();
    EXPECT_TRUE(doc.IsFolderCopyPending());
    Select(Item("\\A\\"));
    QTest::keyClick(&tree(), Qt::Key_V, Qt::ControlModifier);
    Flush();
    EXPECT_NE(doc.LookupFolder("\\A\\D\\"), nullptr);

    QTest::keyClick(&tree(), Qt::Key_X, Qt::ControlModifier);
    Flush();
    EXPECT_TRUE(doc.IsFolderCutPending());

    boxes.Answer(Platform::IDYES);
    QTest::keyClick(&tree(), Qt::Key_Delete);
    Flush();
    EXPECT_EQ(doc.LookupFolder("\\A\\"), nullptr);

    Select(Item("\\D\\"));
    QTest::keyClick(&tree(), Qt::Key_F2);
    Flush();
    EXPECT_TRUE(tree().IsEditingLabel());
}

TEST_F(LocalTreeTest, TheTopItemCarriesTheProjectFileName)
{
    TempDir dir;
    ASSERT_TRUE(doc.SaveProject(dir.File(QStringLiteral("Site.v3p"))));
    ASSERT_TRUE(doc.OpenProject(dir.File(QStringLiteral("Site.v3p")), false));
    EXPECT_EQ(tree().TopItem()->text(0), "Site.v3p");
}

} // namespace
