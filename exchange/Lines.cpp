#include "exchange/Formats.h"
#include "exchange/Text.h"

#include "contacts/Cp1252.h"

#include <cstring>

namespace exchange {

namespace {

// What is read from the stream at a time; progress is told after each piece, so
// that a reading can be stopped within a piece's work.
constexpr std::size_t kPiece = 64 * 1024;
constexpr std::size_t kUnknown = std::size_t(-1);

// Mac Roman's upper half, as Unicode (0xDB is the euro sign since Mac OS 8.5).
constexpr char16_t kMacRoman[128] = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1, 0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5,
    0x00E7, 0x00E9, 0x00E8, 0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3, 0x00F2, 0x00F4,
    0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC, 0x2020, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6,
    0x00DF, 0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8, 0x221E, 0x00B1, 0x2264, 0x2265,
    0x00A5, 0x00B5, 0x2202, 0x2211, 0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8, 0x00BF,
    0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB, 0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5,
    0x0152, 0x0153, 0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA, 0x00FF, 0x0178, 0x2044,
    0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02, 0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1,
    0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC, 0x00D3, 0x00D4, 0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9,
    0x0131, 0x02C6, 0x02DC, 0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7};

} // namespace

std::string decodeMacRoman(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    for (char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        if (b < 0x80) {
            out += byte;
            continue;
        }
        contacts::appendUtf8(out, kMacRoman[b - 0x80]);
    }
    return out;
}

LineReader::LineReader(std::istream &in, Progress progress)
    : m_in(in)
    , m_progress(std::move(progress))
    , m_buffer(kPiece)
{
}

bool LineReader::fill()
{
    if (m_eof)
        return false;
    m_in.read(m_buffer.data(), static_cast<std::streamsize>(m_buffer.size()));
    m_at = 0;
    m_lfAt = kUnknown;
    m_crAt = kUnknown;
    m_end = static_cast<std::size_t>(m_in.gcount());
    m_bytes += m_end;
    if (m_end == 0) {
        m_eof = true;
        return false;
    }
    if (m_progress && m_bytes != m_reported) {
        m_reported = m_bytes;
        m_progress(m_bytes);
    }
    return true;
}

bool LineReader::next(std::string &line)
{
    m_cut = false;
    if (!m_given.empty()) {
        m_number = m_given.back().first;
        line = std::move(m_given.back().second);
        m_given.pop_back();
        m_handed += line.size();
        return true;
    }
    line.clear();
    if (m_blankOwed > 0) {
        // The second of two CRs in a file of CR ends: an empty line.
        --m_blankOwed;
        ++m_number;
        line += '\n';
        ++m_handed;
        return true;
    }
    const auto keep = [&](const char *from, std::size_t size) {
        const std::size_t room = kMaxLine - std::min(kMaxLine, line.size());
        line.append(from, std::min(size, room));
        m_cut = m_cut || size > room;
    };
    bool any = false;
    bool ended = false;
    std::size_t crs = 0; // CRs seen and not yet placed
    while (true) {
        if (m_at == m_end && !fill())
            break;
        any = true;
        const char *data = m_buffer.data();
        if (m_mode == Ends::Lf) {
            // Only an LF ends a line here: the CRs just before it belong to its end,
            // any other is part of the line.
            const void *lf = std::memchr(data + m_at, '\n', m_end - m_at);
            const std::size_t stop = lf ? static_cast<std::size_t>(static_cast<const char *>(lf) - data) : m_end;
            keep(data + m_at, stop - m_at);
            m_at = stop;
            if (m_at == m_end)
                continue;
            ++m_at;
            ++m_lfEnds;
            while (!line.empty() && line.back() == '\r')
                line.pop_back();
            ended = true;
            break;
        }
        if (crs == 0) {
            // The next LF and the next CR of the piece, each looked for once per piece
            // at most: a file of CR ends has no LF to look for again on every line.
            if (m_lfAt == kUnknown || m_lfAt < m_at) {
                const void *lf = std::memchr(data + m_at, '\n', m_end - m_at);
                m_lfAt = lf ? static_cast<std::size_t>(static_cast<const char *>(lf) - data) : m_end;
            }
            if (m_crAt == kUnknown || m_crAt < m_at) {
                const void *cr = std::memchr(data + m_at, '\r', m_end - m_at);
                m_crAt = cr ? static_cast<std::size_t>(static_cast<const char *>(cr) - data) : m_end;
            }
            const std::size_t stop = std::min(m_lfAt, m_crAt);
            keep(data + m_at, stop - m_at);
            m_at = stop;
            if (m_at == m_end)
                continue;
        }
        const char c = data[m_at];
        if (c == '\r') {
            ++crs;
            ++m_at;
            continue;
        }
        if (c == '\n') {
            // LF, CR LF, CR CR LF: one end, whatever CRs stand before it.
            ++m_at;
            ++m_lfEnds;
            if (m_mode == Ends::Unknown)
                m_mode = Ends::Lf;
            crs = 0;
            ended = true;
            break;
        }
        // CRs followed by something else: in a file of CR ends, each ends a line;
        // elsewhere they are part of the line.
        if (m_mode == Ends::Unknown)
            m_mode = Ends::Cr;
        if (m_mode == Ends::Cr) {
            m_crEnds += crs;
            m_blankOwed = crs - 1;
            crs = 0;
            ended = true;
            break;
        }
        const std::string run(std::min(crs, kMaxLine), '\r');
        keep(run.data(), crs);
        crs = 0;
    }
    if (!any)
        return false;
    if (crs > 0) {
        // CRs at the very end of the file.
        if (m_mode == Ends::Lf) {
            const std::string run(std::min(crs, kMaxLine), '\r');
            keep(run.data(), crs);
        } else {
            m_mode = Ends::Cr;
            m_crEnds += crs;
            m_blankOwed = crs - 1;
            ended = true;
        }
    }
    if (ended)
        line += '\n';
    ++m_number;
    m_handed += line.size();
    return true;
}

void LineReader::giveBack(std::vector<std::pair<std::uint64_t, std::string>> lines)
{
    // After them comes the stream's next line again, numbered on from the last.
    for (auto it = lines.rbegin(); it != lines.rend(); ++it)
        m_given.push_back(std::move(*it));
}

std::string LineReader::decode(std::string_view bytes)
{
    if (isValidUtf8(bytes))
        return std::string(bytes);
    return fallback(bytes);
}

std::string LineReader::fallback(std::string_view bytes)
{
    if (m_crEnds > 0 && m_lfEnds == 0) {
        m_assumed = "Mac Roman";
        return decodeMacRoman(bytes);
    }
    if (!m_assumed)
        m_assumed = "Windows-1252";
    return contacts::decodeCp1252(bytes);
}

} // namespace exchange
