#include "ui/MessageBox.h"

#include "ui/Text.h"

#include <QApplication>
#include <QMessageBox>

namespace ui {

void MessageBox::show(QWidget *owner, const std::string &text)
{
    const QString shown = qtext(text);
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), shown, QMessageBox::Ok, owner);
    box.setObjectName(QStringLiteral("messageBox"));
    box.setAccessibleName(shown);
    box.exec();
}

} // namespace ui
