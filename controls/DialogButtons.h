#pragma once
#include "platform/gui/DialogLayout.h"

class QDialog;
class QPushButton;

// The Cancel and OK buttons of a small dialog's template, 50 x 14 units each at the given
// places: ids 2 and 1, OK the default, each closing the dialog its way.
struct SCancelOk
{
    QPushButton* cancel;
    QPushButton* ok;
};
SCancelOk AddCancelOk(QDialog* dialog, const Platform::DialogUnits& du, int cancelX, int okX, int y);
