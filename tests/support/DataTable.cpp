#include "DataTable.h"

#include <cctype>
#include <fstream>
#include <set>
#include <sstream>
#include <utility>

namespace gw::test {
namespace {

std::string nameOf(const std::vector<std::string>& fields) {
    std::string name;
    for (const std::string& field : fields) {
        for (const char c : field + " ") {
            if (std::isalnum(static_cast<unsigned char>(c)) != 0)
                name += c;
            else if (!name.empty() && name.back() != '_')
                name += '_';
        }
    }
    name.resize(std::min<std::size_t>(name.size(), 48));
    while (!name.empty() && name.back() == '_')
        name.pop_back();
    return name.empty() ? "empty" : name;
}

} // namespace

const std::string& DataRow::operator[](std::size_t index) const {
    static const std::string none;
    if (index < fields.size()) return fields[index];
    ADD_FAILURE() << table << ":" << line << ": no field " << index + 1;
    return none;
}

void PrintTo(const DataRow& row, std::ostream* out) {
    *out << row.table << ":" << row.line;
}

std::string unescape(std::string_view field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        const char c = field[i] == '\\' && i + 1 < field.size() ? field[++i] : '\0';
        const bool hex = c == 'x' && i + 2 < field.size() && std::isxdigit(field[i + 1]) != 0 &&
                         std::isxdigit(field[i + 2]) != 0;
        if (hex) {
            out += static_cast<char>(std::stoi(std::string(field.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else if (c == '\0') {
            out += field[i];
        } else {
            const std::string_view from = "nrte01", to("\n\r\t\x1b\0\x01", 6);
            const std::size_t k = from.find(c);
            out += k == std::string_view::npos ? c : to[k];
        }
    }
    return out;
}

std::vector<DataRow> dataTable(const std::string& name) {
    std::ifstream in(dataPath(name), std::ios::binary);
    if (!in.is_open()) return {DataRow{name, 0, "unreadable_table", {}}};
    std::vector<DataRow> rows;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (line.empty() || line[0] == '#') continue;
        DataRow& row = rows.emplace_back(DataRow{name, number, {}, {}});
        for (std::size_t start = 0, tab = 0; tab != std::string::npos; start = tab + 1) {
            tab = line.find('\t', start);
            row.fields.push_back(unescape(std::string_view(line).substr(start, tab - start)));
        }
    }
    std::set<std::string> firsts, taken;
    for (const DataRow& row : rows)
        firsts.insert(nameOf({row.fields.front()}));
    for (DataRow& row : rows) {
        row.name = firsts.size() == rows.size() ? nameOf({row.fields.front()}) : nameOf(row.fields);
        if (!taken.insert(row.name).second)
            taken.insert(row.name += "_line" + std::to_string(row.line));
    }
    return rows;
}

std::string rowName(const ::testing::TestParamInfo<DataRow>& info) {
    return info.param.name;
}

std::string dataPath(const std::string& name) {
    return std::string(GLYPHWERK_TEST_DATA) + "/" + name;
}

// Through a string stream: GCC 12 at -O3 warns about istreambuf_iterator's null checks.
std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return std::move(bytes).str();
}

} // namespace gw::test
