#pragma once
#include <QString>

#include <cstdint>

class ExportFeedback;
class QImage;

// The series page as the graphic export sees it: it shows the series to export (all of
// them, or one at a time) and renders what it shows. The page puts itself back as it was
// when the export is over; the export only asks.
class GraphicExportPage
{
public:
    virtual ~GraphicExportPage() = default;
    // How many series the export takes.
    virtual int GetPartCount() const = 0;
    // Shows every series the export takes, and only those.
    virtual void ShowAllParts() = 0;
    // Shows only the part-th series the export takes, with or without the column headings.
    virtual void ShowPart(int part, bool withHeadings) = 0;
    // The size of what is shown, in pixels.
    virtual long long GetShownWidth() const = 0;
    virtual long long GetShownHeight() const = 0;
    // Renders what is shown; false when the picture cannot be made.
    virtual bool Render(QImage* picture) = 0;
};

// The graphic export: the series as one image, one image per series, or one picture on
// the clipboard, as BMP, PNG or JPEG. Files are written whole or not at all (an existing
// file keeps its content when writing fails); files that one image per series would
// replace are confirmed first. One PNG of all series is encoded part by part as the parts
// are rendered, so it never needs the memory of the whole picture; BMP and JPEG stack the
// parts into one picture first, and so does the clipboard. The export renders a series at
// a time and lets its feedback keep the program answering in between; a whole picture is
// encoded through the feedback's RunAside.
class CGraphicExport
{
public:
    enum NTarget
    {
        TargetOneFile = 0,
        TargetFilePerSeries = 1,
        TargetClipboard = 2,
    };
    enum class NResult
    {
        Done,
        NothingToExport,
        Declined,
        Failed,
    };

    // formatIndex: 0 BMP, 1 PNG, 2 JPEG. The path is the chosen file (unused for the
    // clipboard); one image per series numbers it ("x.png" -> "x1.png", "x2.png", ...).
    static NResult Run(GraphicExportPage& page, int target, int formatIndex, const QString& path,
                       ExportFeedback& feedback);

private:
    static NResult RunOneFile(GraphicExportPage& page, int formatIndex, const QString& path,
                              ExportFeedback& feedback);
    static NResult RunOnePng(GraphicExportPage& page, std::uint32_t width, std::uint32_t height,
                             const QString& name, ExportFeedback& feedback);
    static NResult RunFilePerSeries(GraphicExportPage& page, int formatIndex, const QString& path,
                                    ExportFeedback& feedback);
    static NResult RunClipboard(GraphicExportPage& page, ExportFeedback& feedback);
};
