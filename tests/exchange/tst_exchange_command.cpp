// vorteda-contactos: export and import give back the data file byte for byte; every bad
// input or use is refused with the file and line named and the data file untouched; an
// export never lands on the contacts, an import adds in one rewrite.
#include "tests/exchange/ExchangeTest.h"

using namespace contacts;
using namespace exchangetest;
namespace fs = std::filesystem;

// Random address books, every byte value in every field (the code page's five
// undefined bytes, line ends, quotes, separators, backslashes), through both formats;
// with files and folders named in scripts no code page holds at once.
TEST_CASE("export then import into an empty folder gives back the data file byte for byte, controls as spaces")
{
    RandomSortFiles files({}, 40);
    std::mt19937 random(7);
    const struct {
        std::u8string name, from, to;
    } places[] = {
        {u8"agenda.vcf", u8"vorteda", u8"vorteda"},
        {u8"agenda.csv", u8"vorteda", u8"vorteda"},
        {u8"Łódź.vcf", u8"Контакты", u8"連絡先"},
        {u8"連絡先.csv", u8"連絡先", u8"Контакты"},
    };
    for (const auto &place : places) {
        const fs::path name(place.name);
        for (int round = 0; round < 25; ++round) {
            std::string file = files.next();
            for (std::size_t at = 0; at < file.size(); at += kRecordSize) {
                // Scramble the other fields of half the records, keeping the serial.
                if (random() % 2)
                    for (std::size_t b = at + 8; b < at + kRecordSize; ++b)
                        if (b < at + kNombreOffset || b >= at + kNombreOffset + kNombreWidth)
                            file[b] = char(random() % 4 ? random() % 256 : ' ');
            }
            if (round == 0) {
                // One record of each byte at full width, leading spaces included.
                std::string all(kRecordSize * 3, ' ');
                for (std::size_t b = 0; b < all.size(); ++b)
                    all[b] = char(b % 256);
                all[0] = all[25] = ' ';
                file += all;
                // Rows that another separator, a stray quote or a formula could take
                // apart: each must come back as it was, above and below the others.
                const std::array<std::string, 5> rows[] = {
                    {"tel;tel;tel;tel;tel;tel;t", "tel;tel;tel;tel;tel;", "tel;tel;tel;tel;tel;", "tel;tel;tel;tel",
                     "mail;mail;mail;mail;mail"},
                    {"Apellido;Nombre;E-mail", "Nombre\tApellido", "\"Calle\" ;Mayor", "+1-1", "x;=cmd|' /C calc'!A0"},
                    {" =1+2", "@SUMA(A1) ", "a, -x;+34 600 1", "-(91) 555.12-34", "';=1,'@b, '''+c"},
                    {"\"", "'", ";", ",", "\"\"\""},
                };
                for (std::size_t r = 0; r < std::size(rows); ++r) {
                    std::string record(kRecordSize, ' ');
                    for (std::size_t f = 0; f < 5; ++f)
                        record.replace(kFieldOffsets[f], rows[r][f].size(), rows[r][f]);
                    file.insert(r % 2 ? file.size() : 0, record);
                }
            }
            CAPTURE(utf8(name));
            CAPTURE(round);
            TempFolder from{fs::path(place.from)};
            TempFolder to{fs::path(place.to)};
            writeBytes(from / kDataFileName, file);
            ContactFile(platform::systemFileSystem(), from.path()).sortAndList(); // the list load's order
            const std::string sorted = readBytes(from / kDataFileName);
            const std::string exported = utf8(from / name);
            REQUIRE(command({"exportar", exported, "--carpeta", utf8(from.path())}).status == 0);
            // No bare CR or LF inside a line or a cell, whatever bytes the data file holds.
            const std::string text = readBytes(from / name);
            for (std::size_t at = 0; at < text.size(); ++at) {
                if (text[at] == '\r' || text[at] == '\n')
                    REQUIRE(text.substr(at - (text[at] == '\n'), 2) == "\r\n");
            }
            const Run imported = command({"importar", exported, "--carpeta", utf8(to.path())});
            REQUIRE(imported.status == 0);
            CHECK(imported.out.find("Aviso") == std::string::npos);
            // Every byte from 0x20 up comes back; a control byte comes back as a space.
            std::string expected = sorted;
            for (char &c : expected)
                if (static_cast<unsigned char>(c) < 0x20)
                    c = ' ';
            CHECK(readBytes(to / kDataFileName) == swapSortLiterally(expected));
        }
    }
}

