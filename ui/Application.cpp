#include "ui/Application.h"

#include "forms/Program.h"

#include <exception>

namespace ui {

Application::Application(int &argc, char **argv) : QApplication(argc, argv)
{
}

bool Application::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        if (m_program != nullptr)
            m_program->unexpectedError(std::current_exception());
        return true;
    }
}

} // namespace ui
