// CSV files as address books and spreadsheets write them, with either separator, mark
// and code page; cells a spreadsheet would run are written safe and read back as they were.
#include "tests/exchange/ExchangeTest.h"

using namespace contacts;
using namespace exchangetest;

TEST_CASE("CSV with ',' or ';', with or without the mark, UTF-8 or Windows-1252")
{
    const std::vector<ReadCase> rows = {
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
    for (const ReadCase &row : rows) {
        const std::string name = row.name;
        CAPTURE(name);
        checkRead(row, exchange::Format::Csv);
    }
}

// Header rows written from the exporters' published column lists; the people are made up.
TEST_CASE("CSV files as address books and spreadsheets export them: one rule for the five fields")
{
    const std::vector<ReadCase> rows = {
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
    for (const ReadCase &row : rows) {
        const std::string name = row.name;
        CAPTURE(name);
        const exchange::ImportResult result = checkRead(row, exchange::Format::Csv);
        CHECK(result.problems.empty());
    }
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
