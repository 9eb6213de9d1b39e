// Times the contact file's list load and a selection, and the contacts window's
// search keystrokes and editing commands, on generated address books.
//
//   vorteda_bench [--window] [--screen] [runs] [record counts...]
//                                               (default: 5 runs; 1000 32766 1000000)
//
// --window times only the contacts window, as vorteda_bench_win32 does Vorteda.exe's.
// --screen draws the window on the display Qt finds (an X server, say the one
// vorteda_bench_win32 draws in under Wine) rather than off the screen, so that each
// step's time includes putting its repaint on the screen, as it does on Windows.
//
// Each measured run happens in a child process of its own, so that its peak memory
// (VmHWM) is its own; the input file is restored before the clock starts.
#include "bench/AddressBook.h"
#include "contacts/ContactFile.h"
#include "ui/ListBox.h"
#include "ui/SystemDialogs.h"
#include "ui/MessageBox.h"
#include "contacts/Sort.h"
#include "forms/Program.h"
#include "platform/SystemFileSystem.h"
#include "ui/PersonasWidget.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace contacts;
using namespace bench;
using ui::PersonasWidget;
namespace fs = std::filesystem;

namespace {

bool g_onScreen = false;

// What the program gives the contacts window: its real message box, and a menu that
// the benchmark never uses.
struct WindowServices : forms::ProgramView {
    void openWindow(forms::Window) override {}
    void raiseWindow(forms::Window) override {}
    void closeWindows() override {}
    void endEventLoop() override {}
    void showMessage(const std::string &) override {}
    void importInMainWindow(const std::filesystem::path &) override {}

    ui::MessageBox messages;
    ui::SystemDialogs dialogs;
    forms::Program program{*this};
};

// The input files, by kind.
using Generator = std::function<std::vector<Record>(std::size_t n, std::mt19937 &)>;

const std::pair<const char *, Generator> kInputs[] = {
    {"sorted, planted last", sortedWithLast},
    {"sorted", sortedRecords},
    {"sorted+1", [](std::size_t n, std::mt19937 &random) {
         auto records = sortedRecords(n - 1, random);
         records.push_back(randomRecord(random));
         return records;
     }},
    {"random", randomRecords},
    {"reversed", [](std::size_t n, std::mt19937 &random) {
         auto records = sortedRecords(n, random);
         std::reverse(records.begin(), records.end());
         return records;
     }},
};

// What is timed on the restored data file. Returns false when the result is wrong.
using Operation = std::function<bool(ContactFile &, std::size_t n)>;

struct Case {
    const char *name;
    const char *input;
    Operation run;
};

const Case kCases[] = {
    {"list load, sorted", "sorted", [](ContactFile &f, std::size_t n) { return f.sortAndList().size() == n; }},
    {"list load, sorted+1", "sorted+1", [](ContactFile &f, std::size_t n) { return f.sortAndList().size() == n; }},
    {"list load, random", "random", [](ContactFile &f, std::size_t n) { return f.sortAndList().size() == n; }},
    {"list load, reversed", "reversed", [](ContactFile &f, std::size_t n) { return f.sortAndList().size() == n; }},
    {"selection near end", "random", [](ContactFile &f, std::size_t n) { return f.read(std::int64_t(n) - 2).has_value(); }},
};

// Window cases: the window is loaded and shown before the clock starts; each
// operation includes the list reload that ends it and the relayout that follows.
using WindowOperation = std::function<bool(PersonasWidget &, std::size_t n)>;

struct WindowCase {
    const char *name;
    WindowOperation run;
    // Before the clock, after the window is up (may be empty).
    std::function<void(PersonasWidget &)> prepare = {};
};

QPushButton *button(PersonasWidget &window, const char *name)
{
    return window.findChild<QPushButton *>(QString::fromLatin1(name));
}

QLineEdit *searchBox(PersonasWidget &window)
{
    return window.findChild<QLineEdit *>(QStringLiteral("txtBusqueda"));
}

// The surname of the eighth entry: typed into the search box, it is found near the top.
QString nearTop(PersonasWidget &w)
{
    return w.List1()->text(std::min(7, w.List1()->count() - 1));
}

// Types that surname into the search box; true when its contact is shown.
bool findNearTop(PersonasWidget &w, std::size_t)
{
    const QString wanted = nearTop(w);
    searchBox(w)->setText(wanted);
    return w.List1()->listIndex() >= 0 && w.List1()->listIndex() <= 7 && w.Text1(0)->text() == wanted;
}

const WindowCase kWindowCases[] = {
    {"search, keystroke", findNearTop},
    {"search, emptied", [](PersonasWidget &w, std::size_t) {
         searchBox(w)->setText(QString());
         return w.List1()->listIndex() == 0;
     }, [](PersonasWidget &w) { searchBox(w)->setText(nearTop(w)); }},
    {"search, last entry", [](PersonasWidget &w, std::size_t n) {
         searchBox(w)->setText(QString::fromLatin1(kLastSurname));
         return w.List1()->listIndex() == int(n) - 1 && w.Text1(0)->text() == QLatin1String(kLastSurname);
     }},
    {"search, no match", [](PersonasWidget &w, std::size_t) {
         searchBox(w)->setText(QStringLiteral("Qwertz"));
         return w.List1()->listIndex() == -1;
     }},
    // One more letter of a surname being typed: the contact found often stays.
    {"search, next letter", findNearTop, [](PersonasWidget &w) { searchBox(w)->setText(nearTop(w).chopped(1)); }},
    {"add", [](PersonasWidget &w, std::size_t n) {
         w.Text1(0)->setText(QStringLiteral("Nuevo"));
         w.Text1(1)->setText(QStringLiteral("María"));
         button(w, "cmdAltas")->click();
         return w.List1()->count() == int(n) + 1;
     }},
    {"delete", [](PersonasWidget &w, std::size_t n) {
         w.List1()->setListIndex(int(n) / 2);
         button(w, "cmdBajas")->click();
         return w.List1()->count() == int(n) - 1;
     }},
    {"modify", [](PersonasWidget &w, std::size_t n) {
         w.List1()->setListIndex(int(n) / 2);
         w.Text1(1)->setText(QStringLiteral("Aaron"));
         button(w, "cmdModificar")->click();
         return w.List1()->count() == int(n) && w.List1()->text(0) != QString();
     }},
};

void writeFile(const fs::path &path, const std::vector<Record> &records)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(records.data()), std::streamsize(records.size() * kRecordSize));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

long peakKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return -1;
}

void syncFile(const fs::path &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

struct Sample {
    double seconds = 0;
    long peak = 0;  // KiB
    int ok = 0;
};

// One run in a child process: restore the input, prepare, then time `timed` alone.
Sample measure(const char *name, const fs::path &input, const fs::path &folder,
               const std::function<std::function<bool()>()> &prepare)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        throw std::runtime_error("pipe");
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        Sample s;
        fs::remove(folder / kTempFileName);
        fs::copy_file(input, folder / kDataFileName, fs::copy_options::overwrite_existing);
        syncFile(folder / kDataFileName);
        const std::function<bool()> timed = prepare();
        const auto start = std::chrono::steady_clock::now();
        s.ok = timed() ? 1 : 0;
        s.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        s.peak = peakKiB();
        const ssize_t written = ::write(pipeFds[1], &s, sizeof s);
        ::_exit(written == sizeof s ? 0 : 1);
    }
    ::close(pipeFds[1]);
    Sample s;
    const bool got = ::read(pipeFds[0], &s, sizeof s) == sizeof s;
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!got || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error(std::string("run failed: ") + name);
    return s;
}

// Runs one case `runs` times and prints its row; returns false on a wrong result.
bool report(std::size_t n, const char *name, int runs, double fileMiB, const std::function<Sample()> &once)
{
    std::vector<Sample> samples;
    for (int r = 0; r < runs; ++r)
        samples.push_back(once());
    std::sort(samples.begin(), samples.end(), [](const Sample &a, const Sample &b) { return a.seconds < b.seconds; });
    long peak = 0;
    bool ok = true;
    for (const Sample &s : samples) {
        peak = std::max(peak, s.peak);
        ok = ok && s.ok;
    }
    const double median = runs % 2 ? samples[runs / 2].seconds
                                   : (samples[runs / 2 - 1].seconds + samples[runs / 2].seconds) / 2;
    std::printf("%9zu  %-22s %10.6f %10.6f %10.6f %9.1f %9.1f %6.2f%s\n", n, name, median,
                samples.front().seconds, samples.back().seconds, peak / 1024.0, fileMiB,
                peak / 1024.0 / fileMiB, ok ? "" : "  WRONG RESULT");
    std::fflush(stdout);
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    // "--window" first: the contacts window's cases only.
    const bool windowOnly = argc > 1 && std::strcmp(argv[1], "--window") == 0;
    if (windowOnly) {
        --argc;
        ++argv;
    }
    g_onScreen = argc > 1 && std::strcmp(argv[1], "--screen") == 0;
    if (g_onScreen) {
        --argc;
        ++argv;
    }
    int runs = argc > 1 ? std::atoi(argv[1]) : 5;
    std::vector<std::size_t> sizes;
    for (int a = 2; a < argc; ++a)
        sizes.push_back(std::strtoull(argv[a], nullptr, 10));
    if (sizes.empty())
        sizes = {1000, 32766, 1000000};
    runs = std::max(runs, 1);

    const char *tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/vorteda-bench-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path root = pattern;
    const fs::path folder = root / "data";
    fs::create_directory(folder);

    std::printf("%d runs per case; median, fastest and slowest seconds; peak memory of the run\n\n", runs);
    std::printf("%9s  %-22s %10s %10s %10s %9s %9s %6s\n", "records", "case", "median s", "min s", "max s",
                "peak MiB", "file MiB", "peak/file");
    std::fflush(stdout); // before the children, which would print it again
    int failures = 0;
    for (std::size_t n : sizes) {
        // Inputs are made in a child too, so the parent stays small and its pages
        // do not count in the children's peaks.
        if (const pid_t child = ::fork(); child == 0) {
            std::mt19937 random{static_cast<unsigned>(n)};
            for (const auto &[kind, generate] : kInputs)
                writeFile(root / (std::string("input-") + kind), generate(n, random));
            ::_exit(0);
        } else {
            int status = 0;
            ::waitpid(child, &status, 0);
        }
        const double fileMiB = double(n * kRecordSize) / (1 << 20);
        for (const Case &c : kCases) {
            if (windowOnly)
                break;
            const fs::path input = root / (std::string("input-") + c.input);
            const bool ok = report(n, c.name, runs, fileMiB, [&] {
                return measure(c.name, input, folder, [&]() -> std::function<bool()> {
                    auto file = std::make_shared<ContactFile>(platform::systemFileSystem(), folder);
                    return [file, &c, n] { return c.run(*file, n); };
                });
            });
            failures += ok ? 0 : 1;
        }
        const fs::path windowInput = root / "input-sorted, planted last";
        const auto startQt = [] {
            static int qtArgc = 1;
            static char arg0[] = "vorteda_bench";
            static char *qtArgv[] = {arg0, nullptr};
            if (!g_onScreen)
                ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
            qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
            new QApplication(qtArgc, qtArgv); // lives until the child exits
        };
        // The contacts window made, loaded (its list load included) and shown, until idle.
        failures += report(n, "window load", runs, fileMiB, [&] {
            return measure("window load", windowInput, folder, [&]() -> std::function<bool()> {
                startQt();
                return [&folder, n] {
                    auto services = std::make_shared<WindowServices>();
                    PersonasWidget window(platform::systemFileSystem(), folder, services->messages, services->dialogs,
                                          services->program);
                    window.show();
                    QApplication::processEvents();
                    return window.List1()->count() == int(n);
                };
            });
        }) ? 0 : 1;
        for (const WindowCase &c : kWindowCases) {
            const bool ok = report(n, c.name, runs, fileMiB, [&] {
                return measure(c.name, windowInput, folder, [&]() -> std::function<bool()> {
                    startQt();
                    auto services = std::make_shared<WindowServices>();
                    auto window = std::make_shared<PersonasWidget>(platform::systemFileSystem(), folder, services->messages,
                                                                services->dialogs, services->program);
                    // As a person meets it: shown, laid out and idle.
                    window->show();
                    QApplication::processEvents();
                    if (c.prepare) {
                        c.prepare(*window);
                        QApplication::processEvents();
                    }
                    return [services, window, &c, n] {
                        const bool ran = c.run(*window, n);
                        QApplication::processEvents(); // the relayout a reload leaves pending
                        return ran;
                    };
                });
            });
            failures += ok ? 0 : 1;
        }
    }
    fs::remove_all(root);
    return failures == 0 ? 0 : 1;
}
