// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#include "tools/script.h"

#include <array>

namespace rotavel::tools {

namespace {

using Kind = Command::Kind;

// Enough words to tell any line apart: the longest command is "queue menu ITEM", and a fourth word
// is only ever reported as extra.
constexpr std::size_t kMaxWords = 4;

struct Words {
    std::array<std::string_view, kMaxWords> word;
    std::size_t count = 0; // all words on the line, including those not kept
};

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

Words split(std::string_view line) {
    Words w;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && isBlank(line[i]))
            ++i;
        if (i == line.size())
            break;
        const std::size_t start = i;
        while (i < line.size() && !isBlank(line[i]))
            ++i;
        if (w.count < kMaxWords)
            w.word[w.count] = line.substr(start, i - start);
        ++w.count;
    }
    return w;
}

struct Name {
    std::string_view text;
    Kind kind;
    bool holdable; // what a "queue" may hold for the next yield
};

// "queue" is not a kind of its own: it marks the event it holds.
constexpr std::string_view kQueue = "queue";
constexpr std::array<Name, 8> kNames{{
    {"load", Kind::Load, false},
    {"activate", Kind::Activate, false},
    {"run", Kind::Run, true},
    {"menu", Kind::Menu, true},
    {"tick", Kind::Tick, true},
    {"close", Kind::Close, true},
    {"state", Kind::State, false},
    {"save", Kind::Save, false},
}};

const Name* findName(std::string_view text) {
    for (const Name& n : kNames)
        if (n.text == text)
            return &n;
    return nullptr;
}

// Words as a sentence lists them: "a, b or c".
template <typename Words> std::string listed(const Words& words) {
    std::string list;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i > 0)
            list += i + 1 == words.size() ? " or " : ", ";
        list += words[i];
    }
    return list;
}

std::string itemList() {
    std::array<std::string_view, scene::kPresets.size()> items;
    for (std::size_t i = 0; i < items.size(); ++i)
        items[i] = scene::kPresets[i].item;
    return listed(items);
}

// Every command, or those a "queue" may hold, as the table has them.
std::string commandList(bool holdableOnly) {
    std::vector<std::string> names;
    for (const Name& n : kNames)
        if (!holdableOnly || n.holdable)
            names.push_back(std::string(n.text) +
                            (holdableOnly && n.kind == Kind::Menu ? " ITEM" : ""));
    if (!holdableOnly)
        names.emplace_back(kQueue);
    return listed(names);
}

// A plain run of decimal digits (leading zeros allowed) worth 1 to kMaxTicks. Digits past the
// limit only saturate, so no length of number can overflow.
bool parseCount(std::string_view word, std::uint32_t& count) {
    if (word.empty())
        return false;
    std::uint64_t value = 0;
    for (const char c : word) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > Command::kMaxTicks)
            value = Command::kMaxTicks + 1;
    }
    if (value < 1 || value > Command::kMaxTicks)
        return false;
    count = static_cast<std::uint32_t>(value);
    return true;
}

class LineReader {
public:
    LineReader(Script& script, std::size_t line) : m_script(script), m_line(line) {}

    void read(std::string_view text) {
        const Words w = split(text);
        if (w.count == 0 || w.word[0].front() == '#')
            return;
        Command c;
        c.line = m_line;
        std::size_t next = 1; // the word after the command's name
        std::string_view name = w.word[0];
        if (name == kQueue) {
            if (w.count == 1)
                return fail("\"queue\" needs an event: " + commandList(true));
            name = w.word[1];
            const Name* n = findName(name);
            if (!n || !n->holdable)
                return fail("cannot queue " + quoted(name) + ": only " + commandList(true) +
                            " can be held");
            c.queued = true;
            next = 2;
        }
        const Name* n = findName(name);
        if (!n)
            return fail("unknown command " + quoted(name) + " (commands: " + commandList(false) +
                        ")");
        c.kind = n->kind;
        const std::string said = std::string(c.queued ? "queue " : "") + std::string(name);

        switch (c.kind) {
        case Kind::Menu: {
            if (w.count == next)
                return fail("\"" + said + "\" needs an item: " + itemList());
            const std::string_view item = w.word[next];
            c.preset = scene::findPreset(item);
            if (!c.preset)
                return fail("unknown menu item " + quoted(item) + " (items: " + itemList() + ")");
            if (w.count > next + 1)
                return extra(w.word[next + 1], said + " " + std::string(item));
            return add(c);
        }
        case Kind::Tick:
            if (c.queued || w.count == next)
                break;
            if (!parseCount(w.word[next], c.count))
                return fail("count " + quoted(w.word[next]) + " is not a whole number from 1 to " +
                            std::to_string(Command::kMaxTicks));
            if (w.count > next + 1)
                return extra(w.word[next + 1], said + " N");
            return add(c);
        case Kind::Save: {
            if (w.count == next)
                return fail("\"save\" needs a path");
            const std::string_view path = w.word[next];
            if (path.find('\0') != std::string_view::npos)
                return fail("path " + quoted(path) + " holds a NUL byte");
            if (w.count > next + 1)
                return extra(w.word[next + 1], "save PATH");
            c.path = m_script.paths.size();
            m_script.paths.emplace_back(path);
            return add(c);
        }
        default:
            break;
        }
        if (w.count > next)
            return extra(w.word[next], said);
        add(c);
    }

private:
    void add(const Command& c) { m_script.commands.push_back(c); }
    void fail(std::string what) { m_script.errors.push_back({m_line, std::move(what)}); }
    void extra(std::string_view word, const std::string& after) {
        fail("extra word " + quoted(word) + " after \"" + after + "\"");
    }

    Script& m_script;
    std::size_t m_line;
};

// Bytes of a well-formed UTF-8 sequence at the start of `s` for a character that is safe to show
// as it is, or 0: control characters, invalid or overlong sequences, surrogates, and the
// invisible or direction-changing characters that could disguise a message are escaped.
std::size_t showable(std::string_view s) {
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = b(0);
    if (lead >= 0x20 && lead < 0x7F)
        return 1;
    std::size_t length = 0;
    char32_t cp = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        cp = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        cp = lead & 0x07;
    } else {
        return 0;
    }
    if (s.size() < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((b(i) & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b(i) & 0x3F);
    }
    constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    if (cp < 0xA0 || cp == 0xAD || (cp >= 0x200B && cp <= 0x200F) ||
        (cp >= 0x2028 && cp <= 0x202E) || (cp >= 0x2060 && cp <= 0x206F) || cp == 0xFEFF ||
        (cp >= 0xFFF9 && cp <= 0xFFFB))
        return 0;
    return length;
}

} // namespace

Script parseScript(std::string_view text) {
    Script script;
    std::size_t line = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view current = text.substr(pos, end - pos);
        pos = end + 1;
        ++line;
        if (!current.empty() && current.back() == '\r')
            current.remove_suffix(1);
        LineReader(script, line).read(current);
    }
    return script;
}

std::string quoted(std::string_view word, std::size_t limit) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out = "\"";
    std::size_t i = 0;
    while (i < word.size() && i < limit) {
        const std::string_view rest = word.substr(i);
        if (rest.front() == '"' || rest.front() == '\\') {
            out += '\\';
            out += rest.front();
            ++i;
        } else if (const std::size_t n = showable(rest)) {
            out += rest.substr(0, n);
            i += n;
        } else {
            const auto byte = static_cast<unsigned char>(rest.front());
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
            ++i;
        }
    }
    out += '"';
    if (i < word.size())
        out += "...";
    return out;
}

} // namespace rotavel::tools
