// Fuzz target: any bytes as a script of user actions for the headless front
// end. The parser either refuses them with a line and a reason, or every
// action it accepted carries what playing it relies on.
#include "toolbox/HeadlessScript.h"
#include "toolbox/NibDescription.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

bool Number(const std::string &text)
{
    SInt32 n = 0;
    return qvtb::ParseNumber(text, n);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace qvtb;
    std::deque<Action> actions;
    std::string error;
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    if (!ParseScript(text, actions, error)) {
        if (error.rfind("line ", 0) != 0 || !actions.empty())
            std::abort(); // a refusal names the line and yields nothing
        return 0;
    }
    int line = 1;
    for (const Action &a : actions) {
        if (a.line < line || a.args.size() != a.quoted.size())
            std::abort();
        line = a.line;
        const auto &args = a.args;
        switch (a.verb) {
        case Verb::Set:
            if (args.empty() || !Number(args[0]) || (args.size() == 3 && !Number(args[2])))
                std::abort();
            break;
        case Verb::Click:
            if (args.size() == 3 && (!Number(args[1]) || !Number(args[2])))
                std::abort();
            break;
        case Verb::Choose:
        case Verb::Type:
        case Verb::Alert:
        case Verb::Save:
            if (args.size() != 1)
                std::abort();
            break;
        case Verb::Color:
            if (args.size() != 3 && !(args.size() == 1 && args[0] == "cancel"))
                std::abort();
            break;
        case Verb::File:
        case Verb::Keys:
            if (args.empty())
                std::abort();
            break;
        case Verb::Expect:
            if (args.size() != 2 || (args[0] == "value" && !Number(args[1])))
                std::abort();
            break;
        case Verb::Command:
        case Verb::Show:
            break;
        }
    }
    return 0;
}
