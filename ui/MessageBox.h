#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace ui {

// The program's modal messages, with one "OK" button and the application's name as
// title. Tests install a handler that records the message instead of blocking.
class MessageBox {
public:
    using Handler = std::function<void(QWidget *parent, const QString &text)>;

    static void show(QWidget *parent, const QString &text);

    // An empty handler restores the real message box.
    static void setHandler(Handler handler);

private:
    static Handler &handler();
};

} // namespace ui
