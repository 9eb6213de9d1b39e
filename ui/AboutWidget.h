#pragma once

#include "forms/frmAbout.h"

#include <QWidget>

#include <string>

class QLabel;
class QPushButton;

namespace forms {
class Program;
}

namespace platform {
class Launcher;
class Registry;
} // namespace platform

namespace ui {

class Line;
class Messages;

// The About window on the screen: maker, product and version, a thank-you with the
// maker's web address, a legal notice, "OK" and "System Info..."; a Qt view over
// forms::frmAbout. Modeless and without an owner: it outlives the main window and
// keeps the program running.
class AboutWidget : public QWidget, private forms::AboutView {
    Q_OBJECT
public:
    // "System Info..." looks in `registry` and starts the program through `launcher`,
    // or tells the user through `messages` that it cannot. The window's handlers run
    // under `program`.
    AboutWidget(platform::Registry &registry, platform::Launcher &launcher, Messages &messages,
                forms::Program &program);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // forms::AboutView
    void setVersionText(const std::string &text) override;
    void unload() override;
    void showMessage(const std::string &text) override;

    Messages &m_messages;
    forms::Program &m_program;
    forms::frmAbout m_form;

    QPushButton *cmdOK;
    QPushButton *cmdSysInfo;
    Line *Line1_1;
    QLabel *lblDescription;
    QLabel *lblTitle;
    Line *Line1_0;
    QLabel *lblVersion;
    QLabel *lblDisclaimer;
};

} // namespace ui
