// HeadlessScript.cpp: the parser of the headless front end's scripts.
#include "toolbox/HeadlessScript.h"

#include "toolbox/NibDescription.h"

namespace qvtb {
namespace {

bool Needs(Verb v)
{
    return v == Verb::Set || v == Verb::Click || v == Verb::Choose || v == Verb::Type;
}

} // namespace

bool ParseScript(std::string_view text, std::deque<Action> &out, std::string &error)
{
    std::deque<Action> parsed;
    std::vector<Token> tokens;
    if (!Tokenize(text, tokens, error))
        return false;
    static const struct {
        const char *word;
        Verb verb;
    } verbs[] = {{"set", Verb::Set},       {"click", Verb::Click}, {"choose", Verb::Choose}, {"type", Verb::Type},
                 {"command", Verb::Command}, {"keys", Verb::Keys},   {"alert", Verb::Alert},   {"color", Verb::Color},
                 {"file", Verb::File},     {"show", Verb::Show},   {"save", Verb::Save},     {"expect", Verb::Expect}};
    size_t i = 0;
    while (i < tokens.size()) {
        const int line = tokens[i].line;
        size_t end = i;
        while (end < tokens.size() && tokens[end].line == line)
            ++end;
        auto fail = [&](const std::string &why) {
            error = "line " + std::to_string(line) + ": " + why;
            return false;
        };
        Action a;
        a.line = line;
        bool known = false;
        for (const auto &v : verbs)
            if (!tokens[i].quoted && tokens[i].text == v.word) {
                a.verb = v.verb;
                known = true;
            }
        if (!known)
            return fail("unknown action \"" + tokens[i].text + "\"");
        size_t k = i + 1;
        if (a.verb == Verb::Expect) {
            if (k >= end)
                return fail("expect needs value, text, visible or enabled");
            a.args.push_back(tokens[k].text);
            a.quoted.push_back(false);
            const std::string &what = tokens[k].text;
            if (what != "value" && what != "text" && what != "visible" && what != "enabled")
                return fail("expect needs value, text, visible or enabled, not \"" + what + "\"");
            ++k;
        }
        if (Needs(a.verb) || a.verb == Verb::Expect) {
            if (k + 2 > end)
                return fail("the control is named by its signature and id");
            if (!ParseFourCC(tokens[k].text, a.signature))
                return fail("signature must be four characters, not \"" + tokens[k].text + "\"");
            if (!ParseNumber(tokens[k + 1].text, a.id))
                return fail("control id must be a number, not \"" + tokens[k + 1].text + "\"");
            k += 2;
        }
        for (; k < end; ++k) {
            a.args.push_back(tokens[k].text);
            a.quoted.push_back(tokens[k].quoted);
        }
        // Check the arguments of each verb now, so a script never fails half-way
        // over a typo.
        SInt32 n = 0;
        const auto &args = a.args;
        switch (a.verb) {
        case Verb::Set:
            if (!(args.size() == 1 || (args.size() == 3 && args[1] == "steps")) || !ParseNumber(args[0], n))
                return fail("set needs: set SIG ID VALUE [steps N]");
            if (args.size() == 3 && (!ParseNumber(args[2], n) || n < 1 || n > 10000))
                return fail("steps must be 1..10000");
            break;
        case Verb::Click:
            if (!(args.empty() || (args.size() == 3 && args[0] == "at")))
                return fail("click needs: click SIG ID [at H V]");
            if (args.size() == 3 && (!ParseNumber(args[1], n) || !ParseNumber(args[2], n)))
                return fail("click at needs two numbers");
            break;
        case Verb::Choose:
        case Verb::Type:
            if (args.size() != 1)
                return fail(a.verb == Verb::Choose ? "choose needs: choose SIG ID ITEM" : "type needs: type SIG ID TEXT");
            break;
        case Verb::Command:
            if (args.size() != 1 || !ParseFourCC(args[0], a.signature))
                return fail("command needs a four-character code");
            break;
        case Verb::Keys:
            if (args.empty())
                return fail("keys needs modifier names or none");
            for (const std::string &m : args)
                if (m != "shift" && m != "option" && m != "control" && m != "command" && m != "none" &&
                    m != "capslock")
                    return fail("unknown modifier \"" + m + "\"");
            break;
        case Verb::Alert:
            if (args.size() != 1 || !ParseNumber(args[0], n) || n < 1 || n > 3)
                return fail("alert needs a button number 1..3");
            break;
        case Verb::Color:
            if (args.size() == 1 && args[0] == "cancel")
                break;
            if (args.size() != 3)
                return fail("color needs: color R G B or color cancel");
            for (const std::string &c : args)
                if (!ParseNumber(c, n) || n < 0 || n > 65535)
                    return fail("colour components are 0..65535");
            break;
        case Verb::File:
            if (args.empty())
                return fail("file needs paths or cancel");
            break;
        case Verb::Show:
            if (!args.empty())
                return fail("show takes nothing");
            break;
        case Verb::Save:
            if (args.size() != 1)
                return fail("save needs a path");
            break;
        case Verb::Expect:
            if (args.size() != 2)
                return fail("expect needs: expect WHAT SIG ID EXPECTED");
            if (args[0] == "value" && !ParseNumber(args[1], n))
                return fail("expect value needs a number");
            if ((args[0] == "visible" || args[0] == "enabled") && args[1] != "yes" && args[1] != "no")
                return fail("expect " + args[0] + " needs yes or no");
            break;
        }
        parsed.push_back(std::move(a));
        i = end;
    }
    out = std::move(parsed);
    return true;
}

} // namespace qvtb
