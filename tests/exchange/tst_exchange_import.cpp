// The import's rules over any file: what is not kept whole is reported, a partly
// unreadable file adds its good contacts, duplicates are judged on what the file said,
// the reading can be stopped, and hostile files cost linear work.
#include "tests/exchange/ExchangeTest.h"

using namespace contacts;
using namespace exchangetest;

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
