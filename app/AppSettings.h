#pragma once
#include "streamio/FileVersionInfo.h"

#include <QDialog>
#include <QString>

#include <vector>

class QComboBox;
class QGroupBox;

// Joins two parts of a local path: a part without a drive gets a leading separator,
// each part a trailing one, and doubled separators collapse until none is left.
QString JoinPath(const QString& first, const QString& second);

// The application settings (dialog 130): the language of the user interface and the date
// and time format. OK stores what changed; the caller rebuilds its windows when the
// language changed.
class CAppSettings : public QDialog
{
    Q_OBJECT
public:
    enum
    {
        IDD = 130,
        IDC_LANGUAGE = 125,
        IDC_RESET = 131,
        IDC_TIME_FORMAT = 132,
        IDC_DATE_FORMAT = 133,
        IDC_FRAME = 134,
    };

    // The language packs are looked for in the program's folder, unless one is given.
    explicit CAppSettings(QWidget* parent = nullptr, const QString& programFolder = QString());
    ~CAppSettings() override;

    // IDOK or IDCANCEL.
    int DoModal();
    // After the dialog ended: OK stored a new language.
    bool IsLanguageChanged() const { return m_languageChanged; }

    // Fills the language list with the program and every pack of its major and minor
    // version; true when the search found a pack file at all.
    bool FillLanguageList();

    void OnReset();
    void OnFormatChange();
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void OnInitDialog();
    void SetExampleLine(const QString& datePattern, const QString& timePattern);

    QString m_programFolder;
    QGroupBox* m_frame;
    std::vector<CFileVersionInfo> m_versions;
    QComboBox* m_language;
    QComboBox* m_dateFormat;
    QComboBox* m_timeFormat;
    // The date and time entries shown at the start: OK stores only what the user changed.
    int m_shownDate = 0;
    int m_shownTime = 0;
    bool m_initialised = false;
    bool m_changed = false;
    bool m_dateTimeChanged = false;
    bool m_languageChanged = false;
};
