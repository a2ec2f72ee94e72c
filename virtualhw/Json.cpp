#include "virtualhw/Json.h"

#include <cmath>
#include <cstdlib>
#include <set>

namespace vhw {
namespace json {

const Value *Value::find(const std::string &key) const
{
    for (const auto &m : members)
        if (m.first == key)
            return &m.second;
    return nullptr;
}

bool Value::isInteger() const
{
    return kind == Number && std::isfinite(number) && std::floor(number) == number;
}

const char *Value::kindName(Kind k)
{
    switch (k) {
    case Null: return "null";
    case Bool: return "a boolean";
    case Number: return "a number";
    case String: return "a text";
    case Array: return "a list";
    case Object: return "an object";
    }
    return "?";
}

namespace {

const size_t kMaxDocument = 8u << 20;
const int kMaxDepth = 64;

struct Parser {
    const std::string &s;
    size_t pos = 0;
    int line = 1;
    std::string err;

    explicit Parser(const std::string &text) : s(text) {}

    bool fail(const std::string &what)
    {
        if (err.empty())
            err = "line " + std::to_string(line) + ": " + (pos >= s.size() ? "unexpected end of the document" : what);
        return false;
    }

    void skipSpace()
    {
        while (pos < s.size()) {
            char c = s[pos];
            if (c == '\n') {
                ++line;
                ++pos;
            } else if (c == ' ' || c == '\t' || c == '\r') {
                ++pos;
            } else {
                break;
            }
        }
    }

    bool literal(const char *word)
    {
        size_t n = 0;
        while (word[n])
            ++n;
        if (s.compare(pos, n, word) != 0)
            return fail("unexpected text");
        pos += n;
        return true;
    }

