// Times the contact file's list load and a selection, and the contacts window's
// search keystrokes and editing commands, on generated address books.
//
//   vorteda_bench [runs] [record counts...]     (default: 5 runs; 1000 32766 1000000)
//
// Each measured run happens in a child process of its own, so that its peak memory
// (VmHWM) is its own; the input file is restored before the clock starts.
#include "contacts/ContactFile.h"
#include "ui/ListBox.h"
#include "ui/Dialogs.h"
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
using ui::PersonasWidget;
namespace fs = std::filesystem;

namespace {

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

// Spanish given names and surnames in UTF-8; compound names are built from them.
const char *const kGiven[] = {
    "Adrián", "Agustín", "Alba", "Alberto", "Alejandra", "Alejandro", "Alicia", "Alfonso", "Almudena",
    "Álvaro", "Amparo", "Ana", "Andrés", "Ángel", "Ángela", "Antonia", "Antonio", "Aurora",
    "Beatriz", "Belén", "Benito", "Blanca", "Borja", "Bruno", "Carla", "Carlos", "Carmen", "Carolina",
    "Catalina", "Cecilia", "César", "Clara", "Concepción", "Cristina", "Cristian", "Daniel",
    "David", "Diana", "Diego", "Dolores", "Eduardo", "Elena", "Eloy", "Elisa", "Emilio", "Encarnación",
    "Enrique", "Esperanza", "Esteban", "Esther", "Eva", "Fernando", "Francisca", "Francisco", "Gabriel",
    "Gloria", "Gonzalo", "Guillermo", "Hugo", "Ignacio", "Inés", "Irene", "Isabel", "Ismael",
    "Íñigo", "Jaime", "Javier", "Jesús", "Joaquín", "Jorge", "Josefa", "Juan", "Juana",
    "Julia", "Julián", "Julio", "Laura", "Leonor", "Lorena", "Lorenzo", "Lucía", "Luis", "Luisa",
    "Manuel", "Manuela", "Marcos", "Margarita", "María", "Mariano", "Marina", "Mario", "Marta",
    "Martín", "Mercedes", "Miguel", "Milagros", "Mónica", "Natalia", "Nicolás", "Nieves",
    "Noelia", "Nuria", "Olga", "Óscar", "Pablo", "Paloma", "Patricia", "Paula", "Pedro", "Pilar", "Rafael",
    "Ramón", "Raquel", "Raúl", "Rebeca", "Ricardo", "Roberto", "Rocío", "Rodrigo", "Rosa",
    "Rosario", "Rubén", "Salvador", "Samuel", "Sandra", "Santiago", "Sara", "Sergio", "Silvia",
    "Sofía", "Sonia", "Susana", "Teresa", "Tomás", "Valentín", "Vanesa", "Vicente",
    "Víctor", "Virginia", "Yolanda",
};
const char *const kCompoundFirst[] = {"María", "José", "Juan", "Ana", "Luis", "Miguel"};
const char *const kSurnames[] = {
    "Alonso", "Álvarez", "Arias", "Blanco", "Bravo", "Caballero", "Calvo", "Campos", "Cano", "Carmona",
    "Castillo", "Castro", "Cortés", "Crespo", "Cruz", "Delgado", "Díaz", "Domínguez", "Durán",
    "Esteban", "Fernández", "Ferrer", "Flores", "Fuentes", "Gallego", "García", "Garrido",
    "Gil", "Giménez", "Gómez", "González", "Guerrero", "Gutiérrez", "Hernández",
    "Herrera", "Herrero", "Hidalgo", "Ibáñez", "Iglesias", "Jiménez", "León", "Lorenzo",
    "López", "Lozano", "Marín", "Márquez", "Martín", "Martínez", "Medina",
    "Méndez", "Molina", "Montero", "Mora", "Morales", "Moreno", "Muñoz", "Navarro", "Nieto",
    "Núñez", "Ortega", "Ortiz", "Pascual", "Pastor", "Peña", "Pérez", "Prieto",
    "Ramírez", "Ramos", "Reyes", "Rodríguez", "Román", "Romero", "Rubio", "Ruiz", "Saez",
    "Sánchez", "Santana", "Santiago", "Santos", "Sanz", "Serrano", "Soler", "Suárez", "Torres",
    "Vargas", "Vázquez", "Vega", "Vicente", "Vidal",
};
const char *const kStreets[] = {"Calle Mayor", "Av. de la Paz", "Calle Real", "Plaza España", "Calle Sol",
                                "Paseo del Prado", "Calle Luna", "Ronda Norte"};

template <std::size_t N>
const char *pick(const char *const (&list)[N], std::mt19937 &random)
{
    return list[random() % N];
}

Record randomRecord(std::mt19937 &random)
{
    Persona p;
    p.Apellido = std::string(pick(kSurnames, random)) + " " + pick(kSurnames, random);
    // About one in five has a compound given name ("María Luisa").
    p.Nombre = random() % 5 == 0 ? std::string(pick(kCompoundFirst, random)) + " " + pick(kGiven, random)
                                 : std::string(pick(kGiven, random));
    p.Direccion = std::string(pick(kStreets, random)) + " " + std::to_string(1 + random() % 120);
    p.Telefono = "6" + std::to_string(10000000 + random() % 90000000);
    p.Email = "contacto" + std::to_string(random() % 100000) + "@correo.es";
    return encode(p);
}

bool byNombre(const Record &a, const Record &b)
{
    return nombreLess(a.data() + kNombreOffset, b.data() + kNombreOffset);
}

// The input files, by kind.
using Generator = std::function<std::vector<Record>(std::size_t n, std::mt19937 &)>;

std::vector<Record> randomRecords(std::size_t n, std::mt19937 &random)
{
    std::vector<Record> records(n);
    for (auto &r : records)
        r = randomRecord(random);
    return records;
}

std::vector<Record> sortedRecords(std::size_t n, std::mt19937 &random)
{
    auto records = randomRecords(n, random);
    std::stable_sort(records.begin(), records.end(), byNombre);
    return records;
}

// A contact whose given name sorts after every generated one, with a surname that
// no other has: a search for it walks the whole list.
constexpr char kLastSurname[] = "Zzyzx";

std::vector<Record> sortedWithLast(std::size_t n, std::mt19937 &random)
{
    auto records = sortedRecords(n - 1, random);
    records.push_back(encode(Persona{kLastSurname, "ÿ", "", "", ""}));
    return records;
}

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
};