TEST_CASE("bad input is refused naming the file and line, and personas.dat is left as it was")
{
    struct Row {
        const char *name;
        // "\x01missing", "\x01" "folder": no file, or a folder in its place; "\x01" "held":
        // a good file, and another copy holding the folder's lock all along
        std::string text;
        std::string error;
    };
    const std::vector<Row> rows = {
        {"empty", "", ", línea 1: el archivo está vacío"},
        {"only the mark and blank lines", "﻿\r\n  \r\n", ", línea 1: el archivo está vacío"},
        {"neither format", "\r\nhola\r\n", ", línea 2: no es un archivo de contactos que Vorteda sepa leer. "
                                              "Vorteda lee contactos en vCard (.vcf), LDIF"},
        {"binary", std::string("\x89PNG\r\n\x1A\n\0\0", 10), ", línea 1: es una imagen, no un archivo de contactos"},
        {"the only card left open", "BEGIN:VCARD\r\nN:c;d\r\n", ", línea 1: BEGIN:VCARD sin END:VCARD"},
        {"every card left open, each before the next",
         "BEGIN:VCARD\r\nN:a;b\r\nBEGIN:VCARD\r\nN:c;d\r\n", ", línea 1: BEGIN:VCARD sin END:VCARD"},
        {"the only row's quote left open", "Apellido,Nombre\r\n\"C,D\r\n", ", línea 2: comillas sin cerrar"},
        {"a CSV whose columns name no contact field, listed with the names read",
         "Ciudad;Código postal\r\nLeón;24001\r\n",
         ", línea 1: ninguna columna de este CSV nombra el apellido, el nombre, el nombre completo ni la empresa. "
         "Vorteda lee contactos en vCard (.vcf), LDIF (.ldif, como los exportan Thunderbird y Evolution) y CSV (.csv) "
         "con una fila de títulos que nombra al menos el apellido, el nombre, el nombre completo o la empresa. "
         "Sus columnas: «Ciudad», «Código postal». Se leen, entre otras: Apellidos, Nombre"},
        {"a header and no rows", "﻿Nombre,Teléfono\r\n\r\n",
         ", línea 1: no hay ningún contacto debajo de la fila de títulos"},
        {"jCard", "[\"vcard\",[[\"version\",{},\"text\",\"4.0\"],[\"fn\",{},\"text\",\"Ana Gil\"],"
                  "[\"email\",{},\"text\",\"ana@example.com\"]]]\n",
         ", línea 1: es una jCard (vCard escrita en JSON), que Vorteda no lee"},
        {"xCard", "<?xml version=\"1.0\"?>\n<vcards xmlns=\"urn:ietf:params:xml:ns:vcard-4.0\"><vcard><fn><text>Ana"
                  "</text></fn><tel><uri>tel:+34600</uri></tel></vcard></vcards>\n",
         ", línea 1: es una xCard"},
        {"an e-mail message", "Return-Path: <a@example.com>\r\nFrom: Ana <a@example.com>\r\nTo: b@example.com\r\n"
                              "Subject: Mi telefono, mi mail\r\n\r\nNombre, telefono, mail: Ana, 600, a@example.com\r\n",
         ", línea 1: es un mensaje o un buzón de correo electrónico"},
        {"a web page", "<!DOCTYPE html>\n<html><body><table><tr><td>Nombre</td><td>Mail</td></tr></table></body></html>\n",
         ", línea 1: es una página web"},
        {"a workbook", std::string("PK\x03\x04\x14\0\0\0\x08\0", 10) + "[Content_Types].xml" + std::string(40, '\0'),
         ", línea 1: es un libro de hoja de cálculo (Excel o LibreOffice), no un archivo de contactos: ábralo en su "
         "programa y guárdelo como CSV"},
        {"a calendar", "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nEND:VCALENDAR\r\n", ", línea 1: es un calendario"},
        {"a plain list that names mail and phone in its lines", "Ana, mail ana@example.com, phone 600\n"
                                                               "Luis, mail luis@example.com, phone 601\n",
         ", línea 1: no es un archivo de contactos que Vorteda sepa leer"},
        {"a README", "# Vorteda\n\nEach contact has a surname, a given name, an address, a telephone and an e-mail.\n"
                     "Name, Phone, Email: the columns read.\n",
         ", línea 3: no es un archivo de contactos que Vorteda sepa leer"},
        {"a header whose rows do not split into its columns",
         "Nombre,Apellidos\r\nAna,Gil,600,a@example.com\r\nLuis,Paz,601,l@example.com\r\n",
         ", línea 1: las filas de este CSV no se reparten en las columnas de su fila de títulos"},
        {"LDIF with no person", "dn: cn=Amigos\nobjectclass: groupOfNames\ncn: Amigos\n",
         ", línea 1: no hay ninguna persona en este LDIF"},
#ifndef _WIN32
        {"a FIFO, refused before it is read", "\x01" "fifo", " no es un archivo sino una tubería (FIFO)"},
        {"a device that never ends", "\x01" "zero", "«/dev/zero» no es un archivo sino un dispositivo"},
#else
        {"a device", "\x01" "zero", "«NUL» no es un archivo sino un dispositivo"},
#endif
        {"missing", "\x01missing", ": no se puede abrir"},
#ifdef _WIN32
        // Read through the Windows file layer, which words the system's own number.
        {"missing, said in Spanish", "\x01missing", ": No se encuentra el archivo"},
#else
        {"missing, said in Spanish", "\x01missing", ": No existe el archivo o la carpeta"},
#endif
        {"a folder", "\x01" "folder", " es una carpeta"},
        // The file's own calls through the file layer, failed one at a time: the look
        // at what the path is, its open, its first read and the one 64 KiB on.
        {"the look at the file fails", "\x01" "call 1", ": no se puede abrir «"},
        {"the file's open fails", "\x01" "call 2", ": no se puede abrir «"},
        {"the file's first read fails", "\x01" "read 1", "no se pudo leer el archivo «"},
        {"the file's read 64 KiB on fails", "\x01" "read 2", "no se pudo leer el archivo «"},
        {"another copy holds the lock", "\x01" "held",
         "Otra copia de Vorteda está guardando cambios en este archivo: «"},
    };
    for (const Row &row : rows) {
        const std::string name = row.name;
        CAPTURE(name);
        TempFolder folder;
        const std::string before = recordBytes("R0", "Luis") + recordBytes("R1", "Ana") + "tail";
        writeBytes(folder / kDataFileName, before);
        std::string input = (folder / "entrada.vcf").string();
        std::optional<FileHandle> held;
        if (row.text == "\x01" "folder") {
            input = folder.path().string();
        } else if (row.text == "\x01" "zero") {
#ifdef _WIN32
            input = "NUL";
#else
            input = "/dev/zero";
#endif
#ifndef _WIN32
        } else if (row.text == "\x01" "fifo") {
            REQUIRE(::mkfifo(input.c_str(), 0600) == 0);
#endif
        } else if (row.text == "\x01" "held") {
            writeBytes(input, "BEGIN:VCARD\r\nN:a;b\r\nEND:VCARD\r\n");
            held = platform::systemFileSystem().lock(folder / kLockFileName);
        } else if (row.text != "\x01missing" && !row.text.starts_with("\x01")) {
            writeBytes(input, row.text);
        }
        FaultyFileSystem files;
        if (row.text.starts_with("\x01" "call ") || row.text.starts_with("\x01" "read ")) {
            std::string cards;
            while (cards.size() < (std::size_t(100) << 10))
                cards += "BEGIN:VCARD\r\nN:Ruiz;Eva\r\nEND:VCARD\r\n";
            writeBytes(input, cards);
            const std::uint64_t nth = std::stoull(row.text.substr(row.text.find(' ') + 1));
            std::uint64_t failAt = nth;
            if (row.text.starts_with("\x01" "read ")) {
                // Where the file's Nth read falls in a run that goes through.
                FaultyFileSystem clean;
                REQUIRE(command({"importar", input, "--prueba", "--carpeta", folder.path().string()}, clean).status == 0);
                std::uint64_t reads = 0;
                failAt = 0;
                for (std::size_t i = 0; i < clean.log().size() && failAt == 0; ++i)
                    if (clean.log()[i] == FileOp::Read && ++reads == nth)
                        failAt = i + 1;
                REQUIRE(failAt > 0);
            }
            files.failAt(failAt);
        }
        const Run run = command({"importar", input, "--carpeta", folder.path().string()}, files);
        if (held)
            platform::systemFileSystem().unlock(*held);
        CHECK(run.status == 1);
        CHECK(run.out.empty());
        CHECK(run.err.find(row.error) != std::string::npos);
        // The lock's words name the data file it guards.
        CHECK(run.err.find(held ? (folder / kDataFileName).string() : input) != std::string::npos);
        CHECK(readBytes(folder / kDataFileName) == before);
        CHECK(!fs::exists(folder / kTempFileName));
        if (!held)
            CHECK(run.err.find("; no se ha cambiado «") != std::string::npos);
    }
}

