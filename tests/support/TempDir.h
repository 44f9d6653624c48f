#pragma once
#include <QString>

// A fresh folder under the system's temporary folder, removed with its contents.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const QString& Path() const { return m_path; }
    QString File(const QString& name) const { return m_path + QLatin1Char('/') + name; }

private:
    QString m_path;
};
