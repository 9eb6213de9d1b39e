// Runs the contacts window's behaviour over a folder, step by step, as a user would
// through the window; the Windows end-to-end stage compares the bytes that
// Vorteda.exe writes for the same steps with what this writes on Linux.
//   vorteda_forms_replay FOLDER STEP...
// Steps: select:SURNAME, set:FIELD:TEXT, search:TEXT, cmdAltas, cmdModificar,
// cmdBajas, cmdVerlista, cmdLimpiar. The window loads first, as it does on start.
#include "platform/SystemFileSystem.h"
#include "tests/forms/FakeViews.h"

#include <algorithm>
#include <cstdio>
#include <string>

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: vorteda_forms_replay FOLDER STEP...\n");
        return 2;
    }
    FakePersonasView view;
    FakeProgramView toolkit;
    forms::Program program(toolkit);
    forms::frmPersonas form(view, platform::systemFileSystem(), argv[1], program, {});
    form.Form_Load();
    for (int i = 2; i < argc; ++i) {
        const std::string step = argv[i];
        if (step.starts_with("select:")) {
            const auto found = std::find(view.entries.begin(), view.entries.end(), step.substr(7));
            if (found == view.entries.end()) {
                std::fprintf(stderr, "no entry %s\n", step.c_str() + 7);
                return 1;
            }
            view.click(form, static_cast<int>(found - view.entries.begin()));
        } else if (step.starts_with("set:") && step.size() > 5) {
            view.fields.at(static_cast<std::size_t>(step[4] - '0')) = step.substr(6);
        } else if (step.starts_with("search:")) {
            view.type(form, step.substr(7));
        } else if (step == "cmdAltas") {
            form.cmdAltas_Click();
        } else if (step == "cmdModificar") {
            form.cmdModificar_Click();
        } else if (step == "cmdBajas") {
            form.cmdBajas_Click();
        } else if (step == "cmdVerlista") {
            form.cmdVerlista_Click();
        } else if (step == "cmdLimpiar") {
            form.cmdLimpiar_Click();
        } else {
            std::fprintf(stderr, "unknown step %s\n", step.c_str());
            return 2;
        }
    }
    for (const std::string &message : view.messages)
        std::fprintf(stderr, "message: %s\n", message.c_str());
    return view.messages.empty() ? 0 : 1;
}
