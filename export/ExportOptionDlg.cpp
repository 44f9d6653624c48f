#include "export/ExportOptionDlg.h"

#include "controls/DIBSectionLiteNP.h"
#include "platform/core/StringTable.h"
#include "platform/gui/Canvas.h"
#include "platform/gui/DialogFit.h"
#include "platform/gui/DialogLayout.h"
#include "platform/gui/MemDCExt.h"
#include "platform/gui/MessageBox.h"
#include "platform/gui/ModalDialog.h"
#include "platform/gui/PainterCanvas.h"
#include "platform/gui/SystemLook.h"
#include "resources/StringIds.h"

#include <QBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QStyle>

#include <algorithm>
#include <cmath>

using namespace Platform;

namespace
{

constexpr ColorRef kFrame = Rgb(155, 175, 202);
constexpr ColorRef kTitleFill = Rgb(221, 231, 238);
constexpr ColorRef kTitleLine = Rgb(197, 197, 197);
constexpr ColorRef kTitleText = Rgb(0, 21, 110);
constexpr ColorRef kWhite = Rgb(255, 255, 255);
// The keyboard's focus frame, inside the box it is on.
constexpr ColorRef kFocusFrame = Rgb(0, 21, 110);
constexpr int kFocusInset = 2;
// Room around the buttons and their size, in dialog units.
constexpr int kBoardMargin = 7;
constexpr int kButtonWidth = 50;
constexpr int kButtonHeight = 14;
// The choice columns (the fourth is the preview).
constexpr int kChoiceColumns = 3;
// Room right of and below the painted columns, and kept around a box scrolled into view,
// in pixels.
constexpr int kPaintMargin = 7;

struct Highlight
{
    ColorRef top;
    ColorRef bottom;
    ColorRef outline;
};
constexpr Highlight kHot{Rgb(245, 250, 253), Rgb(232, 246, 253), Rgb(216, 240, 250)};
constexpr Highlight kChosen{Rgb(240, 248, 253), Rgb(213, 239, 252), Rgb(153, 222, 253)};
constexpr Highlight kChosenHot{Rgb(232, 246, 253), Rgb(197, 232, 250), Rgb(182, 230, 251)};

// Width of one schematic file of the preview, the gap beside it and the step to the next.
constexpr int kPreviewPieceWidth = 52;
constexpr int kPreviewGap = 8;
constexpr int kPreviewStep = 65;
constexpr int kPreviewTop = 100;

int PictureWidth(const CDIBSectionLiteNP& picture)
{
    return picture.GetSection().width();
}

int PictureHeight(const CDIBSectionLiteNP& picture)
{
    return picture.GetSection().height();
}

LogFont LogFontOf(const QFont& font)
{
    LogFont lf;
    int pixels = font.pixelSize();
    if (pixels <= 0)
        pixels = static_cast<int>(std::lround(font.pointSizeF() * 96.0 / 72.0));
    lf.height = -std::max(1, pixels);
    lf.weight = font.weight();
    lf.italic = font.italic();
    lf.faceName = font.family();
    return lf;
}

} // namespace

// The painted area: the dialog paints it and answers its mouse and keys.
class CExportOptionDlg::OptionBoard : public QWidget
{
public:
    explicit OptionBoard(CExportOptionDlg& dialog) : m_dialog(dialog)
    {
        // The whole area is painted off screen; erasing it first would only flicker.
        setAttribute(Qt::WA_OpaquePaintEvent);
        setAttribute(Qt::WA_NoSystemBackground);
        setMouseTracking(true);
        setFocusPolicy(Qt::StrongFocus);
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        WidgetCanvas target(this, event->region());
        const Rect client{0, 0, width(), height()};
        CMemDCExt memory(target);
        m_dialog.Paint(memory.Dc(), client);
    }
    void mouseMoveEvent(QMouseEvent* event) override
    {
        m_dialog.BoardMouseMove(event);
        QWidget::mouseMoveEvent(event);
    }
    void mousePressEvent(QMouseEvent* event) override
    {
        m_dialog.BoardMousePress(event);
        QWidget::mousePressEvent(event);
    }
    void keyPressEvent(QKeyEvent* event) override
    {
        if (!m_dialog.BoardKey(event))
            QWidget::keyPressEvent(event);
    }
    bool focusNextPrevChild(bool next) override
    {
        return m_dialog.StepFocus(next) || QWidget::focusNextPrevChild(next);
    }
    void focusInEvent(QFocusEvent* event) override
    {
        m_dialog.FocusEntered(event->reason());
        QWidget::focusInEvent(event);
    }
    void focusOutEvent(QFocusEvent* event) override
    {
        update();
        QWidget::focusOutEvent(event);
    }

private:
    CExportOptionDlg& m_dialog;
};

