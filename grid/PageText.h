#pragma once
#include <QString>

// Fills a page format ("Page %d of %d") with the page number and the page count. The
// format comes from a language pack, so it is checked: it must have exactly two integer
// fields (%d, %i or %u, with optional flags and width) and nothing else but "%%". Any other
// format gives "page/pages" instead of being trusted.
QString FormatPageText(const QString& format, int page, int pages);
