#pragma once
#include <QDir>
#include <QImage>
#include <QString>

// Saves a rendering for a person to look at when VESKADOR_SAVE_RENDERINGS names a folder;
// does nothing otherwise.
inline void SaveRendering(const QImage& image, const QString& name)
{
    const QString folder = qEnvironmentVariable("VESKADOR_SAVE_RENDERINGS");
    if (folder.isEmpty())
        return;
    QDir().mkpath(folder);
    image.save(QDir(folder).filePath(name + ".png"));
}
