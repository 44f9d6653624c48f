#pragma once
// Works an export option dialog as a user does: shows and paints it, clicks choice boxes
// (found through the dialog's hit areas, in its board's coordinates) and presses Export.
#include "export/ExportOptionDlg.h"
#include "platform/gui/DialogLayout.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMouseEvent>

#include <map>

namespace ExportOptionDriver
{
// Shows the dialog and paints it, so that its boxes are known.
inline void ShowPainted(CExportOptionDlg& dlg)
{
    dlg.show();
    (void)dlg.grab();
}

// The box of each choice value, found by asking the hit areas across the client area.
inline std::map<int, Platform::Rect> Boxes(const CExportOptionDlg& dlg)
{
    std::map<int, Platform::Rect> boxes;
    const QWidget* board = dlg.Board();
    for (int y = 0; y < board->height(); y += 3)
        for (int x = 0; x < board->width(); x += 3)
        {
            int item = 0;
            Platform::Rect rect;
            if (dlg.GetHitAreas().HitTest({x, y}, nullptr, &item, nullptr, &rect))
                boxes.emplace(item, rect);
        }
    return boxes;
}

inline QPoint Inside(const Platform::Rect& r, int dx = 0)
{
    return {r.left + 10 + dx, r.top + 5};
}

inline void Click(QWidget& w, QPoint at)
{
    QMouseEvent press(QEvent::MouseButtonPress, at, w.mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(&w, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, w.mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(&w, &release);
    QApplication::processEvents();
}

// False when a value has no box.
inline bool ClickChoices(CExportOptionDlg& dlg, std::initializer_list<int> values)
{
    const auto boxes = Boxes(dlg);
    for (int v : values)
    {
        if (!boxes.count(v))
            return false;
        Click(*dlg.Board(), Inside(boxes.at(v)));
    }
    return true;
}

inline void PressExport(QDialog& dlg)
{
    Platform::GetDlgItemAs<QAbstractButton>(&dlg, CExportOptionDlg::IDOK)->click();
}
} // namespace ExportOptionDriver
