#pragma once
#include "grid/GridCell.h"
#include "grid/GridCtrl.h"

#include <QApplication>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
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
        parent.activateWindow();
        (void)QTest::qWaitForWindowActive(&parent);
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

// Records the grid's notifications and answers them: `reply`, or per code from `replies`.
class NotifyRecorder : public IGridNotifyTarget
{
public:
    struct Note
    {
        int code;
        int row;
        int col;
        friend bool operator==(const Note&, const Note&) = default;
        friend std::ostream& operator<<(std::ostream& os, const Note& n)
        {
            return os << "{" << n.code << ", " << n.row << ", " << n.col << "}";
        }
    };

    intptr_t OnGridNotify(const GRIDNOTIFY& notify) override
    {
        received.push_back(notify);
        if (hook)
            hook(notify);
        for (const auto& [code, answer] : replies)
            if (code == notify.code)
                return answer;
        return reply;
    }
    void OnGridCommand(CGridCtrl* grid, int id) override { commands.push_back({grid, id}); }

    std::vector<Note> Notes() const
    {
        std::vector<Note> notes;
        for (const GRIDNOTIFY& n : received)
            notes.push_back({n.code, n.row, n.column});
        return notes;
    }
    void Clear()
    {
        received.clear();
        commands.clear();
    }

    std::vector<GRIDNOTIFY> received;
    std::vector<std::pair<CGridCtrl*, int>> commands;
    std::vector<std::pair<int, intptr_t>> replies;
    std::function<void(const GRIDNOTIFY&)> hook;
    intptr_t reply = 0;
};

// Mouse and keys through Qt's entry points, in client (viewport) coordinates.
struct GridInput
{
    CGridCtrl* grid;

    QWidget* View() const { return grid->viewport(); }
    void Press(QPoint p, Qt::KeyboardModifiers keys = {}, Qt::MouseButton button = Qt::LeftButton) const
    {
        QTest::mousePress(View(), button, keys, p);
    }
    void Release(QPoint p, Qt::KeyboardModifiers keys = {}, Qt::MouseButton button = Qt::LeftButton) const
    {
        QTest::mouseRelease(View(), button, keys, p);
    }
    void DoubleClick(QPoint p, Qt::KeyboardModifiers keys = {}) const
    {
        QTest::mouseDClick(View(), Qt::LeftButton, keys, p);
    }
    void Click(QPoint p, Qt::KeyboardModifiers keys = {}) const
    {
        Press(p, keys);
        Release(p, keys);
    }
    // A move with the given buttons held.
    void Move(QPoint p, Qt::MouseButtons buttons = Qt::NoButton) const
    {
        QMouseEvent move(QEvent::MouseMove, QPointF(p), QPointF(View()->mapToGlobal(p)), Qt::NoButton,
                         buttons, Qt::NoModifier);
        QApplication::sendEvent(View(), &move);
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers keys = {}) const { QTest::keyClick(grid, key, keys); }
    void Type(char c) const { QTest::keyClick(grid, c); }
};
