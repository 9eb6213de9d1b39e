// vorteda-contactos: export and import give back the data file byte for byte;
// vCards and CSV files as phones, mail and spreadsheet programs write them are read
// as their formats say; whatever is not kept whole is reported; every bad input is
// refused with the file and line named and the data file untouched.
#include <doctest/doctest.h>

#include "contacts/ContactFile.h"
#include "contacts/Cp1252.h"
#include "exchange/Command.h"
#include "exchange/Import.h"
#include "exchange/Report.h"
#include "exchange/Text.h"
#include "platform/SystemFileSystem.h"
#include "tests/support/VersionTexts.h"
#include "tests/support/SwapSortOracle.h"
#include "tests/support/RecordFiles.h"
#include "tests/support/TempFolder.h"

#include <optional>
#include <sstream>

#ifndef _WIN32
#include <sys/stat.h>
#endif

using namespace contacts;
namespace fs = std::filesystem;

namespace {

using testfiles::TempFolder;

struct Run {
    int status;
    std::string out;
    std::string err;
};

Run command(std::vector<std::string> args)
{
    std::ostringstream out;
    std::ostringstream err;
    const int status = exchange::run(args, out, err, platform::systemFileSystem(), [] {
        FAIL("the default folder was asked for");
        return std::filesystem::path();
    });
    return {status, out.str(), err.str()};
}

// The stored records as "Apellido|Nombre|Dirección|Teléfono|E-mail", trimmed, in UTF-8.
std::vector<std::string> shown(const std::vector<Record> &records)
{
    std::vector<std::string> rows;
    for (const Record &record : records) {
        std::string row;
        for (std::size_t f = 0; f < 5; ++f) {
            const std::string_view text(record.data() + kFieldOffsets[f], kFieldWidths[f]);
            if (f > 0)
                row += '|';
            row += decodeCp1252(trimSpaces(text));
        }
        rows.push_back(row);
    }
    return rows;
}

std::string joined(const std::vector<std::string> &rows)
{
    std::string text;
    for (const std::string &row : rows)
        text += row + "\n";
    return text;
}

std::string skippedText(const exchange::Skipped &skipped)
{
    std::string text;
    for (const auto &[name, count] : skipped)
        text += name + "=" + std::to_string(count) + " ";
    return text;
}

// A path as the command takes it, UTF-8, on Windows too (where string() would give
// the ANSI code page).
std::string utf8(const fs::path &path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

exchange::ImportResult readText(const std::string &text)
{
    std::istringstream in(text);
    return exchange::readContacts(in);
}

} // namespace

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
            CHECK(readBytes(to / kDataFileName) == exchangeSortLiterally(expected));
        }
    }
}

TEST_CASE("vCard 3.0 as written: CRLF, folded at 75 octets without splitting a character, escaped")
{
    const Persona p{"Muñoz; Ibáñez", "Ña,\\b\nc\r", "", "+34 600", ""};
    std::string out;
    exchange::writeVCard(p, out);
    CHECK(out.rfind("BEGIN:VCARD\r\nVERSION:3.0\r\nN:Muñoz\\; Ibáñez;", 0) == 0);
    CHECK(out.find("\\,\\\\b c ;;;\r\n") != std::string::npos); // a control byte is written as a space
    CHECK(out.find("ADR") == std::string::npos);
    CHECK(out.find("EMAIL") == std::string::npos);
    // HOME: abook keeps only a home number, python3-vobject and phones any.
    CHECK(out.find("TEL;TYPE=HOME,VOICE:+34 600\r\n") != std::string::npos);

    // A long line of two-byte characters folds at 75 octets or just before.
    std::string longLine;
    exchange::writeVCard({std::string(60, 'x'), "", "", "", std::string(40, 'a') + "ééé"}, longLine);
    std::istringstream lines(longLine);
    std::string line;
    while (std::getline(lines, line)) {
        REQUIRE(line.back() == '\r');
        CHECK(line.size() - 1 <= 75);
        CHECK((static_cast<unsigned char>(line[0]) & 0xC0) != 0x80);
        CHECK(exchange::isValidUtf8(line));
    }
}

TEST_CASE("vCards as phones and mail programs write them")
{
    struct Row {
        const char *name;
        std::string text;
        std::vector<std::string> contacts;
        std::string skipped;
    };
    const std::vector<Row> rows = {
        {"2.1: quoted-printable with soft breaks and CHARSET, 2.1 parameters, PREF",
         "BEGIN:VCARD\r\nVERSION:2.1\r\n"
         "N;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:=C1lvarez;Jos=E9;Luis;;\r\n"
         "FN;CHARSET=UTF-8;QUOTED-PRINTABLE:Jos=C3=A9 Luis =C3=81lvarez\r\n"
         "TEL;HOME;VOICE:911111111\r\nTEL;CELL;PREF:600000000\r\n"
         "ADR;HOME;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:;;Calle de la Ca=C3=B1ada=\r\n"
         " 3;Le=C3=B3n;;;\r\n"
         "PHOTO;ENCODING=BASE64;TYPE=JPEG:/9j/4AAQ\r\n SkZJRg\r\n\r\n"
         "END:VCARD\r\n",
         {"Álvarez|José Luis|Calle de la Cañada 3|600000000|"},
         "PHOTO=1 TEL=1 "},
        {"3.0: folded, escaped, TYPE lists with pref, groups, lower case, only a locality",
         "begin:vcard\nversion:3.0\nn:García;Ana\\, María;;Dra.;\nfn:Ana María García\n"
         "item1.EMAIL;type=INTERNET:ana@tra\n bajo.es\nitem2.EMAIL;type=INTERNET,pref:ana@casa.es\n"
         "item2.X-ABLabel:casa\nADR;TYPE=work:;;;Sevilla;;41001;\nORG:Acme\\, S.A.;Ventas\nEND:VCARD\n",
         {"García|Ana, María|Sevilla||ana@casa.es"},
         "EMAIL=1 ORG=1 X-ABLABEL=1 "},
        {"4.0: PREF numbers, tel: URIs, quoted parameters, FN alone, several cards",
         "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:María José Ruiz\r\n"
         "TEL;VALUE=uri;PREF=2;TYPE=\"voice,home\":tel:+34-911-222-333\r\n"
         "TEL;VALUE=uri;PREF=1;TYPE=cell:tel:+34-600-111-222;ext=5\r\n"
         "EMAIL;PREF=1:mj@ruiz.es\r\nUID:urn:uuid:1\r\nEND:VCARD\r\n"
         "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Cher\r\nEND:VCARD\r\n",
         {"José Ruiz|María||+34-600-111-222|mj@ruiz.es", "Cher||||"},
         "TEL=1 UID=1 "},
        {"2.1 in Windows-1252 with no CHARSET, as old desktop programs write it",
         "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Pe\xF1" "a;In\xE9s\r\nEMAIL;PREF;INTERNET:ines@pe\xF1" "a.es\r\nEND:VCARD\r\n",
         {"Peña|Inés|||ines@peña.es"},
         ""},
        {"folded inside a UTF-8 character; a Windows-1252 card beside a UTF-8 one",
         "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Mu\xC3\r\n \xB1oz;José\r\nEND:VCARD\r\n"
         "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Pe\xF1" "a;In\xE9s\r\nEND:VCARD\r\n",
         {"Muñoz|José|||", "Peña|Inés|||"},
         ""},
        {"old devices' habits: comments, \\r\\r\\n ends, a line without ':', a value over '\\' ends; \\n in ADR",
         "# exported\r\r\nBEGIN:VCARD\r\r\nVERSION:2.1\r\r\nN:Gil;Ana\r\nMaría\r\r\n"
         "ADR;HOME:;;Calle Mayor 1\\\r\nBajo;León;;;\r\n# note\r\nTEL;CELL:600\r\r\nEMAIL:a@b.es\r\r\nEND:VCARD\r\r\n"
         "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Sanz;Eva\r\nADR:;;Plaza 2\\nPiso 3\\n;;;;\r\nEND:VCARD\r\n",
         {"Gil|Ana María|Calle Mayor 1, Bajo|600|a@b.es", "Sanz|Eva|Plaza 2, Piso 3||"},
         ""},
    };
    for (const Row &row : rows) {
        const std::string name = row.name;
        CAPTURE(name);
        const exchange::ImportResult result = readText(row.text);
        CHECK(result.format == exchange::Format::VCard);
        CHECK(joined(shown(result.records)) == joined(row.contacts));
        CHECK(skippedText(result.skipped) == row.skipped);
        CHECK(result.report.empty());
    }
}