CExportOptionDlg::CExportOptionDlg(Layout layout, QWidget* parent)
    : QDialog(parent,
              Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_layout(std::move(layout)), m_chosen(m_layout.defaults)
{
    setWindowTitle(m_layout.caption);

    // The templates ask for an 8-point font; the family stays the system's.
    QFont dialogFont = font();
    dialogFont.setPointSize(8);
    setFont(dialogFont);
    const DialogUnits du(dialogFont);

    // The board scrolls rather than pushing the buttons off a small or scaled screen.
    m_board = new OptionBoard(*this);
    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setFocusPolicy(Qt::NoFocus);
    m_scroll->setWidget(m_board);

    // Only its font is used: the paint takes the dialog's font from it.
    m_static = new QLabel(this);
    m_static->setGeometry(du.Rect(m_layout.staticX, m_layout.staticY, 8, 8));
    m_static->hide();
    SetDlgCtrlID(m_static, m_layout.staticId);

    auto* exportButton = new QPushButton(LoadString(StringId::IDS_EXPORT_BUTTON), this);
    exportButton->setMinimumSize(du.Size(kButtonWidth, kButtonHeight));
    exportButton->setDefault(true);
    SetDlgCtrlID(exportButton, IDOK);
    auto* cancel = new QPushButton(LoadString(StringId::IDS_BUTTON_CANCEL), this);
    cancel->setMinimumSize(du.Size(kButtonWidth, kButtonHeight));
    cancel->setAutoDefault(false);
    SetDlgCtrlID(cancel, IDCANCEL);
    connect(exportButton, &QPushButton::clicked, this, [this] { OnExportClicked(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(du.Size(kBoardMargin, 0).width(), 0, du.Size(kBoardMargin, 0).width(),
                                du.Size(0, kBoardMargin).height());
    buttons->addStretch(1);
    buttons->addWidget(exportButton);
    buttons->addWidget(cancel);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(m_scroll, 1);
    column->addLayout(buttons);

    // The keyboard starts on the chosen box of the first column.
    for (size_t i = 0; i < m_layout.columns[0].choices.size(); ++i)
        if (m_layout.columns[0].choices[i].value == m_chosen[0])
            m_focusIndex = static_cast<int>(i);

    // Every picture a choice or the preview can show, loaded once.
    const PreviewPictures& pv = m_layout.preview;
    std::vector<uint32_t> ids = {pv.header,           pv.row,      pv.detail,
                                 pv.unselectedDetail, pv.fileIcon, pv.clipboardIcon};
    if (pv.unselectedRow)
        ids.push_back(pv.unselectedRow);
    for (const Column& column : m_layout.columns)
        for (const Choice& choice : column.choices)
            ids.push_back(choice.picture);
    for (uint32_t id : ids)
    {
        auto& picture = m_pictures[id];
        if (!picture)
        {
            picture = std::make_unique<CDIBSectionLiteNP>();
            picture->LoadBitmap(id);
        }
    }

    // One paint that only measures tells the board's size.
    if (CanMeasureText())
    {
        MeasureCanvas measure;
        Paint(measure, {0, 0, 4096, 4096});
        m_areas.RemoveAll();
    }
    m_board->resize(m_paintRight, m_paintBottom);
    FitToScreen();
}

void CExportOptionDlg::FitToScreen()
{
    const QSize board = m_board->size();
    const QSize buttons = layout()->itemAt(1)->sizeHint();
    QSize wanted(std::max(board.width(), buttons.width()),
                 board.height() + layout()->spacing() + buttons.height());
    const QSize room = Platform::ScreenRoom(this);
    // A scroll bar in one direction takes room from the other.
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    if (wanted.width() > room.width())
        wanted.rheight() += bar;
    if (wanted.height() > room.height())
        wanted.rwidth() += bar;
    const QSize size = wanted.boundedTo(room);
    setMinimumSize(QSize(buttons.width(), buttons.height() * 3).boundedTo(size));
    resize(size);
}

int CExportOptionDlg::GetTarget() const
{
    if (m_chosen[1] == m_layout.clipboardValue)
        return 2;
    return m_chosen[1] == m_layout.separateFilesValue ? 1 : 0;
}

QWidget* CExportOptionDlg::Board() const
{
    return m_board;
}

int CExportOptionDlg::GetFocusChoice() const
{
    const std::vector<Choice>& choices = m_layout.columns[m_focusColumn].choices;
    return choices.empty() ? -1 : choices[std::min<size_t>(m_focusIndex, choices.size() - 1)].value;
}

CExportOptionDlg::~CExportOptionDlg() = default;

int CExportOptionDlg::DoModal()
{
    return RunModalDialog(*this);
}

CDIBSectionLiteNP& CExportOptionDlg::Picture(uint32_t id)
{
    auto& picture = m_pictures[id];
    if (!picture)
        picture = std::make_unique<CDIBSectionLiteNP>();
    return *picture;
}

Font CExportOptionDlg::DialogFont() const
{
    return Font(LogFontOf(m_static->font()));
}

std::pair<QString, QString> CExportOptionDlg::SplitCaption(const QString& caption, int limit)
{
    if (caption.size() <= limit)
        return {caption, QString()};
    const qsizetype firstSpace = caption.indexOf(QLatin1Char(' '));
    if (firstSpace < 0)
    {
        const qsizetype cut = std::max(0, limit);
        return {caption.left(cut), caption.mid(cut)};
    }
    // Whole words, each with the space after it, until the line is long enough.
    qsizetype end = 0;
    do
    {
        const qsizetype space = caption.indexOf(QLatin1Char(' '), end);
        end = space < 0 ? caption.size() : space + 1;
    } while (end < caption.size() && end < limit);
    return {caption.left(end), caption.mid(end)};
}

void CExportOptionDlg::Paint(Canvas& dc, const Rect& client)
{
    const int level = dc.SaveDC();
    m_areas.RemoveAll();
    dc.SetTextAlign(TA_LEFT | TA_TOP);
    dc.SetBkMode(TRANSPARENT);

    dc.SelectPen(Pen::Solid(0, kFrame));
    dc.SelectBrush(Brush::Solid(GetSysColor(COLOR_BTNFACE)));
    dc.Rectangle(client);
    dc.IntersectClipRect(client);
    dc.SelectFont(DialogFont());
    m_textOffset = dc.GetTextExtent(u"A").cy / 2 + 2;

    int x = 10;
    m_paintBottom = 0;
    for (int c = 0; c < 4; ++c)
    {
        const Column& column = m_layout.columns[c];
        m_column = c;
        m_columnWidth = column.width;
        m_x = x;
        m_y = 10;
        DrawGroupTitle(dc, LoadString(column.title), PictureWidth(Picture(column.titlePicture)));
        for (const Choice& choice : column.choices)
            DrawOption(dc, choice);
        dc.SelectPen(Pen::Solid(0, kFrame));
        dc.SelectBrush(Brush::Solid(kWhite));
        dc.Rectangle({x - 3, 7, x + m_boxWidth + 3, 300});
        m_paintBottom = std::max(m_paintBottom, 300);
        if (c == 3)
        {
            dc.SelectClipRect(nullptr);
            DrawPreview(dc, x, m_boxWidth);
        }
        m_paintRight = x + m_boxWidth + 3;
        x += m_boxWidth + 5;
    }
    m_paintRight += kPaintMargin;
    m_paintBottom += kPaintMargin;
    // A preview that has grown (more files, more rows) widens the board with it.
    if (m_board && (m_paintRight > m_board->width() || m_paintBottom > m_board->height()))
        m_board->resize(std::max(m_paintRight, m_board->width()), std::max(m_paintBottom, m_board->height()));
    dc.RestoreDC(level);
}

void CExportOptionDlg::DrawGroupTitle(Canvas& dc, const QString& title, int pictureWidth)
{
    const int textHeight = dc.GetTextExtent(u"A").cy;
    LogFont bold = dc.GetFont().GetLogFont();
    bold.weight = 800;
    const Font previous = dc.SelectFont(Font(bold));
    // A title wider than the column's boxes widens the column rather than being cut off by
    // the next one: the system's font may be wider than the one the layout was made for.
    const int width =
        std::max(pictureWidth + m_margin + m_columnWidth + 1, dc.GetTextExtent(title).cx + 2 * m_margin);
    const Rect bar{m_x, m_y, m_x + width, m_y + textHeight + 2 * m_margin};
    dc.SelectPen(Pen::Solid(0, kTitleFill));
    dc.SelectBrush(Brush::Solid(kTitleFill));
    dc.Rectangle(bar);
    dc.SelectPen(Pen::Solid(0, kTitleLine));
    dc.MoveTo(bar.left, bar.bottom - 1);
    dc.LineTo(bar.right, bar.bottom - 1);
    const ColorRef color = dc.SetTextColor(kTitleText);
    dc.TextOut(m_x + m_margin, m_y + m_margin, title);
    dc.SetTextColor(color);
    dc.SelectFont(previous);

    dc.ExcludeClipRect(bar);
    m_boxWidth = bar.Width();
    m_y += textHeight + 3 * m_margin;
}

void CExportOptionDlg::DrawOption(Canvas& dc, const Choice& choice)
{
    CDIBSectionLiteNP& picture = Picture(choice.picture);
    const int pictureWidth = PictureWidth(picture);
    const int pictureHeight = PictureHeight(picture);
    const Rect box{m_x, m_y, m_x + m_margin + m_columnWidth + pictureWidth,
                   m_y + pictureHeight + 2 * m_verticalMargin};
    dc.SelectPen(Pen::Solid(0, kWhite));
    dc.SelectBrush(Brush::Solid(kWhite));
    dc.Rectangle(box);
    m_areas.Add(box, 0, m_column, choice.value);
    m_boxRects[choice.value] = box;

    const bool hot = choice.value == m_hot;
    const bool chosen = choice.value == m_chosen[m_column];
    if (hot || chosen)
        DrawOptionHighlight(dc, box, hot, chosen);

    if (m_column == m_focusColumn && m_board && m_board->hasFocus() && choice.value == GetFocusChoice())
        dc.FrameRect({box.left + kFocusInset, box.top + kFocusInset, box.right - kFocusInset,
                      box.bottom - kFocusInset},
                     Brush::Solid(kFocusFrame));

    picture.Draw(dc, {m_x, m_y + m_verticalMargin}, true);

    // The widest character of the caption decides how many fit on a line.
    const QString caption = LoadString(choice.caption);
    int widest = 0;
    for (const QChar ch : caption)
        widest = std::max(widest, dc.GetTextExtent(QStringView(&ch, 1)).cx);
    const int limit = widest > 0 ? (m_columnWidth - m_margin) / widest : static_cast<int>(caption.size());
    const auto [first, second] = SplitCaption(caption, limit);
    const int textX = m_x + pictureWidth + m_margin;
    const int textY = m_y + m_verticalMargin + pictureHeight / 2 - m_textOffset;
    dc.SetTextColor(GetSysColor(COLOR_WINDOWTEXT));
    dc.TextOut(textX, textY, first);
    if (!second.isEmpty())
        dc.TextOut(textX, textY + dc.GetTextExtent(u"A").cy, second);

    dc.ExcludeClipRect(box);
    m_paintBottom = std::max(m_paintBottom, box.bottom);
    m_y += m_margin + 2 * m_verticalMargin + pictureHeight;
}

void CExportOptionDlg::DrawOptionHighlight(Canvas& dc, const Rect& rect, bool hot, bool chosen)
{
    const Highlight& h = hot && chosen ? kChosenHot : chosen ? kChosen : kHot;
    const TriVertex vertices[2] = {{rect.left, rect.top, h.top}, {rect.right, rect.bottom, h.bottom}};
    const int mesh[2] = {0, 1};
    dc.GradientFill(vertices, 2, mesh, 1, GRADIENT_FILL_RECT_V);
    dc.FrameRect(rect, Brush::Solid(h.outline));
}

void CExportOptionDlg::DrawPreview(Canvas& dc, int x, int boxWidth)
{
    const PreviewPictures& pv = m_layout.preview;
    const bool separate = m_chosen[1] == m_layout.separateFilesValue;
    const bool all = m_chosen[2] == m_layout.allValue;
    const int files = separate ? (all ? 3 : 2) : 1;
    // What each file shows after the header row; the content column of the graphic export
    // decides it, the text export always writes series with their details.
    const int content = pv.unselectedRow ? m_chosen[0] : 2;

    int fileX = x + boxWidth / (files + 1) - (kPreviewPieceWidth + kPreviewGap) / 2;
    for (int file = 0; file < files; ++file, fileX += kPreviewStep)
    {
        std::vector<uint32_t> pieces{pv.header};
        switch (content)
        {
        case 0:
            pieces.insert(pieces.end(), separate ? 1 : 3, pv.row);
            break;
        case 1:
            if (separate)
            {
                pieces.push_back(pv.row);
                if (file == 1)
                    pieces.push_back(pv.detail);
            }
            else
            {
                pieces.insert(pieces.end(), {pv.row, pv.row, pv.detail, pv.row});
            }
            break;
        default:
            for (int i = 0; i < (separate ? 1 : 3); ++i)
                pieces.insert(pieces.end(), {pv.row, pv.detail});
            break;
        }
        if (all && !separate)
        {
            if (content == 0 && pv.unselectedRow)
                pieces.push_back(pv.unselectedRow);
            else
                pieces.insert(pieces.end(), {pv.row, pv.unselectedDetail});
        }

        int y = kPreviewTop;
        for (uint32_t id : pieces)
        {
            CDIBSectionLiteNP& piece = Picture(id);
            piece.Draw(dc, {fileX, y}, false);
            y += PictureHeight(piece);
        }
        m_paintBottom = std::max(m_paintBottom, y);
        const bool clipboard = IsClipboardTarget();
        const uint32_t icon = clipboard ? pv.clipboardIcon : pv.fileIcon;
        Picture(icon).Draw(dc, {fileX - 5, y - 20}, clipboard || pv.fileIconTransparent);
    }
}

void CExportOptionDlg::BoardMouseMove(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    int item = -1;
    if (!m_areas.HitTest({at.x(), at.y()}, nullptr, &item))
        item = -1;
    m_hot = item;
    if (m_hot != m_lastHot)
        m_board->update();
    m_lastHot = m_hot;
}

void CExportOptionDlg::BoardMousePress(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_hot = -1;
    // The next move over the same box brings its hover highlight back.
    m_lastHot = -1;
    const QPoint at = event->position().toPoint();
    int kind = 0;
    int item = 0;
    if (m_areas.HitTest({at.x(), at.y()}, &kind, &item) && kind >= 0 && kind < kChoiceColumns)
    {
        m_chosen[kind] = item;
        // The keyboard goes on from the box the mouse chose.
        const std::vector<Choice>& choices = m_layout.columns[kind].choices;
        for (size_t i = 0; i < choices.size(); ++i)
            if (choices[i].value == item)
            {
                m_focusColumn = kind;
                m_focusIndex = static_cast<int>(i);
            }
        m_board->update();
    }
}

bool CExportOptionDlg::BoardKey(QKeyEvent* event)
{
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    const int count = static_cast<int>(m_layout.columns[m_focusColumn].choices.size());
    switch (event->key())
    {
    case Qt::Key_Up:
        m_focusIndex = std::max(0, std::min(m_focusIndex, count - 1) - 1);
        break;
    case Qt::Key_Down:
        m_focusIndex = std::min(count - 1, m_focusIndex + 1);
        break;
    case Qt::Key_Left:
    case Qt::Key_Right:
    {
        const int step = event->key() == Qt::Key_Left ? -1 : 1;
        m_focusColumn = std::clamp(m_focusColumn + step, 0, kChoiceColumns - 1);
        const int inColumn = static_cast<int>(m_layout.columns[m_focusColumn].choices.size());
        m_focusIndex = std::min(m_focusIndex, inColumn - 1);
        break;
    }
    case Qt::Key_Space:
        if (GetFocusChoice() >= 0)
            m_chosen[m_focusColumn] = GetFocusChoice();
        break;
    default:
        return false;
    }
    ShowFocusBox();
    event->accept();
    return true;
}

bool CExportOptionDlg::StepFocus(bool next)
{
    int column = m_focusColumn;
    int index = m_focusIndex + (next ? 1 : -1);
    if (index < 0)
    {
        if (--column < 0)
            return false;
        index = static_cast<int>(m_layout.columns[column].choices.size()) - 1;
    }
    else if (index >= static_cast<int>(m_layout.columns[column].choices.size()))
    {
        if (++column >= kChoiceColumns)
            return false;
        index = 0;
    }
    m_focusColumn = column;
    m_focusIndex = index;
    ShowFocusBox();
    return true;
}

void CExportOptionDlg::FocusEntered(Qt::FocusReason reason)
{
    // Tab comes in at the first box, Shift+Tab at the last.
    if (reason == Qt::TabFocusReason)
    {
        m_focusColumn = 0;
        m_focusIndex = 0;
    }
    else if (reason == Qt::BacktabFocusReason)
    {
        m_focusColumn = kChoiceColumns - 1;
        m_focusIndex = static_cast<int>(m_layout.columns[m_focusColumn].choices.size()) - 1;
    }
    ShowFocusBox();
}

void CExportOptionDlg::ShowFocusBox()
{
    m_board->update();
    const auto box = m_boxRects.find(GetFocusChoice());
    if (box == m_boxRects.end())
        return;
    const Rect& r = box->second;
    m_scroll->ensureVisible(r.left + r.Width() / 2, r.top + r.Height() / 2, r.Width() / 2 + kPaintMargin,
                            r.Height() / 2 + kPaintMargin);
}

void CExportOptionDlg::OnExportClicked()
{
    // Nothing to export needs no file to be chosen first.
    if (m_hasContent && !m_hasContent(IsAllData()))
    {
        ShowMessageBox(this, LoadString(StringId::IDS_NOTHING_TO_EXPORT), QString(), MB_OK | MB_ICONINFORMATION);
        return;
    }
    if (IsClipboardTarget())
    {
        done(QDialog::Accepted);
        return;
    }
    FileDialogRequest request;
    request.save = true;
    request.defaultExtension = m_layout.defaultExtension;
    request.fileName = LoadString(m_layout.initialName);
    // One file per series never writes the chosen name itself: the export asks about the
    // numbered files it would replace instead.
    request.flags = OFN_HIDEREADONLY;
    if (m_chosen[1] != m_layout.separateFilesValue)
        request.flags |= OFN_OVERWRITEPROMPT;
    for (const auto& [id, fixed] : m_layout.filter)
        request.filter += LoadString(id) + fixed;
    const std::optional<QString> path = ShowFileDialog(this, request);
    if (!path)
        return;
    m_filePath = *path;
    if (m_filePath.size() <= 5)
        return;
    if (AcceptPath(m_filePath))
        done(QDialog::Accepted);
}
