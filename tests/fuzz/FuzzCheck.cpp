#include "FuzzCheck.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace fuzz {

namespace {

// A recursive-descent recogniser; depth is bounded by what the writer produces.
class JsonReader
{
public:
    explicit JsonReader(std::string_view text) : m_text(text) {}

    bool document()
    {
        blanks();
        if (!value(0))
            return false;
        blanks();
        return m_at == m_text.size();
    }

private:
    bool value(int depth)
    {
        if (depth > 512 || m_at >= m_text.size())
            return false;
        switch (m_text[m_at]) {
        case '{':
            return object(depth);
        case '[':
            return array(depth);
        case '"':
            return string();
        case 't':
            return word("true");
        case 'f':
            return word("false");
        case 'n':
            return word("null");
        default:
            return number();
        }
    }

    bool object(int depth)
    {
        ++m_at;
        blanks();
        if (take('}'))
            return true;
        do {
            blanks();
            if (!string())
                return false;
            blanks();
            if (!take(':'))
                return false;
            blanks();
            if (!value(depth + 1))
                return false;
            blanks();
        } while (take(','));
        return take('}');
    }

    bool array(int depth)
    {
        ++m_at;
        blanks();
        if (take(']'))
            return true;
        do {
            blanks();
            if (!value(depth + 1))
                return false;
            blanks();
        } while (take(','));
        return take(']');
    }

    bool string()
    {
        if (!take('"'))
            return false;
        while (m_at < m_text.size()) {
            const unsigned char c = static_cast<unsigned char>(m_text[m_at++]);
            if (c == '"')
                return true;
            if (c < 0x20)
                return false;
            if (c != '\\')
                continue;
            if (m_at >= m_text.size())
                return false;
            const char escape = m_text[m_at++];
            if (escape == 'u') {
                for (int i = 0; i < 4; ++i) {
                    if (m_at >= m_text.size() || !isHex(m_text[m_at++]))
                        return false;
                }
            } else if (std::string_view("\"\\/bfnrt").find(escape) == std::string_view::npos) {
                return false;
            }
        }
        return false;
    }

    bool number()
    {
        take('-');
        if (take('0')) {
        } else if (!digits()) {
            return false;
        }
        if (take('.') && !digits())
            return false;
        if (take('e') || take('E')) {
            if (!take('+'))
                take('-');
            if (!digits())
                return false;
        }
        return true;
    }

    bool digits()
    {
        const std::size_t start = m_at;
        while (m_at < m_text.size() && m_text[m_at] >= '0' && m_text[m_at] <= '9')
            ++m_at;
        return m_at > start;
    }

    bool word(std::string_view expected)
    {
        if (m_text.substr(m_at, expected.size()) != expected)
            return false;
        m_at += expected.size();
        return true;
    }

    bool take(char c)
    {
        if (m_at < m_text.size() && m_text[m_at] == c) {
            ++m_at;
            return true;
        }
        return false;
    }

    void blanks()
    {
        while (m_at < m_text.size() && (m_text[m_at] == ' ' || m_text[m_at] == '\n' ||
                                        m_text[m_at] == '\t' || m_text[m_at] == '\r'))
            ++m_at;
    }

    static bool isHex(char c)
    {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    }

    std::string_view m_text;
    std::size_t m_at = 0;
};

} // namespace

bool isJson(std::string_view text)
{
    return reference::isUtf8(text) && JsonReader(text).document();
}

std::optional<CsvRecords> csvRecords(std::string_view text)
{
    CsvRecords records;
    std::vector<std::string> record;
    std::size_t i = 0;
    while (i < text.size()) {
        std::string field;
        if (text[i] == '"') {
            for (++i;; ++i) {
                if (i == text.size())
                    return std::nullopt;
                if (text[i] == '"') {
                    if (i + 1 == text.size() || text[i + 1] != '"')
                        break;
                    ++i;
                }
                field += text[i];
            }
            ++i; // the closing quote
        } else {
            const std::size_t end = std::min(text.find_first_of(",\r\n\"", i), text.size());
            field = text.substr(i, end - i);
            i = end;
        }
        record.push_back(std::move(field));
        if (text.substr(i, 1) == ",") {
            ++i;
        } else if (text.substr(i, 2) == "\r\n") {
            i += 2;
            records.push_back(std::move(record));
            record.clear();
        } else {
            return std::nullopt;
        }
    }
    if (!record.empty())
        return std::nullopt;
    return records;
}

} // namespace fuzz