TEST_CASE("usage: exit 2 for what cannot run, 0 for help and version, nothing written")
{
    struct Row {
        std::vector<std::string> args;
        int status;
        std::string says;
    };
    const std::vector<Row> rows = {
        {{}, 2, "falta la orden"},
        {{"borrar", "x.vcf"}, 2, "orden desconocida"},
        {{"exportar"}, 2, "falta el ARCHIVO"},
        {{"exportar", "x.txt"}, 2, "no se sabe en qué formato"},
        {{"exportar", "-", "--formato", "xml"}, 2, "formato desconocido"},
        {{"exportar", "x.vcf", "--prueba"}, 2, "--prueba es solo para importar"},
        {{"importar", "x.vcf", "--formato", "csv"}, 2, "--formato es solo para exportar"},
        {{"importar", "x.vcf", "--rapido"}, 2, "opción desconocida"},
        {{"exportar", "x.vcf", "--duplicados"}, 2, "--duplicados es solo para importar"},
        // Through each system's file layer, in its own words for a missing folder.
        {{"exportar", "no-existe/agenda.vcf"}, 1,
#ifdef _WIN32
         "abrir el archivo «no-existe/agenda.vcf»: No se encuentra la ruta de acceso"},
#else
         "abrir el archivo «no-existe/agenda.vcf»: No existe el archivo o la carpeta"},
#endif
        // A mistyped folder has no contacts: not "0 exported".
        {{"exportar", "agenda.vcf", "--carpeta", "no-existe"}, 1, "la carpeta de contactos «no-existe» no existe"},
        {{"exportar", "-", "--formato", "csv", "--carpeta", "no-existe"}, 1, "la carpeta de contactos «no-existe» no existe"},
        {{"importar", "x.vcf", "--carpeta"}, 2, "falta el valor de --carpeta"},
        {{"exportar", "-", "--formato", "csv"}, 0, "﻿Apellido,Nombre,Dirección"},
        {{"--ayuda"}, 0, "Uso: vorteda-contactos exportar ARCHIVO"},
        {{"--help"}, 0, "Sin N, el FN da el nombre"},
        {{"--version"}, 0, "vorteda-contactos " + testversion::fileVersion()},
    };
    for (const Row &row : rows) {
        TempFolder folder;
        CAPTURE(row.says);
        std::vector<std::string> args = {"--carpeta", folder.path().string()};
        args.insert(args.end(), row.args.begin(), row.args.end());
        const Run run = command(args);
        CAPTURE(run.err);
        CHECK(run.status == row.status);
        CHECK((row.status == 0 ? run.out : run.err).find(row.says) != std::string::npos);
        CHECK(fs::is_empty(folder.path()));
    }
    // The help names the folder the build uses without --carpeta.
    for (const auto &[place, says] : {std::pair{exchange::ContactsPlace::BesideProgram, "(por omisión, la del programa)."},
#ifdef _WIN32
                                      std::pair{exchange::ContactsPlace::UserData, "(por omisión, %LOCALAPPDATA%\\Vorteda)."}
#else
                                      std::pair{exchange::ContactsPlace::UserData, "(por omisión, $XDG_DATA_HOME/vorteda, o ~/.local/share/vorteda)."}
#endif
         }) {
        std::ostringstream out;
        std::ostringstream err;
        CHECK(exchange::run({"--ayuda"}, out, err, platform::systemFileSystem(), [] { return std::filesystem::path(); },
                            place)
              == 0);
        CHECK(out.str().find(says) != std::string::npos);
    }
    // A data file that cannot be read leaves an older export as it was.
    TempFolder folder;
    fs::create_directory(folder / kDataFileName);
    writeBytes(folder / "agenda.vcf", "antes");
    CHECK(command({"exportar", (folder / "agenda.vcf").string(), "--carpeta", folder.path().string()}).status == 1);
    CHECK(readBytes(folder / "agenda.vcf") == "antes");
}

