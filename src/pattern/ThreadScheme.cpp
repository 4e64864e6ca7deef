#include "pattern/ThreadScheme.h"

#include "platform/FileSystem.h"

#include <charconv>

namespace morvik {

std::string_view ThreadMakerKey(ThreadMaker maker)
{
    switch (maker) {
    case ThreadMaker::Dmc: return "dmc";
    case ThreadMaker::Anchor: return "anchor";
    case ThreadMaker::Madeira: return "madeira";
    }
    return "dmc";
}

std::optional<ThreadMaker> ThreadMakerFromKey(std::string_view key)
{
    for (ThreadMaker m : {ThreadMaker::Dmc, ThreadMaker::Anchor, ThreadMaker::Madeira})
        if (ThreadMakerKey(m) == key)
            return m;
    return std::nullopt;
}

namespace {

// The files are flat: a title and <floss> records of name, description and colour, each
// element holding text only. A reader of exactly that shape is all they need.
class SchemeReader {
public:
    SchemeReader(std::string_view xml, const std::string& source) : xml_(xml), source_(source) {}

    ThreadScheme Read()
    {
        ThreadScheme scheme;
        if (xml_.find("<flossScheme>") == std::string_view::npos)
            Fail("нет элемента <flossScheme>");
        scheme.Title = Text(Element(xml_, "title"));
        size_t at = 0;
        while ((at = xml_.find("<floss>", at)) != std::string_view::npos) {
            const size_t end = xml_.find("</floss>", at);
            if (end == std::string_view::npos)
                Fail("элемент <floss> не закрыт");
            const std::string_view floss = xml_.substr(at + 7, end - at - 7);
            const std::string_view color = Element(floss, "color");
            Thread t;
            t.Number = Text(Element(floss, "name"));
            t.Name = Text(Element(floss, "description"));
            t.Red = Channel(Element(color, "red"));
            t.Green = Channel(Element(color, "green"));
            t.Blue = Channel(Element(color, "blue"));
            if (t.Number.empty())
                Fail("нитка без номера");
            scheme.Threads.push_back(std::move(t));
            at = end + 8;
        }
        if (scheme.Threads.empty())
            Fail("нет ни одной нитки");
        return scheme;
    }

private:
    [[noreturn]] void Fail(const std::string& why) const
    {
        throw EThreadScheme("Схема ниток \"" + source_ + "\" испорчена: " + why);
    }

    // The content of the first <tag>…</tag> inside `in`.
    std::string_view Element(std::string_view in, std::string_view tag) const
    {
        const std::string open = "<" + std::string(tag) + ">";
        const std::string close = "</" + std::string(tag) + ">";
        const size_t start = in.find(open);
        if (start == std::string_view::npos)
            Fail("нет элемента <" + std::string(tag) + ">");
        const size_t end = in.find(close, start);
        if (end == std::string_view::npos)
            Fail("элемент <" + std::string(tag) + "> не закрыт");
        return in.substr(start + open.size(), end - start - open.size());
    }

    // Element text with the five predefined entities replaced.
    std::string Text(std::string_view raw) const
    {
        static constexpr std::pair<std::string_view, char> kEntities[] = {
            {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
        std::string out;
        for (size_t i = 0; i < raw.size();) {
            if (raw[i] == '<')
                Fail("разметка внутри текста");
            bool replaced = false;
            if (raw[i] == '&')
                for (const auto& [name, c] : kEntities)
                    if (raw.substr(i, name.size()) == name) {
                        out += c;
                        i += name.size();
                        replaced = true;
                        break;
                    }
            if (!replaced)
                out += raw[i++];
        }
        const size_t first = out.find_first_not_of(" \t\r\n");
        const size_t last = out.find_last_not_of(" \t\r\n");
        return first == std::string::npos ? std::string() : out.substr(first, last - first + 1);
    }

    uint8_t Channel(std::string_view raw) const
    {
        const std::string text = Text(raw);
        int value = -1;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (error != std::errc() || end != text.data() + text.size() || value < 0 || value > 255)
            Fail("цвет \"" + text + "\" вне 0..255");
        return uint8_t(value);
    }

    std::string_view xml_;
    const std::string& source_;
};

}  // namespace

ThreadScheme ParseThreadScheme(std::string_view xml, const std::string& source)
{
    return SchemeReader(xml, source).Read();
}

ThreadScheme LoadThreadScheme(ThreadMaker maker, const std::string& folder)
{
    const std::string path = folder + "/" + std::string(ThreadMakerKey(maker)) + ".xml";
    std::string xml;
    try {
        xml = ReadWholeFile(path, 4 << 20, false);
    } catch (const Exception& e) {
        // Missing schemes are a packaging fault the user can mend: say which package.
        throw EThreadScheme("Нет схемы ниток \"" + path + "\" (пакет kxstitch-common): " + e.what());
    }
    return ParseThreadScheme(xml, path);
}

}  // namespace morvik
