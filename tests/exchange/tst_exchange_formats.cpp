// vCards and LDIF as phones, mail programs, address books and CRMs write them are read
// as their formats say, and the same person gives the same record in any format.
#include "tests/exchange/ExchangeTest.h"

using namespace contacts;
using namespace exchangetest;

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
    const std::vector<ReadCase> rows = {
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
    for (const ReadCase &row : rows) {
        const std::string name = row.name;
        CAPTURE(name);
        const exchange::ImportResult result = checkRead(row, exchange::Format::VCard);
        CHECK(result.report.empty());
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