TEST_CASE("CSV with ',' or ';', with or without the mark, UTF-8 or Windows-1252")
{
    struct Row {
        const char *name;
        std::string text;
        std::vector<std::string> contacts;
        std::string skipped;
    };
    const std::vector<Row> rows = {
        {"as exported: mark, ',', CRLF, quotes around separators, quotes and line ends",
         "﻿Apellido,Nombre,Dirección,Teléfono,E-mail\r\n"
         "\"Soto, Jr.\",\"Di \"\"Pepe\"\"\",\"Calle 1\r\nBajo\",555,\r\n,,,,\r\n",
         {"Soto, Jr.|Di \"Pepe\"|Calle 1, Bajo|555|", "||||"},
         ""},
        {"a Spanish spreadsheet: ';', no mark, other column order, an extra column, no last line end",
         "Nombre;Apellidos;Empresa;Correo electrónico;Telefono\n\nLuis;Gil;Acme;l@g.es;91\nEva;Sanz;;;", 
         {"Gil|Luis||91|l@g.es", "Sanz|Eva|||"},
         "Empresa=1 "},
        {"Windows-1252 with ';'",
         "Apellido;Nombre;Direcci\xF3n\r\nN\xFA\xF1" "ez;\x80" "ngel;Plaza Espa\xF1" "a\r\n",
         {"Núñez|€ngel|Plaza España||"},
         ""},
    };
    for (const Row &row : rows) {
        const std::string name = row.name;
        CAPTURE(name);
        const exchange::ImportResult result = readText(row.text);
        CHECK(result.format == exchange::Format::Csv);
        CHECK(joined(shown(result.records)) == joined(row.contacts));
        CHECK(skippedText(result.skipped) == row.skipped);
    }
}

TEST_CASE("every contact not stored whole is reported: line, name, field, what was stored")
{
    const std::string text =
        "Apellido,Nombre,Dirección,Teléfono,E-mail\r\n"
        "Ruiz,Ana,Calle Mayor 1,91,a@b.es\r\n"                                                  // whole
        "Ruiz,Ana     ,Avenida de la Constitución 1,91,a@b.es\r\n"                          // a cut
        "Łukasz,Jürgen ☃,,,\r\n"                                       // two "?"
        "Sol,Ana,,+34 600 000 000 ext 1,№ mail\r\n"                                    // cut and "?"
        "Paz,Ana                        ,,,\r\n"                                              // only padding goes
        "\x1B[2JRojo,\r\xC2\x81" "Ana,,,☃\r\n";                                        // no control reaches the terminal
    const exchange::ImportResult result = readText(text);
    const std::vector<std::string> expected = {
        "línea 3, «Ana Ruiz»: Dirección guardada como «Avenida de la Consti» "
        "(cortada a 20 caracteres)",
        "línea 4, «Jürgen ☃ Łukasz»: Apellido guardado como «?ukasz» "
        "(«?» en lugar de caracteres que Windows-1252 no tiene); Nombre guardado como «Jürgen ?» "
        "(«?» en lugar de caracteres que Windows-1252 no tiene)",
        "línea 5, «Ana Sol»: Teléfono guardado como «+34 600 000 000» "
        "(cortado a 15 caracteres); E-mail guardado como «? mail» "
        "(«?» en lugar de caracteres que Windows-1252 no tiene)",
        "línea 7, «��Ana �[2JRojo»: E-mail guardado como «?» "
        "(«?» en lugar de caracteres que Windows-1252 no tiene)",
    };
    CHECK(result.report == expected);
    REQUIRE(result.records.size() == 6);
    CHECK(std::string(result.records[3].data() + 65, 15) == "+34 600 000 000");

    // The command prints the same lines and a summary.
    TempFolder folder;
    writeBytes(folder / "c.csv", text);
    const Run run = command({"importar", (folder / "c.csv").string(), "--carpeta", folder.path().string()});
    CHECK(run.status == 0);
    for (const std::string &line : expected)
        CHECK(run.out.find("Aviso: " + line + "\n") != std::string::npos);
    CHECK(run.out.find("6 contactos añadidos") != std::string::npos);
    CHECK(readBytes(folder / kDataFileName).size() == 6 * kRecordSize);
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
        } else if (row.text != "\x01missing") {
            writeBytes(input, row.text);
        }
        const Run run = command({"importar", input, "--carpeta", folder.path().string()});
        if (held)
            platform::systemFileSystem().unlock(*held);
        CHECK(run.status == 1);
        CHECK(run.out.empty());
        CHECK(run.err.find(row.error) != std::string::npos);
        // The lock's words name the data file it guards.
        CHECK(run.err.find(held ? (folder / kDataFileName).string() : input) != std::string::npos);
        CHECK(readBytes(folder / kDataFileName) == before);
        CHECK(!fs::exists(folder / kTempFileName));
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
        CHECK(readBytes(folder / kDataFileName) == exchangeSortLiterally(old + added));
    }
}

TEST_CASE("UTF-8 is told apart however the file is cut into pieces")
{
    for (const std::string &text : {std::string("añb€c😀"),
                                   std::string("a\xC3\xB1\xE2\x82" "b"), std::string("\xF1" "a\xE9\xE2\x82"),
                                   std::string("x\xF0\x9F\x98")}) {
        const bool whole = exchange::isValidUtf8(text);
        for (std::size_t a = 0; a <= text.size(); ++a) {
            for (std::size_t b = a; b <= text.size(); ++b) {
                exchange::Utf8Check check;
                check.add(std::string_view(text).substr(0, a));
                check.add(std::string_view(text).substr(a, b - a));
                check.add(std::string_view(text).substr(b));
                CHECK(check.finish() == whole);
            }
        }
    }
}

