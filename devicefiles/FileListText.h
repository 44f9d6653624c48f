#pragma once
#include <QString>
#include <QStringList>

// The text of a message that names files: the heading, then one name a line. A long list
// is cut and ends with how many more there are, so that the message fits the screen.
QString FileListText(const QString& heading, const QStringList& names);
