#include "core/X12Json.h"

#include "core/Dictionary_p.h"
#include "core/X12Document.h"

#include <bit>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

using kelvane::detail::ElementRule;

/// Writes into a large buffer that is handed on to the sink whenever it fills.
class Writer
{
public:
    explicit Writer(const std::function<bool(std::string_view)> &sink)
        : m_sink(sink), m_data(std::make_unique_for_overwrite<char[]>(capacity))
    {
    }

    /// Passes the buffer on once it is mostly full; false once the sink has refused.
    bool drain() { return m_size < capacity / 2 || flush(); }
    bool flush()
    {
        if (m_ok && m_size > 0)
            m_ok = m_sink(std::string_view(m_data.get(), m_size));
        m_size = 0;
        return m_ok;
    }

    void raw(std::string_view text)
    {
        if (m_size + text.size() > capacity) {
            flush();
            if (text.size() > capacity) {
                // Larger than the whole buffer (a huge element): straight through.
                m_ok = m_ok && m_sink(text);
                return;
            }
        }
        std::memcpy(m_data.get() + m_size, text.data(), text.size());
        m_size += text.size();
    }

    /// JSON string content: quotes, backslashes and control characters escaped. The text is
    /// UTF-8 already, so nothing else needs escaping.
    void escaped(std::string_view text)
    {
        while (!text.empty()) {
            const std::size_t plain = plainPrefix(text);
            raw(text.substr(0, plain));
            if (plain == text.size())
                return;
            escape(static_cast<unsigned char>(text[plain]));
            text.remove_prefix(plain + 1);
        }
    }

    void string(std::string_view text)
    {
        put('"');
        escaped(text);
        put('"');
    }

    /// A string known to need no escaping.
    void plainString(std::string_view text)
    {
        put('"');
        raw(text);
        put('"');
    }

    static bool isPlain(std::string_view text) { return plainPrefix(text) == text.size(); }

    void number(std::size_t value)
    {
        char digits[24];
        char *end = digits + sizeof digits;
        char *at = end;
        do {
            *--at = char('0' + value % 10);
            value /= 10;
        } while (value != 0);
        raw(std::string_view(at, std::size_t(end - at)));
    }

    /// A position as element references write it: at least two digits.
    void position(std::size_t value)
    {
        if (value < 10)
            put('0');
        number(value);
    }

    void put(char c)
    {
        if (m_size == capacity)
            flush();
        m_data[m_size++] = c;
    }

    /// "key": with the key written as is (keys here need no escaping).
    void key(std::string_view name)
    {
        put('"');
        raw(name);
        raw("\":");
    }

private:
    static constexpr std::size_t capacity = 2 << 20;

public:
    static std::size_t plainPrefix(std::string_view text)
    {
        std::size_t i = 0;
#if defined(__SSE2__)
        const __m128i quote = _mm_set1_epi8('"');
        const __m128i backslash = _mm_set1_epi8('\\');
        const __m128i space = _mm_set1_epi8(0x20);
        for (; i + 16 <= text.size(); i += 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text.data() + i));
            // Control characters are the bytes below 0x20 taken as unsigned.
            const __m128i control = _mm_cmpeq_epi8(_mm_max_epu8(bytes, space), space);
            const __m128i special =
                _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, quote),
                                          _mm_cmpeq_epi8(bytes, backslash)),
                             _mm_andnot_si128(_mm_cmpeq_epi8(bytes, space), control));
            const int mask = _mm_movemask_epi8(special);
            if (mask != 0)
                return i + std::size_t(std::countr_zero(unsigned(mask)));
        }
#endif
        for (; i < text.size(); ++i) {
            const auto c = static_cast<unsigned char>(text[i]);
            if (c < 0x20 || c == '"' || c == '\\')
                return i;
        }
        return i;
    }

private:
    void escape(unsigned char c)
    {
        static constexpr char hex[] = "0123456789abcdef";
        switch (c) {
        case '"':
            raw("\\\"");
            return;
        case '\\':
            raw("\\\\");
            return;
        case '\n':
            raw("\\n");
            return;
        case '\r':
            raw("\\r");
            return;
        case '\t':
            raw("\\t");
            return;
        case '\b':
            raw("\\b");
            return;
        case '\f':
            raw("\\f");
            return;
        default:
            const char text[] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 0xF]};
            raw(std::string_view(text, sizeof text));
        }
    }

    const std::function<bool(std::string_view)> &m_sink;
    std::unique_ptr<char[]> m_data;
    std::size_t m_size = 0;
    bool m_ok = true;
};

/// What the dictionary says about one segment tag, looked up once per tag.
struct TagInfo
{
    std::string name;
    std::span<const std::string_view> elementNames;
    std::span<const ElementRule> rules;
    bool plainTag;
};