QPushButton *button(PersonasWidget &window, const char *name)
{
    return window.findChild<QPushButton *>(QString::fromLatin1(name));
}

QLineEdit *searchBox(PersonasWidget &window)
{
    return window.findChild<QLineEdit *>(QStringLiteral("txtBusqueda"));
}

const WindowCase kWindowCases[] = {
    {"search, last entry", [](PersonasWidget &w, std::size_t n) {
         searchBox(w)->setText(QString::fromLatin1(kLastSurname));
         return w.List1()->listIndex() == int(n) - 1 && w.Text1(0)->text() == QLatin1String(kLastSurname);
     }},
    {"search, no match", [](PersonasWidget &w, std::size_t) {
         searchBox(w)->setText(QStringLiteral("Qwertz"));
         return w.List1()->listIndex() == -1;
     }},
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
            const fs::path input = root / (std::string("input-") + c.input);
            const bool ok = report(n, c.name, runs, fileMiB, [&] {
                return measure(c.name, input, folder, [&]() -> std::function<bool()> {
                    auto file = std::make_shared<ContactFile>(platform::systemFileSystem(), folder);
                    return [file, &c, n] { return c.run(*file, n); };
                });
            });
            failures += ok ? 0 : 1;
        }
        for (const WindowCase &c : kWindowCases) {
            const fs::path input = root / "input-sorted, planted last";
            const bool ok = report(n, c.name, runs, fileMiB, [&] {
                return measure(c.name, input, folder, [&]() -> std::function<bool()> {
                    static int qtArgc = 1;
                    static char arg0[] = "vorteda_bench";
                    static char *qtArgv[] = {arg0, nullptr};
                    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
                    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
                    new QApplication(qtArgc, qtArgv); // lives until the child exits
                    auto services = std::make_shared<WindowServices>();
                    auto window = std::make_shared<PersonasWidget>(platform::systemFileSystem(), folder, services->messages,
                                                                services->dialogs, services->program);
                    // As a person meets it: shown, laid out and idle.
                    window->show();
                    QApplication::processEvents();
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
