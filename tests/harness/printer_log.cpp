#include "printer_log.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace harness {

void printer_log::update() {
    std::ifstream in(path_, std::ios::binary);
    if (!in)
        return;
    in.seekg(static_cast<std::streamoff>(offset_));
    std::stringstream added;
    added << in.rdbuf();
    const std::string bytes = added.str();
    offset_ += bytes.size();
    tail_ += bytes;
    std::size_t start = 0;
    for (std::size_t end; (end = tail_.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string record = tail_.substr(start, end - start);
        const std::size_t space = record.find(' ');
        if (space == std::string::npos)
            continue;
        std::string text = record.substr(space + 1);
        if (!text.empty() && text[0] == '#') {
            events_.push_back(std::move(text));
        } else {
            lines_.push_back({std::atoll(record.c_str()), std::move(text)});
        }
    }
    tail_.erase(0, start);
}

std::vector<std::string> printer_log::texts() const {
    std::vector<std::string> texts;
    for (const received_line& line : lines_)
        texts.push_back(line.text);
    return texts;
}

bool printer_log::has_event(const std::string& prefix) const {
    for (const std::string& event : events_) {
        if (event.rfind(prefix, 0) == 0)
            return true;
    }
    return false;
}

std::string printer_log::text() const {
    std::ifstream in(path_, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

}  // namespace harness
