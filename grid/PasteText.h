#pragma once
#include <QString>
#include <QStringView>

#include <vector>

// Splits text pasted into the grid: lines at line feeds, fields at tabs and commas. Text
// after the first NUL is ignored; what follows the last line feed is a line only when it is
// not empty; a separator at the end of a line adds no empty field, two adjacent ones give an
// empty field; an empty line has no fields. Fields keep their white space.
std::vector<std::vector<QString>> SplitPastedText(QStringView text);
