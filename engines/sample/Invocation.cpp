#include "Invocation.h"

namespace sample {

namespace {

std::string Unescape(const std::string& text) {
    std::string result;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&') {
            result += text[i];
            continue;
        }
        for (auto [entity, c] :
             {std::pair<const char*, char>{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}}) {
            if (text.compare(i, std::char_traits<char>::length(entity), entity) == 0) {
                result += c;
                i += std::char_traits<char>::length(entity) - 1;
                break;
            }
        }
    }
    return result;
}

}  // namespace

bool ParseInvocation(const std::string& text, Invocation* invocation) {
    const std::string head = "<invoke name=\"";
    if (text.compare(0, head.size(), head) != 0) return false;
    size_t nameEnd = text.find('"', head.size());
    if (nameEnd == std::string::npos) return false;
    Invocation result;
    result.name = text.substr(head.size(), nameEnd - head.size());
    size_t open = text.find("<arguments>", nameEnd);
    size_t close = text.find("</arguments>", nameEnd);
    if (open != std::string::npos && close != std::string::npos && close > open) {
        std::string body = text.substr(open + 11, close - open - 11);
        for (size_t i = 0; i < body.size();) {
            if (body.compare(i, 7, "<true/>") == 0) {
                result.arguments.push_back("true");
                i += 7;
            } else if (body.compare(i, 8, "<false/>") == 0) {
                result.arguments.push_back("false");
                i += 8;
            } else if (body[i] == '<') {
                size_t tagEnd = body.find('>', i);
                if (tagEnd == std::string::npos) return false;
                std::string tag = body.substr(i + 1, tagEnd - i - 1);
                size_t end = body.find("</" + tag + ">", tagEnd);
                if (end == std::string::npos) return false;
                result.arguments.push_back(Unescape(body.substr(tagEnd + 1, end - tagEnd - 1)));
                i = end + tag.size() + 3;
            } else {
                ++i;
            }
        }
    }
    *invocation = result;
    return true;
}

std::string NumberReply(long value) { return "<number>" + std::to_string(value) + "</number>"; }

std::string StringReply(const std::string& value) {
    std::string escaped;
    for (char c : value) {
        if (c == '&') {
            escaped += "&amp;";
        } else if (c == '<') {
            escaped += "&lt;";
        } else if (c == '>') {
            escaped += "&gt;";
        } else {
            escaped += c;
        }
    }
    return "<string>" + escaped + "</string>";
}

}  // namespace sample
