// A small JSON reader for the expected values that the test-drawing generator writes.
#pragma once

#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace vexilo::test {

/// A parsed JSON value. Reading a member that is missing or of another type gives a null
/// value, so that a test fails on the comparison rather than crashing.
struct Json {
    enum class Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Kind::Null;
    bool boolean = false;
    double number = 0.0;
    std::string string;
    std::vector<Json> array;
    std::map<std::string, Json> object;

    const Json& operator[](const std::string& key) const {
        static const Json kNull;
        const auto it = object.find(key);
        return it == object.end() ? kNull : it->second;
    }
    const Json& operator[](std::size_t i) const {
        static const Json kNull;
        return i < array.size() ? array[i] : kNull;
    }
    bool has(const std::string& key) const { return object.count(key) != 0; }
    std::size_t size() const { return array.size(); }
    std::vector<double> numbers() const {
        std::vector<double> out;
        for (const Json& j : array) {
            out.push_back(j.number);
        }
        return out;
    }
};

class JsonParser {
public:
    explicit JsonParser(std::string text) : m_s(std::move(text)) {}

    Json parse() {
        Json v = value();
        return v;
    }

private:
    void blanks() {
        while (m_i < m_s.size() && std::isspace(static_cast<unsigned char>(m_s[m_i]))) {
            ++m_i;
        }
    }
    Json value() {
        blanks();
        Json v;
        if (m_i >= m_s.size()) {
            return v;
        }
        const char c = m_s[m_i];
        if (c == '{') {
            v.kind = Json::Kind::Object;
            ++m_i;
            blanks();
            while (m_i < m_s.size() && m_s[m_i] != '}') {
                blanks();
                const std::string key = str();
                blanks();
                ++m_i; // ':'
                v.object[key] = value();
                blanks();
                if (m_s[m_i] == ',') {
                    ++m_i;
                }
                blanks();
            }
            ++m_i;
        } else if (c == '[') {
            v.kind = Json::Kind::Array;
            ++m_i;
            blanks();
            while (m_i < m_s.size() && m_s[m_i] != ']') {
                v.array.push_back(value());
                blanks();
                if (m_s[m_i] == ',') {
                    ++m_i;
                }
                blanks();
            }
            ++m_i;
        } else if (c == '"') {
            v.kind = Json::Kind::String;
            v.string = str();
        } else if (m_s.compare(m_i, 4, "true") == 0) {
            v.kind = Json::Kind::Bool;
            v.boolean = true;
            m_i += 4;
        } else if (m_s.compare(m_i, 5, "false") == 0) {
            v.kind = Json::Kind::Bool;
            m_i += 5;
        } else if (m_s.compare(m_i, 4, "null") == 0) {
            m_i += 4;
        } else {
            v.kind = Json::Kind::Number;
            char* end = nullptr;
            v.number = std::strtod(m_s.c_str() + m_i, &end);
            m_i = static_cast<std::size_t>(end - m_s.c_str());
        }
        return v;
    }
    static void appendUtf8(unsigned cp, std::string& out) {
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    std::string str() {
        std::string out;
        ++m_i; // opening quote
        while (m_i < m_s.size() && m_s[m_i] != '"') {
            char c = m_s[m_i++];
            if (c != '\\') {
                out.push_back(c);
                continue;
            }
            c = m_s[m_i++];
            switch (c) {
            case 'n':
                out.push_back('\n');
                break;
            case 't':
                out.push_back('\t');
                break;
            case 'u':
                appendUtf8(static_cast<unsigned>(std::stoul(m_s.substr(m_i, 4), nullptr, 16)), out);
                m_i += 4;
                break;
            default:
                out.push_back(c);
                break;
            }
        }
        ++m_i;
        return out;
    }

    std::string m_s;
    std::size_t m_i = 0;
};

/// Reads and parses a JSON file; a null value when it cannot be read.
inline Json readJsonFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return JsonParser(ss.str()).parse();
}

} // namespace vexilo::test
