// The splash (its hand-over, the key that ended it) and the About window.
#include <doctest/doctest.h>

#include "tests/forms/FormsSupport.h"

TEST_CASE("the splash shows the version and hands over once, after closing")
{
    for (const bool byKey : {false, true}) {
        CAPTURE(byKey);
        FakeProgramView toolkit;
        forms::Program program(toolkit);
        toolkit.program = &program;
        program.windowOpened(forms::Window::Splash);
        FakeSplashView view;
        forms::frmSplash splash(view, program);
        splash.Form_Load();
        CHECK(view.version == "Version " + testversion::full());
        CHECK(view.timer == 1500);
        const auto handler = [&](auto step) {
            program.run([&] {
                step();
                if (view.closes > 0 && program.isOpen(forms::Window::Splash))
                    program.windowClosed(forms::Window::Splash); // what the view's close reports
            });
        };
        if (byKey)
            handler([&] { splash.Form_KeyPress('a'); });
        else
            handler([&] { splash.Timer1_Timer(); });
        handler([&] { splash.Form_KeyPress('b'); });
        handler([&] { splash.Timer1_Timer(); });
        CHECK(toolkit.opened == std::vector<forms::Window>{forms::Window::Personas});
        CHECK(view.closes == 1);
        CHECK(view.timer == 0);
        // Between the splash's close and the main window's show no window was open,
        // yet the program went on.
        CHECK(toolkit.loopEnds == 0);
        // The key that ended the splash is kept from the main window: its repeats
        // and its release, until another key is pressed.
        CHECK(program.swallowsKey('a', forms::KeyEvent::Repeat, 700) == byKey);
        CHECK(program.swallowsKey('b', forms::KeyEvent::Release, 720) == false);
        CHECK(program.swallowsKey('a', forms::KeyEvent::Release, 740) == byKey);
        CHECK(program.swallowsKey('a', forms::KeyEvent::Release, 760) == false);
    }
}

// The key that ended the splash, held down on, as the main window's toolkit reports
// it. X11 repeats it as a release and a press with one server time; Qt marks them as
// a repeat only when the press is already queued behind the release, which on a busy
// machine it is not. Qt also shows each press twice (its shortcut check first).
TEST_CASE("a key held through the splash never reaches the main window")
{
    using forms::KeyEvent;
    struct Step {
        int key;
        KeyEvent event;
        std::uint32_t time; // the window system's, in milliseconds
        bool swallowed;
    };
    const struct {
        const char *name;
        std::vector<Step> steps;
    } rows[] = {
        {"repeats marked as such, then let go",
         {{'x', KeyEvent::Repeat, 660, true}, {'x', KeyEvent::Repeat, 660, true}, {'x', KeyEvent::Repeat, 700, true},
          {'x', KeyEvent::Release, 900, true}, {'b', KeyEvent::Press, 1500, false}}},
        {"busy machine: each repeat an unmarked release and press at one time",
         {{'x', KeyEvent::Release, 660, true}, {'x', KeyEvent::Press, 660, true}, {'x', KeyEvent::Press, 660, true},
          {'x', KeyEvent::Release, 700, true}, {'x', KeyEvent::Press, 700, true}, {'x', KeyEvent::Press, 700, true},
          {'x', KeyEvent::Release, 740, true}, {'x', KeyEvent::Repeat, 740, true}, {'x', KeyEvent::Release, 900, true},
          {'x', KeyEvent::Press, 1400, false}, {'x', KeyEvent::Press, 1400, false}}},
        {"marked and unmarked repeats mixed",
         {{'x', KeyEvent::Repeat, 660, true}, {'x', KeyEvent::Release, 700, true}, {'x', KeyEvent::Press, 700, true},
          {'x', KeyEvent::Repeat, 740, true}, {'x', KeyEvent::Release, 780, true}, {'x', KeyEvent::Press, 781, true}}},
        {"let go, then pressed again: typed", {{'x', KeyEvent::Release, 120, true}, {'x', KeyEvent::Press, 300, false},
                                               {'x', KeyEvent::Press, 300, false}, {'x', KeyEvent::Repeat, 960, false}}},
        {"another key while it is held: both typed",
         {{'x', KeyEvent::Repeat, 660, true}, {'c', KeyEvent::Press, 680, false}, {'x', KeyEvent::Repeat, 700, false}}},
        {"another key's release changes nothing",
         {{'c', KeyEvent::Release, 100, false}, {'x', KeyEvent::Release, 660, true}, {'x', KeyEvent::Press, 660, true}}},
        {"a second release without a press in between",
         {{'x', KeyEvent::Release, 120, true}, {'x', KeyEvent::Release, 200, false}, {'x', KeyEvent::Press, 200, false}}},
        {"the times wrap", {{'x', KeyEvent::Release, 0xFFFFFFF0u, true}, {'x', KeyEvent::Press, 4, true},
                            {'x', KeyEvent::Release, 30, true}, {'x', KeyEvent::Press, 20, false}}},
    };
    for (const auto &row : rows) {
        const std::string name = row.name;
        CAPTURE(name);
        FakeProgramView toolkit;
        forms::Program program(toolkit);
        toolkit.program = &program;
        program.keepKeyFromMainWindow('x');
        program.handOver();
        for (std::size_t i = 0; i < row.steps.size(); ++i) {
            CAPTURE(i);
            const Step &step = row.steps[i];
            CHECK(program.swallowsKey(step.key, step.event, step.time) == step.swallowed);
        }
    }
}

namespace {

class RecordingLauncher : public platform::Launcher {
public:
    bool isOrdinaryFile(const std::string &) override { return false; }
    void start(const std::string &commandLine, int) override
    {
        started.push_back(commandLine);
        if (commandLine.empty())
            throw std::runtime_error("nothing to start");
    }
    std::vector<std::string> started;
};

} // namespace

TEST_CASE("the About window: version, OK, and System Info")
{
    platform::TableRegistry registry;
    RecordingLauncher launcher;
    FakeAboutView view;
    forms::frmAbout about(view, registry, launcher);
    about.Form_Load();
    CHECK(view.version == "Versión " + testversion::majorMinor());

    about.cmdSysInfo_Click();
    CHECK(view.messages == std::vector<std::string>{platform::kSysInfoUnavailable});
    CHECK(view.closes == 0);

    registry.setString(platform::kHKeyLocalMachine, platform::kMsinfoKey, platform::kMsinfoPathValue, "C:\\msinfo32.exe");
    about.cmdSysInfo_Click();
    CHECK(launcher.started == std::vector<std::string>{"C:\\msinfo32.exe"});
    CHECK(view.messages.size() == 1);

    about.cmdOK_Click();
    CHECK(view.closes == 1);
}