    static void appendUtf8(std::string &out, unsigned cp)
    {
        if (cp < 0x80) {
            out += char(cp);
        } else if (cp < 0x800) {
            out += char(0xC0 | (cp >> 6));
            out += char(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += char(0xE0 | (cp >> 12));
            out += char(0x80 | ((cp >> 6) & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        } else {
            out += char(0xF0 | (cp >> 18));
            out += char(0x80 | ((cp >> 12) & 0x3F));
            out += char(0x80 | ((cp >> 6) & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        }
    }

    bool hex4(unsigned &v)
    {
        if (pos + 4 > s.size())
            return fail("incomplete \\u escape");
        v = 0;
        for (int i = 0; i < 4; ++i) {
            char c = s[pos++];
            v <<= 4;
            if (c >= '0' && c <= '9') v |= unsigned(c - '0');
            else if (c >= 'a' && c <= 'f') v |= unsigned(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F') v |= unsigned(c - 'A' + 10);
            else return fail("bad \\u escape");
        }
        return true;
    }

    bool string(std::string &out)
    {
        ++pos; // opening quote
        while (true) {
            if (pos >= s.size())
                return fail("text not closed by \"");
            unsigned char c = static_cast<unsigned char>(s[pos++]);
            if (c == '"')
                return true;
            if (c < 0x20)
                return fail("control character inside a text (a missing \"?)");
            if (c != '\\') {
                out += char(c);
                continue;
            }
            if (pos >= s.size())
                return fail("text not closed by \"");
            char e = s[pos++];
            switch (e) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                unsigned cp;
                if (!hex4(cp))
                    return false;
                if (cp >= 0xD800 && cp < 0xDC00) {
                    unsigned lo;
                    if (pos + 2 > s.size() || s[pos] != '\\' || s[pos + 1] != 'u')
                        return fail("lone surrogate in \\u escape");
                    pos += 2;
                    if (!hex4(lo))
                        return false;
                    if (lo < 0xDC00 || lo >= 0xE000)
                        return fail("bad surrogate pair in \\u escape");
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
                } else if (cp >= 0xDC00 && cp < 0xE000) {
                    return fail("lone surrogate in \\u escape");
                }
                appendUtf8(out, cp);
                break;
            }
            default:
                return fail(std::string("unknown escape \\") + e);
            }
        }
    }

    bool number(Value &v)
    {
        size_t start = pos;
        if (s[pos] == '-')
            ++pos;
        if (pos >= s.size() || !(s[pos] >= '0' && s[pos] <= '9'))
            return fail("bad number");
        if (s[pos] == '0' && pos + 1 < s.size() && s[pos + 1] >= '0' && s[pos + 1] <= '9')
            return fail("number with a leading zero");
        while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9')
            ++pos;
        if (pos < s.size() && s[pos] == '.') {
            ++pos;
            if (pos >= s.size() || !(s[pos] >= '0' && s[pos] <= '9'))
                return fail("bad number");
            while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9')
                ++pos;
        }
        if (pos < s.size() && (s[pos] == 'e' || s[pos] == 'E')) {
            ++pos;
            if (pos < s.size() && (s[pos] == '+' || s[pos] == '-'))
                ++pos;
            if (pos >= s.size() || !(s[pos] >= '0' && s[pos] <= '9'))
                return fail("bad number");
            while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9')
                ++pos;
        }
        std::string text = s.substr(start, pos - start);
        v.kind = Value::Number;
        v.number = std::strtod(text.c_str(), nullptr);
        if (!std::isfinite(v.number))
            return fail("number out of range");
        return true;
    }

    bool value(Value &v, int depth)
    {
        if (depth > kMaxDepth)
            return fail("nested too deeply");
        skipSpace();
        if (pos >= s.size())
            return fail("unexpected end of the document");
        v.line = line;
        char c = s[pos];
        if (c == '{') {
            v.kind = Value::Object;
            ++pos;
            std::set<std::string> seen;
            skipSpace();
            if (pos < s.size() && s[pos] == '}') {
                ++pos;
                return true;
            }
            while (true) {
                skipSpace();
                if (pos >= s.size() || s[pos] != '"')
                    return fail("expected a key in \"quotes\"");
                int keyLine = line;
                std::string key;
                if (!string(key))
                    return false;
                if (!seen.insert(key).second) {
                    line = keyLine;
                    return fail("key \"" + key + "\" given twice");
                }
                skipSpace();
                if (pos >= s.size() || s[pos] != ':')
                    return fail("expected ':' after key \"" + key + "\"");
                ++pos;
                Value child;
                if (!value(child, depth + 1))
                    return false;
                v.members.emplace_back(std::move(key), std::move(child));
                skipSpace();
                if (pos < s.size() && s[pos] == ',') {
                    ++pos;
                    continue;
                }
                if (pos < s.size() && s[pos] == '}') {
                    ++pos;
                    return true;
                }
                return fail("expected ',' or '}'");
            }
        }
        if (c == '[') {
            v.kind = Value::Array;
            ++pos;
            skipSpace();
            if (pos < s.size() && s[pos] == ']') {
                ++pos;
                return true;
            }
            while (true) {
                Value child;
                if (!value(child, depth + 1))
                    return false;
                v.items.push_back(std::move(child));
                skipSpace();
                if (pos < s.size() && s[pos] == ',') {
                    ++pos;
                    continue;
                }
                if (pos < s.size() && s[pos] == ']') {
                    ++pos;
                    return true;
                }
                return fail("expected ',' or ']'");
            }
        }
        if (c == '"') {
            v.kind = Value::String;
            return string(v.text);
        }
        if (c == 't') {
            v.kind = Value::Bool;
            v.boolean = true;
            return literal("true");
        }
        if (c == 'f') {
            v.kind = Value::Bool;
            return literal("false");
        }
        if (c == 'n') {
            v.kind = Value::Null;
            return literal("null");
        }
        if (c == '-' || (c >= '0' && c <= '9'))
            return number(v);
        return fail(std::string("unexpected character '") + (c >= 0x20 && c < 0x7f ? std::string(1, c) : "?") + "'");
    }
};

} // namespace

bool parse(const std::string &text, Value &out, std::string *error)
{
    if (text.size() > kMaxDocument) {
        if (error)
            *error = "line 1: document larger than 8 MiB";
        return false;
    }
    Parser p(text);
    Value v;
    bool ok = p.value(v, 0);
    if (ok) {
        p.skipSpace();
        if (p.pos != text.size())
            ok = p.fail("unexpected text after the end of the document");
    }
    if (!ok) {
        if (error)
            *error = p.err;
        return false;
    }
    out = std::move(v);
    return true;
}

} // namespace json
} // namespace vhw
