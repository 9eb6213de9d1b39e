#pragma once

#include <QApplication>

namespace forms {
class Program;
}

namespace ui {

// The Qt application, with the view's one outermost event handler: an exception
// that escapes any window's handler is told to the user through the program's rules,
// and the program goes on.
class Application : public QApplication {
    Q_OBJECT
public:
    Application(int &argc, char **argv);

    // The program that hears of such exceptions; without one they are only dropped.
    void setProgram(forms::Program *program) { m_program = program; }

    bool notify(QObject *receiver, QEvent *event) override;

private:
    forms::Program *m_program = nullptr;
};

} // namespace ui
