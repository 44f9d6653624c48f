#pragma once
#include <QString>

// Reads PDF files with poppler's command-line tools, an independent reader of what our
// printing wrote. -1 or an empty text when the tool fails.
int PdfPageCount(const QString& path);
// The text of one page (1-based), or of all pages with page 0, in reading order.
QString PdfText(const QString& path, int page = 0);
