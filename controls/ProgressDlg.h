#pragma once
#include <QPointer>
#include <QString>

class QDialog;
class QLabel;
class QProgressBar;
class QWidget;

// A modeless dialog with a bar from 0 to 1000 (tenths of a percent) and a status line,
// for jobs that run to their end: it offers no Cancel and pumps no events, so it repaints
// itself whenever it changes.
class CProgressDlg
{
public:
    explicit CProgressDlg(QWidget* parent = nullptr);
    ~CProgressDlg();
    CProgressDlg(const CProgressDlg&) = delete;
    CProgressDlg& operator=(const CProgressDlg&) = delete;

    // Creates the dialog hidden, with the parent given here or to the constructor.
    bool Create(QWidget* parent = nullptr);
    void ShowWindow(bool show = true);
    // Position 0..1000.
    void SetPos(int position);
    // Shows a text that differs from the last one and repaints at once.
    void SetText(const QString& text);

    QDialog* GetWindow() const;
    QProgressBar* Bar() const;
    QLabel* TextControl() const;

private:
    QWidget* m_parent = nullptr;
    QPointer<QDialog> m_dialog;
    QPointer<QProgressBar> m_bar;
    int m_lastPos = -1;
    QPointer<QLabel> m_text;
    QString m_lastText;
};
