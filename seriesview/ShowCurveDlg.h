#pragma once
#include "measurement/CurveCheck.h"
#include "platform/gui/GdiTypes.h"
#include "seriesview/GraphGrid.h"

#include <QDialog>

#include <cstdint>
#include <vector>

namespace Platform
{
class Canvas;
}

// The signal viewer: shows the stored indentation-depth curve of one reading, checks it
// again, names a clamp or vibration finding in its title band and circles the sample the
// check pointed at. A modeless window without a parent, hidden by OK (Enter) or Cancel
// (Esc) and shown again with the next curve.
class CShowCurveDlg : public QDialog
{
    Q_OBJECT
public:
    CShowCurveDlg();
    ~CShowCurveDlg() override;

    // The one viewer of the program, made on first use (a window needs the running
    // application) and deleted when the application ends.
    static CShowCurveDlg& Instance();

    // Copies the samples the window shows.
    void SetCurve(const std::vector<uint16_t>& samples);
    // Shows the window (made on first use) and repaints it.
    void ShowCurve();
    bool IsCreated() const { return m_created; }
    const std::vector<uint16_t>& GetCurve() const { return m_samples; }

    // Paints the client area: what the paint handler draws through an off-screen surface.
    void Paint(Platform::Canvas& dc, const Platform::Rect& client);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool m_created = false;
    std::vector<uint16_t> m_samples;
    CGraphGrid m_grid;
    CCurveCheck m_check;
};
