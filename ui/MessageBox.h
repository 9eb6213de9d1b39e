#pragma once

#include "ui/Services.h"

namespace ui {

// The program's modal messages, with one "OK" button and the application's name as
// title.
class MessageBox : public Messages {
public:
    void show(QWidget *owner, const std::string &text) override;
};

} // namespace ui
