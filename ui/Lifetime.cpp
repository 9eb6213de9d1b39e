#include "ui/Lifetime.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace ui {

namespace {

bool counts(const QWidget *window)
{
    const Qt::WindowType type = window->windowType();
    return window->isVisible() && type != Qt::Popup && type != Qt::ToolTip && type != Qt::Desktop;
}

} // namespace

Lifetime::Lifetime(QuitFunction quit) : m_quit(std::move(quit))
{
    QApplication::setQuitOnLastWindowClosed(false);
    qApp->installEventFilter(this);
}

Lifetime::Hold::Hold(Lifetime &lifetime) : m_lifetime(lifetime)
{
    ++m_lifetime.m_holds;
}

Lifetime::Hold::~Hold()
{
    if (--m_lifetime.m_holds == 0)
        m_lifetime.scheduleCheck();
}

bool Lifetime::anyWindowOpen()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.cbegin(), windows.cend(), counts);
}

bool Lifetime::eventFilter(QObject *watched, QEvent *event)
{
    if ((event->type() == QEvent::Hide || event->type() == QEvent::Close) && watched->isWidgetType()
        && static_cast<QWidget *>(watched)->isWindow())
        scheduleCheck();
    return false;
}

// The check waits for the event loop, so that a handler which closes a window runs to
// its end before the program may stop.
void Lifetime::scheduleCheck()
{
    if (m_checkPending || m_quitting)
        return;
    m_checkPending = true;
    QTimer::singleShot(0, this, &Lifetime::check);
}

void Lifetime::check()
{
    m_checkPending = false;
    if (m_holds == 0 && !anyWindowOpen())
        quit();
}

void Lifetime::quit()
{
    if (m_quitting)
        return;
    m_quitting = true;
    if (m_quit)
        m_quit();
    else
        QCoreApplication::quit();
}

void Lifetime::quitProgram()
{
    m_quitting = true;

    QList<QPointer<QWidget>> windows;
    for (QWidget *window : QApplication::topLevelWidgets())
        windows.append(window);
    for (const QPointer<QWidget> &window : windows)
        if (window && window->isVisible())
            window->close();
    // A window that refused to close still goes.
    for (const QPointer<QWidget> &window : windows)
        if (window && counts(window))
            window->hide();

    m_quitting = false;
    quit();
}

} // namespace ui
