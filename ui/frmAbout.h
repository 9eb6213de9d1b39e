#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace platform {
class Launcher;
class Registry;
} // namespace platform
namespace ui {
class Line;
}

// The About window: maker, product and version, a thank-you with the maker's web
// address, a legal notice, "OK" and "System Info...". One at a time, modeless and
// without an owner: it outlives the main window and keeps the program running.
class frmAbout : public QWidget {
    Q_OBJECT
public:
    // Loads the window on first use, or after it was closed; brings the open one
    // forward otherwise. What the main window's "Acerca..." calls.
    static void showAbout();

    // The open window, or null.
    static frmAbout *instance();

    // The registry and launcher that "System Info..." uses; null for the system's.
    static void setSysInfoBackend(platform::Registry *registry, platform::Launcher *launcher);

    ~frmAbout() override;

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    frmAbout();

    void Form_Load();
    void cmdOK_Click();
    void cmdSysInfo_Click();

    QPushButton *cmdOK;
    QPushButton *cmdSysInfo;
    ui::Line *Line1_1;
    QLabel *lblDescription;
    QLabel *lblTitle;
    ui::Line *Line1_0;
    QLabel *lblVersion;
    QLabel *lblDisclaimer;
};