namespace {

// A spreadsheet's "Unicode text": UTF-16 little-endian with its mark.
std::string utf16le(const std::string &utf8)
{
    std::string out = "\xFF\xFE";
    std::size_t pos = 0;
    char32_t ch = 0;
    while (pos < utf8.size()) {
        contacts::nextUtf8(utf8, pos, ch);
        out += char(ch & 0xFF);
        out += char(ch >> 8);
    }
    return out;
}

// The data file's contacts as shown(), in sorted order.
std::vector<std::string> storedRows(const fs::path &folder)
{
    const std::string bytes = readBytes(folder / kDataFileName);
    std::vector<Record> records;
    for (std::size_t at = 0; at + kRecordSize <= bytes.size(); at += kRecordSize)
        records.push_back(asRecord(bytes.substr(at, kRecordSize)));
    std::vector<std::string> rows = shown(records);
    std::sort(rows.begin(), rows.end());
    return rows;
}

} // namespace

// Header rows written from the exporters' published column lists; the people are made up.
TEST_CASE("CSV files as address books and spreadsheets export them: one rule for the five fields")
{
    struct Row {
        const char *name;
        std::string text;
        std::vector<std::string> contacts;
        std::string skipped;
    };
    const std::vector<Row> rows = {
        {"Outlook, UTF-8 with its mark: mobile before home, home street lines joined",
         "﻿First Name,Middle Name,Last Name,Title,E-mail Address,E-mail Type,E-mail Display Name,Home Phone,"
         "Business Phone,Mobile Phone,Company,Business Street,Business City,Home Street,Home Street 2,Home City,"
         "Home Postal Code\r\n"
         "Ana,María,Gil,,ana@gil.es,SMTP,Ana Gil (ana@gil.es),911 111 111,,600 111 222,Acme,Calle Ancha 9,Madrid,"
         "Calle Mayor 1,2º B,León,24001\r\n",
         {"Gil|Ana María|Calle Mayor 1, 2º B|600 111 222|ana@gil.es"},
         "Business City=1 Business Street=1 Company=1 Home City=1 Home Phone=1 Home Postal Code=1 "},
        {"Outlook in Spanish, Windows-1252: no home street, so the work street; the work telephone",
         "Tratamiento,Nombre,Segundo nombre,Apellidos,Organizaci\xF3n,Calle del trabajo,Calle del trabajo 2,"
         "Ciudad de trabajo,Calle del domicilio,Tel\xE9" "fono del trabajo,Particular,M\xF3vil,"
         "Direcci\xF3n de correo electr\xF3nico,Tipo de correo electr\xF3nico,Mostrar nombre de correo electr\xF3nico\r\n"
         ",\xCD\xF1igo,,N\xFA\xF1" "ez,,Pol\xEDgono 3,Nave 2,Burgos,,947 000 000,,,inigo@nunez.es,SMTP,\xCD\xF1igo\r\n",
         {"Núñez|Íñigo|Polígono 3, Nave 2|947 000 000|inigo@nunez.es"},
         "Ciudad de trabajo=1 "},
        {"Google Contacts today: labelled groups, the Mobile one chosen, street and extended address",
         "First Name,Middle Name,Last Name,Phonetic First Name,Name Prefix,Nickname,File As,Organization Name,Labels,"
         "E-mail 1 - Label,E-mail 1 - Value,E-mail 2 - Label,E-mail 2 - Value,Phone 1 - Label,Phone 1 - Value,"
         "Phone 2 - Label,Phone 2 - Value,Address 1 - Label,Address 1 - Formatted,Address 1 - Street,Address 1 - City,"
         "Address 1 - PO Box,Address 1 - Postal Code,Address 1 - Extended Address\n"
         "Ana,,Gil,,,,Ana Gil,,* myContacts,* Home,ana@casa.es,Work,ana@work.es,Work,912 222 222,Mobile,600 222 333,"
         "Home,\"Calle Sol 5\n3º A\nMadrid\",Calle Sol 5,Madrid,,28001,3º A\n",
         {"Gil|Ana|Calle Sol 5, 3º A|600 222 333|ana@casa.es"},
         "Address 1 - City=1 Address 1 - Formatted=1 Address 1 - Postal Code=1 E-mail 2 - Value=1 Phone 1 - Value=1 "},
        {"Google Contacts before: Given and Family Name, several numbers in a cell, a work address",
         "Name,Given Name,Additional Name,Family Name,Yomi Name,Nickname,Birthday,Notes,Group Membership,"
         "E-mail 1 - Type,E-mail 1 - Value,Phone 1 - Type,Phone 1 - Value,Address 1 - Type,Address 1 - Street,"
         "Address 1 - City\n"
         "Luis Pardo,Luis,,Pardo,,,,,* My Contacts,* Other,luis@pardo.es,Home,915 555 555 ::: 600 555 555,Work,"
         "Gran Vía 1,Madrid\n",
         {"Pardo|Luis|Gran Vía 1|915 555 555|luis@pardo.es"},
         "Address 1 - City=1 Phone 1 - Value=1 "},
        {"Thunderbird: a display name alone, the work telephone and address, the trailing comma",
         "First Name,Last Name,Display Name,Nickname,Primary Email,Secondary Email,Screen Name,Work Phone,Home Phone,"
         "Fax Number,Pager Number,Mobile Number,Home Address,Home Address 2,Home City,Work Address,Work Address 2,"
         "Work City,Notes,\r\n"
         ",,Cher,,cher@x.es,,,933 333 333,,,,,,,,Av. Diagonal 1,,Barcelona,,\r\n",
         {"Cher||Av. Diagonal 1|933 333 333|cher@x.es"},
         "Work City=1 "},
        {"Yahoo: telephones named Home, Work, Mobile",
         "First,Middle,Last,Nickname,Email,Category,Distribution Lists,Yahoo! ID,Home,Work,Pager,Fax,Mobile,Other,"
         "Yahoo! Phone,Primary,Alternate Email 1,Company,Work Address,Work City,Home Address,Home City,Comments\r\n"
         "Eva,,Sanz,,eva@sanz.es,Amigos,,,916 666 666,,,,600 666 777,,,,,,,,Calle Luna 7,Getafe,\r\n",
         {"Sanz|Eva|Calle Luna 7|600 666 777|eva@sanz.es"},
         "Home=1 Home City=1 "},
        {"Apple's Contacts through a Mac exporter: sorts after a colon",
         "First name,Last name,Organization,Phone : home,Phone : mobile,Email : work,Street : home,City : home\r\n"
         "Rosa,Vega,,917 777 777,600 777 777,rosa@vega.es,Paseo 4,Toledo\r\n",
         {"Vega|Rosa|Paseo 4|600 777 777|rosa@vega.es"},
         "City : home=1 Phone : home=1 "},
        {"a Spanish sheet: a title row and blank rows above the header, ';', capitals, no accents or accents",
         "Agenda de la asociación;;;;\r\n;;;;\r\n\r\n"
         "APELLIDOS;NOMBRE;TELÉFONO MÓVIL;DOMICILIO;E-MAIL\r\nRuiz;Pablo;600 888 888;C/ Real 3;p@r.es\r\n",
         {"Ruiz|Pablo|C/ Real 3|600 888 888|p@r.es"},
         ""},
        {"a sheet saved as Unicode text: UTF-16 with its mark, tabs",
         utf16le("Nombre\tApellidos\tMóvil\tDirección\tCorreo electrónico\r\n"
                 "Jesús\tOrtíz\t600 999 999\tRonda 8\tj@o.es\r\n"),
         {"Ortíz|Jesús|Ronda 8|600 999 999|j@o.es"},
         ""},
        {"UTF-8 with one Windows-1252 row, \\r\\r\\n ends, the apostrophe a formula was written after",
         "Apellido,Nombre,Dirección,Teléfono,E-mail\r\r\n"
         "Peña,José,Dirección 1,'+1 (x),'=2+3\r\r\n"
         "Pe\xF1" "a,Jos\xE9,Direcci\xF3n 2,+34 600,'hola\r\r\n",
         {"Peña|José|Dirección 1|+1 (x)|=2+3", "Peña|José|Dirección 2|+34 600|'hola"},
         ""},
    };
    for (const Row &row : rows) {
        const std::string name = row.name;
        CAPTURE(name);
        const exchange::ImportResult result = readText(row.text);
        CHECK(result.format == exchange::Format::Csv);
        CHECK(joined(shown(result.records)) == joined(row.contacts));
        CHECK(skippedText(result.skipped) == row.skipped);
        CHECK(result.problems.empty());
    }
}

