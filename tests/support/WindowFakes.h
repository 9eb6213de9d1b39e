#pragma once

#include "forms/Job.h"
#include "forms/Program.h"
#include "platform/SystemFileSystem.h"
#include "ui/QtProgram.h"
#include "ui/Services.h"

#include <QLineEdit>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

// Stand-ins for what the program gives its windows: messages are recorded instead of
// shown, and the menu's requests to the program are counted.
class RecordingMessages : public ui::Messages {
public:
    explicit RecordingMessages(QStringList &texts) : m_texts(texts) {}
    void show(QWidget *, const std::string &text) override { m_texts << QString::fromStdString(text); }

private:
    QStringList &m_texts;
};

// The window's other dialogs, answered as a test scripts them: the file chosen in
// the file dialogs (none: cancelled), the answer to each question, and every job
// waited for to its end without a progress window.
class ScriptedDialogs : public ui::Dialogs {
public:
    std::optional<forms::ChosenFile> openFile(QWidget *, const forms::FileDialog &dialog) override
    {
        shown.push_back(dialog);
        return toOpen;
    }
    std::optional<forms::ChosenFile> saveFile(QWidget *, const forms::FileDialog &dialog) override
    {
        shown.push_back(dialog);
        return toSave;
    }
    bool confirm(QWidget *, const std::string &text, const std::string &accept, const std::string &) override
    {
        questions << QString::fromStdString(text);
        accepted << QString::fromStdString(accept);
        return answer;
    }
    void waitFor(QWidget *, forms::Job &job) override { job.wait(-1); }

    std::optional<forms::ChosenFile> toOpen;
    std::optional<forms::ChosenFile> toSave;
    bool answer = true;
    std::vector<forms::FileDialog> shown;
    QStringList questions;
    QStringList accepted;
};

// The program's rules over a toolkit that only counts the About windows it is asked
// to open and the ends of the program.
class CountingProgram : public forms::ProgramView {
public:
    CountingProgram(int &aboutCalls, int &quitCalls) : m_aboutCalls(aboutCalls), m_quitCalls(quitCalls) {}

    // The rules afresh, for one window under test.
    forms::Program &fresh()
    {
        m_program.emplace(*this);
        return *m_program;
    }

    void openWindow(forms::Window window) override
    {
        if (window == forms::Window::About)
            ++m_aboutCalls;
    }
    void raiseWindow(forms::Window) override {}
    void closeWindows() override { ++m_quitCalls; }
    void endEventLoop() override {}
    void showMessage(const std::string &) override {}
    void importInMainWindow(const std::filesystem::path &) override {}

private:
    int &m_aboutCalls;
    int &m_quitCalls;
    std::optional<forms::Program> m_program;
};

// The program on Qt with a stand-in main window: a text field that takes the focus.
// The splash and the About window are the real ones.
class StandInProgram : public ui::QtProgram {
public:
    StandInProgram(platform::Registry &registry, platform::Launcher &launcher, ui::Messages &messages,
                   std::function<void()> endEventLoop = [] {})
        : ui::QtProgram(platform::systemFileSystem(), {}, registry, launcher, messages, noDialogs(),
                        std::move(endEventLoop))
    {
    }
    ~StandInProgram() override { delete main.data(); }

    void openWindow(forms::Window window) override
    {
        if (window != forms::Window::Personas) {
            ui::QtProgram::openWindow(window);
            return;
        }
        ++handOvers;
        main = new QLineEdit;
        main->setObjectName(QStringLiteral("main"));
        main->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(main, &QObject::destroyed, [this] { program().windowClosed(forms::Window::Personas); });
        main->show();
        main->activateWindow();
        main->setFocus();
        program().windowOpened(window);
    }

    int handOvers = 0;
    QPointer<QLineEdit> main;

private:
    // The stand-in main window shows none.
    static ui::Dialogs &noDialogs()
    {
        static ScriptedDialogs dialogs;
        return dialogs;
    }
};
