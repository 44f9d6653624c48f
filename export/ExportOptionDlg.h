#pragma once
#include "platform/gui/FileDialog.h"
#include "platform/gui/GdiObjects.h"
#include "platform/gui/GdiTypes.h"
#include "seriesview/SensitiveArea.h"

#include <QDialog>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class CDIBSectionLiteNP;
class QKeyEvent;
class QLabel;
class QScrollArea;

namespace Platform
{
class Canvas;
}

// The painted dialog that the graphic and the text export share: three columns of choice
// boxes (a picture and a caption each) and a fourth column with a schematic preview of the
// result, painted off screen into a board that scrolls when the screen is too small for it,
// with Export and Cancel below it. The mouse highlights the box under it, a click chooses
// the box within its column; on the keyboard the arrow keys and Tab move a focus frame over
// the boxes and Space chooses the framed one. Export asks for the target file unless the
// target is the clipboard. The two dialogs differ only in what they describe here.
class CExportOptionDlg : public QDialog
{
public:
    enum
    {
        IDOK = 1,
        IDCANCEL = 2,
    };

    struct Choice
    {
        int value;
        uint32_t caption;
        uint32_t picture;
    };
    struct Column
    {
        uint32_t title;
        int width;
        // The choice whose picture sets the title bar's width.
        int titlePicture;
        std::vector<Choice> choices;
    };
    // The preview pieces: the grid's header row, a series row, an expanded detail, the
    // detail and the row of an unselected series, and the target icons.
    struct PreviewPictures
    {
        uint32_t header;
        uint32_t row;
        uint32_t detail;
        uint32_t unselectedDetail;
        uint32_t unselectedRow; // 0: not used
        uint32_t fileIcon;
        uint32_t clipboardIcon;
        bool fileIconTransparent;
    };
    struct Layout
    {
        QString caption;
        int staticId;
        // The place of the static whose font the paint takes, in dialog units.
        int staticX;
        int staticY;
        std::array<Column, 4> columns;
        std::array<int, 3> defaults;
        // The values of the target column and of the data column that mean something to
        // the preview and the Export button.
        int separateFilesValue;
        int clipboardValue;
        int allValue;
        PreviewPictures preview;
        // The Save As dialog.
        QString defaultExtension;
        uint32_t initialName;
        // Pairs of string id and fixed part, joined into the filter.
        std::vector<std::pair<uint32_t, QString>> filter;
    };

    ~CExportOptionDlg() override;

    // IDOK or IDCANCEL.
    int DoModal();

    // 0 one file only, 1 a file for each series, 2 copy to clipboard.
    int GetTarget() const;
    bool IsAllData() const { return m_chosen[2] == m_layout.allValue; }
    // Empty when the target is the clipboard.
    QString GetFilePath() const { return IsClipboardTarget() ? QString() : m_filePath; }

    // The chosen value of a column (0 to 2) and the choice under the mouse (-1 none).
    int GetChosen(int column) const { return m_chosen[column]; }
    int GetHotChoice() const { return m_hot; }
    // The value of the box the keyboard focus frame is on.
    int GetFocusChoice() const;

    // The painted board: the boxes' hit areas are in its coordinates.
    QWidget* Board() const;

    // Paints the client area as the paint handler does, registering the hit areas.
    void Paint(Platform::Canvas& dc, const Platform::Rect& client);
    // The boxes of the last paint.
    const CSensitiveArea& GetHitAreas() const { return m_areas; }

    // A caption in one or two lines for a box that has room for `limit` characters.
    static std::pair<QString, QString> SplitCaption(const QString& caption, int limit);

    // The Export button.
    void OnExportClicked();

    // Whether the choice of all data (true) or of the selection (false) gives anything to
    // export; Export checks it before it asks for a file, and says so when it gives
    // nothing, leaving the dialog open for another choice. Without a check every choice
    // counts as one.
    void SetContentCheck(std::function<bool(bool allData)> check) { m_hasContent = std::move(check); }

protected:
    explicit CExportOptionDlg(Layout layout, QWidget* parent);

    // The path the Save As dialog gave; true when its ending is accepted.
    virtual bool AcceptPath(const QString& path) = 0;

    bool IsClipboardTarget() const { return m_chosen[1] == m_layout.clipboardValue; }

private:
    class OptionBoard;

    void BoardMouseMove(QMouseEvent* event);
    void BoardMousePress(QMouseEvent* event);
    // True when the board used the key.
    bool BoardKey(QKeyEvent* event);
    // Tab and Shift+Tab step through the boxes; false past the last (first) one, where
    // the focus leaves the board.
    bool StepFocus(bool next);
    void FocusEntered(Qt::FocusReason reason);
    void ShowFocusBox();
    // The dialog as large as the board and the buttons want, within the screen.
    void FitToScreen();

    void DrawGroupTitle(Platform::Canvas& dc, const QString& title, int pictureWidth);
    void DrawOption(Platform::Canvas& dc, const Choice& choice);
    void DrawOptionHighlight(Platform::Canvas& dc, const Platform::Rect& rect, bool hot, bool chosen);
    void DrawPreview(Platform::Canvas& dc, int x, int boxWidth);
    CDIBSectionLiteNP& Picture(uint32_t id);
    Platform::Font DialogFont() const;

    Layout m_layout;
    OptionBoard* m_board;
    QScrollArea* m_scroll;
    QLabel* m_static;
    std::map<uint32_t, std::unique_ptr<CDIBSectionLiteNP>> m_pictures;
    CSensitiveArea m_areas;
    // Each choice's box in the last paint, by value.
    std::map<int, Platform::Rect> m_boxRects;
    int m_hot = -1;
    int m_lastHot = -1;
    std::array<int, 3> m_chosen;
    // Layout values of the paint under way.
    int m_textOffset = 0;
    int m_margin = 4;
    int m_x = 0;
    int m_y = 0;
    int m_boxWidth = 0;
    int m_columnWidth = 0;
    int m_verticalMargin = 7;
    int m_column = 0;
    // The keyboard's box: its column and its place in the column.
    int m_focusColumn = 0;
    int m_focusIndex = 0;
    // Extent of the last paint: the board grows to it.
    int m_paintRight = 0;
    int m_paintBottom = 0;
    QString m_filePath;
    std::function<bool(bool allData)> m_hasContent;
};