TEST_CASE("a file partly unreadable: the good contacts are added, each bad part named with its line")
{
    struct Row {
        const char *name;
        std::string text;
        std::string warning; // "" for none
        std::vector<std::string> stored;
    };
    const std::vector<Row> rows = {
        {"BEGIN without END at the end", "BEGIN:VCARD\r\nN:a;b\r\nEND:VCARD\r\nBEGIN:VCARD\r\nN:c;d\r\n",
         "Aviso: línea 4: BEGIN:VCARD sin END:VCARD; se omite esta vCard.\n", {"a|b|||"}},
        {"BEGIN without END before the next", "BEGIN:VCARD\r\nN:a;b\r\nBEGIN:VCARD\r\nN:c;d\r\nEND:VCARD\r\n",
         "Aviso: línea 1: BEGIN:VCARD sin END:VCARD; se omite esta vCard.\n", {"c|d|||"}},
        {"text between cards", "BEGIN:VCARD\r\nN:x;y\r\nEND:VCARD\r\nN:a;b\r\nmás\r\nBEGIN:VCARD\r\nN:c;d\r\nEND:VCARD\r\n",
         "Aviso: línea 4: se esperaba BEGIN:VCARD; se omite el texto hasta la siguiente vCard.\n", {"c|d|||", "x|y|||"}},
        {"a line without ':' goes on with the value before it", "BEGIN:VCARD\r\nN:a;b\r\nsin dos puntos\r\nEND:VCARD\r\n",
         "", {"a|b sin dos puntos|||"}},
        {"a row's quote left open", "Apellido,Nombre\r\nA,B\r\n\"C,D\r\nE,F\r\n",
         "Aviso: línea 3: comillas sin cerrar; se omite esta fila.\n", {"A|B|||", "E|F|||"}},
    };
    for (const Row &row : rows) {
        const std::string name = row.name;
        CAPTURE(name);
        TempFolder folder;
        writeBytes(folder / "entrada.txt", row.text);
        const Run run = command({"importar", (folder / "entrada.txt").string(), "--carpeta", folder.path().string()});
        CAPTURE(run.err);
        CHECK(run.status == 0);
        CHECK((row.warning.empty() ? run.out.find("Aviso") == std::string::npos : run.out.rfind(row.warning, 0) == 0));
        CHECK(run.out.find(row.warning.empty() ? "" : "Se omitió 1 parte del archivo que no se pudo leer") != std::string::npos);
        CHECK(storedRows(folder.path()) == row.stored);
    }
}

TEST_CASE("an import adds no contact already there or earlier in the file, unless asked; the rewrite checks again")
{
    TempFolder folder;
    const std::string dir = folder.path().string();
    // The third card is the first again once cut to the surname's 25 characters.
    writeBytes(folder / "a.vcf", "BEGIN:VCARD\r\nN:Abad Abad Abad Abad Abad A;Ana\r\nEND:VCARD\r\n"
                                 "BEGIN:VCARD\r\nN:Bravo;Blas\r\nTEL:1\r\nEND:VCARD\r\n"
                                 "BEGIN:VCARD\r\nN:Abad Abad Abad Abad Abad Abad;Ana\r\nEND:VCARD\r\n");
    const std::string file = (folder / "a.vcf").string();
    Run run = command({"importar", file, "--carpeta", dir});
    CHECK(run.out.find("\n2 contactos añadidos (vCard") != std::string::npos);
    CHECK(run.out.find("\n1 contacto ya estaba (en personas.dat o antes en el mismo archivo) y no se ha añadido otra vez") != std::string::npos);
    const std::string once = readBytes(folder / kDataFileName);
    CHECK(once.size() == 2 * kRecordSize);

    run = command({"importar", file, "--carpeta", dir, "--prueba"});
    CHECK(run.out.find("Prueba: se añadirían 0 contactos") != std::string::npos);
    run = command({"importar", file, "--carpeta", dir});
    CHECK(run.status == 0);
    CHECK(run.out.find("\n0 contactos añadidos") != std::string::npos);
    CHECK(run.out.find("3 contactos ya estaban") != std::string::npos);
    CHECK(readBytes(folder / kDataFileName) == once);
    run = command({"importar", file, "--carpeta", dir, "--duplicados"});
    CHECK(run.out.find("\n3 contactos añadidos") != std::string::npos);
    CHECK(readBytes(folder / kDataFileName).size() == 5 * kRecordSize);

    // The window adds one of them between the preview and the import's rewrite.
    TempFolder other;
    ContactFile contacts(platform::systemFileSystem(), other.path());
    contacts.append({"Bravo", "Blas", "", "", ""});
    // Large enough for the preview to report its progress, in bytes read.
    std::string text = "Apellido,Nombre\r\nBravo,Blas\r\nCano,Carla\r\nDiaz,Dora\r\n";
    for (int i = 0; i < 100000; ++i)
        text += "Bravo,Blas\r\n";
    std::istringstream in(text);
    std::vector<std::uint64_t> progress;
    exchange::Preview preview = exchange::previewImport(in, contacts, false, [&](std::uint64_t bytes) { progress.push_back(bytes); });
    CHECK(preview.read.records.size() == 2);
    CHECK(preview.duplicates == 100001);
    REQUIRE(!progress.empty());
    CHECK(std::is_sorted(progress.begin(), progress.end()));
    CHECK(progress.back() <= text.size());
    contacts.append({"Cano", "Carla", "", "", ""});
    const exchange::Committed done = exchange::commitImport(std::move(preview), contacts, false);
    CHECK(done.added == 1);
    CHECK(done.duplicates == 100002);
    CHECK(storedRows(other.path()) == std::vector<std::string>{"Bravo|Blas|||", "Cano|Carla|||", "Diaz|Dora|||"});
}

