#include "exchange/Formats.h"
#include "exchange/Text.h"

namespace exchange {

namespace {

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

bool containsIgnoreCase(std::string_view text, std::string_view word)
{
    return upper(text).find(upper(word)) != std::string::npos;
}

// A mail header's name at the start of a line ("Received:", "From:"...), or an mbox's "From ".
bool isMailHeader(std::string_view line)
{
    for (std::string_view name : {"Return-Path:", "Received:", "Delivered-To:", "From:", "To:", "Subject:", "Date:",
                                  "Message-ID:", "MIME-Version:", "Reply-To:", "Sender:", "X-Mozilla-Status:"})
        if (startsWithIgnoreCase(line, name))
            return true;
    return startsWith(line, "From ");
}

} // namespace

wording::LooksLike looksLike(std::string_view head, std::string_view first)
{
    using wording::LooksLike;
    if (startsWith(head, "PK\x03\x04")) {
        // Office Open XML and OpenDocument are ZIP archives that name their parts.
        if (head.find("[Content_Types].xml") != std::string_view::npos || head.find("xl/") != std::string_view::npos
            || head.find("opendocument.spreadsheet") != std::string_view::npos)
            return LooksLike::Workbook;
        return LooksLike::Zip;
    }
    if (startsWith(head, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"))
        return LooksLike::Workbook; // an old .xls (Word's .doc shares the mark; rarely picked here)
    if (startsWith(head, "\x89PNG") || startsWith(head, "\xFF\xD8\xFF") || startsWith(head, "GIF8")
        || startsWith(head, std::string_view("II*\0", 4)) || startsWith(head, std::string_view("MM\0*", 4))
        || (startsWith(head, "RIFF") && head.size() >= 12 && head.substr(8, 4) == "WEBP")
        || (head.size() >= 12 && head.substr(4, 4) == "ftyp" && (head.substr(8, 4) == "heic" || head.substr(8, 4) == "avif"))
        || (startsWith(head, "BM") && head.size() >= 26 && head.find('\0') != std::string_view::npos))
        return LooksLike::Image;
    if (startsWith(head, "%PDF"))
        return LooksLike::Pdf;
    if (head.find('\0') != std::string_view::npos)
        return LooksLike::Binary;
    const std::string_view line = trimBlanks(first);
    if (startsWithIgnoreCase(line, "BEGIN:VCALENDAR"))
        return LooksLike::Calendar;
    if (!line.empty() && (line[0] == '[' || line[0] == '{'))
        return containsIgnoreCase(head, "\"vcard\"") ? LooksLike::JCard : LooksLike::Nothing;
    if (!line.empty() && line[0] == '<') {
        if (containsIgnoreCase(head, "urn:ietf:params:xml:ns:vcard-4.0") || containsIgnoreCase(head, "<vcards"))
            return LooksLike::XCard;
        if (containsIgnoreCase(head, "<html") || containsIgnoreCase(head, "<!doctype html"))
            return LooksLike::WebPage;
        return LooksLike::Xml;
    }
    if (isMailHeader(line)) {
        // Every message has a sender.
        const std::string text = upper(head);
        if (startsWith(text, "FROM") || text.find("\nFROM:") != std::string::npos
            || text.find("\rFROM:") != std::string::npos)
            return LooksLike::Email;
    }
    return LooksLike::Nothing;
}

} // namespace exchange