const TagInfo &tagInfo(std::unordered_map<std::string_view, TagInfo> &cache, std::string_view tag)
{
    auto it = cache.find(tag);
    if (it != cache.end())
        return it->second;
    TagInfo info;
    kelvane::detail::appendSegmentName(info.name, tag);
    const auto &names = X12Dictionary::elementNames();
    if (const auto found = names.find(tag); found != names.end())
        info.elementNames = found->second;
    info.rules = kelvane::detail::elementRules(tag);
    info.plainTag = Writer::isPlain(tag);
    return cache.emplace(tag, std::move(info)).first->second;
}

void writeSegment(Writer &w, const X12Segment &segment, const TagInfo &info, std::string &display)
{
    const std::string_view tag = segment.tag();
    // Most segments hold nothing to escape; then every piece of them is copied as it is.
    const bool plain = info.plainTag && Writer::isPlain(segment.raw());
    auto text = [&w, plain](std::string_view value) {
        if (plain)
            w.plainString(value);
        else
            w.string(value);
    };
    w.raw("{\"position\":");
    w.number(std::size_t(segment.position()));
    w.raw(",\"offset\":");
    w.number(std::size_t(segment.offset()));
    w.raw(",\"tag\":");
    text(tag);
    w.raw(",\"name\":");
    w.string(info.name);
    w.raw(",\"raw\":");
    text(segment.raw());
    w.raw(",\"elements\":[");
    const std::size_t count = segment.elementCount();
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t position = i + 1;
        const std::string_view value = segment.element(i);
        w.raw(i == 0 ? "{\"ref\":\"" : ",{\"ref\":\"");
        w.escaped(tag);
        w.position(position);
        w.raw("\",\"name\":");
        if (i < info.elementNames.size()) {
            w.plainString(info.elementNames[i]);
        } else {
            w.put('"');
            w.escaped(tag);
            w.position(position);
            w.put('"');
        }
        w.raw(",\"value\":");
        text(value);
        if (position < info.rules.size()) {
            const ElementRule &rule = info.rules[position];
            display.clear();
            if (kelvane::detail::appendFormatted(display, rule.formatter, value)) {
                w.raw(",\"display\":");
                w.string(display);
            } else if (rule.codes && !value.empty()) {
                if (const auto meaning = kelvane::detail::meaning(*rule.codes, value)) {
                    w.raw(",\"display\":");
                    w.plainString(*meaning);
                }
            }
        }
        w.put('}');
    }
    w.raw("]}");
}

bool writeNode(Writer &w, const X12Document &document, std::uint32_t index, std::string &text)
{
    w.raw("{\"kind\":");
    w.plainString(toString(document.kind(index)));
    w.raw(",\"title\":");
    text.clear();
    document.appendTitle(index, text);
    w.string(text);
    w.raw(",\"subtitle\":");
    text.clear();
    document.appendSubtitle(index, text);
    w.string(text);
    w.raw(",\"position\":");
    w.number(std::size_t(index) + 1);
    w.raw(",\"children\":[");
    bool first = true;
    for (std::uint32_t child : document.children(index)) {
        if (!first)
            w.put(',');
        first = false;
        if (!writeNode(w, document, child, text))
            return false;
    }
    w.raw("]}");
    return w.drain();
}

} // namespace

namespace X12Json {

bool write(const X12Document &document, const std::function<bool(std::string_view)> &sink)
{
    Writer w(sink);
    const X12Delimiters &d = document.delimiters();
    w.raw("{");
    w.key("fileName");
    w.string(document.fileName());
    w.raw(",");
    w.key("summaryLine");
    w.string(document.summaryLine());
    w.raw(",");
    w.key("delimiters");
    w.raw("{");
    w.key("element");
    w.string(d.element);
    w.raw(",");
    w.key("component");
    w.string(d.component);
    w.raw(",");
    w.key("repetition");
    w.string(d.repetition);
    w.raw(",");
    w.key("segment");
    w.string(d.segment);
    w.raw("},");
    w.key("transactionSets");
    w.raw("[");
    for (std::size_t i = 0; i < document.transactionSets().size(); ++i) {
        if (i > 0)
            w.raw(",");
        w.string(document.transactionSets()[i]);
    }
    w.raw("],");

    w.key("segments");
    w.raw("[\n");
    std::unordered_map<std::string_view, TagInfo> tags;
    std::string display;
    bool first = true;
    for (const X12Segment segment : document.segments()) {
        if (!first)
            w.raw(",\n");
        first = false;
        writeSegment(w, segment, tagInfo(tags, segment.tag()), display);
        if (!w.drain())
            return false;
    }
    w.raw("\n],");

    w.key("tree");
    w.raw("[\n");
    first = true;
    for (std::uint32_t root : document.rootNodes()) {
        if (!first)
            w.raw(",\n");
        first = false;
        if (!writeNode(w, document, root, display))
            return false;
    }
    w.raw("\n]}\n");
    return w.flush();
}

} // namespace X12Json
