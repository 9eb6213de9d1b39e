#pragma once

#include "forms/frmAbout.h"

#include <QPointer>
#include <QWidget>

#include <string>

class QLabel;
class QPushButton;

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
class frmAbout : public QWidget, private forms::AboutView {
    Q_OBJECT
public:
    // "System Info..." looks in `registry` and starts the program through `launcher`,
    // or tells the user through `messages` that it cannot.
    frmAbout(platform::Registry &registry, platform::Launcher &launcher, Messages &messages);

    // Closed, so no longer the open About window, even before it is deleted.
    bool unloaded() const { return m_unloaded; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // forms::AboutView
    void setVersionText(const std::string &text) override;
    void unload() override;
    void showMessage(const std::string &text) override;

    Messages &m_messages;
    forms::frmAbout m_form;
    bool m_unloaded = false;

    QPushButton *cmdOK;
    QPushButton *cmdSysInfo;
    Line *Line1_1;
    QLabel *lblDescription;
    QLabel *lblTitle;
    Line *Line1_0;
    QLabel *lblVersion;
    QLabel *lblDisclaimer;
};

// The program's one About window: loaded on first use, or after it was closed, and
// brought forward otherwise.
class AboutWindow {
public:
    AboutWindow(platform::Registry &registry, platform::Launcher &launcher, Messages &messages);
    ~AboutWindow();
    AboutWindow(const AboutWindow &) = delete;
    AboutWindow &operator=(const AboutWindow &) = delete;

    // What the main window's "Acerca..." does.
    void show();

    // The open window, or null.
    frmAbout *window() const;

private:
    platform::Registry &m_registry;
    platform::Launcher &m_launcher;
    Messages &m_messages;
    QPointer<frmAbout> m_window;
};

} // namespace ui
