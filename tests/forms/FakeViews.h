#pragma once

#include "forms/frmAbout.h"
#include "forms/frmPersonas.h"
#include "forms/frmSplash.h"
#include "forms/Program.h"

#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Views that only remember what the windows' behaviour asked them to show.
class FakePersonasView : public forms::PersonasView {
public:
    void setCaption(const std::string &text) override { caption = text; }
    std::string text1(int index) const override { return fields[static_cast<std::size_t>(index)]; }
    void setText1(int index, const std::string &text) override
    {
        fields[static_cast<std::size_t>(index)] = text;
        ++fieldWrites;
    }
    std::string searchText() const override { return search; }
    void setListEntries(std::vector<std::string> items) override
    {
        entries = std::move(items);
        selected = -1;
        ++listLoads;
    }
    int findListEntry(std::string_view prefix) const override { return forms::firstWithPrefix(entries, prefix); }
    std::string listEntry(int index) const override { return entries.at(static_cast<std::size_t>(index)); }
    int listIndex() const override { return selected; }
    void setListIndex(int index) override { selected = index; }
    void showMessage(const std::string &text) override { messages.push_back(text); }
    std::optional<forms::ChosenFile> chooseFileToOpen(const forms::FileDialog &dialog) override
    {
        dialogs.push_back(dialog);
        return toOpen;
    }
    std::optional<forms::ChosenFile> chooseFileToSave(const forms::FileDialog &dialog) override
    {
        dialogs.push_back(dialog);
        return toSave;
    }
    bool confirm(const std::string &text, const std::string &accept, const std::string &cancel) override
    {
        questions.push_back(text);
        buttons = {accept, cancel};
        if (onConfirm)
            onConfirm();
        return answer;
    }
    void waitFor(forms::Job &job) override
    {
        ++jobs;
        jobTitles.push_back(job.title());
        if (onWait)
            onWait();
        // The program ended meanwhile: a toolkit's wait then returns at once.
        if (leaveJobs)
            return;
        if (cancelJobs || std::exchange(cancelNextJob, false))
            job.cancel();
        // What the window's events bring while it waits, as a real view's loop runs them.
        if (duringJob)
            std::exchange(duringJob, nullptr)();
        job.wait(-1);
    }

    // What a user's click on entry `index` does.
    void click(forms::frmPersonas &form, int index)
    {
        selected = index;
        form.List1_Click();
    }
    // What typing into the search box does.
    void type(forms::frmPersonas &form, const std::string &text)
    {
        search = text;
        form.txtBusqueda_Change();
    }
    void fill(const std::array<std::string, 5> &values) { fields = values; }

    std::string caption;
    std::array<std::string, 5> fields;
    std::string search;
    std::vector<std::string> entries;
    int selected = -1;
    int listLoads = 0;
    int fieldWrites = 0;
    std::vector<std::string> messages;
    // The dialogs: what the user chooses and answers, and what was asked.
    std::optional<forms::ChosenFile> toOpen;
    std::optional<forms::ChosenFile> toSave;
    bool answer = true;
    bool cancelJobs = false;
    bool cancelNextJob = false; // "Cancelar" on the next job only, then duringJob
    bool leaveJobs = false;
    std::function<void()> onConfirm; // what happens while the question is up
    std::function<void()> onWait;    // what the user does while a job runs
    std::vector<forms::FileDialog> dialogs;
    std::vector<std::string> questions;
    std::array<std::string, 2> buttons;
    int jobs = 0;
    std::vector<std::string> jobTitles;
    // Once, while the next job runs: what the user does meanwhile, calling back into
    // the form (a file dropped or handed over), as a real view's loop would.
    std::function<void()> duringJob;
};

class FakeSplashView : public forms::SplashView {
public:
    void setVersionText(const std::string &text) override { version = text; }
    void startTimer(int milliseconds) override { timer = milliseconds; }
    void stopTimer() override { timer = 0; }
    void unload() override { ++closes; }

    std::string version;
    int timer = 0;
    int closes = 0;
};

class FakeAboutView : public forms::AboutView {
public:
    void setVersionText(const std::string &text) override { version = text; }
    void unload() override { ++closes; }
    void showMessage(const std::string &text) override { messages.push_back(text); }

    std::string version;
    int closes = 0;
    std::vector<std::string> messages;
};

// A toolkit that only remembers which windows the program's rules asked for. Its
// windows report themselves open and closed as a toolkit's would.
class FakeProgramView : public forms::ProgramView {
public:
    void openWindow(forms::Window window) override
    {
        opened.push_back(window);
        if (program != nullptr)
            program->windowOpened(window);
    }
    void raiseWindow(forms::Window window) override { raised.push_back(window); }
    void closeWindows() override
    {
        ++closeAll;
        for (forms::Window window : {forms::Window::Splash, forms::Window::Personas, forms::Window::About}) {
            if (program != nullptr && program->isOpen(window))
                program->windowClosed(window);
        }
    }
    void endEventLoop() override { ++loopEnds; }
    void showMessage(const std::string &text) override { messages.push_back(text); }
    void importInMainWindow(const std::filesystem::path &file) override
    {
        handed.push_back(file);
        handedWithMainOpen.push_back(program != nullptr && program->isOpen(forms::Window::Personas));
    }

    forms::Program *program = nullptr;
    std::vector<forms::Window> opened;
    std::vector<forms::Window> raised;
    int closeAll = 0;
    int loopEnds = 0;
    std::vector<std::string> messages;
    std::vector<std::filesystem::path> handed;
    std::vector<bool> handedWithMainOpen;
};
