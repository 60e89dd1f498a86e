// The XML invocations a host sends to a movie, and the replies:
//   <invoke name="f"><arguments><number>1</number><string>a</string><true/></arguments></invoke>
//   <number>3</number>, <string>text</string>
#pragma once

#include <string>
#include <vector>

namespace sample {

struct Invocation {
    std::string name;
    std::vector<std::string> arguments;  // numbers and strings as text; <true/> and <false/> as "true", "false"
};

// False when the text is not an invocation.
bool ParseInvocation(const std::string& text, Invocation* invocation);

std::string NumberReply(long value);
std::string StringReply(const std::string& value);  // with &, < and > escaped

}  // namespace sample
