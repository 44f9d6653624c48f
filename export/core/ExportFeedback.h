#pragma once
#include <QImage>
#include <QString>
#include <QStringList>

#include <functional>

// What an export needs from the screen that runs it: a progress display, a question, the
// messages and the clipboard. The exports themselves open no window, so they run (and are
// tested) without one; the screens implement this with the progress dialog, message boxes
// and the system clipboard.
class ExportFeedback
{
public:
    virtual ~ExportFeedback() = default;

    // Progress 0 to 1000 and the line above the bar.
    virtual void SetProgress(int position) = 0;
    virtual void SetProgressText(const QString& text) = 0;
    // True when the listed existing files may be replaced.
    virtual bool ConfirmReplace(const QStringList& existing) = 0;
    // A failure that ends the export (stop icon), and a notice (information icon).
    virtual void ShowError(const QString& text) = 0;
    virtual void ShowNotice(const QString& text) = 0;
    // Replace the clipboard's content; false when the clipboard cannot be had.
    virtual bool SetClipboardText(const QString& text) = 0;
    virtual bool SetClipboardImage(const QImage& image) = 0;

    // Called between the small steps of an export: a screen lets the events that waited in
    // once the export has held its thread for a while, so that its window stays drawn and
    // answering. Nothing those events do may change what the export reads.
    virtual void KeepAnswering() {}
    // Runs one large step that cannot be cut (encoding a whole picture) and gives its
    // answer; a screen runs it on a thread of its own meanwhile. The step touches no
    // widget.
    virtual bool RunAside(const std::function<bool()>& step) { return step(); }
};
