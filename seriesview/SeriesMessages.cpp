#include "seriesview/SeriesMessages.h"

#include "platform/gui/MessageBox.h"

#include <QString>

namespace SeriesMessages
{
void ConversionRefused(QWidget* owner, int count)
{
    const QString text =
        count == 1
            ? QStringLiteral("There is no conversion for this choice. The measurement object was left "
                             "unchanged.")
            : QStringLiteral("There is no conversion for this choice. %1 measurement objects were left "
                             "unchanged.")
                  .arg(count);
    Platform::ShowMessageBox(owner, text, QString(), Platform::MB_OK | Platform::MB_ICONWARNING);
}

void ClipboardUnreadable(QWidget* owner)
{
    Platform::ShowMessageBox(owner,
                             QStringLiteral("The clipboard does not hold readable measurement objects. "
                                            "Nothing was pasted."),
                             QString(), Platform::MB_OK | Platform::MB_ICONWARNING);
}
} // namespace SeriesMessages
