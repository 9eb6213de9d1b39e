#include "ui/MessageBox.h"

#include <QApplication>
#include <QMessageBox>

namespace ui {

MessageBox::Handler &MessageBox::handler()
{
    static Handler current;
    return current;
}

void MessageBox::setHandler(Handler replacement)
{
    handler() = std::move(replacement);
}

void MessageBox::show(QWidget *parent, const QString &text)
{
    if (handler()) {
        handler()(parent, text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), text, QMessageBox::Ok,
                    parent);
    box.setObjectName(QStringLiteral("messageBox"));
    box.setAccessibleName(text);
    box.exec();
}

} // namespace ui