// The contacts are never a destination, wherever they really are and under whatever
// name they are reached; any other file is replaced only by a whole export, and a
// link stays a link.
TEST_CASE("an export never lands on the contacts, and replaces another file only whole")
{
    struct Row {
        const char *name;
        const char *destination; // under the test's folder
        const char *linkTo;      // made first: a symbolic link ("~" and a path: a hard link) to this
        bool refused;
    };
    const std::vector<Row> rows = {
        {"the data file", "datos/personas.dat", nullptr, true},
        {"its temporary file, not there", "datos/personas.tmp", nullptr, true},
        {"its lock", "datos/personas.lck", nullptr, true},
        {"a hard link of the data file", "otra/copia.csv", "~datos/personas.dat", true},
        {"a hard link of the lock", "otra/cerrojo.vcf", "~datos/personas.lck", true},
        {"a file of its own", "otra/agenda.csv", nullptr, false},
        {"the contacts' own folder, another name", "datos/agenda.vcf", nullptr, false},
#ifndef _WIN32
        {"the link that is the data file", "programa/personas.dat", nullptr, true},
        {"the temporary file beside the link", "programa/personas.tmp", nullptr, true},
        {"a link to the lock", "otra/enlace.csv", "../datos/personas.lck", true},
        {"a link to another file: written there, the link kept", "otra/enlace.csv", "agenda-real.csv", false},
#endif
    };
    for (const Row &row : rows) {
        const std::string name = row.name;
        CAPTURE(name);
        TempFolder root;
        fs::create_directories(root / "datos");
        fs::create_directories(root / "otra");
        const std::string contacts = recordBytes("R0", "Luis") + recordBytes("R1", "Ana");
        writeBytes(root / "datos" / kDataFileName, contacts);
        writeBytes(root / "datos" / kLockFileName, "");
        fs::path folder = root / "datos";
#ifndef _WIN32
        // personas.dat a link into another folder: its temporary file and lock are there.
        fs::create_directories(root / "programa");
        fs::create_symlink("../datos/personas.dat", root / "programa" / kDataFileName);
        folder = root / "programa";
#endif
        const fs::path destination = root / row.destination;
        if (row.linkTo && row.linkTo[0] == '~')
            fs::create_hard_link(root / (row.linkTo + 1), destination);
        else if (row.linkTo)
            fs::create_symlink(row.linkTo, destination);
        if (row.linkTo && row.linkTo[0] != '~' && !row.refused)
            writeBytes(destination.parent_path() / row.linkTo, "antes");
        if (!row.linkTo && !row.refused)
            writeBytes(destination, "antes");
        const std::string before = fs::exists(destination) ? readBytes(destination) : "";
        const Run run = command({"exportar", utf8(destination), "--formato", "csv", "--carpeta", utf8(folder)});
        CAPTURE(run.err);
        CHECK(readBytes(root / "datos" / kDataFileName) == contacts);
        CHECK(!fs::exists(root / "datos" / kTempFileName));
        if (row.refused) {
            CHECK(run.status == 1);
            CHECK(run.err.find("es el archivo donde Vorteda guarda los contactos") != std::string::npos);
            CHECK((fs::exists(destination) ? readBytes(destination) : "") == before);
        } else {
            CHECK(run.status == 0);
            CHECK(readBytes(destination).find("Luis") != std::string::npos);
            if (row.linkTo)
                CHECK(fs::is_symlink(destination));
        }
        // Nothing is left beside the destination but the destination.
        CHECK(!fs::exists(destination.parent_path() / ("." + destination.filename().string() + ".tmp")));
    }
}

TEST_CASE("an import adds in one rewrite and leaves the order a list load would give")
{
    RandomSortFiles files({}, 30);
    for (int round = 0; round < 40; ++round) {
        const std::string old = files.next();
        const std::string added = files.next();
        std::vector<Record> records;
        for (std::size_t at = 0; at + kRecordSize <= added.size(); at += kRecordSize)
            records.push_back(asRecord(added.substr(at, kRecordSize)));
        TempFolder folder;
        writeBytes(folder / kDataFileName, old);
        ContactFile(platform::systemFileSystem(), folder.path()).appendAll(records);
        CAPTURE(round);
        CHECK(readBytes(folder / kDataFileName) == swapSortLiterally(old + added));
    }
}
