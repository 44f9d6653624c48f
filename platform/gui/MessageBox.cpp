#include "platform/gui/MessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

#include <atomic>

namespace Platform
{

namespace
{
class QtMessageBoxes final : public MessageBoxService
{
public:
    int Show(QWidget* owner, const QString& text, const QString& caption, uint32_t type) override
    {
        auto* app = QCoreApplication::instance();
        if (!app)
            return IDCANCEL;
        if (QThread::currentThread() != app->thread())
        {
            int answer = IDCANCEL;
            QMetaObject::invokeMethod(
                app, [&] { answer = ShowHere(nullptr, text, caption, type); },
                Qt::BlockingQueuedConnection);
            return answer;
        }
        return ShowHere(owner, text, caption, type);
    }

private:
    static int ShowHere(QWidget* owner, const QString& text, const QString& caption, uint32_t type)
    {
        QMessageBox box(owner);
        box.setWindowTitle(caption);
        box.setText(text);
        switch (type & 0xF0)
        {
        case MB_ICONERROR:
            box.setIcon(QMessageBox::Critical);
            break;
        case MB_ICONQUESTION:
            box.setIcon(QMessageBox::Question);
            break;
        case MB_ICONWARNING:
            box.setIcon(QMessageBox::Warning);
            break;
        case MB_ICONINFORMATION:
            box.setIcon(QMessageBox::Information);
            break;
        default:
            break;
        }
        struct Choice
        {
            QMessageBox::StandardButton button;
            int answer;
        };
        Choice choices[3];
        int count = 0;
        switch (type & 0x0F)
        {
        case MB_OKCANCEL:
            choices[count++] = {QMessageBox::Ok, IDOK};
            choices[count++] = {QMessageBox::Cancel, IDCANCEL};
            break;
        case MB_ABORTRETRYIGNORE:
            choices[count++] = {QMessageBox::Abort, IDABORT};
            choices[count++] = {QMessageBox::Retry, IDRETRY};
            choices[count++] = {QMessageBox::Ignore, IDIGNORE};
            break;
        case MB_YESNOCANCEL:
            choices[count++] = {QMessageBox::Yes, IDYES};
            choices[count++] = {QMessageBox::No, IDNO};
            choices[count++] = {QMessageBox::Cancel, IDCANCEL};
            break;
        case MB_YESNO:
            choices[count++] = {QMessageBox::Yes, IDYES};
            choices[count++] = {QMessageBox::No, IDNO};
            break;
        case MB_RETRYCANCEL:
            choices[count++] = {QMessageBox::Retry, IDRETRY};
            choices[count++] = {QMessageBox::Cancel, IDCANCEL};
            break;
        default:
            choices[count++] = {QMessageBox::Ok, IDOK};
            break;
        }
        QMessageBox::StandardButtons buttons;
        for (int i = 0; i < count; ++i)
            buttons |= choices[i].button;
        box.setStandardButtons(buttons);
        const int defIndex = (type & MB_DEFBUTTON3) ? 2 : (type & MB_DEFBUTTON2) ? 1 : 0;
        if (defIndex < count)
            box.setDefaultButton(choices[defIndex].button);
        const auto pressed = static_cast<QMessageBox::StandardButton>(box.exec());
        for (int i = 0; i < count; ++i)
            if (choices[i].button == pressed)
                return choices[i].answer;
        // Closing the box counts as Cancel where there is one, else as the only button.
        return (type & 0x0F) == MB_OK ? IDOK : IDCANCEL;
    }
};

QtMessageBoxes g_builtIn;
std::atomic<MessageBoxService*> g_service{&g_builtIn};
} // namespace

MessageBoxService* SetMessageBoxService(MessageBoxService* service)
{
    return g_service.exchange(service ? service : &g_builtIn);
}

int ShowMessageBox(QWidget* owner, const QString& text, const QString& caption, uint32_t type)
{
    return g_service.load()->Show(owner, text, caption, type);
}

int ShowMessageBox(const QString& text, uint32_t type)
{
    return ShowMessageBox(nullptr, text, QStringLiteral("Veskador 3"), type);
}

} // namespace Platform
