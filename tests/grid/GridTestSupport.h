#pragma once
#include "grid/GridCell.h"
#include "grid/GridCtrl.h"

#include <QApplication>
#include <QWidget>

#include <gtest/gtest.h>

#include <vector>

// A standard cell that counts how it is drawn.
class CountingCell : public CGridCell
{
public:
    bool Draw(Platform::Canvas* dc, int row, int col, Platform::Rect rect, bool erase, bool plain) override
    {
        if (dc)
        {
            ++draws;
            lastRect = rect;
        }
        else
        {
            ++leftView;
        }
        ++totalDraws();
        return CGridCell::Draw(dc, row, col, rect, erase, plain);
    }
    static int& totalDraws()
    {
        static int count = 0;
        return count;
    }
    int draws = 0;
    int leftView = 0;
    Platform::Rect lastRect;
};

// A grid whose every cell counts its draws.
class CountingGrid : public CGridCtrl
{
public:
    std::unique_ptr<CGridCellBase> CreateCell(int row, int col) override
    {
        std::unique_ptr<CGridCellBase> base = CGridCtrl::CreateCell(row, col);
        auto cell = std::make_unique<CountingCell>();
        static_cast<CGridCellBase&>(*cell) = *base;
        return cell;
    }
};

// A shown grid of a known size inside a parent window.
template <class Grid = CGridCtrl> class GridFixtureT : public ::testing::Test
{
protected:
    void SetUp() override
    {
        parent.resize(800, 600);
        grid = new Grid();
        ASSERT_TRUE(grid->Create(QRect(0, 0, 400, 300), &parent, 101));
        parent.show();
        QApplication::processEvents();
    }

    // rows x cols, all rows `height` high and all columns `width` wide.
    void Build(int rows, int cols, int fixedRows, int fixedCols, int height = 20, int width = 50)
    {
        grid->SetRowCount(rows);
        grid->SetColumnCount(cols);
        grid->SetFixedRowCount(fixedRows);
        grid->SetFixedColumnCount(fixedCols);
        for (int r = 0; r < rows; ++r)
            grid->SetRowHeight(r, height);
        for (int c = 0; c < cols; ++c)
            grid->SetColumnWidth(c, width);
    }

    QWidget parent;
    Grid* grid = nullptr;
};
using GridFixture = GridFixtureT<CGridCtrl>;

// Records the grid's notifications and answers them.
class NotifyRecorder : public IGridNotifyTarget
{
public:
    intptr_t OnGridNotify(const GRIDNOTIFY& notify) override
    {
        received.push_back(notify);
        return reply;
    }
    std::vector<GRIDNOTIFY> received;
    intptr_t reply = 0;
};
