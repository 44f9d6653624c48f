#pragma once
// A project opened in a new main window with one folder chosen in the tree: where the
// end-to-end tests of the series page and of the commands acting on it start.
#include "app/LeftView.h"
#include "app/LocalTree.h"
#include "app/MainFrm.h"
#include "app/RightView.h"
#include "grid/GridCtrl.h"
#include "seriesview/TabGrid.h"
#include "tests/support/MessageBoxRecorder.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

class SeriesPageWindow
{
public:
    // Opens the project file in a new main window (closing any earlier one) and shows the
    // folder; the start-up notices (the missing Standard.cnv) are dropped from `boxes`.
    void OpenWindow(const QString& path, MessageBoxRecorder& boxes, const QString& folder)
    {
        frame.reset();
        frame = std::make_unique<CMainFrame>(QStringList{QStringLiteral("veskador3"), path});
        frame->resize(1300, 700);
        frame->show();
        QApplication::setActiveWindow(frame.get());
        Flush();
        boxes.boxes.clear();
        ShowFolder(folder);
    }
    void ShowFolder(const QString& folder)
    {
        CLocalTree& tree = static_cast<CLeftView*>(frame->LeftView())->Tree();
        TreeItem* item = tree.FindItem(folder);
        ASSERT_NE(item, nullptr);
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, tree.GetItemLabelRect(item).center());
        Flush();
    }
    static void Flush()
    {
        QApplication::processEvents();
        QApplication::processEvents();
    }

    CVeskDoc& Doc() { return frame->Document(); }
    CTabGrid& Page() { return *dynamic_cast<CTabGrid*>(static_cast<CRightView*>(frame->RightView())->Page()); }
    CGridCtrl& Grid() { return *Page().Grid(); }

    std::unique_ptr<CMainFrame> frame;
};
