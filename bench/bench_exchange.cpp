// Times vorteda-contactos on a generated address book: export to vCard and CSV, and
// import of each into an empty folder, which must give the data file back.
//
//   vorteda_bench_exchange [record count]     (default: 1000000)
//
// Each command runs in a child process of its own, so that its peak memory is its
// own; the figure is set against the size of the data file.
#include "contacts/ContactFile.h"
#include "platform/SystemFileSystem.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>
#include <string>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace contacts;
namespace fs = std::filesystem;

namespace {

const char *const kGiven[] = {"Adrián", "Ángela", "Beatriz", "Carlos", "Concepción", "Dolores",
                              "Encarnación", "Francisco", "Inés", "Íñigo", "Jesús",
                              "María José", "Nicolás", "Óscar", "Rocío", "Víctor"};
const char *const kSurnames[] = {"Álvarez", "Domínguez", "Fernández", "García", "Ibáñez",
                                 "Martínez", "Muñoz", "Núñez", "Pérez", "Rodríguez"};

template <std::size_t N>
const char *pick(const char *const (&list)[N], std::mt19937 &random)
{
    return list[random() % N];
}

std::string readAll(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Runs `argv` in a child with its report going nowhere (its errors show); its
// wall-clock and processor seconds (the machine may be shared), peak memory in KiB
// and exit status.
void runChild(char **argv, double &seconds, double &cpu, long &peakKiB, int &status)
{
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        if (!freopen("/dev/null", "w", stdout))
            _exit(126);
        execv(argv[0], argv);
        _exit(127);
    }
    rusage usage{};
    wait4(child, &status, 0, &usage);
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    peakKiB = usage.ru_maxrss;
    cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs the command through a fresh copy of this program (`--run`), so that the
// peak measured is the command's own: a child forked from here would count this
// process's memory (the data and the files it made) until its exec.
bool timed(const std::vector<std::string> &args, double &seconds, double &cpu, long &peakKiB)
{
    std::fflush(nullptr);
    const std::string result = fs::temp_directory_path() / ("vorteda-bench-run-" + std::to_string(getpid()));
    std::vector<std::string> all = {"/proc/self/exe", "--run", result, VORTEDA_CONTACTOS};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (std::string &arg : all)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t runner = 0;
    if (posix_spawn(&runner, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return false;
    int status = 0;
    waitpid(runner, &status, 0);
    std::ifstream in(result);
    int exit = -1;
    in >> seconds >> cpu >> peakKiB >> exit;
    fs::remove(result);
    return bool(in) && exit == 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 3 && std::string(argv[1]) == "--run") {
        double seconds = 0;
        double cpu = 0;
        long peak = 0;
        int status = 0;
        runChild(argv + 3, seconds, cpu, peak, status);
        std::ofstream(argv[2]) << seconds << " " << cpu << " " << peak << " "
                               << (WIFEXITED(status) ? WEXITSTATUS(status) : 128) << "\n";
        return 0;
    }
    const std::size_t count = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1000000;
    const fs::path root = fs::temp_directory_path() / ("vorteda-bench-exchange-" + std::to_string(getpid()));
    fs::create_directories(root / "from");

    // Fields close to full width, accents in most: the worst a real book gives.
    std::mt19937 random(2024);
    {
        std::string file;
        file.reserve(count * kRecordSize);
        for (std::size_t i = 0; i < count; ++i) {
            Persona p;
            p.Apellido = std::string(pick(kSurnames, random)) + " " + pick(kSurnames, random);
            p.Nombre = pick(kGiven, random);
            p.Direccion = "Calle Mayor " + std::to_string(1 + random() % 200) + ", 3º B";
            p.Telefono = "+34 6" + std::to_string(10000000 + random() % 90000000);
            // Each one different: the import leaves out a contact already there.
            p.Email = "contacto" + std::to_string(i) + "@correo.es";
            const Record record = encode(p);
            file.append(record.data(), record.size());
        }
        std::ofstream(root / "from" / kDataFileName, std::ios::binary) << file;
    }
    // As a list load leaves it.
    ContactFile(platform::systemFileSystem(), root / "from").sortAndList();
    const std::string data = readAll(root / "from" / kDataFileName);
    const double dataMiB = double(data.size()) / (1024 * 1024);

    std::printf("%zu contacts, data file %.1f MiB\n", count, dataMiB);
    std::printf("%-16s %8s %8s %10s %8s %4s\n", "command", "seconds", "cpu s", "peak MiB", "x data", "ok");
    bool allOk = true;
    for (const char *format : {"vcf", "csv"}) {
        const fs::path exported = root / (std::string("agenda.") + format);
        const fs::path to = root / (std::string("to-") + format);
        fs::create_directories(to);
        double seconds = 0;
        double cpu = 0;
        long peak = 0;
        bool ok = timed({"exportar", exported.string(), "--carpeta", (root / "from").string()}, seconds, cpu, peak);
        std::printf("%-16s %8.2f %8.2f %10.1f %8.2f %4s   (%.1f MiB written)\n", (std::string("exportar ") + format).c_str(),
                    seconds, cpu, peak / 1024.0, peak / 1024.0 / dataMiB, ok ? "yes" : "NO",
                    double(fs::file_size(exported)) / (1024 * 1024));
        allOk = allOk && ok;
        ok = timed({"importar", exported.string(), "--carpeta", to.string()}, seconds, cpu, peak)
            && readAll(to / kDataFileName) == data;
        std::printf("%-16s %8.2f %8.2f %10.1f %8.2f %4s\n", (std::string("importar ") + format).c_str(), seconds, cpu,
                    peak / 1024.0, peak / 1024.0 / dataMiB, ok ? "yes" : "NO");
        allOk = allOk && ok;
    }

    // Hostile shapes: each must read in a few seconds at most and in memory a small
    // multiple of the file; the import may refuse them (what is timed is the reading).
    std::printf("\n%-34s %8s %8s %10s %8s %6s\n", "hostile file", "seconds", "cpu s", "peak MiB", "file MiB", "exit");
    const std::size_t mb = std::size_t(1) << 20;
    std::string folds = "BEGIN:VCARD\r\nTEL:1\r\nNOTE;ENCODING=QUOTED-PRINTABLE:a=\r\n";
    while (folds.size() < mb)
        folds += "x=\r\n";
    folds += "END:VCARD\r\n";
    std::string spaces = "BEGIN:VCARD\r\nTEL:1\r\nNOTE:a\r\n";
    while (spaces.size() < mb)
        spaces += " b\r\n";
    spaces += "END:VCARD\r\n";
    std::string quotes = "Apellido,Nombre\r\n";
    while (quotes.size() < mb)
        quotes += "\"Gil,Ana\r\nPaz\r\n";
    std::string open = "Apellido,Nombre\r\n\"Gil,Ana\r\n";
    while (open.size() < mb)
        open += "Paz,Luis\r\n";
    const struct {
        const char *name;
        std::string text;
    } hostile[] = {
        {"1 MB of quoted-printable folds", std::move(folds)},
        {"1 MB of folded lines", std::move(spaces)},
        {"1 MB of rows opening quotes", std::move(quotes)},
        {"1 MB under one unclosed quote", std::move(open)},
        {"64 MB without a line break", "Apellido,Nombre\r\n" + std::string(64 * mb, 'x')},
        {"64 MB of CRs", "Apellido,Nombre\r" + std::string(64 * mb, '\r') + "Gil,Ana\r"},
    };
    fs::create_directories(root / "hostile");
    for (const auto &shape : hostile) {
        const fs::path file = root / "hostile" / "entrada.txt";
        std::ofstream(file, std::ios::binary) << shape.text;
        double seconds = 0;
        double cpu = 0;
        long peak = 0;
        const bool ok = timed({"importar", file.string(), "--carpeta", (root / "hostile").string(), "--prueba"},
                              seconds, cpu, peak);
        std::printf("%-34s %8.2f %8.2f %10.1f %8.1f %6s\n", shape.name, seconds, cpu, peak / 1024.0,
                    double(shape.text.size()) / mb, ok ? "0" : "1");
    }
    fs::remove_all(root);
    return allOk ? 0 : 1;
}
