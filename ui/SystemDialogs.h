#pragma once

#include "ui/Services.h"

namespace ui {

// Qt's own dialogs, in Spanish as the program loads Qt's translation: QFileDialog,
// a QMessageBox with the two buttons asked for, and a QProgressDialog for a job that
// takes more than a moment.
class SystemDialogs : public Dialogs {
public:
    std::optional<forms::ChosenFile> openFile(QWidget *owner, const forms::FileDialog &dialog) override;
    std::optional<forms::ChosenFile> saveFile(QWidget *owner, const forms::FileDialog &dialog) override;
    bool confirm(QWidget *owner, const std::string &text, const std::string &accept,
                 const std::string &cancel) override;
    void waitFor(QWidget *owner, forms::Job &job) override;
};

} // namespace ui