TEST_CASE("a CSV cell a spreadsheet would run is written after an apostrophe, and read back as it was")
{
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"=1+2", "'=1+2"},
        {"@SUMA(A1)", "'@SUMA(A1)"},
        {"+34 600 111 222", "+34 600 111 222"},
        {"-(91) 555.12-34", "'-(91) 555.12-34"},
        {"+1-1", "'+1-1"},
        {"+", "'+"},
        {"a; =1", "\"a;' =1\""},
        {"x;=cmd|' /C calc'!A0", "\"x;'=cmd|' /C calc'!A0\""},
        {"a, @b,c;-1", "\"a,' @b,c;-1\""},
        {"tel;tel;tel;tel", "\"tel;tel;tel;tel\""},
        {"''=a;'x", "\"'''=a;'x\""},
        {"+1 ext 2", "'+1 ext 2"},
        {"-x", "'-x"},
        {"'=a", "''=a"},
        {"'hola", "'hola"},
        {"=\"a,b\"", "\"'=\"\"a,b\"\"\""},
    };
    for (const auto &[text, cell] : rows) {
        CAPTURE(text);
        std::string out;
        exchange::writeCsvHeader(out);
        exchange::writeCsvRow({text, "", "", "", text}, out);
        CHECK(out.find("\r\n" + cell + ",,,," + cell + "\r\n") != std::string::npos);
        const exchange::ImportResult result = readText(out);
        REQUIRE(result.records.size() == 1);
        CHECK(shown(result.records)[0] == text + "||||" + text);
    }
}

// "Cancelar" is a throw from the progress: it must be heard every 64 KiB of the file,
// whatever the reader is doing with them, go through, and stop the reading at once.
TEST_CASE("the reading of a file to import is told of every 64 KiB and stops when the progress throws")
{
    struct Stop {};
    TempFolder folder;
    ContactFile contacts(platform::systemFileSystem(), folder.path());
    struct Row {
        const char *name;
        std::string piece; // repeated to 3 MiB
    };
    const std::vector<Row> rows = {
        {"vCards", "BEGIN:VCARD\r\nN:Ruiz;Eva\r\nEND:VCARD\r\n"},
        {"CSV rows", "Ruiz,Eva,,,\r\n"},
        {"one quote never closed", "\"Ruiz,Eva\r\n"},
    };
    for (const Row &row : rows) {
        CAPTURE(std::string(row.name));
        std::string text = row.piece.starts_with("BEGIN") ? "" : "Apellido,Nombre,Dirección,Teléfono,E-mail\r\n";
        while (text.size() < (std::size_t(3) << 20))
            text += row.piece;
        writeBytes(folder / "entrada", text);
        for (const std::uint64_t stopAt : {std::uint64_t(0), std::uint64_t(1) << 20}) {
            std::vector<std::uint64_t> told;
            bool stopped = false;
            std::size_t afterStop = 0;
            try {
                exchange::previewFile(folder / "entrada", "entrada", contacts, false,
                                      [&](std::uint64_t bytes, std::uint64_t size) {
                                          CHECK(size == text.size());
                                          if (stopped)
                                              ++afterStop;
                                          told.push_back(bytes);
                                          if (stopAt > 0 && bytes >= stopAt) {
                                              stopped = true;
                                              throw Stop();
                                          }
                                      });
            } catch (const Stop &) {
                CHECK(stopped);
            }
            CHECK(afterStop == 0);
            REQUIRE(!told.empty());
            CHECK(std::is_sorted(told.begin(), told.end()));
            for (std::size_t i = 1; i < told.size(); ++i)
                CHECK(told[i] - told[i - 1] <= std::uint64_t(64) << 10);
            if (stopAt > 0)
                CHECK(told.back() < stopAt + (std::uint64_t(64) << 10));
            else
                CHECK(told.back() + (std::uint64_t(64) << 10) >= text.size());
        }
    }
}

