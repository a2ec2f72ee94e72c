// Json.h - a small strict JSON reader for world files. Every value remembers
// the line it starts on, so a world loader can say where a fault is.
#ifndef VIRTUALHW_JSON_H
#define VIRTUALHW_JSON_H

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace vhw {
namespace json {

struct Value {
    enum Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Null;
    int line = 0;
    bool boolean = false;
    double number = 0;
    std::string text;
    std::vector<Value> items;                            // Array
    std::vector<std::pair<std::string, Value>> members;  // Object, in document order

    const Value *find(const std::string &key) const;
    bool isInteger() const;
    static const char *kindName(Kind k);
};

// Parses a whole document. False with *error = "line N: what" on a fault.
// Rejects duplicate keys, trailing content, nesting deeper than 64 levels and
// documents larger than 8 MiB.
bool parse(const std::string &text, Value &out, std::string *error);

} // namespace json
} // namespace vhw

#endif