// One row per shape, each written here from the exporter's published format or
// examples, with made-up people; the record each must give was written before the
// row was run. Beside them, the shapes of files that are not contacts.
TEST_CASE("files as more programs export them: LDIF, phones, CRMs, Mac sheets; one rule for the five fields")
{
    struct Row {
        const char *name;
        std::string text;
        exchange::Format format;
        std::vector<std::string> contacts;
        std::string skipped;   // "*": not checked
        std::string reportHas; // a piece of the report, or ""
        std::string encoding;
    };
    using F = exchange::Format;
    const std::vector<Row> rows = {
        {"Thunderbird LDIF: base64 values, a fold inside a character, a comment, a mailing list; mobile before work",
         "version: 1\n"
         "dn: cn=Pilar Vega,mail=pilar.vega@example.org\nobjectclass: top\nobjectclass: person\n"
         "objectclass: inetOrgPerson\nobjectclass: mozillaAbPersonAlpha\ngivenName: Pilar\nsn: Vega\n"
         "cn: Pilar Vega\nmail: pilar.vega@example.org\nmodifytimestamp: 0\ntelephoneNumber: 915 550 101\n"
         "mobile: 600 550 102\nmozillaHomeStreet: Calle del Pez 4\nmozillaHomeLocalityName: Madrid\n"
         "mozillaHomePostalCode: 28004\no: Ediciones Vega\n\n"
         "dn:: Y249Sm9zw6kgTXXDsW96LG1haWw9am9zZUBleGFtcGxlLm9yZw==\nobjectclass: person\n"
         "givenName:: Sm9zw6k=\nsn:: TXXDsW96\ncn:: Sm9zw6kgTXXDsW96\nmail: jose@example.org\n"
         "street: Av. Estaci\xC3\n \xB3n 12\ntelephoneNumber: 933 000 111\n\n"
         "# a mailing list\ndn: cn=Amigos\nobjectclass: top\nobjectclass: groupOfNames\ncn: Amigos\n"
         "member: cn=Pilar Vega,mail=pilar.vega@example.org\n",
         F::Ldif,
         {"Vega|Pilar|Calle del Pez 4|600 550 102|pilar.vega@example.org",
          "Muñoz|José|Av. Estación 12|933 000 111|jose@example.org"},
         "(no personas)=1 l=1 mozillahomepostalcode=1 o=1 telephonenumber=1 ", "", ""},
        {"Evolution vCard 3.0: a work fax listed first is not the number to call",
         "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:pas-id-5F1A2B3C00000001\r\nX-EVOLUTION-FILE-AS:Ortega\\, Luis\r\n"
         "FN:Luis Ortega\r\nN:Ortega;Luis;;;\r\nTEL;TYPE=WORK;TYPE=FAX:914 440 001\r\n"
         "TEL;TYPE=WORK;TYPE=VOICE;X-EVOLUTION-UI-SLOT=1:914 440 002\r\n"
         "EMAIL;TYPE=WORK;X-EVOLUTION-UI-SLOT=1:luis.ortega@example.com\r\n"
         "ADR;TYPE=WORK:;;Calle Alcalá 20;Madrid;;28014;España\r\nLABEL;TYPE=WORK:Calle Alcalá 20\\n28014 Madrid\r\n"
         "REV:2024-03-01T10:00:00Z\r\nEND:VCARD\r\n",
         F::VCard,
         {"Ortega|Luis|Calle Alcalá 20|914 440 002|luis.ortega@example.com"},
         "LABEL=1 REV=1 TEL=1 UID=1 X-EVOLUTION-FILE-AS=1 ", "", ""},
        {"Apple Contacts vCard 3.0: a company's card and a name alone get a surname, said in the report",
         "BEGIN:VCARD\r\nVERSION:3.0\r\nPRODID:-//Apple Inc.//macOS 14.0//EN\r\nN:;;;;\r\nFN:Talleres Ruiz\r\n"
         "ORG:Talleres Ruiz;\r\nitem1.TEL;type=pref:957 100 200\r\nitem1.X-ABLabel:Taller\r\nX-ABShowAs:COMPANY\r\n"
         "END:VCARD\r\nBEGIN:VCARD\r\nVERSION:3.0\r\nPRODID:-//Apple Inc.//macOS 14.0//EN\r\nN:;Mamá;;;\r\n"
         "FN:Mamá\r\nTEL;type=CELL;type=VOICE;type=pref:600 100 200\r\nEND:VCARD\r\n",
         F::VCard,
         {"Talleres Ruiz|||957 100 200|", "Mamá|||600 100 200|"},
         "PRODID=2 X-ABLABEL=1 ", "«Mamá»: no tenía apellido; se guarda como apellido su nombre completo", ""},
        {"Android vCard 2.1: quoted-printable UTF-8, a given name alone, the mobile though listed second",
         "BEGIN:VCARD\r\nVERSION:2.1\r\n"
         "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:;=41=62=75=65=6C=61=20=43=61=72=6D=65=6E;;;\r\n"
         "FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=41=62=75=65=6C=61=20=43=61=72=6D=65=6E\r\n"
         "TEL;HOME:957 200 300\r\nTEL;CELL:600 200 300\r\nEMAIL;HOME:carmen@example.net\r\n"
         "ADR;HOME;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:;;Calle Cruz 9;C=C3=B3rdoba;;;\r\nEND:VCARD\r\n"
         "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:Rold=C3=A1n;Marta;;;\r\n"
         "TEL;X-Casa:957 300 400\r\nEND:VCARD\r\n",
         F::VCard,
         {"Abuela Carmen||Calle Cruz 9|600 200 300|carmen@example.net", "Roldán|Marta||957 300 400|"},
         "TEL=1 ", "", ""},
        {"Outlook CSV from an Exchange mailbox: the SMTP address in E-mail 2, not the X.500 one; E-mail 3 alone; "
         "a phone that fits without its spaces",
         "First Name,Middle Name,Last Name,Company,Business Phone,Mobile Phone,Primary Phone,Business Fax,"
         "E-mail Address,E-mail Type,E-mail Display Name,E-mail 2 Address,E-mail 2 Type,E-mail 3 Address,"
         "E-mail 3 Type,Business Street\r\n"
         "Iván,,Soler,Soler SL,+34 911 22 33 44,+34 655 44 33 22,,+34 911 22 33 45,"
         "/o=ExchangeLabs/ou=Exchange Administrative Group (FYDIBOHF23SPDLT)/cn=Recipients/cn=ivan,EX,"
         "Iván Soler,ivan.soler@example.es,SMTP,,,Calle Sol 3\r\n"
         "Nuria,,Gil,,,,913 000 000,,,,,,,nuria@example.es,SMTP,\r\n",
         F::Csv,
         {"Soler|Iván|Calle Sol 3|+34655443322|ivan.soler@example.es", "Gil|Nuria||913 000 000|nuria@example.es"},
         "Business Fax=1 Business Phone=1 Company=1 E-mail Address=1 ", "", ""},
        {"Google Contacts CSV: several e-mails in one cell, a work fax after which a home number comes",
         "First Name,Last Name,E-mail 1 - Label,E-mail 1 - Value,Phone 1 - Label,Phone 1 - Value,Phone 2 - Label,"
         "Phone 2 - Value\n"
         "Pilar,Vega,* Other,pilar.vega@gmail.com ::: pvega@example.com,Work Fax,910 000 001,Home,910 000 002\n",
         F::Csv,
         {"Vega|Pilar||910 000 002|pilar.vega@gmail.com"},
         "E-mail 1 - Value=1 Phone 1 - Value=1 ", "", ""},
        {"Zoho CRM CSV: \"Email Opt Out\" is no e-mail, the secondary one is",
         "Record Id,Contact Owner,Salutation,First Name,Last Name,Account Name,Email,Secondary Email,Email Opt Out,"
         "Phone,Mobile,Home Phone,Other Phone,Fax,Mailing Street,Mailing City,Mailing Zip,Description\r\n"
         "zcrm_1,Ana Admin,Sr.,Tomás,Prieto,Prieto Hermanos,,tomas@example.com,false,957 400 500,,,,957 400 501,"
         "Calle Mayor 7,Lucena,14900,\r\n",
         F::Csv,
         {"Prieto|Tomás|Calle Mayor 7|957 400 500|tomas@example.com"},
         "Account Name=1 Contact Owner=1 Email Opt Out=1 Fax=1 Mailing City=1 Mailing Zip=1 Record Id=1 Salutation=1 ",
         "", ""},
        {"Salesforce CSV: no e-mail, and \"Email Opt Out\" does not stand for one; a quoted street",
         "Salutation,First Name,Last Name,Title,Account Name,Mailing Street,Mailing City,Mailing State/Province,"
         "Mailing Zip/Postal Code,Phone,Fax,Mobile,Email,Email Opt Out,Contact Owner\r\n"
         "Sra.,Elena,Marín,Directora,Marín Abogados,\"Pº de Gracia 5, 2º\",Barcelona,Barcelona,08007,933 100 200,"
         "933 100 201,,,1,Admin\r\n",
         F::Csv, {"Marín|Elena|Pº de Gracia 5, 2º|933 100 200|"}, "*", "", ""},
        {"LinkedIn Connections.csv: notes above the header, a row of empty cells",
         "Notes:\r\n\"When exporting your connection data, you may notice that some of the email addresses are "
         "missing, as some people do not allow it.\"\r\n\r\n"
         "First Name,Last Name,URL,Email Address,Company,Position,Connected On\r\n"
         "Raúl,Benítez,https://www.linkedin.com/in/ejemplo-rb,,Consultora Norte,Analista,03 Mar 2024\r\n,,,,,,\r\n",
         F::Csv, {"Benítez|Raúl|||"}, "Company=1 Connected On=1 Position=1 URL=1 ", "", ""},
        {"Excel for Mac: lines ending in CR alone, Mac Roman, ';'",
         "Apellidos;Nombre;Tel\x8E" "fono;Correo electr\x97nico\rCort\x8Es;Luc\x92" "a;600 700 800;lucia@example.es\r"
         "Ib\x87\x96" "ez;Ra\x9Cl;;\r",
         F::Csv, {"Cortés|Lucía||600 700 800|lucia@example.es", "Ibáñez|Raúl|||"}, "", "", "Mac Roman"},
        {"iCloud vCard: no name parts, the preferred work number before the home one",
         "BEGIN:VCARD\r\nVERSION:3.0\r\nPRODID:-//Apple Inc.//iPhone OS 17.0//EN\r\nN:;;;;\r\nFN:Lola Flores Ruiz\r\n"
         "item1.EMAIL;type=INTERNET;type=pref:lola@example.com\r\nTEL;type=HOME;type=VOICE:957 500 600\r\n"
         "TEL;type=WORK;type=VOICE;type=pref:957 500 700\r\nEND:VCARD\r\n",
         F::VCard, {"Flores Ruiz|Lola||957 500 700|lola@example.com"}, "PRODID=1 TEL=1 ", "", ""},
        {"Nextcloud (Sabre) vCard 3.0: a quoted type list, a Mexican mobile that fits without its spaces",
         "BEGIN:VCARD\r\nVERSION:3.0\r\nPRODID:-//Sabre//Sabre VObject 4.5.4//EN\r\n"
         "UID:3f6c1a52-1111-4c2a-9e61-000000000001\r\nFN:Jorge Navas\r\nN:Navas;Jorge;;;\r\n"
         "TEL;TYPE=\"HOME,VOICE\":957 600 700\r\nTEL;TYPE=CELL:+52 55 1234 5678\r\nEMAIL;TYPE=HOME:jorge@example.mx\r\n"
         "ADR;TYPE=HOME:;;Av. Reforma 10;Ciudad de México;;06600;México\r\n"
         "REV;VALUE=DATE-AND-OR-TIME:20240101T000000Z\r\nEND:VCARD\r\n",
         F::VCard, {"Navas|Jorge|Av. Reforma 10|+525512345678|jorge@example.mx"}, "PRODID=1 REV=1 TEL=1 UID=1 ", "",
         ""},
        {"a card with only an e-mail gets it as its surname; an empty card and ';;' rows add no one",
         "BEGIN:VCARD\nVERSION:3.0\nEMAIL:solo@example.com\nEND:VCARD\nBEGIN:VCARD\nVERSION:3.0\nEND:VCARD\n",
         F::VCard, {"solo@example.com||||solo@example.com"}, "",
         "no tenía nombre; se guarda como apellido su correo electrónico", ""},
        {"a quoted-printable value whose last line ends in '=' does not swallow END:VCARD",
         "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Sanz;Eva\r\nNOTE;ENCODING=QUOTED-PRINTABLE:hola=\r\nEND:VCARD\r\n"
         "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Gil;Ana\r\nEND:VCARD\r\n",
         F::VCard, {"Sanz|Eva|||", "Gil|Ana|||"}, "NOTE=1 ", "", ""},
        {"a sheet whose first bytes could start a picture's mark", "MM;Nombre\r\nRIFF;Ana\r\n", F::Csv,
         {"Ana||||"}, "MM=1 ", "no tenía apellido; se guarda su nombre como apellido", ""},
        {"a sheet's ';;' rows", "Nombre;Apellidos;Móvil\r\nAna;Ruiz;600\r\n;;\r\n ; ;\r\n", F::Csv, {"Ruiz|Ana||600|"},
         "", "", ""},
        {"UTF-16 whose last byte is half a character", utf16le("Nombre\tApellidos\r\nAna\tGil\r\n") + "A", F::Csv,
         {"Gil|Ana|||"}, "", "", "UTF-16"},
        {"this program's own header comes first, whatever the rows hold",
         "﻿Apellido,Nombre,Dirección,Teléfono,E-mail\r\nRuiz,Ana,,tel;tel;tel;tel,\r\n,Luis,,,\r\n", F::Csv,
         {"Ruiz|Ana||tel;tel;tel;tel|", "|Luis|||"}, "", "", ""},
    };
    for (const Row &row : rows) {
        const std::string name = row.name;
        CAPTURE(name);
        const exchange::ImportResult result = readText(row.text);
        CHECK(result.format == row.format);
        CHECK(joined(shown(result.records)) == joined(row.contacts));
        if (row.skipped != "*")
            CHECK(skippedText(result.skipped) == row.skipped);
        std::string report;
        for (const std::string &line : result.report)
            report += line + "\n";
        CAPTURE(report);
        if (!row.reportHas.empty())
            CHECK(report.find(row.reportHas) != std::string::npos);
        CHECK(result.problems.empty());
        CHECK(result.encoding == row.encoding);
    }
}

// The work is counted, not timed: the bytes of lines the reading went through (a
// line read again counts again) stay within a small multiple of the file, and no
// line is kept beyond the cap, whatever the file holds.
TEST_CASE("hostile files: linear work, bounded lines, a report of a screenful")
{
    const std::size_t mb = std::size_t(1) << 20;
    struct Row {
        const char *name;
        std::string text;
        std::size_t records; // contacts read
        std::string skipped; // "" for not checked
    };
    std::string folds = "BEGIN:VCARD\r\nTEL:1\r\nN;ENCODING=QUOTED-PRINTABLE:a=\r\n";
    while (folds.size() < mb)
        folds += "=\r\n";
    folds += "x\r\nNOTE:a\r\n";
    while (folds.size() < 2 * mb)
        folds += " b\r\n";
    folds += "ADR:;;c\\\r\n";
    while (folds.size() < 3 * mb)
        folds += "\\\r\n";
    folds += "END:VCARD\r\n";
    std::string quotes = "Apellido,Nombre\r\n\"Gil,Ana\r\n";
    std::size_t quoteRows = 0;
    for (; quotes.size() < mb; ++quoteRows)
        quotes += "Paz,Luis\r\n";
    // Every row opens a quote that the next one closes.
    std::string pairs = "Apellido,Nombre\r\n";
    while (pairs.size() < mb)
        pairs += "Paz,\"Luis\r\n";
    std::string crs = "Apellido,Nombre\r" + std::string(mb, '\r') + "Gil,Ana\r";
    std::string noBreak = "Apellido,Nombre\r\nGil,Ana\r\n" + std::string(4 * mb, 'x') + ",Luis\r\n";
    const std::vector<Row> rows = {
        {"1 MB of quoted-printable soft breaks, 1 MB of folds, 1 MB of '\\' ends", folds, 1, "NOTE=1 "},
        {"an unclosed quote above 1 MB of rows", quotes, quoteRows, ""},
        {"1 MB of rows, each opening a quote", pairs, (pairs.size() - 17) / 11 / 2, ""},
        {"1 MB of CRs alone", crs, 1, ""},
        {"4 MB without a line break", noBreak, 1, "(demasiado largos)=1 "},
    };
    for (const Row &row : rows) {
        const std::string name = row.name;
        CAPTURE(name);
        const exchange::ImportResult result = readText(row.text);
        CHECK(result.records.size() == row.records);
        CHECK(result.handled <= 2 * row.text.size());
        if (!row.skipped.empty())
            CHECK(skippedText(result.skipped) == row.skipped);
    }

    // No line is kept past the cap, and the next line is there after it.
    std::istringstream in(std::string(8 * mb, 'x') + "\nabc\r\n");
    exchange::LineReader lines(in);
    std::string line;
    REQUIRE(lines.next(line));
    CHECK(line.size() == exchange::LineReader::kMaxLine + 1);
    CHECK(lines.cut());
    REQUIRE(lines.next(line));
    CHECK(line == "abc\n");
    CHECK(!lines.cut());
    CHECK(lines.number() == 2);

    // Twenty thousand unknown properties and as many cut fields: a screenful.
    TempFolder folder;
    std::string many;
    for (int i = 0; i < 20000; ++i)
        many += "BEGIN:VCARD\r\nN:Apellido de más de veinticinco letras " + std::to_string(i) + ";Ana\r\nX-RARO-"
            + std::to_string(i) + ":1\r\nEND:VCARD\r\n";
    writeBytes(folder / "muchos.vcf", many);
    const Run run = command({"importar", (folder / "muchos.vcf").string(), "--carpeta", folder.path().string(), "--prueba"});
    CHECK(run.status == 0);
    CHECK(run.out.size() < 8000);
    CHECK(run.out.find("Aviso: y 19980 más.\n") != std::string::npos);
    CHECK(run.out.find(", y 19980 más.\n") != std::string::npos);
    CHECK(run.out.find("20000 contactos no cupieron enteros") != std::string::npos);
}

// Two different people stored alike ("?" for what Windows-1252 lacks) are two; the
// same person twice is one, named in the report.
TEST_CASE("nobody is merged on a '?': duplicates are judged on what the file said")
{
    TempFolder folder;
    ContactFile contacts(platform::systemFileSystem(), folder.path());
    std::istringstream in("Apellido,Nombre\r\n李,王\r\n张,伟\r\n李,王\r\nRuiz,Ana\r\nRuiz,Ana\r\n");
    const exchange::Preview preview = exchange::previewImport(in, contacts, false);
    CHECK(shown(preview.read.records) == std::vector<std::string>{"?|?|||", "?|?|||", "Ruiz|Ana|||"});
    CHECK(preview.duplicates == 2);
    std::string report;
    for (const std::string &line : preview.read.report)
        report += line + "\n";
    CAPTURE(report);
    CHECK(report.find("línea 2, «王 李»: Apellido guardado como «?»") != std::string::npos);
    CHECK(report.find("línea 3, «伟 张»: Apellido guardado como «?»") != std::string::npos);
    CHECK(report.find("línea 4, «王 李»: ya estaba, con los mismos «?»") != std::string::npos);
}

// The same person, exported by one program as vCard (or LDIF) and as CSV, is the same
// record: one rule chooses the five fields whatever the format.
TEST_CASE("the same person as vCard, LDIF and CSV gives the same record")
{
    struct Row {
        const char *name;
        std::vector<std::string> texts;
        std::string record;
    };
    const std::vector<Row> rows = {
        {"Google Contacts: a fax first, a home and a mobile number; the primary e-mail second",
         {"BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Pilar Vega\r\nN:Vega;Pilar;;;\r\n"
          "EMAIL;TYPE=INTERNET;TYPE=HOME:pilar@casa.es\r\nEMAIL;TYPE=INTERNET;TYPE=WORK;TYPE=pref:pilar@trabajo.es\r\n"
          "TEL;TYPE=WORK;TYPE=FAX:910 000 001\r\nTEL;TYPE=HOME:910 000 002\r\nTEL;TYPE=CELL:600 000 003\r\n"
          "ADR;TYPE=HOME:;;Calle Luna 1;Madrid;;28001;España\r\nEND:VCARD\r\n",
          "First Name,Last Name,E-mail 1 - Label,E-mail 1 - Value,E-mail 2 - Label,E-mail 2 - Value,Phone 1 - Label,"
          "Phone 1 - Value,Phone 2 - Label,Phone 2 - Value,Phone 3 - Label,Phone 3 - Value,Address 1 - Label,"
          "Address 1 - Street,Address 1 - City\r\n"
          "Pilar,Vega,Home,pilar@casa.es,* Work,pilar@trabajo.es,Work Fax,910 000 001,Home,910 000 002,Mobile,"
          "600 000 003,Home,Calle Luna 1,Madrid\r\n"},
         "Vega|Pilar|Calle Luna 1|600 000 003|pilar@trabajo.es"},
        {"Thunderbird: LDIF and CSV, a work and a home number, no mobile",
         {"dn: cn=Luis Ortega,mail=luis@example.org\nobjectclass: person\ngivenName: Luis\nsn: Ortega\n"
          "cn: Luis Ortega\nmail: luis@example.org\nmozillaSecondEmail: lo@example.net\ntelephoneNumber: 914 000 001\n"
          "homePhone: 914 000 002\nmozillaHomeStreet: Plaza Mayor 2\nmozillaHomeLocalityName: Ávila\n\n",
          "First Name,Last Name,Display Name,Nickname,Primary Email,Secondary Email,Screen Name,Work Phone,Home Phone,"
          "Fax Number,Pager Number,Mobile Number,Home Address,Home Address 2,Home City\r\n"
          "Luis,Ortega,Luis Ortega,,luis@example.org,lo@example.net,,914 000 001,914 000 002,,,,Plaza Mayor 2,,Ávila\r\n"},
         "Ortega|Luis|Plaza Mayor 2|914 000 002|luis@example.org"},
        {"Outlook: vCard 2.1 and CSV, a business and a mobile number, an Exchange address beside the SMTP one",
         {"BEGIN:VCARD\r\nVERSION:2.1\r\nN:Soler;Iván\r\nFN:Iván Soler\r\nORG:Soler SL\r\n"
          "TEL;WORK;VOICE:+34 911 22 33 44\r\nTEL;CELL;VOICE:+34 655 44 33 22\r\n"
          "EMAIL;X400:/o=ExchangeLabs/ou=Exchange Administrative Group/cn=Recipients/cn=ivan\r\n"
          "EMAIL;PREF;INTERNET:ivan.soler@example.es\r\nADR;WORK:;;Calle Sol 3;Valencia;;46001\r\nEND:VCARD\r\n",
          "First Name,Last Name,Company,Business Phone,Mobile Phone,E-mail Address,E-mail Type,E-mail 2 Address,"
          "E-mail 2 Type,Business Street,Business City\r\n"
          "Iván,Soler,Soler SL,+34 911 22 33 44,+34 655 44 33 22,"
          "/o=ExchangeLabs/ou=Exchange Administrative Group/cn=Recipients/cn=ivan,EX,ivan.soler@example.es,SMTP,"
          "Calle Sol 3,Valencia\r\n"},
         "Soler|Iván|Calle Sol 3|+34655443322|ivan.soler@example.es"},
    };
    for (const Row &row : rows) {
        const std::string name = row.name;
        CAPTURE(name);
        for (const std::string &text : row.texts) {
            CAPTURE(text.substr(0, 20));
            CHECK(shown(readText(text).records) == std::vector<std::string>{row.record});
        }
    }
}
